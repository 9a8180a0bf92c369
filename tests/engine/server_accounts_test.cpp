// Servers reached under another account: each call carries its own server's
// account on the calling thread and only for that call; which stored entry a
// server uses; what happens when the account cannot be carried.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "sessions/server_accounts.h"
#include "sessions/server_listing_run.h"
#include "tests/common/fake_accounts.h"
#include "tests/common/fake_terminal_services.h"
#include "tests/common/test_executors.h"

namespace tarvenix::testing {
namespace {

FakeSession Sample(std::uint32_t id, std::u16string user) {
    FakeSession s;
    s.id = id;
    s.user = std::move(user);
    s.clientName = u"PC";
    s.winStation = u"RDP-Tcp";
    return s;
}

class ServerAccountsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char16_t* name : {u"TS01", u"TS02", u"TS03", u"ts04.corp.example", u"10.0.0.5"})
            wts.servers[name].sessions = {Sample(2, u"ivanov"), Sample(3, u"petrova")};
        // Every call, with the account its thread carried while it was served.
        wts.beforeCall = [this](const std::string& call) {
            const std::lock_guard<std::mutex> lock(mutex);
            carried.push_back({call, Utf16ToUtf8(ThreadCarries().account)});
        };
    }
    // Lists the server as Get data would, on this thread.
    std::vector<SessionRecord> List(const std::u16string& server, CallResult* result = nullptr) {
        std::vector<SessionRecord> records;
        const std::unique_ptr<TerminalServer> open = accounts.Open(server);
        const CallResult r = open->EnumerateSessions(records);
        for (const SessionRecord& s : records) open->QueryString(s.sessionId, SessionInfoClass::UserName);
        if (result) *result = r;
        return records;
    }
    // The accounts the calls ending in " SERVER" carried.
    std::vector<std::string> AccountsOf(const std::string& server) {
        std::vector<std::string> out;
        for (const auto& [call, account] : carried)
            if (call.size() > server.size() && call.compare(call.size() - server.size() - 1, std::string::npos, " " + server) == 0)
                out.push_back(account);
        return out;
    }

    FakeTerminalServices wts;
    FakeCarrier carrier;
    FakeCredentialStore store;
    ServerAccounts accounts{wts, carrier, &store};
    std::mutex mutex;
    std::vector<std::pair<std::string, std::string>> carried;
};

TEST_F(ServerAccountsTest, EachCallCarriesItsOwnServersAccountOnItsThreadAndOnlyForThatCall) {
    ASSERT_EQ(accounts.SignIn(u"TS01", MakeCredential(u"CORP\\admin", u"one"), false), 0u);
    ASSERT_EQ(accounts.SignIn(u"ts02", MakeCredential(u"admin@dmz.example", u"two"), false), 0u);
    // Three servers listed at once on three threads, many times over.
    std::vector<std::thread> threads;
    std::vector<std::u16string> leftOver(3);
    const std::u16string servers[] = {u"TS01", u"TS02", u"TS03"};
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) List(servers[t]);
            leftOver[t] = ThreadCarries().account;
        });
    for (std::thread& t : threads) t.join();
    const auto all = [](const std::vector<std::string>& got, const std::string& account) {
        return !got.empty() && std::all_of(got.begin(), got.end(), [&](const std::string& a) { return a == account; });
    };
    EXPECT_TRUE(all(AccountsOf("TS01"), "CORP\\admin"));
    EXPECT_TRUE(all(AccountsOf("TS02"), "admin@dmz.example")) << "the name compares in any case";
    EXPECT_TRUE(all(AccountsOf("TS03"), "")) << "a server without an account goes as the program's own user";
    EXPECT_EQ(AccountsOf("TS01").size(), 20u * 4u) << "open, enumeration and two queries, each carried";
    for (const std::u16string& left : leftOver) EXPECT_EQ(left, u"") << "a worker never keeps an account after a call";
    EXPECT_EQ(carrier.logons, (std::vector<std::u16string>{u"CORP\\admin", u"admin@dmz.example"}))
        << "one logon per sign-in, not one per call";
    EXPECT_EQ(accounts.AccountOf(u"ts01"), u"CORP\\admin");
    EXPECT_EQ(accounts.AccountOf(u"TS03"), std::nullopt);
}

TEST_F(ServerAccountsTest, AServerUsesItsOwnStoredEntryElseItsDomainsElseNone) {
    struct Case {
        const char16_t* server;
        std::map<std::u16string, std::u16string> entries;  // target -> account
        std::u16string expected;                          // "" : none
    };
    const Case cases[] = {
        {u"ts04.corp.example",
         {{u"Tarvenix/ts04.corp.example", u"CORP\\own"}, {u"Tarvenix/*.corp.example", u"CORP\\domain"}},
         u"CORP\\own"},
        {u"ts04.corp.example", {{u"Tarvenix/*.corp.example", u"CORP\\domain"}}, u"CORP\\domain"},
        {u"ts04.corp.example", {{u"Tarvenix/*.example", u"X\\parent"}}, u""},
        {u"TS01", {{u"Tarvenix/*.corp.example", u"CORP\\domain"}}, u""},
        {u"10.0.0.5", {{u"Tarvenix/*.0.0.5", u"X\\address"}}, u""},
        {u"10.0.0.5", {{u"Tarvenix/10.0.0.5", u"DMZ\\admin"}}, u"DMZ\\admin"},
    };
    for (const Case& c : cases) {
        FakeCredentialStore cased;
        for (const auto& [target, account] : c.entries) cased.entries[target] = {account, u"pw"};
        FakeTerminalServices farm;
        farm.servers[c.server].sessions = {Sample(2, u"ivanov")};
        std::vector<std::string> seen;
        farm.beforeCall = [&](const std::string&) { seen.push_back(Utf16ToUtf8(ThreadCarries().account)); };
        ServerAccounts scoped(farm, carrier, &cased);
        std::vector<SessionRecord> records;
        EXPECT_TRUE(scoped.Open(c.server)->EnumerateSessions(records).ok);
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[1], Utf16ToUtf8(c.expected)) << Utf16ToUtf8(c.server);
        EXPECT_EQ(scoped.StoredTarget(c.server).has_value(), !c.expected.empty()) << Utf16ToUtf8(c.server);
    }
}

TEST_F(ServerAccountsTest, AnAccountThatCannotBeCarriedFailsEveryCallOfItsServerAndSaysSo) {
    carrier.enterError = 6;  // as the system's impersonation does under Wine
    store.entries[u"Tarvenix/TS01"] = {u"CORP\\admin", u"secret"};
    CallResult result;
    EXPECT_TRUE(List(u"TS01", &result).empty());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, 6u);
    EXPECT_TRUE(AccountsOf("TS01").empty()) << "nothing reaches the server under the program's own account";
    const auto fault = accounts.Fault(u"TS01");
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->account, u"CORP\\admin");
    EXPECT_EQ(fault->target, u"Tarvenix/TS01");
    EXPECT_EQ(AccountFaultText(*fault, [](std::uint32_t) { return u"Неверный дескриптор."; }),
              u"Не удалось выполнить вызов от имени CORP\\admin: Неверный дескриптор. (6)");
    // The other servers are not touched.
    EXPECT_EQ(List(u"TS02").size(), 2u);
    EXPECT_FALSE(accounts.Fault(u"TS02"));

    // An entry that cannot be read: named, and nothing goes out.
    store.readErrors[u"Tarvenix/TS03"] = 1312;
    EXPECT_FALSE(accounts.Open(u"TS03")->EnumerateSessions(*std::make_unique<std::vector<SessionRecord>>()).ok);
    ASSERT_TRUE(accounts.Fault(u"TS03"));
    EXPECT_EQ(AccountFaultText(*accounts.Fault(u"TS03"), [](std::uint32_t) { return u"Сеанс не существует."; }),
              u"Не удалось прочитать учётные данные Tarvenix/TS03: Сеанс не существует. (1312)");
    EXPECT_TRUE(AccountsOf("TS03").empty());
}

TEST_F(ServerAccountsTest, SignInRemembersOnlyWhenAskedAndForgetRemovesTheEntryAndTheAccount) {
    ASSERT_EQ(accounts.SignIn(u"TS01", MakeCredential(u"CORP\\admin", u"one"), false), 0u);
    EXPECT_TRUE(store.writes.empty()) << "not remembered unless asked";
    std::uint32_t storeError = 99;
    ASSERT_EQ(accounts.SignIn(u"TS02", MakeCredential(u"CORP\\other", u"two"), true, &storeError), 0u);
    EXPECT_EQ(storeError, 0u);
    ASSERT_EQ(store.entries.count(u"Tarvenix/TS02"), 1u);
    EXPECT_EQ(store.entries[u"Tarvenix/TS02"].account, u"CORP\\other");
    EXPECT_EQ(store.entries[u"Tarvenix/TS02"].password, u"two");

    // A logon that fails changes nothing.
    carrier.logonError = 1326;
    EXPECT_EQ(accounts.SignIn(u"TS01", MakeCredential(u"CORP\\wrong", u"x"), true), 1326u);
    EXPECT_EQ(accounts.AccountOf(u"TS01"), u"CORP\\admin");
    EXPECT_EQ(store.entries.count(u"Tarvenix/TS01"), 0u);
    carrier.logonError = 0;

    // Forgotten: the entry and the account in memory go; the next call goes
    // without an account.
    EXPECT_EQ(accounts.StoredTarget(u"TS02"), u"Tarvenix/TS02");
    EXPECT_EQ(accounts.Forget(u"TS02", u"Tarvenix/TS02"), 0u);
    EXPECT_EQ(store.entries.count(u"Tarvenix/TS02"), 0u);
    EXPECT_EQ(accounts.AccountOf(u"TS02"), std::nullopt);
    carried.clear();
    List(u"TS02");
    EXPECT_EQ(AccountsOf("TS02"), (std::vector<std::string>(4, "")));
    EXPECT_EQ(accounts.Forget(u"TS02", u"Tarvenix/TS02"), kErrorNotFound);
}

TEST_F(ServerAccountsTest, ADomainEntryReadOnceServesItsServersUntilForgotten) {
    store.entries[u"Tarvenix/*.corp.example"] = {u"CORP\\admin", u"pw"};
    wts.servers[u"ts05.corp.example"].sessions = {Sample(2, u"ivanov")};
    List(u"ts04.corp.example");
    List(u"ts05.corp.example");
    List(u"ts04.corp.example");
    EXPECT_EQ(carrier.logons.size(), 2u) << "one logon per server, not per call";
    EXPECT_EQ(AccountsOf("ts05.corp.example").back(), "CORP\\admin");
    EXPECT_EQ(accounts.EntryInUse(u"TS05.corp.example"), u"Tarvenix/*.corp.example");
    ASSERT_EQ(accounts.SignIn(u"ts04.corp.example", MakeCredential(u"CORP\\own", u"x"), false), 0u);
    EXPECT_EQ(accounts.EntryInUse(u"ts04.corp.example"), std::nullopt) << "signed in: from no entry";
    ASSERT_EQ(accounts.Forget(u"ts04.corp.example", u"Tarvenix/*.corp.example"), 0u);
    carried.clear();
    List(u"ts05.corp.example");
    EXPECT_EQ(AccountsOf("ts05.corp.example").back(), "") << "the forgotten domain entry no longer serves its servers";
}

TEST_F(ServerAccountsTest, ACarriedListingOnTheEngineCarriesTheAccountOnItsWorkers) {
    ASSERT_EQ(accounts.SignIn(u"TS01", MakeCredential(u"CORP\\admin", u"one"), false), 0u);
    QueueDispatcher dispatcher;
    ThreadExecutor executor;
    InventoryOptions options;
    options.parallel = 2;
    bool done = false;
    InventoryOutcome outcome;
    InventoryCallbacks callbacks;
    callbacks.finished = [&](InventoryOutcome o) {
        outcome = std::move(o);
        done = true;
    };
    StartInventory(accounts, executor, dispatcher, u"TS01", options, CancelToken(), std::move(callbacks));
    dispatcher.RunUntil([&] { return done; });
    executor.Join();
    EXPECT_EQ(outcome.inventory.rows.size(), 2u);
    const std::vector<std::string> got = AccountsOf("TS01");
    ASSERT_FALSE(got.empty());
    for (const std::string& a : got) EXPECT_EQ(a, "CORP\\admin");
    EXPECT_EQ(ThreadCarries().account, u"") << "the calling thread never carried it";
}

}  // namespace
}  // namespace tarvenix::testing
