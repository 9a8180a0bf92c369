#include "servers/directory.h"

#include <algorithm>

#include "base/ansi_code_page.h"
#include "base/text.h"

namespace tarvenix {

namespace {

const std::u16string kHead = u"select Name, operatingsystem";
const std::u16string kFromNoServer = u" from 'LDAP://dc=";
const std::u16string kNextDc = u",dc=";
const std::u16string kFromServer = u" from 'LDAP://";
const std::u16string kFirstDc = u"/dc=";
const std::u16string kTail = u"' where objectclass='computer' and operatingsystem='*server*'";

struct Cut {
    std::u16string head;
    std::u16string tail;
};

// Cuts at the first dot; without a dot the head is empty and the tail is all.
Cut CutAtFirstDot(const std::u16string& x) {
    const auto dot = x.find(u'.');
    if (dot == std::u16string::npos) return {std::u16string(), x};
    return {x.substr(0, dot), x.substr(dot + 1)};
}

char16_t LowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Attribute descriptions: names (letters, digits, hyphens) or numeric OIDs.
bool IsAttributeChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
           c == u'.' || c == u'_';
}

// A small cursor over the query text.
class Scanner {
public:
    explicit Scanner(std::u16string_view text) : text_(text) {}

    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    }
    bool AtEnd() {
        SkipSpace();
        return pos_ == text_.size();
    }
    // A keyword, case-insensitive, not followed by an attribute character.
    bool Keyword(std::u16string_view word) {
        SkipSpace();
        if (text_.size() - pos_ < word.size()) return false;
        if (!EqualsNoCase(text_.substr(pos_, word.size()), word)) return false;
        const std::size_t end = pos_ + word.size();
        if (end < text_.size() && IsAttributeChar(text_[end])) return false;
        pos_ = end;
        return true;
    }
    bool Punct(char16_t c) {
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    std::optional<std::u16string> Attribute() {
        SkipSpace();
        const std::size_t start = pos_;
        while (pos_ < text_.size() && IsAttributeChar(text_[pos_])) ++pos_;
        if (pos_ == start) return std::nullopt;
        return std::u16string(text_.substr(start, pos_ - start));
    }
    // 'text' with '' standing for one quote.
    std::optional<std::u16string> Quoted() {
        SkipSpace();
        if (pos_ >= text_.size() || text_[pos_] != u'\'') return std::nullopt;
        ++pos_;
        std::u16string value;
        while (pos_ < text_.size()) {
            const char16_t c = text_[pos_++];
            if (c != u'\'') {
                value += c;
            } else if (pos_ < text_.size() && text_[pos_] == u'\'') {
                value += u'\'';
                ++pos_;
            } else {
                return value;
            }
        }
        return std::nullopt;  // unterminated
    }

private:
    std::u16string_view text_;
    std::size_t pos_ = 0;
};

// The directory's own spelling for the attributes our query names.
std::u16string FilterAttributeName(const std::u16string& name) {
    static const std::u16string_view known[] = {u"objectClass", u"operatingSystem", u"name", u"cn"};
    for (auto k : known) {
        if (EqualsNoCase(name, k)) return std::u16string(k);
    }
    return name;
}

// RFC 4515 value escaping, keeping * as the substring wildcard.
std::u16string EscapeFilterValue(const std::u16string& value) {
    std::u16string out;
    for (char16_t c : value) {
        switch (c) {
        case u'(': out += u"\\28"; break;
        case u')': out += u"\\29"; break;
        case u'\\': out += u"\\5c"; break;
        case u'\0': out += u"\\00"; break;
        default: out += c; break;
        }
    }
    return out;
}

}  // namespace

std::u16string DomainFromUserName(const std::u16string& nameDnsDomain) {
    const auto slash = nameDnsDomain.find(u'\\');
    if (slash == std::u16string::npos) return std::u16string();
    return nameDnsDomain.substr(0, slash);
}

std::u16string BuildDirectoryQuery(const std::u16string& domain) {
    const Cut c1 = CutAtFirstDot(domain);
    const Cut c2 = CutAtFirstDot(c1.tail);
    const Cut c3 = CutAtFirstDot(c2.tail);
    const std::u16string& l1 = c1.head;
    const std::u16string& r1 = c1.tail;
    const std::u16string& l2 = c2.head;
    const std::u16string& r2 = c2.tail;
    const std::u16string& l3 = c3.head;
    const std::u16string& r3 = c3.tail;

    std::u16string query;
    if (l2.empty()) query = kHead + kFromNoServer + l1 + kNextDc + r2 + kTail;
    if (l1.empty() && l2.empty() && l3.empty() && !r1.empty()) query = kHead + kFromNoServer + r1 + kTail;
    if (!l2.empty() && l3.empty()) query = kHead + kFromServer + domain + kFirstDc + l1 + kNextDc + l2 + kNextDc + r2 + kTail;
    if (!l3.empty()) {
        query = kHead + kFromServer + domain + kFirstDc + l1 + kNextDc + l2 + kNextDc + l3 + kNextDc + r3 + kTail;
    }
    return query;
}

std::optional<AdsiSearch> TranslateQuery(const std::u16string& queryText) {
    Scanner s(queryText);
    AdsiSearch search;
    if (!s.Keyword(u"select")) return std::nullopt;
    do {
        auto attribute = s.Attribute();
        if (!attribute || EqualsNoCase(*attribute, u"from")) return std::nullopt;
        search.attributes.push_back(*attribute);
    } while (s.Punct(u','));
    if (!s.Keyword(u"from")) return std::nullopt;
    auto path = s.Quoted();
    if (!path || path->empty()) return std::nullopt;
    search.path = *path;

    std::vector<std::u16string> terms;
    if (s.Keyword(u"where")) {
        do {
            auto attribute = s.Attribute();
            if (!attribute || !s.Punct(u'=')) return std::nullopt;
            auto value = s.Quoted();
            if (!value) return std::nullopt;
            terms.push_back(u"(" + FilterAttributeName(*attribute) + u"=" + EscapeFilterValue(*value) + u")");
        } while (s.Keyword(u"and"));
    }
    if (!s.AtEnd()) return std::nullopt;

    if (terms.empty()) {
        search.filter = u"(objectClass=*)";
    } else if (terms.size() == 1) {
        search.filter = terms.front();
    } else {
        search.filter = u"(&";
        for (const auto& t : terms) search.filter += t;
        search.filter += u")";
    }
    return search;
}

std::optional<std::u16string> PathWithServer(const std::u16string& path) {
    const auto scheme = path.find(u"://");
    if (scheme == std::u16string::npos) return path;
    const std::size_t start = scheme + 3;
    const auto slash = path.find(u'/', start);
    const std::u16string first = path.substr(start, slash == std::u16string::npos ? std::u16string::npos : slash - start);
    // A server name (host[:port]) never holds '='; a distinguished name does.
    if (first.find(u'=') == std::u16string::npos) return path;
    const std::u16string dn = path.substr(start);
    std::u16string server;
    std::size_t pos = 0;
    for (;;) {
        const auto comma = dn.find(u',', pos);
        const std::u16string rdn = dn.substr(pos, comma == std::u16string::npos ? std::u16string::npos : comma - pos);
        if (rdn.size() <= 3 || !EqualsNoCase(rdn.substr(0, 3), u"dc=")) return std::nullopt;
        const std::u16string label = rdn.substr(3);
        for (char16_t c : label) {
            if (c == u'\\' || c == u'/' || c == u'=' || c == u'+' || IsSpace(c)) return std::nullopt;
        }
        if (!server.empty()) server += u'.';
        server += label;
        if (comma == std::u16string::npos) break;
        pos = comma + 1;
    }
    return path.substr(0, start) + server + u"/" + dn;
}

DirectoryFill ReadDirectoryServers(DirectoryService& dir, const AnsiCodePage& ansi) {
    const std::u16string domain = DomainFromUserName(dir.UserNameDnsDomain());
    const std::u16string query = ansi.Decode(ansi.Encode(BuildDirectoryQuery(domain)));

    DirectoryFill fill;
    std::vector<std::u16string> names;
    if (!dir.Search(query, names)) {
        fill.ok = false;
        fill.sorted = std::move(names);
        return fill;
    }
    std::stable_sort(names.begin(), names.end(),
                     [&dir](const std::u16string& a, const std::u16string& b) { return dir.CompareNames(a, b) < 0; });
    fill.ok = true;
    fill.sorted = std::move(names);
    return fill;
}

std::u16string DirectoryDoneMessage(std::size_t count) {
    return u"Готово!\rКоличество добавленных серверов: " + Ascii(std::to_string(count));
}

}  // namespace tarvenix
