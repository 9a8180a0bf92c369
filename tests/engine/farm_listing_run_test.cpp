// The farm run with real threads: rows grouped by server in list order, a
// failed or stuck server in its place without holding the others, at most so
// many servers and so many session queries at once over the whole farm, and
// cancel. Calls are held with gates and barriers, never with sleeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>
#include <string>
#include <vector>

#include "base/engine.h"
#include "base/text.h"
#include "sessions/farm_listing_run.h"
#include "tests/common/fake_terminal_services.h"
#include "tests/common/test_executors.h"
#include "tests/engine/engine_test_support.h"

namespace tarvenix::testing {
namespace {

using namespace std::chrono_literals;

FakeServer Users(const std::u16string& prefix, std::uint32_t n) {
    FakeServer server;
    for (std::uint32_t i = 1; i <= n; ++i) {
        FakeSession s;
        s.id = i;
        s.state = i % 2 == 0 ? 4 : 0;
        s.user = prefix + DecimalU32(i);
        s.clientName = u"PC";
        s.winStation = u"RDP-Tcp";
        server.sessions.push_back(s);
    }
    return server;
}

// Keeps track of how many calls of one kind are in flight at once.
struct InFlight {
    std::atomic<int> now{0}, most{0};
    void Enter() {
        const int n = ++now;
        int seen = most.load();
        while (n > seen && !most.compare_exchange_weak(seen, n)) {
        }
    }
    void Leave() { --now; }
};

class FarmTest : public EngineFixture {
protected:
    void Start(std::vector<std::u16string> servers, const CancelToken& token, FarmOptions options = {}) {
        options.timeout = 1000ms;  // fired by hand
        FarmCallbacks callbacks;
        callbacks.progress = [this](std::size_t done, std::size_t total) { progress.push_back({done, total}); };
        callbacks.finished = [this](FarmOutcome o) {
            ++finishedCount;
            outcome = std::move(o);
        };
        StartFarmInventory(wts, executor, dispatcher, std::move(servers), options, token, std::move(callbacks));
    }
    int finishedCount = 0;
    FarmOutcome outcome;
    std::vector<std::pair<std::size_t, std::size_t>> progress;
};

TEST_F(FarmTest, RowsComeGroupedByServerInListOrderWithFailuresInTheirPlace) {
    wts.servers[u"TS01"] = Users(u"a", 3);
    wts.servers[u"TS02"] = Users(u"b", 2);
    wts.servers[u"TS03"] = Users(u"c", 4);
    wts.servers[u"TS03"].enumerateError = 5;
    // TS04 is unknown: its open fails with 1722. "ts01" is TS01 again.
    Start({u"TS02", u"TS01", u"ts01", u"TS03", u" TS04 ", u""}, CancelToken());
    ASSERT_TRUE(dispatcher.RunUntil([&] { return finishedCount == 1; }));
    Drain();
    ASSERT_EQ(outcome.servers.size(), 4u);
    std::vector<std::u16string> names, users;
    for (const ServerOutcome& s : outcome.servers) {
        names.push_back(s.server);
        for (const auto& r : s.outcome.inventory.rows) users.push_back(r.user);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"TS02", u"TS01", u"TS03", u"TS04"}));
    EXPECT_EQ(users, (std::vector<std::u16string>{u"b1", u"b2", u"a1", u"a2", u"a3"}));
    EXPECT_EQ(outcome.RowCount(), 5u);
    EXPECT_EQ(outcome.ActiveCount(), 3);  // a1, a3, b1
    EXPECT_EQ(outcome.FailedCount(), 2u);
    EXPECT_EQ(outcome.servers[2].outcome.inventory.error, 5u);
    EXPECT_EQ(outcome.servers[3].outcome.inventory.error, 1722u);
    const DescribeError describe = [](std::uint32_t code) { return code == 5 ? u"Отказано в доступе." : u""; };
    EXPECT_EQ(ServerFailureText(outcome.servers[2], 1000, describe), u"TS03: Отказано в доступе. (5)");
    EXPECT_EQ(ServerFailureText(outcome.servers[0], 1000, describe), u"");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), (std::pair<std::size_t, std::size_t>{0, 4}));
    EXPECT_EQ(progress.back(), (std::pair<std::size_t, std::size_t>{4, 4}));
    EXPECT_EQ(wts.opened, wts.closed);
}

TEST_F(FarmTest, AtMostSoManyServersOpenedAndSoManySessionQueriesAtOnceEachAndOverTheFarm) {
    std::vector<std::u16string> names;
    for (int i = 1; i <= 6; ++i) {
        names.push_back(u"TS" + DecimalU32(i));
        wts.servers[names.back()] = Users(u"u", 12);
    }
    InFlight enumerations, queries;
    std::map<std::string, InFlight> perServer;
    for (int i = 1; i <= 6; ++i) perServer["TS" + std::to_string(i)];
    Barrier threeServers(3);     // the first three enumerations meet: three servers at once
    std::atomic<int> enumerated{0};
    wts.beforeCall = [&](const std::string& call) {
        if (call.rfind("enumerate ", 0) == 0) {
            enumerations.Enter();
            if (++enumerated <= 3) threeServers.Arrive();
            enumerations.Leave();
        } else if (call.rfind("query ", 0) == 0 && call.find(" 10 ") != std::string::npos) {
            InFlight& server = perServer.at(call.substr(call.rfind(' ') + 1));
            queries.Enter();
            server.Enter();
            std::this_thread::yield();
            server.Leave();
            queries.Leave();
        }
    };
    FarmOptions options;
    options.parallelServers = 3;
    options.parallelSessionsPerServer = 2;
    options.parallelSessions = 5;
    Start(names, CancelToken(), options);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return finishedCount == 1; }));
    Drain();
    EXPECT_EQ(enumerations.most.load(), 3);
    EXPECT_LE(queries.most.load(), 5) << "the session bound holds over all servers together";
    for (const auto& [name, server] : perServer) EXPECT_LE(server.most.load(), 2) << name;
    EXPECT_EQ(outcome.RowCount(), 72u);
    EXPECT_EQ(outcome.FailedCount(), 0u);
}

TEST_F(FarmTest, AServerQueryingItsSessionsLeavesItsPlaceToTheNextServer) {
    // One place for opening: TS1's session queries are held, yet TS2 is
    // opened and enumerated meanwhile.
    wts.servers[u"TS1"] = Users(u"a", 3);
    wts.servers[u"TS2"] = Users(u"b", 3);
    Gate release;
    std::atomic<bool> ts2Enumerated{false};
    wts.beforeCall = [&](const std::string& call) {
        if (call == "enumerate TS2") ts2Enumerated = true;
        if (call.rfind("query ", 0) == 0 && call.find("TS1") != std::string::npos) release.Wait();
    };
    FarmOptions options;
    options.parallelServers = 1;
    Start({u"TS1", u"TS2"}, CancelToken(), options);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return ts2Enumerated.load(); }));
    EXPECT_EQ(finishedCount, 0);
    release.Open();
    ASSERT_TRUE(dispatcher.RunUntil([&] { return finishedCount == 1; }));
    Drain();
    EXPECT_EQ(outcome.RowCount(), 6u);
}

TEST_F(FarmTest, AStuckServerEndsByItsTimeOutWithoutHoldingTheOthers) {
    wts.servers[u"TS01"] = Users(u"a", 2);
    wts.servers[u"STUCK"] = Users(u"s", 2);
    wts.servers[u"TS03"] = Users(u"c", 2);
    Gate answer;
    wts.beforeCall = [&](const std::string& call) {
        if (call == "enumerate STUCK") answer.Wait();
    };
    FarmOptions options;
    options.parallelServers = 2;  // the stuck one takes one of two places
    Start({u"STUCK", u"TS01", u"TS03"}, CancelToken(), options);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return progress.size() == 3; })) << "both others end while STUCK hangs";
    EXPECT_EQ(finishedCount, 0);
    dispatcher.FireTimers();
    EXPECT_EQ(finishedCount, 1);
    EXPECT_TRUE(outcome.servers[0].outcome.timedOut);
    EXPECT_EQ(ServerFailureText(outcome.servers[0], 15000, {}), u"Сервер STUCK не ответил за 15 с.");
    EXPECT_EQ(outcome.RowCount(), 4u);
    answer.Open();
    Drain();
    EXPECT_EQ(finishedCount, 1);
    EXPECT_EQ(wts.opened, wts.closed);
}

TEST_F(FarmTest, AServerHangingInASessionQueryEndsAtItsDeadlineAndHoldsBackNoOtherServer) {
    wts.servers[u"HUNG"] = Users(u"h", 3);
    wts.servers[u"TS01"] = Users(u"a", 2);
    wts.servers[u"TS03"] = Users(u"c", 2);
    Gate answer;
    std::atomic<bool> hanging{false};
    wts.beforeCall = [&](const std::string& call) {
        if (call != "query 2 10 HUNG") return;
        hanging = true;
        answer.Wait();
    };
    FarmOptions options;
    options.parallelServers = 1;            // HUNG leaves its place once enumerated
    options.parallelSessionsPerServer = 1;  // its session 1 is answered before session 2 hangs
    Start({u"HUNG", u"TS01", u"TS03"}, CancelToken(), options);
    // (Expectations only until the gate is open: a failure must not hang the test.)
    EXPECT_TRUE(dispatcher.RunUntil([&] { return hanging.load() && progress.size() == 3; }))
        << "both others end while HUNG hangs";
    EXPECT_EQ(finishedCount, 0);
    dispatcher.FireTimers();
    EXPECT_EQ(finishedCount, 1);
    std::vector<std::u16string> users;
    if (!outcome.servers.empty()) {
        const InventoryOutcome& hung = outcome.servers[0].outcome;
        EXPECT_TRUE(hung.timedOut);
        for (const auto& r : hung.inventory.rows) users.push_back(r.user);
        EXPECT_EQ(hung.inventory.activeCount, 1);
        EXPECT_EQ(ServerFailureText(outcome.servers[0], 15000, {}), u"Сервер HUNG не ответил за 15 с.");
    }
    EXPECT_EQ(users, std::vector<std::u16string>{u"h1"}) << "the session answered before the deadline";
    EXPECT_EQ(outcome.FailedCount(), 1u);
    EXPECT_EQ(outcome.RowCount(), 5u);
    answer.Open();
    Drain();
    EXPECT_EQ(finishedCount, 1);
    EXPECT_EQ(std::count(wts.calls.begin(), wts.calls.end(), "query 3 10 HUNG"), 0) << "started after the deadline";
    EXPECT_EQ(wts.opened, 3);
    EXPECT_EQ(wts.closed, 3);
    for (const std::thread::id& thread : wts.closedOn) EXPECT_NE(thread, std::this_thread::get_id());
}

TEST_F(FarmTest, ACancelledRunDeliversNothingAndStartsNoFurtherServer) {
    for (int i = 1; i <= 4; ++i) wts.servers[u"TS" + DecimalU32(i)] = Users(u"u", 3);
    Gate release;
    std::atomic<int> held{0};
    wts.beforeCall = [&](const std::string& call) {
        if (call.rfind("enumerate ", 0) != 0) return;
        ++held;
        release.Wait();
    };
    CancelToken token;
    FarmOptions options;
    options.parallelServers = 2;
    Start({u"TS1", u"TS2", u"TS3", u"TS4"}, token, options);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return held.load() == 2; }));
    token.Cancel();
    release.Open();
    Drain();
    EXPECT_EQ(finishedCount, 0);
    EXPECT_EQ(held.load(), 2);
    EXPECT_EQ(std::count_if(wts.calls.begin(), wts.calls.end(), [](const std::string& c) { return c.rfind("query", 0) == 0; }), 0);
    EXPECT_EQ(wts.opened, wts.closed);
}

TEST_F(FarmTest, AnEmptyListEndsAtOnceWithNothing) {
    Start({u"", u"  "}, CancelToken());
    ASSERT_TRUE(dispatcher.RunUntil([&] { return finishedCount == 1; }));
    EXPECT_TRUE(outcome.servers.empty());
    EXPECT_TRUE(wts.calls.empty());
}

TEST(LimitedExecutor, RunsEverythingNeverMoreThanItsLimit) {
    for (std::size_t limit : {1u, 3u}) {
        SCOPED_TRACE(limit);
        ThreadExecutor threads;
        InFlight inFlight;
        std::atomic<int> ran{0};
        {
            LimitedExecutor limited(threads, limit);
            for (int i = 0; i < 40; ++i)
                limited.Submit([&] {
                    inFlight.Enter();
                    std::this_thread::yield();
                    ++ran;
                    inFlight.Leave();
                });
        }  // the work goes on after the executor is gone
        threads.Join();
        EXPECT_EQ(ran.load(), 40);
        EXPECT_LE(inFlight.most.load(), static_cast<int>(limit));
    }
}

}  // namespace
}  // namespace tarvenix::testing
