#include "servers/directory.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/ansi_code_page.h"
#include "base/text.h"
#include "servers/server_source.h"

namespace tarvenix {
namespace {

const std::u16string kHead = u"select Name, operatingsystem";
const std::u16string kTail = u"' where objectclass='computer' and operatingsystem='*server*'";

TEST(DirectoryQuery, DomainIsTheTextBeforeTheFirstBackslash) {
    const struct { const char16_t* user; const char16_t* domain; } cases[] = {
        {u"corp.example\\ivanov", u"corp.example"},
        {u"a.b\\c\\d", u"a.b"},
        {u"\\ivanov", u""},
        {u"corp.example", u""},  // no backslash at all
        {u"", u""},
        {u"домен.рф\\Иванов", u"домен.рф"},
    };
    for (const auto& c : cases) EXPECT_EQ(DomainFromUserName(c.user), c.domain) << Utf16ToUtf8(c.user);
}

TEST(DirectoryQuery, FromPartPerNumberOfLabels) {
    const struct { const char16_t* domain; const char16_t* middle; } cases[] = {
        {u"one", u" from 'LDAP://dc=one"},
        {u"one.two", u" from 'LDAP://dc=one,dc=two"},
        {u"one.two.three", u" from 'LDAP://one.two.three/dc=one,dc=two,dc=three"},
        {u"one.two.three.four", u" from 'LDAP://one.two.three.four/dc=one,dc=two,dc=three,dc=four"},
        // Five labels: the last component keeps the fourth and fifth with their dot.
        {u"one.two.three.four.five",
         u" from 'LDAP://one.two.three.four.five/dc=one,dc=two,dc=three,dc=four.five"},
        {u"", u" from 'LDAP://dc=,dc="},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildDirectoryQuery(c.domain), kHead + c.middle + kTail) << Utf16ToUtf8(c.domain);
    }
    EXPECT_EQ(BuildDirectoryQuery(u"one.two.three"),
              u"select Name, operatingsystem from 'LDAP://one.two.three/dc=one,dc=two,dc=three' "
              u"where objectclass='computer' and operatingsystem='*server*'");
}

TEST(DirectoryQuery, TranslatesTheBuiltQueryIntoADirectorySearch) {
    const auto search = TranslateQuery(BuildDirectoryQuery(u"one.two.three"));
    ASSERT_TRUE(search.has_value());
    EXPECT_EQ(search->path, u"LDAP://one.two.three/dc=one,dc=two,dc=three");
    EXPECT_EQ(search->filter, u"(&(objectClass=computer)(operatingSystem=*server*))");
    EXPECT_EQ(search->attributes, (std::vector<std::u16string>{u"Name", u"operatingsystem"}));

    // The empty domain still translates; the directory is what rejects it.
    const auto empty = TranslateQuery(BuildDirectoryQuery(u""));
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->path, u"LDAP://dc=,dc=");
}

TEST(DirectoryQuery, TranslationIsCaseInsensitiveAndEscapesValues) {
    const auto s = TranslateQuery(
        u"  SELECT cn ,Description FROM'LDAP://127.0.0.1:3890/dc=corp,dc=example'\tWhere "
        u"OBJECTCLASS = 'computer' AND description='a(b)c\\d*' and name='O''Brien'  ");
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->path, u"LDAP://127.0.0.1:3890/dc=corp,dc=example");
    EXPECT_EQ(s->attributes, (std::vector<std::u16string>{u"cn", u"Description"}));
    EXPECT_EQ(s->filter, u"(&(objectClass=computer)(description=a\\28b\\29c\\5cd*)(name=O'Brien))");

    const std::u16string withNul = std::u16string(u"select name from 'LDAP://x' where name='a") + u'\0' + u"b'";
    const auto nul = TranslateQuery(withNul);
    ASSERT_TRUE(nul.has_value());
    EXPECT_EQ(nul->filter, u"(name=a\\00b)");

    const auto noWhere = TranslateQuery(u"select name from 'LDAP://x/dc=a'");
    ASSERT_TRUE(noWhere.has_value());
    EXPECT_EQ(noWhere->filter, u"(objectClass=*)");

    const auto cyrillic = TranslateQuery(u"select name from 'LDAP://x' where name='Сервер*'");
    ASSERT_TRUE(cyrillic.has_value());
    EXPECT_EQ(cyrillic->filter, u"(name=Сервер*)");
}

TEST(DirectoryQuery, UnparsableTextGivesNothing) {
    const char16_t* cases[] = {
        u"",
        u"select",
        u"select name",
        u"select from 'LDAP://x'",
        u"select name, from 'LDAP://x'",
        u"select name from LDAP://x",
        u"select name from 'LDAP://x",
        u"select name from ''",
        u"selectname from 'LDAP://x'",
        u"select name from 'LDAP://x' where",
        u"select name from 'LDAP://x' where a='1' or b='2'",
        u"select name from 'LDAP://x' where a=1",
        u"select name from 'LDAP://x' where a<'1'",
        u"select name from 'LDAP://x' where a='1' and",
        u"select name from 'LDAP://x' order by name",
        u"update name from 'LDAP://x'",
    };
    for (const auto* text : cases) EXPECT_FALSE(TranslateQuery(text).has_value()) << Utf16ToUtf8(text);
}

TEST(DirectoryQuery, PathWithoutServerGetsTheDomainAsServer) {
    const struct { const char16_t* path; const char16_t* result; } cases[] = {
        {u"LDAP://dc=one", u"LDAP://one/dc=one"},
        {u"LDAP://dc=corp,DC=example", u"LDAP://corp.example/dc=corp,DC=example"},
        {u"LDAP://dc=one,dc=two,dc=three,dc=four.five", u"LDAP://one.two.three.four.five/dc=one,dc=two,dc=three,dc=four.five"},
        // Named servers stay as they are, the empty-labelled ones too: that
        // server answers for itself.
        {u"LDAP://one.two.three/dc=one,dc=two,dc=three", u"LDAP://one.two.three/dc=one,dc=two,dc=three"},
        {u"LDAP://127.0.0.1:3890/dc=corp,dc=example", u"LDAP://127.0.0.1:3890/dc=corp,dc=example"},
        {u"LDAP://host/dc=,dc=", u"LDAP://host/dc=,dc="},
        {u"LDAP://host", u"LDAP://host"},
    };
    for (const auto& c : cases) {
        const auto path = PathWithServer(c.path);
        ASSERT_TRUE(path.has_value()) << Utf16ToUtf8(c.path);
        EXPECT_EQ(*path, c.result) << Utf16ToUtf8(c.path);
    }
    // No server can be told from these.
    const char16_t* refused[] = {
        u"LDAP://dc=,dc=",  // the empty domain
        u"LDAP://dc=one,",
        u"LDAP://cn=Computers,dc=corp,dc=example",
        u"LDAP://dc=a b",
        u"LDAP://dc=one/x",
    };
    for (const auto* p : refused) EXPECT_FALSE(PathWithServer(p).has_value()) << Utf16ToUtf8(p);
}

// Bytes are Latin-1 here: characters above U+00FF become '?', as a code
// page's default character would, so the round trip is visible.
class Latin1Ansi : public AnsiCodePage {
public:
    std::string Encode(std::u16string_view text, bool* lossless) const override {
        std::string out;
        for (char16_t c : text) {
            if (c > 0xFF) {
                if (lossless) *lossless = false;
                out += '?';
            } else {
                out += static_cast<char>(c);
            }
        }
        return out;
    }
    std::u16string Decode(std::string_view bytes) const override {
        std::u16string out;
        for (char b : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(b));
        return out;
    }
};

class FakeDirectory : public DirectoryService {
public:
    std::u16string user;
    std::vector<std::u16string> records;
    bool fails = false;
    std::vector<std::u16string> queries;

    std::u16string UserNameDnsDomain() override { return user; }
    bool Search(const std::u16string& queryText, std::vector<std::u16string>& names) override {
        queries.push_back(queryText);
        names.insert(names.end(), records.begin(), records.end());
        return !fails;
    }
    // ASCII case folding stands in for the user's collation.
    int CompareNames(const std::u16string& a, const std::u16string& b) override {
        auto fold = [](std::u16string s) {
            for (auto& c : s) if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
            return s;
        };
        return fold(a).compare(fold(b));
    }
};

TEST(DirectoryServers, SortsCaseInsensitivelyAndKeepsDuplicates) {
    FakeDirectory dir;
    dir.user = u"corp.example\\ivanov";
    dir.records = {u"srv-b", u"SRV-TS01", u"srv-a", u"srv-ts01", u"srv-a"};
    Latin1Ansi ansi;
    const DirectoryFill fill = ReadDirectoryServers(dir, ansi);
    ASSERT_EQ(dir.queries.size(), 1u);
    EXPECT_EQ(dir.queries[0], BuildDirectoryQuery(u"corp.example"));
    EXPECT_TRUE(fill.ok);
    ASSERT_EQ(fill.sorted.size(), 5u);
    EXPECT_EQ(fill.sorted[0], u"srv-a");
    EXPECT_EQ(fill.sorted[1], u"srv-a");
    EXPECT_EQ(fill.sorted[2], u"srv-b");
    // The case variants are both there, next to each other, in either order.
    EXPECT_TRUE(std::is_permutation(fill.sorted.begin() + 3, fill.sorted.end(),
                                    std::vector<std::u16string>{u"SRV-TS01", u"srv-ts01"}.begin()));
    EXPECT_EQ(DirectoryDoneMessage(fill.sorted.size()), u"Готово!\rКоличество добавленных серверов: 5");
}

TEST(DirectoryServers, FailureKeepsTheNamesReadSoFarUnsorted) {
    FakeDirectory dir;
    dir.user = u"one.two.three\\ivanov";
    dir.records = {u"zeta", u"alpha"};
    dir.fails = true;
    Latin1Ansi ansi;
    const DirectoryFill fill = ReadDirectoryServers(dir, ansi);
    EXPECT_FALSE(fill.ok);
    EXPECT_EQ(fill.sorted, (std::vector<std::u16string>{u"zeta", u"alpha"}));
}

TEST(DirectoryServers, EmptyResultIsNoFailure) {
    FakeDirectory dir;
    dir.user = u"one.two\\ivanov";
    Latin1Ansi ansi;
    const DirectoryFill fill = ReadDirectoryServers(dir, ansi);
    EXPECT_TRUE(fill.ok);
    EXPECT_TRUE(fill.sorted.empty());
    EXPECT_EQ(DirectoryDoneMessage(0), u"Готово!\rКоличество добавленных серверов: 0");
}

TEST(DirectoryServers, QueryGoesThroughTheAnsiCodePage) {
    Latin1Ansi ansi;
    FakeDirectory unknownUser;  // no backslash: the empty domain
    unknownUser.user = u"ivanov";
    ReadDirectoryServers(unknownUser, ansi);
    ASSERT_EQ(unknownUser.queries.size(), 1u);
    EXPECT_EQ(unknownUser.queries[0], kHead + u" from 'LDAP://dc=,dc=" + kTail);

    FakeDirectory cyrillic;
    cyrillic.user = u"домен.рф\\ivanov";
    ReadDirectoryServers(cyrillic, ansi);
    ASSERT_EQ(cyrillic.queries.size(), 1u);
    EXPECT_EQ(cyrillic.queries[0], kHead + u" from 'LDAP://dc=?????,dc=??" + kTail);
}

// The directory as a server source: what the server box and the command line
// get, the same names as the reading above, and the failure the user is told.
TEST(DirectoryServers, AsASourceSortedWhenCompleteAndTheNamesReadSoFarWhenNot) {
    using Names = std::vector<std::u16string>;
    const struct {
        bool fails;
        ServerList::Outcome outcome;
        Names names;
        std::u16string failure;
    } cases[] = {
        {false, ServerList::Outcome::Complete, {u"alpha", u"Beta", u"zeta"}, u""},
        {true, ServerList::Outcome::Incomplete, {u"zeta", u"alpha", u"Beta"}, kDirectoryFailedMessage},
    };
    for (const auto& c : cases) {
        FakeDirectory dir;
        dir.user = u"corp.example\\ivanov";
        dir.records = {u"zeta", u"alpha", u"Beta"};
        dir.fails = c.fails;
        Latin1Ansi ansi;
        DirectoryServers source(dir, ansi);
        const ServerList list = source.Read();
        EXPECT_EQ(dir.queries, Names{BuildDirectoryQuery(u"corp.example")}) << c.fails;
        EXPECT_EQ(list.outcome, c.outcome) << c.fails;
        EXPECT_EQ(list.names, c.names) << c.fails;
        EXPECT_EQ(list.failure, c.failure) << c.fails;
        EXPECT_FALSE(list.encoding.has_value());
    }
}

}  // namespace
}  // namespace tarvenix
