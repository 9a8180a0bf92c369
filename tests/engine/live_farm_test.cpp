// The live farm on real threads against the fake servers: events gathered into
// one listing, a server whose wait fails polled and watched again, the idle
// pass asking no enumeration, and stopping that flushes every wait and closes
// every handle, or abandons a waiter whose server no longer answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "sessions/live_farm.h"
#include "tests/common/fake_terminal_services.h"
#include "tests/engine/engine_test_support.h"

namespace tarvenix::testing {
namespace {

using namespace std::chrono_literals;

FakeServer WithUsers(std::uint32_t n) {
    FakeServer server;
    for (std::uint32_t i = 1; i <= n; ++i) {
        FakeSession s;
        s.id = i;
        s.user = u"user" + DecimalU32(i);
        s.winStation = u"RDP-Tcp";
        s.times = SessionTimes{};
        server.sessions.push_back(s);
    }
    return server;
}

class LiveFarmTest : public EngineFixture {
protected:
    LiveFarmTest() {
        wts.servers[u"TS01"] = WithUsers(2);
        wts.servers[u"TS02"] = WithUsers(1);
        wts.servers[u"TS03"] = WithUsers(1);
    }
    ~LiveFarmTest() override {
        // Nothing of the farm may outlive the fake servers.
        if (live) {
            EXPECT_TRUE(live->Close(5s));
        }
        live.reset();
        wts.ReleaseStuckWaits();
        EXPECT_TRUE(WaitFor([&] { return LiveFarm::WaitersRunning() == 0 && Closed() == Opened(); }));
        Drain();
    }

    void Start(const std::vector<std::u16string>& servers, std::chrono::milliseconds idleEvery = 0ms) {
        LiveSettings settings;
        settings.idleEvery = idleEvery;
        settings.listing.timeout = 5000ms;
        LiveCallbacks callbacks;
        callbacks.listed = [this](const std::u16string& server, InventoryOutcome outcome) {
            listed.push_back(server);
            lastRows = outcome.inventory.rows.size();
        };
        callbacks.idle = [this](const std::u16string& server, std::vector<IdleAnswer> answers) {
            idled.push_back(server);
            idleAnswers = std::move(answers);
        };
        callbacks.watchChanged = [this] { ++watchChanges; };
        callbacks.idleSessions = [this] { return idleSessions; };
        live = std::make_unique<LiveFarm>(wts, executor, dispatcher, std::move(settings), std::move(callbacks));
        live->Watch(servers);
    }

    template <typename F>
    bool WaitFor(F condition) {
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end) return false;
            dispatcher.RunPosted();
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }
    int Calls(const std::string& call) { return wts.CallCount(call); }
    int Opened() { return wts.OpenedCount(); }
    int Closed() { return wts.ClosedCount(); }
    // The server's event, once its waiter waits.
    void Event(const std::u16string& server, int waiting) {
        ASSERT_TRUE(WaitFor([&] { return wts.WaitsGoing() == waiting; }));
        wts.SignalEvents(server, session_events::kLogon);
    }

    std::unique_ptr<LiveFarm> live;
    std::vector<std::u16string> listed, idled;
    std::size_t lastRows = 0;
    std::vector<IdleAnswer> idleAnswers;
    std::vector<Session> idleSessions;
    int watchChanges = 0;
};

TEST_F(LiveFarmTest, EventsOfOneBurstListTheirServerOnceAndOnlyIt) {
    Start({u"TS01", u"TS02", u"TS03"});
    ASSERT_TRUE(WaitFor([&] { return wts.WaitsGoing() == 3; }));
    EXPECT_EQ(Opened(), 3);  // a handle of each waiter's own
    {
        std::lock_guard<std::recursive_mutex> lock(wts.mutex);
        wts.servers[u"TS02"] = WithUsers(4);  // three logons
    }
    for (int i = 0; i < 3; ++i) {
        Event(u"TS02", 3);
        ASSERT_TRUE(WaitFor([&] { return Calls("wait TS02") == i + 2; }));
    }
    dispatcher.RunPosted();
    EXPECT_TRUE(listed.empty()) << "listed before the pause that gathers events";
    dispatcher.FireTimers();  // the pause is over
    ASSERT_TRUE(WaitFor([&] { return listed.size() == 1; }));
    EXPECT_EQ(listed, std::vector<std::u16string>{u"TS02"});
    EXPECT_EQ(lastRows, 4u);
    EXPECT_EQ(Calls("enumerate TS02"), 1);
    EXPECT_EQ(Calls("enumerate TS01") + Calls("enumerate TS03"), 0);
    EXPECT_TRUE(live->Polled().empty());
}

TEST_F(LiveFarmTest, EventsDuringAListingListTheServerOnceMoreAfterIt) {
    Gate gate;
    wts.beforeCall = [&](const std::string& call) {
        if (call == "enumerate TS01") gate.Wait();
    };
    Start({u"TS01"});
    Event(u"TS01", 1);
    ASSERT_TRUE(WaitFor([&] { return Calls("wait TS01") == 2; }));
    dispatcher.RunPosted();
    dispatcher.FireTimers();
    ASSERT_TRUE(WaitFor([&] { return Calls("open TS01") == 2; }));  // the listing's own handle
    Event(u"TS01", 1);  // while the listing is held
    ASSERT_TRUE(WaitFor([&] { return Calls("wait TS01") == 3; }));
    dispatcher.RunPosted();
    gate.Open();
    ASSERT_TRUE(WaitFor([&] { return listed.size() == 1; }));
    dispatcher.FireTimers();
    ASSERT_TRUE(WaitFor([&] { return listed.size() == 2; }));
    EXPECT_EQ(Calls("enumerate TS01"), 2);
}

TEST_F(LiveFarmTest, AServerWhoseWaitFailsIsPolledThenWatchedAgain) {
    wts.servers[u"TS02"].waitError = 5;
    Start({u"TS01", u"TS02"});
    ASSERT_TRUE(WaitFor([&] { return live->Polled().size() == 1; }));
    EXPECT_EQ(live->Polled()[0].server, u"TS02");
    EXPECT_EQ(live->Polled()[0].error, 5u);
    EXPECT_EQ(watchChanges, 1);
    EXPECT_EQ(PolledLineText(live->Polled(), [](std::uint32_t) { return std::u16string(u"Отказано в доступе."); }),
              u"Без уведомлений, опрашиваются: TS02 (Отказано в доступе. (5))");

    // The poll lists it; the wait is tried once more (it fails again): no
    // tight loop, one wait a round.
    dispatcher.FireTimers();
    ASSERT_TRUE(WaitFor([&] { return listed.size() == 1 && Calls("wait TS02") == 2; }));
    EXPECT_EQ(listed[0], u"TS02");
    Drain();
    EXPECT_EQ(Calls("wait TS02"), 2);

    // The server lets the wait through now: after a while it is watched
    // again, and listed once for what changed meanwhile.
    {
        std::lock_guard<std::recursive_mutex> lock(wts.mutex);
        wts.servers[u"TS02"].waitError = 0;
    }
    dispatcher.FireTimers();  // the poll, and the next try of the wait
    ASSERT_TRUE(WaitFor([&] { return wts.WaitsGoing() == 2; }));
    dispatcher.FireTimers();  // the wait has lasted: watched
    EXPECT_TRUE(live->Polled().empty());
    EXPECT_EQ(watchChanges, 2);
}

TEST_F(LiveFarmTest, TheIdlePassAsksTheSessionInformationOnly) {
    Start({u"TS01", u"TS02"}, 60000ms);
    ASSERT_TRUE(WaitFor([&] { return wts.WaitsGoing() == 2; }));
    Session s1;
    s1.server = u"TS01";
    s1.id = 1;
    s1.user = u"user1";
    Session s2 = s1;
    s2.id = 2;
    idleSessions = {s1, s2};
    dispatcher.FireTimers();
    ASSERT_TRUE(WaitFor([&] { return idled.size() == 1; }));
    EXPECT_EQ(idled[0], u"TS01");
    ASSERT_EQ(idleAnswers.size(), 2u);
    EXPECT_TRUE(idleAnswers[0].ok);
    EXPECT_EQ(idleAnswers[1].info.user, u"user2");
    EXPECT_EQ(Calls("query 1 24 TS01") + Calls("query 2 24 TS01"), 2);
    EXPECT_EQ(Calls("enumerate TS01") + Calls("enumerate TS02"), 0);

    // Nothing to ask about (the idle column hidden): no call at all.
    idleSessions.clear();
    dispatcher.FireTimers();
    Drain();
    EXPECT_EQ(idled.size(), 1u);
}

TEST_F(LiveFarmTest, ClosingFlushesEveryWaitAndClosesEveryHandle) {
    Start({u"TS01", u"TS02", u"TS03"});
    ASSERT_TRUE(WaitFor([&] { return wts.WaitsGoing() == 3; }));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(live->Close(5s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(Closed(), Opened());
    EXPECT_EQ(Calls("flush TS01") + Calls("flush TS02") + Calls("flush TS03"), 3);
    EXPECT_EQ(wts.WaitsGoing(), 0);
    // Leaving a view stops the servers it no longer lists only.
    live.reset();
}

TEST_F(LiveFarmTest, WatchingAnotherSetKeepsTheWaitersOfServersInBoth) {
    Start({u"TS01", u"TS02"});
    ASSERT_TRUE(WaitFor([&] { return wts.WaitsGoing() == 2; }));
    live->Watch({u"ts02", u"TS03"});
    // TS01's wait flushed and ended, TS03's begun.
    ASSERT_TRUE(WaitFor([&] { return Calls("wait TS03") == 1 && Calls("flush TS01") == 1 && wts.WaitsGoing() == 2; }));
    EXPECT_EQ(Calls("open TS02"), 1);
    EXPECT_EQ(Calls("open TS03"), 1);
    EXPECT_EQ(Calls("flush TS02"), 0);
}

TEST_F(LiveFarmTest, AWaiterWhoseServerNoLongerAnswersIsAbandonedAtClose) {
    wts.flushReleases = false;
    Start({u"TS01"});
    ASSERT_TRUE(WaitFor([&] { return wts.WaitsGoing() == 1; }));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(live->Close(200ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    // A late end of its wait posts nothing and closes its handle on its own thread.
    wts.ReleaseStuckWaits();
    EXPECT_TRUE(WaitFor([&] { return Closed() == Opened(); }));
    dispatcher.RunPosted();
    EXPECT_TRUE(listed.empty());
    live.reset();
}

}  // namespace
}  // namespace tarvenix::testing
