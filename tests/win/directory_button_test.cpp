// The "LDAP" image button: the history replaced by the sorted server names of the domain.
#include <windows.h>

#include <gtest/gtest.h>

#include "servers/directory.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;

class FakeDirectory final : public DirectoryService {
public:
    std::u16string user = u"corp.example\\admin";
    Texts names;
    bool fails = false;
    std::vector<std::u16string> queries;

    std::u16string UserNameDnsDomain() override { return user; }
    bool Search(const std::u16string& query, std::vector<std::u16string>& out) override {
        queries.push_back(query);
        out.insert(out.end(), names.begin(), names.end());
        return !fails;
    }
    int CompareNames(const std::u16string& a, const std::u16string& b) override {
        // Case-insensitive for the test's Latin names, like the user's collation.
        const auto fold = [](std::u16string s) {
            for (auto& ch : s)
                if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - 32);
            return s;
        };
        const std::u16string fa = fold(a), fb = fold(b);
        return fa < fb ? -1 : (fa == fb ? 0 : 1);
    }
};

class DirectoryButtonTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        directoryServers = &source;
    }
    FakeDirectory directory;
    DirectoryServers source{directory, *ansi};
};

TEST_F(DirectoryButtonTest, ReplacesTheHistoryWithSortedNamesAndCountsDuplicates) {
    directory.names = {u"ts02", u"TS01", u"ts01", u"App-Srv"};
    Open();
    window->Servers().SetHistory({u"old1", u"old2"});
    window->Servers().SetText(u"typed");
    Command(kCmdServersFromDirectory);
    ASSERT_EQ(directory.queries.size(), 1u);
    EXPECT_EQ(directory.queries[0],
              u"select Name, operatingsystem from 'LDAP://dc=corp,dc=example' where objectclass='computer' and "
              u"operatingsystem='*server*'");
    const Texts history = window->Servers().History();
    ASSERT_EQ(history.size(), 4u);
    EXPECT_EQ(history[0], u"App-Srv");
    EXPECT_EQ(history[3], u"ts02");
    EXPECT_TRUE((history[1] == u"TS01" && history[2] == u"ts01") || (history[1] == u"ts01" && history[2] == u"TS01"));
    EXPECT_EQ(window->Servers().Text(), u"App-Srv");
    // "Готово!", CR without LF, then the count of every entry, duplicates included.
    EXPECT_EQ(dialogs.messages, (Texts{u"Готово!\rКоличество добавленных серверов: 4"}));
}

TEST_F(DirectoryButtonTest, FailureLeavesAnEmptyBoxAndSaysSo) {
    Open();
    window->Servers().SetHistory({u"old"});
    window->Servers().SetText(u"old");
    directory.fails = true;
    Command(kCmdServersFromDirectory);
    EXPECT_EQ(window->Servers().Text(), u"");
    EXPECT_TRUE(window->Servers().History().empty());
    EXPECT_EQ(dialogs.messages, (Texts{u"Не могу получить список серверов вашего домена!"}));

    // Names read before the failure stay, unsorted, with an empty box text.
    directory.names = {u"b", u"a"};
    Command(kCmdServersFromDirectory);
    EXPECT_EQ(window->Servers().History(), (Texts{u"b", u"a"}));
    EXPECT_EQ(window->Servers().Text(), u"");
}

TEST_F(DirectoryButtonTest, EmptyResultCountsZeroAndUnknownDomainFails) {
    Open();
    Command(kCmdServersFromDirectory);
    EXPECT_EQ(dialogs.messages.back(), u"Готово!\rКоличество добавленных серверов: 0");
    EXPECT_EQ(window->Servers().Text(), u"");

    directory.user = u"";  // no domain: the query for LDAP://dc=,dc=
    directory.fails = true;
    Command(kCmdServersFromDirectory);
    EXPECT_EQ(directory.queries.back(),
              u"select Name, operatingsystem from 'LDAP://dc=,dc=' where objectclass='computer' and "
              u"operatingsystem='*server*'");
    EXPECT_EQ(dialogs.messages.back(), u"Не могу получить список серверов вашего домена!");
    EXPECT_FALSE(window->Servers().HistoryEncoding().has_value()) << "the encoding of the history file is left alone";
}

}  // namespace
}  // namespace tarvenix::testing
