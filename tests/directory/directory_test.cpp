// The directory access against a real LDAP directory: run through
// run-directory-tests.sh, which starts slapd with the fixtures beside this
// file and passes its port in TARVENIX_LDAP_PORT.
#include <windows.h>
#include <objbase.h>
#define SECURITY_WIN32
#include <security.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/ansi_code_page_win.h"
#include "base/text.h"
#include "base/win_text.h"
#include "servers/directory.h"
#include "servers/directory_win.h"

namespace tarvenix {
namespace {

using Names = std::vector<std::u16string>;

// The server computers of one.two.three (fixture one-two-three.ldif).
const Names kServers = {u"srv-ts01", u"SRV-TS01", u"Сервер-Бухгалтерия", u"сервер-ёлка", u"srv-linux"};

std::u16string LdapPort() {
    wchar_t port[16] = {};
    const DWORD n = GetEnvironmentVariableW(L"TARVENIX_LDAP_PORT", port, 16);
    return (n > 0 && n < 16) ? U16(port, n) : std::u16string();
}

// The query the builder makes for `domain`, sent to the test directory
// instead of the host the domain names.
std::u16string QueryAt(const std::u16string& domain, const std::u16string& hostPort) {
    std::u16string query = BuildDirectoryQuery(domain);
    const std::u16string from = u"LDAP://" + domain + u"/";
    const auto at = query.find(from);
    if (at != std::u16string::npos) query.replace(at, from.size(), u"LDAP://" + hostPort + u"/");
    return query;
}

// The environment fallback is only taken where the system knows no domain
// (always so under Wine).
bool SignedInToADomain() {
    char probe[251] = {};
    ULONG size = 250;
    return GetUserNameExA(NameDnsDomain, probe, &size) != 0;
}

Names Sorted(Names v) {
    std::sort(v.begin(), v.end());
    return v;
}

std::string Show(const Names& names) {
    std::string out;
    for (const auto& n : names) out += "[" + Utf16ToUtf8(n) + "]";
    return out;
}

// Sets an environment variable for one test, restoring it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const wchar_t* value) : name_(name) {
        wchar_t buffer[512];
        const DWORD n = GetEnvironmentVariableW(name, buffer, 512);
        had_ = n > 0 && n < 512;
        if (had_) old_.assign(buffer, n);
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnv() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const wchar_t* name_;
    bool had_ = false;
    std::wstring old_;
};

class DirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        comReady_ = true;
        port_ = LdapPort();
        ASSERT_FALSE(port_.empty()) << "TARVENIX_LDAP_PORT is not set: run through run-directory-tests.sh";
        hostPort_ = u"127.0.0.1:" + port_;
    }
    void TearDown() override {
        if (comReady_) CoUninitialize();
    }

    bool comReady_ = false;
    std::u16string port_;
    std::u16string hostPort_;
    AdsiDirectoryService directory_;
};

TEST_F(DirectoryTest, FindsExactlyTheServerComputers) {
    Names names;
    ASSERT_TRUE(directory_.Search(QueryAt(u"one.two.three", hostPort_), names))
        << std::hex << directory_.LastResult();
    // Workstations, a computer without an operating system and the
    // organisational entries stay out; Cyrillic names arrive intact and both
    // case variants of srv-ts01 are there.
    EXPECT_EQ(Sorted(names), Sorted(kServers)) << Show(names);
}

TEST_F(DirectoryTest, AppendsToTheNamesAlreadyThere) {
    Names names = {u"earlier"};
    ASSERT_TRUE(directory_.Search(QueryAt(u"one.two.three", hostPort_), names));
    ASSERT_EQ(names.size(), kServers.size() + 1);
    EXPECT_EQ(names.front(), u"earlier");
}

TEST_F(DirectoryTest, EmptyResultIsSuccess) {
    Names names;
    EXPECT_TRUE(directory_.Search(
        u"select Name, operatingsystem from 'LDAP://" + hostPort_ +
            u"/dc=corp,dc=example' where objectclass='computer' and operatingsystem='*server*'",
        names))
        << std::hex << directory_.LastResult();
    EXPECT_TRUE(names.empty()) << Show(names);
}

TEST_F(DirectoryTest, UnreachableOrWrongPathFails) {
    const std::u16string tail = u"' where objectclass='computer' and operatingsystem='*server*'";
    const std::u16string queries[] = {
        // Nothing listens on port 1.
        u"select Name, operatingsystem from 'LDAP://127.0.0.1:1/dc=one,dc=two,dc=three" + tail,
        // A base that names no object, inside and outside the directory's suffixes.
        u"select Name, operatingsystem from 'LDAP://" + hostPort_ + u"/dc=four,dc=one,dc=two,dc=three" + tail,
        u"select Name, operatingsystem from 'LDAP://" + hostPort_ + u"/dc=nowhere,dc=example" + tail,
        // No domain: a path naming no server and no object.
        BuildDirectoryQuery(u""),
        // A path without a server, which the domain's name stands in for;
        // nothing answers on the default port here.
        BuildDirectoryQuery(u"localhost"),
        // Not a query at all.
        u"select Name from nowhere",
    };
    for (const auto& q : queries) {
        Names names;
        EXPECT_FALSE(directory_.Search(q, names)) << Utf16ToUtf8(q);
        EXPECT_TRUE(names.empty()) << Utf16ToUtf8(q) << " " << Show(names);
        EXPECT_TRUE(FAILED(directory_.LastResult())) << Utf16ToUtf8(q);
    }
}

// The whole reading for a user of one.two.three: the domain from the
// environment, the builder's query (through the system code page), the
// search, and the sort by the user's collation.
class RedirectedDirectory : public DirectoryService {
public:
    RedirectedDirectory(AdsiDirectoryService& real, std::u16string from, std::u16string to)
        : real_(real), from_(std::move(from)), to_(std::move(to)) {}
    std::u16string UserNameDnsDomain() override { return real_.UserNameDnsDomain(); }
    bool Search(const std::u16string& queryText, Names& names) override {
        queries.push_back(queryText);
        std::u16string q = queryText;
        const auto at = q.find(from_);
        if (at != std::u16string::npos) q.replace(at, from_.size(), to_);
        return real_.Search(q, names);
    }
    int CompareNames(const std::u16string& a, const std::u16string& b) override { return real_.CompareNames(a, b); }
    Names queries;

private:
    AdsiDirectoryService& real_;
    std::u16string from_, to_;
};

TEST_F(DirectoryTest, ReadsAndSortsTheServersOfTheUsersDomain) {
    const auto search = TranslateQuery(BuildDirectoryQuery(u"one.two.three"));
    ASSERT_TRUE(search.has_value());
    EXPECT_EQ(search->path, u"LDAP://one.two.three/dc=one,dc=two,dc=three");
    EXPECT_EQ(search->filter, u"(&(objectClass=computer)(operatingSystem=*server*))");

    if (SignedInToADomain()) GTEST_SKIP() << "signed in to a real domain";
    ScopedEnv domain(L"USERDNSDOMAIN", L"one.two.three");
    RedirectedDirectory dir(directory_, u"LDAP://one.two.three/", u"LDAP://" + hostPort_ + u"/");
    SystemAnsiCodePage ansi;
    const DirectoryFill fill = ReadDirectoryServers(dir, ansi);
    ASSERT_EQ(dir.queries.size(), 1u);
    EXPECT_EQ(dir.queries[0], BuildDirectoryQuery(u"one.two.three"));
    ASSERT_TRUE(fill.ok) << std::hex << directory_.LastResult();
    ASSERT_EQ(fill.sorted.size(), kServers.size()) << Show(fill.sorted);
    // Latin before Cyrillic; the case variants next to each other.
    const Names latin(fill.sorted.begin(), fill.sorted.begin() + 3);
    EXPECT_EQ(latin[0], u"srv-linux") << Show(fill.sorted);
    EXPECT_EQ(Sorted(Names(latin.begin() + 1, latin.end())), Sorted({u"srv-ts01", u"SRV-TS01"})) << Show(fill.sorted);
    EXPECT_EQ(fill.sorted[3], u"Сервер-Бухгалтерия") << Show(fill.sorted);
    EXPECT_EQ(fill.sorted[4], u"сервер-ёлка") << Show(fill.sorted);
    EXPECT_EQ(DirectoryDoneMessage(fill.sorted.size()), u"Готово!\rКоличество добавленных серверов: 5");
}

TEST_F(DirectoryTest, UserNameFallsBackToTheEnvironment) {
    if (SignedInToADomain()) GTEST_SKIP() << "signed in to a real domain";
    {
        ScopedEnv domain(L"USERDNSDOMAIN", L"one.two.three");
        ScopedEnv user(L"USERNAME", L"Иванов");
        EXPECT_EQ(directory_.UserNameDnsDomain(), u"one.two.three\\Иванов");
        EXPECT_EQ(DomainFromUserName(directory_.UserNameDnsDomain()), u"one.two.three");
    }
    {
        ScopedEnv domain(L"USERDNSDOMAIN", L"corp.example");
        ScopedEnv user(L"USERNAME", nullptr);
        EXPECT_EQ(directory_.UserNameDnsDomain(), u"corp.example\\");
    }
    {
        ScopedEnv domain(L"USERDNSDOMAIN", nullptr);
        EXPECT_EQ(directory_.UserNameDnsDomain(), u"");
    }
}

TEST_F(DirectoryTest, NamesCompareByTheUsersCollationIgnoringCase) {
    const struct { const char16_t* a; const char16_t* b; int sign; } cases[] = {
        {u"srv-ts01", u"SRV-TS01", 0},
        {u"Сервер", u"сервер", 0},
        {u"alpha", u"Beta", -1},
        {u"Beta", u"alpha", 1},
        {u"SRV10", u"SRV9", -1},  // no numeric order
        {u"zeta", u"Альфа", -1},  // Latin before Cyrillic
        {u"Ёж", u"жук", -1},      // ё sorts with е, not after я
    };
    for (const auto& c : cases) {
        const int r = directory_.CompareNames(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << Utf16ToUtf8(c.a) << " vs " << Utf16ToUtf8(c.b);
    }
}

}  // namespace
}  // namespace tarvenix
