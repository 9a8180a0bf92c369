// The engine with real threads: bounded parallelism, cancel, supersede, the
// time-out of open + enumerate, a failure in the middle, and the same rows as
// the one-after-another inventory. Calls are held with gates and barriers,
// never with sleeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "actions/bulk_run.h"
#include "base/engine.h"
#include "base/text.h"
#include "sessions/server_listing_run.h"
#include "sessions/session_queries.h"
#include "tests/common/fake_terminal_services.h"
#include "tests/common/test_executors.h"
#include "tests/engine/engine_test_support.h"

namespace tarvenix::testing {
namespace {

using namespace std::chrono_literals;

FakeSession Session(std::uint32_t id, std::optional<std::u16string> user, std::uint32_t state = 0) {
    FakeSession s;
    s.id = id;
    s.state = state;
    s.user = std::move(user);
    s.clientName = u"PC-" + DecimalU32(id);
    s.winStation = u"RDP-Tcp#" + DecimalU32(id);
    s.address = IPv4(10, 0, static_cast<std::uint8_t>(id / 256), static_cast<std::uint8_t>(id % 256));
    return s;
}

// A farm of n sessions in which every fifth has no user (its row is left
// out) and the states cycle through active, disconnected and idle.
FakeServer GeneratedServer(std::uint32_t n) {
    FakeServer server;
    const std::uint32_t states[] = {0, 4, 5};
    for (std::uint32_t i = 1; i <= n; ++i)
        server.sessions.push_back(Session(i, i % 5 == 0 ? std::nullopt : std::optional<std::u16string>(u"user" + DecimalU32(i)),
                                          states[i % 3]));
    return server;
}

std::vector<std::vector<std::u16string>> Texts(const SessionInventory& inventory) {
    std::vector<std::vector<std::u16string>> out;
    for (const auto& r : inventory.rows)
        out.push_back({DecimalU32(r.id), r.user, r.clientName, r.address, ConnectStateName(r.state), r.winStation});
    return out;
}

struct Finished {
    int count = 0;
    InventoryOutcome outcome;
};

class EngineTest : public EngineFixture {
protected:
    // Starts Get data of `server` on real threads.
    void Start(const std::u16string& server, const CancelToken& token, Finished& finished, std::size_t parallel = 16,
               std::vector<std::pair<std::size_t, std::size_t>>* progress = nullptr) {
        InventoryOptions options;
        options.parallel = parallel;
        options.timeout = 1000ms;  // fired by hand
        InventoryCallbacks callbacks;
        callbacks.finished = [&finished](InventoryOutcome o) {
            ++finished.count;
            finished.outcome = std::move(o);
        };
        if (progress) callbacks.progress = [progress](std::size_t d, std::size_t t) { progress->push_back({d, t}); };
        StartInventory(wts, executor, dispatcher, server, options, token, std::move(callbacks));
    }
};

TEST(ForEachBounded, EachItemOnceNeverMoreThanTheLimitAndOneEnd) {
    const struct { std::size_t count, limit; } cases[] = {{0, 4}, {1, 4}, {3, 16}, {50, 4}, {50, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " items, limit " + std::to_string(c.limit));
        ThreadExecutor executor;
        std::vector<std::atomic<int>> runs(c.count);
        std::atomic<int> inFlight{0}, maxInFlight{0}, ends{0};
        ForEachBounded(
            executor, c.count, c.limit, CancelToken(),
            [&](std::size_t i) {
                const int now = ++inFlight;
                int seen = maxInFlight.load();
                while (now > seen && !maxInFlight.compare_exchange_weak(seen, now)) {
                }
                ++runs[i];
                --inFlight;
            },
            [&] {
                EXPECT_EQ(inFlight.load(), 0) << "the end comes after every item returned";
                ++ends;
            });
        executor.Join();
        EXPECT_EQ(ends.load(), 1);
        for (std::size_t i = 0; i < c.count; ++i) EXPECT_EQ(runs[i].load(), 1) << "item " << i;
        EXPECT_LE(maxInFlight.load(), static_cast<int>(c.limit));
    }
}

TEST(ForEachBounded, ReachesItsLimitWhenItemsWaitForEachOther) {
    // Three items can only go on once three are in flight at once.
    ThreadExecutor executor;
    Barrier three(3);
    std::atomic<int> done{0};
    ForEachBounded(
        executor, 9, 3, CancelToken(), [&](std::size_t i) {
            if (i < 3) three.Arrive();
            ++done;
        },
        [] {});
    executor.Join();
    EXPECT_EQ(done.load(), 9);
}

TEST(ForEachBounded, CancelStopsItemsNotYetStartedAndStillEndsOnce) {
    ThreadExecutor executor;
    CancelToken token;
    Gate release;
    std::atomic<int> started{0}, ends{0};
    Barrier bothHeld(3);  // the two lanes and this thread
    ForEachBounded(
        executor, 100, 2, token,
        [&](std::size_t) {
            if (++started <= 2) bothHeld.Arrive();
            release.Wait();
        },
        [&] { ++ends; });
    bothHeld.Arrive();  // both lanes are in an item
    token.Cancel();
    release.Open();
    executor.Join();
    EXPECT_EQ(started.load(), 2) << "no item starts after the cancel";
    EXPECT_EQ(ends.load(), 1);
}

TEST_F(EngineTest, ParallelRowsAreTheSequentialRowsInEnumerationOrder) {
    wts.servers[u"TS01"] = GeneratedServer(250);
    wts.servers[u"TS01"].sessions[7].clientName.reset();  // a failing query leaves the cell empty
    wts.servers[u"TS01"].sessions[9].address.reset();
    const SessionInventory sequential = ReadSessionInventory(wts, u"TS01");
    wts.calls.clear();
    Finished finished;
    std::vector<std::pair<std::size_t, std::size_t>> progress;
    Start(u"TS01", CancelToken(), finished, 16, &progress);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return finished.count == 1; }));
    Drain();
    EXPECT_EQ(finished.count, 1);
    EXPECT_FALSE(finished.outcome.timedOut);
    EXPECT_FALSE(finished.outcome.inventory.enumerationFailed);
    EXPECT_EQ(Texts(finished.outcome.inventory), Texts(sequential));
    EXPECT_EQ(finished.outcome.inventory.activeCount, sequential.activeCount);
    EXPECT_EQ(sequential.rows.size(), 200u);
    // One open and one enumeration; each session's queries in order.
    EXPECT_EQ(std::count(wts.calls.begin(), wts.calls.end(), "open TS01"), 1);
    EXPECT_EQ(std::count(wts.calls.begin(), wts.calls.end(), "enumerate TS01"), 1);
    for (std::uint32_t id : {1u, 77u, 249u}) {  // sessions with a user: their times are asked for last
        std::vector<std::string> mine;
        for (const std::string& c : wts.calls)
            if (c.rfind("query " + std::to_string(id) + " ", 0) == 0) mine.push_back(c);
        const std::string n = std::to_string(id);
        EXPECT_EQ(mine, (std::vector<std::string>{"query " + n + " 10 TS01", "query " + n + " 5 TS01",
                                                  "query " + n + " 6 TS01", "query " + n + " 14 TS01",
                                                  "query " + n + " 24 TS01"}));
    }
    EXPECT_EQ(wts.opened, wts.closed);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), (std::pair<std::size_t, std::size_t>{0, 250}));
    for (const auto& p : progress) EXPECT_EQ(p.second, 250u);
}

TEST_F(EngineTest, AtMostTheGivenNumberOfSessionsAreQueriedAtOnce) {
    wts.servers[u"TS01"] = GeneratedServer(40);
    std::atomic<int> inFlight{0}, maxInFlight{0};
    Barrier firstFour(4);  // the first four sessions wait until four are in flight
    wts.beforeCall = [&](const std::string& call) {
        if (call.rfind("query ", 0) != 0 || call.find(" 10 ") == std::string::npos) return;  // client name: first query
        const int now = ++inFlight;
        int seen = maxInFlight.load();
        while (now > seen && !maxInFlight.compare_exchange_weak(seen, now)) {
        }
        if (std::stoi(call.substr(6)) <= 4) firstFour.Arrive();
        --inFlight;
    };
    Finished finished;
    Start(u"TS01", CancelToken(), finished, 4);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return finished.count == 1; }));
    Drain();
    EXPECT_EQ(maxInFlight.load(), 4);
    EXPECT_EQ(finished.outcome.inventory.rows.size(), 32u);
}

TEST_F(EngineTest, AServerThatDoesNotAnswerInTimeEndsTheRunAndIsNotWaitedFor) {
    wts.servers[u"STUCK"] = GeneratedServer(3);
    Gate answer;
    wts.beforeCall = [&](const std::string& call) {
        if (call == "enumerate STUCK") answer.Wait();
    };
    Finished finished;
    Start(u"STUCK", CancelToken(), finished);
    dispatcher.RunPosted();
    dispatcher.FireTimers();  // the time-out has passed; the enumeration still hangs
    EXPECT_EQ(finished.count, 1);
    EXPECT_TRUE(finished.outcome.timedOut);
    EXPECT_TRUE(finished.outcome.inventory.rows.empty());
    // The server answers after all: the answer is dropped and its handle closed.
    answer.Open();
    Drain();
    EXPECT_EQ(finished.count, 1);
    EXPECT_EQ(std::count(wts.calls.begin(), wts.calls.end(), "query 1 10 STUCK"), 0);
    EXPECT_EQ(wts.opened, 1);
    EXPECT_EQ(wts.closed, 1);
}

TEST_F(EngineTest, AServerHangingInASessionQueryEndsAtItsDeadlineWithTheRowsAnsweredByThen) {
    // Two lanes: one hangs in session 2, the other answers 1 and 3 and is in
    // session 4 when the deadline passes; 5..8 have not started.
    wts.servers[u"TS01"] = GeneratedServer(8);
    Gate hang, inFlight;
    std::atomic<int> waiting{0};
    wts.beforeCall = [&](const std::string& call) {
        if (call == "query 2 10 TS01") {
            ++waiting;
            hang.Wait();
        } else if (call == "query 4 10 TS01") {
            ++waiting;
            inFlight.Wait();
        }
    };
    Finished finished;
    Start(u"TS01", CancelToken(), finished, 2);
    // (Expectations only until the gates are open: a failure must not hang the test.)
    EXPECT_TRUE(dispatcher.RunUntil([&] { return waiting.load() == 2; }));
    dispatcher.RunPosted();
    EXPECT_EQ(finished.count, 0);
    dispatcher.FireTimers();  // the deadline: the run ends without waiting for either
    EXPECT_EQ(finished.count, 1);
    EXPECT_TRUE(finished.outcome.timedOut);
    EXPECT_FALSE(finished.outcome.inventory.enumerationFailed);
    std::vector<std::u16string> users;
    for (const auto& r : finished.outcome.inventory.rows) users.push_back(r.user);
    EXPECT_EQ(users, (std::vector<std::u16string>{u"user1", u"user3"}));
    EXPECT_EQ(finished.outcome.inventory.activeCount, 1);  // session 3
    // The call under way at the deadline answers: its row is dropped, and
    // the sessions not yet started are not queried.
    inFlight.Open();
    hang.Open();
    Drain();
    dispatcher.FireTimers();
    EXPECT_EQ(finished.count, 1);
    EXPECT_EQ(finished.outcome.inventory.rows.size(), 2u);
    for (int id = 5; id <= 8; ++id)
        EXPECT_EQ(std::count_if(wts.calls.begin(), wts.calls.end(),
                                [&](const std::string& c) { return c.rfind("query " + std::to_string(id) + " ", 0) == 0; }),
                  0)
            << "session " << id;
    EXPECT_EQ(wts.opened, 1);
    ASSERT_EQ(wts.closed, 1);
    EXPECT_NE(wts.closedOn[0], std::this_thread::get_id()) << "the handle was closed on the window thread";
}

TEST_F(EngineTest, ACancelledRunReleasesWhatItMadeOnAWorker) {
    // Every worker is done and what they made waits for the window thread
    // when Esc comes: with no sessions the enumeration's end, with some the
    // rows.
    for (std::uint32_t sessions : {0u, 3u}) {
        SCOPED_TRACE(std::to_string(sessions) + " sessions");
        const std::u16string name = u"TS" + DecimalU32(sessions);
        wts.servers[name] = GeneratedServer(sessions);
        CancelToken token;
        Finished finished;
        Start(name, token, finished);
        executor.Join();
        token.Cancel();
        dispatcher.RunPosted();
        Drain();
        EXPECT_EQ(finished.count, 0);
    }
    EXPECT_EQ(wts.opened, 2);
    ASSERT_EQ(wts.closed, 2);
    for (const std::thread::id& thread : wts.closedOn) EXPECT_NE(thread, std::this_thread::get_id());
}

TEST_F(EngineTest, ACancelledRunDeliversNothingAndClosesItsHandle) {
    // Four sessions are being queried (each held at its first query) when
    // Esc comes: they finish, no other session is queried, nothing is shown.
    wts.servers[u"TS01"] = GeneratedServer(30);
    Gate release;
    std::atomic<int> held{0};
    wts.beforeCall = [&](const std::string& call) {
        if (call.find(" 10 ") == std::string::npos) return;
        ++held;
        release.Wait();
    };
    CancelToken token;
    Finished finished;
    std::vector<std::pair<std::size_t, std::size_t>> progress;
    Start(u"TS01", token, finished, 4, &progress);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return held.load() == 4; }));
    token.Cancel();  // Esc
    release.Open();
    Drain();
    EXPECT_EQ(finished.count, 0);
    EXPECT_EQ(progress, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 30}})) << "only what came before the cancel";
    EXPECT_EQ(held.load(), 4) << "sessions not yet started are not queried";
    EXPECT_EQ(wts.opened, wts.closed);
}

TEST_F(EngineTest, ASupersededRunNeverWritesAndTheNewOneDoes) {
    wts.servers[u"OLD"] = GeneratedServer(10);
    wts.servers[u"NEW"] = GeneratedServer(4);
    Gate oldAnswers;
    wts.beforeCall = [&](const std::string& call) {
        if (call == "enumerate OLD") oldAnswers.Wait();
    };
    CancelToken first, second;
    Finished oldRun, newRun;
    Start(u"OLD", first, oldRun);
    first.Cancel();  // Get data pressed again
    Start(u"NEW", second, newRun);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return newRun.count == 1; }));
    oldAnswers.Open();
    Drain();
    dispatcher.FireTimers();
    EXPECT_EQ(oldRun.count, 0);
    EXPECT_EQ(newRun.count, 1);
    EXPECT_EQ(newRun.outcome.inventory.rows.size(), 4u);
    EXPECT_EQ(wts.opened, wts.closed);
}

TEST_F(EngineTest, AFailedEnumerationEndsWithItsError) {
    wts.servers[u"DENIED"].enumerateError = 5;
    Finished finished;
    Start(u"DENIED", CancelToken(), finished);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return finished.count == 1; }));
    Drain();
    dispatcher.FireTimers();  // the time-out after the answer changes nothing
    EXPECT_EQ(finished.count, 1);
    EXPECT_TRUE(finished.outcome.inventory.enumerationFailed);
    EXPECT_EQ(finished.outcome.inventory.error, 5u);
    EXPECT_FALSE(finished.outcome.timedOut);
    EXPECT_EQ(wts.opened, wts.closed);
}

// --- Commands on many sessions ---

struct BulkResult {
    int count = 0;
    std::vector<ItemResult> results;
};

class BulkTest : public EngineTest {
protected:
    void Logoff(const std::vector<std::uint32_t>& ids, std::size_t parallel, BulkResult& out, const CancelToken& token = {}) {
        BulkOptions options;
        options.parallel = parallel;
        StartBulk(wts, executor, dispatcher, u"TS01", ids, options, token,
                  [](TerminalServer& s, std::uint32_t id) { return s.Logoff(id); },
                  [&out](std::vector<ItemResult> r) {
                      ++out.count;
                      out.results = std::move(r);
                  });
    }
};

TEST_F(BulkTest, ResultsComeInItemOrderWithFailuresInPlace) {
    wts.servers[u"TS01"] = GeneratedServer(20);
    wts.servers[u"TS01"].sessions[4].logoffError = 5;  // session 5
    BulkResult out;
    Logoff({1, 5, 99, 7}, 4, out);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return out.count == 1; }));
    Drain();
    dispatcher.FireTimers();
    ASSERT_EQ(out.count, 1);
    ASSERT_EQ(out.results.size(), 4u);
    EXPECT_TRUE(out.results[0].ok);
    EXPECT_EQ(out.results[1].error, 5u);
    EXPECT_EQ(out.results[2].error, 7022u);  // no such session
    EXPECT_TRUE(out.results[3].ok);
    EXPECT_EQ(wts.opened, 1) << "one handle for the command";
    EXPECT_EQ(wts.closed, 1);
}

TEST_F(BulkTest, AnUnavailableServerStopsFurtherCalls) {
    // Not in the farm: every call answers 1722. One lane: the first call
    // answers, the others are counted failed without a call.
    BulkResult out;
    Logoff({1, 2, 3, 4}, 1, out);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return out.count == 1; }));
    Drain();
    for (const ItemResult& r : out.results) EXPECT_EQ(r.error, 1722u);
    EXPECT_EQ(std::count_if(wts.calls.begin(), wts.calls.end(), [](const std::string& c) { return c.rfind("logoff", 0) == 0; }), 1);
}

TEST_F(BulkTest, CallsWithoutAnAnswerByTheTimeOutFailWithIt) {
    wts.servers[u"TS01"] = GeneratedServer(5);
    Gate hang;
    wts.beforeCall = [&](const std::string& call) {
        if (call == "logoff 3 TS01") hang.Wait();
    };
    BulkResult out;
    Logoff({1, 3}, 2, out);
    ASSERT_TRUE(dispatcher.RunUntil([&] {
        std::lock_guard<std::recursive_mutex> lock(wts.mutex);
        return std::count(wts.calls.begin(), wts.calls.end(), "logoff 1 TS01") == 1;
    }));
    dispatcher.FireTimers();
    ASSERT_EQ(out.count, 1);
    EXPECT_TRUE(out.results[0].ok || out.results[0].error == kTimeoutError);
    EXPECT_EQ(out.results[1].error, kTimeoutError);
    hang.Open();
    Drain();
    EXPECT_EQ(out.count, 1) << "the late answer is dropped";
    EXPECT_EQ(wts.opened, wts.closed);
}

TEST_F(BulkTest, AfterTheReportNoCallStartsAndTheReportTellsNotSentFromNoAnswer) {
    wts.servers[u"TS01"] = GeneratedServer(5);
    Gate hang;
    std::atomic<bool> inCall{false};
    wts.beforeCall = [&](const std::string& call) {
        if (call != "logoff 1 TS01") return;
        inCall = true;
        hang.Wait();
    };
    BulkResult out;
    Logoff({1, 3, 4}, 1, out);  // one lane: 3 and 4 wait behind 1
    ASSERT_TRUE(dispatcher.RunUntil([&] { return inCall.load(); }));
    dispatcher.FireTimers();  // the time-out: the report goes out
    ASSERT_EQ(out.count, 1);
    ASSERT_EQ(out.results.size(), 3u);
    EXPECT_EQ(out.results[0].state, ItemState::NoAnswer) << "started: it may still happen";
    EXPECT_EQ(out.results[1].state, ItemState::NotStarted);
    EXPECT_EQ(out.results[2].state, ItemState::NotStarted);
    hang.Open();
    Drain();
    std::lock_guard<std::recursive_mutex> lock(wts.mutex);
    EXPECT_EQ(std::count_if(wts.calls.begin(), wts.calls.end(), [](const std::string& c) { return c.rfind("logoff", 0) == 0; }),
              1)
        << "the sessions reported as not sent are never logged off";
    EXPECT_EQ(out.count, 1);
}

TEST(RunAsync, DeliversOnTheDispatcherUnlessCancelled) {
    ThreadExecutor executor;
    ManualDispatcher dispatcher;
    std::vector<int> got;
    RunAsync<int>(executor, dispatcher, CancelToken(), std::nullopt, [] { return 7; }, [&](int v) { got.push_back(v); });
    CancelToken cancelled;
    cancelled.Cancel();
    RunAsync<int>(executor, dispatcher, cancelled, std::nullopt, [] { return 8; }, [&](int v) { got.push_back(v); });
    executor.Join();
    EXPECT_TRUE(got.empty()) << "nothing runs before the window thread takes it";
    dispatcher.RunPosted();
    EXPECT_EQ(got, std::vector<int>{7});
}

// A result that notes the thread it is released on (a moved-from one notes nothing).
struct Tracked {
    explicit Tracked(std::shared_ptr<std::vector<std::thread::id>> log) : releasedOn(std::move(log)) {}
    Tracked(Tracked&& other) noexcept : releasedOn(std::move(other.releasedOn)) {}
    Tracked& operator=(Tracked&&) = delete;
    ~Tracked() {
        if (releasedOn) releasedOn->push_back(std::this_thread::get_id());
    }
    std::shared_ptr<std::vector<std::thread::id>> releasedOn;
};

TEST(RunAsync, ACancelledResultIsReleasedOnAWorkerNeverOnTheWindowThread) {
    for (bool cancelWhileWorking : {false, true}) {
        SCOPED_TRACE(cancelWhileWorking ? "cancelled while the work ran" : "cancelled once the result was posted");
        ThreadExecutor executor;
        ManualDispatcher dispatcher;
        CancelToken token;
        Gate finish;
        std::atomic<bool> working{false};
        auto log = std::make_shared<std::vector<std::thread::id>>();
        int delivered = 0;
        RunAsync<Tracked>(
            executor, dispatcher, token, std::nullopt,
            [&] {
                working = true;
                if (cancelWhileWorking) finish.Wait();
                return Tracked(log);
            },
            [&](Tracked) { ++delivered; });
        if (cancelWhileWorking) {
            while (!working.load()) std::this_thread::yield();
            token.Cancel();
            finish.Open();
            executor.Join();
        } else {
            executor.Join();
            token.Cancel();
        }
        dispatcher.RunPosted();
        executor.Join();
        EXPECT_EQ(delivered, 0);
        ASSERT_EQ(log->size(), 1u);
        EXPECT_NE(log->front(), std::this_thread::get_id());
    }
}

}  // namespace
}  // namespace tarvenix::testing

namespace tarvenix::testing {
namespace {

TEST(QueueDispatcher, RunsPostsFromOtherThreadsAndTimersInOrderOnTheCallingThread) {
    QueueDispatcher dispatcher;
    const auto caller = std::this_thread::get_id();
    std::vector<int> seen;
    bool onCaller = true;
    // Counted from the posting of the timer (starting a worker thread may take
    // several ms of the 30 under a sanitizer).
    const auto start = std::chrono::steady_clock::now();
    dispatcher.PostAfter(std::chrono::milliseconds(30), [&] {
        onCaller = onCaller && std::this_thread::get_id() == caller;
        seen.push_back(3);
    });
    dispatcher.PostAfter(std::chrono::milliseconds(10), [&] { seen.push_back(2); });
    std::thread worker([&] { dispatcher.Post([&] { seen.push_back(1); }); });
    worker.join();
    dispatcher.RunUntil([&] { return seen.size() == 3; });
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(onCaller);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25)) << "a timer waits for its time";
    // Waiting for a post that comes later from a worker.
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        dispatcher.Post([&] { seen.push_back(4); });
    });
    dispatcher.RunUntil([&] { return seen.size() == 4; });
    late.join();
    EXPECT_EQ(seen.back(), 4);
}

}  // namespace
}  // namespace tarvenix::testing
