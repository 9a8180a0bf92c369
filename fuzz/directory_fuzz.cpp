// The directory query: the translation of any text, the query built for any
// domain, and the server made explicit in any path.
//
// Input: UTF-8 text, used as a query text, as a domain and as a path.
#include "base/text.h"
#include "fuzz/fuzz_input.h"
#include "servers/directory.h"

using namespace tarvenix;

namespace {

bool IsLabelChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-';
}

// Parentheses of an LDAP filter: balanced, never closing below the top level,
// and the whole filter one parenthesised item.
bool IsOneBalancedItem(std::u16string_view filter) {
    if (filter.empty() || filter.front() != u'(') return false;
    int depth = 0;
    for (std::size_t i = 0; i < filter.size(); ++i) {
        if (filter[i] == u'(') ++depth;
        if (filter[i] == u')' && --depth == 0) return i + 1 == filter.size();
        if (depth < 0) return false;
    }
    return false;
}

void CheckPath(const std::u16string& path) {
    const auto explicitPath = PathWithServer(path);
    if (!explicitPath) return;
    // A path that names its server is kept as it is.
    FUZZ_CHECK(PathWithServer(*explicitPath) == explicitPath);
    // The distinguished name is kept: the new path ends with the old one's tail.
    const auto scheme = path.find(u"://");
    if (scheme != std::u16string::npos && *explicitPath != path) {
        const std::u16string dn = path.substr(scheme + 3);
        FUZZ_CHECK(explicitPath->size() > dn.size());
        FUZZ_CHECK(explicitPath->compare(explicitPath->size() - dn.size(), dn.size(), dn) == 0);
        FUZZ_CHECK(explicitPath->compare(0, scheme + 3, path, 0, scheme + 3) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));

    if (const auto search = TranslateQuery(text)) {
        FUZZ_CHECK(!search->attributes.empty());
        FUZZ_CHECK(!search->path.empty());
        FUZZ_CHECK(IsOneBalancedItem(search->filter));
        CheckPath(search->path);
    }
    CheckPath(text);

    // A domain of DNS labels gives a query that translates into the search
    // for the server computers, at a path inside the quotes.
    const std::u16string query = BuildDirectoryQuery(text);
    bool labels = !text.empty() && text.front() != u'.' && text.back() != u'.';
    for (std::size_t i = 0; labels && i < text.size(); ++i) {
        labels = IsLabelChar(text[i]) || (text[i] == u'.' && text[i + 1] != u'.');
    }
    if (labels) {
        const auto search = TranslateQuery(query);
        FUZZ_CHECK(search.has_value());
        FUZZ_CHECK((search->attributes == std::vector<std::u16string>{u"Name", u"operatingsystem"}));
        FUZZ_CHECK(search->filter == u"(&(objectClass=computer)(operatingSystem=*server*))");
        FUZZ_CHECK(search->path.rfind(u"LDAP://", 0) == 0);
        const auto explicitPath = PathWithServer(search->path);
        FUZZ_CHECK(explicitPath.has_value());
    }
    return 0;
}
