// The farm double under many threads at once: exact counters and whole log
// lines, latency that delays only its own call, and a reload while calls are
// under way.
#include <windows.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/win/farm_test_support.h"

namespace tarvenix::testing {
namespace {

using FarmDoubleThreadsTest = FarmTest;

// Runs body(i) on n threads released together; returns the milliseconds from
// the release until the last one finished.
template <typename Body>
long long RunTogether(int n, Body body) {
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i) {
        threads.emplace_back([&, i] {
            ready.fetch_add(1);
            while (!go.load()) std::this_thread::yield();
            body(i);
        });
    }
    while (ready.load() < n) std::this_thread::yield();
    const auto start = std::chrono::steady_clock::now();
    go.store(true);
    for (std::thread& t : threads) t.join();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// The fields of each kind of line, in their order, on success.
const std::map<std::string, std::vector<std::string>>& SuccessFields() {
    static const std::map<std::string, std::vector<std::string>> fields = {
        {"WTSOpenServerW", {"server", "handle", "result", "known"}},
        {"WTSEnumerateSessionsW", {"server", "handle", "result", "count", "buffer"}},
        {"WTSQuerySessionInformationW", {"server", "handle", "session", "class", "result", "bytes", "buffer"}},
        {"WTSFreeMemory", {"buffer", "kind", "result"}},
        {"WTSCloseServer", {"server", "handle", "result"}},
    };
    return fields;
}

std::vector<std::string> KeysOf(const LogEntry& e) {
    std::vector<std::string> keys;
    for (const auto& field : e.fields) keys.push_back(field.first);
    return keys;
}

// 16 readers on one farm at once, each open, enumerate, four queries, close:
// the counters and the log come out exactly as for 16 readers one after another.
// Without latency and over many rounds the calls collide inside the double.
TEST_F(FarmDoubleThreadsTest, ConcurrentReadersLeaveExactCountersAndWholeLogLines) {
    const struct {
        int latencyMs;
        int rounds;
    } cases[] = {{20, 1}, {0, 60}};
    constexpr int kThreads = 16;
    const WTS_INFO_CLASS kClasses[] = {WTSClientName, WTSUserName, WTSWinStationName, WTSClientAddress};
    for (const auto& c : cases) {
        SCOPED_TRACE("latency " + std::to_string(c.latencyMs) + " ms, " + std::to_string(c.rounds) + " rounds");
        LoadFarm(FarmWith(R"({"name":"TS01","latency_ms":)" + std::to_string(c.latencyMs) + R"(,"sessions":[
            {"id":2,"user":"ivanov","client":"PC-01","winstation":"RDP-Tcp#1","ipv4":"10.0.0.5"},
            {"id":3,"user":"Петрова","client":"ПК-07","winstation":"RDP-Tcp#2","ipv4":"10.0.0.6"}]})"));
        std::vector<std::string> problems(kThreads);
        RunTogether(kThreads, [&](int i) {
            std::string& problem = problems[i];
            for (int round = 0; round < c.rounds; ++round) {
                HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
                PWTS_SESSION_INFOW sessions = nullptr;
                DWORD count = 0;
                if (!WTSEnumerateSessionsW(h, 0, 1, &sessions, &count) || count != 2) {
                    problem += " enumeration failed";
                } else {
                    const DWORD id = sessions[(i + round) % 2].SessionId;
                    const std::wstring expected[] = {id == 2 ? L"PC-01" : L"ПК-07", id == 2 ? L"ivanov" : L"Петрова",
                                                     id == 2 ? L"RDP-Tcp#1" : L"RDP-Tcp#2"};
                    for (int q = 0; q < 4; ++q) {
                        LPWSTR buffer = nullptr;
                        DWORD bytes = 0;
                        if (!WTSQuerySessionInformationW(h, id, kClasses[q], &buffer, &bytes)) {
                            problem += " query " + std::to_string(q) + " failed";
                            continue;
                        }
                        if (q < 3 && buffer != expected[q]) problem += " wrong answer to query " + std::to_string(q);
                        if (q == 3 && reinterpret_cast<WTS_CLIENT_ADDRESS*>(buffer)->Address[5] != (id == 2 ? 5 : 6))
                            problem += " wrong address";
                        WTSFreeMemory(buffer);
                    }
                    WTSFreeMemory(sessions);
                }
                WTSCloseServer(h);
            }
        });
        for (int i = 0; i < kThreads; ++i) EXPECT_EQ(problems[i], "") << "thread " << i;
        ExpectNothingLeftOpen();
        const int readers = kThreads * c.rounds;
        EXPECT_EQ(FarmDouble::Get().handlesOpened(), readers);

        const std::string text = ReadFileBytes(logPath_);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n');
        const std::vector<LogEntry> calls = Calls();
        std::map<std::string, int> perFunction;
        std::map<std::string, std::vector<std::string>> perHandle;  // each handle's calls, in log order
        std::map<std::string, int> buffersGiven, buffersFreed;
        int badLines = 0;
        for (const LogEntry& e : calls) {
            ++perFunction[e.function];
            auto fields = SuccessFields().find(e.function);
            const bool wellFormed = fields != SuccessFields().end() && KeysOf(e) == fields->second &&
                                    e["result"] == "1" && (!e.Has("server") || e["server"] == "TS01") &&
                                    (e.function != "WTSQuerySessionInformationW" || e["class"] != "5" ||
                                     e["bytes"] == (e["session"] == "2" ? "14" : "16"));
            if (!wellFormed && ++badLines <= 5) ADD_FAILURE() << "malformed line: " << e.Summary();
            if (e.Has("handle")) perHandle[e["handle"]].push_back(e.function);
            if (e.function == "WTSFreeMemory")
                ++buffersFreed[e["buffer"]];
            else if (e.Has("buffer"))
                ++buffersGiven[e["buffer"]];
        }
        EXPECT_EQ(badLines, 0);
        EXPECT_EQ(perFunction, (std::map<std::string, int>{{"WTSOpenServerW", readers},
                                                           {"WTSEnumerateSessionsW", readers},
                                                           {"WTSQuerySessionInformationW", 4 * readers},
                                                           {"WTSFreeMemory", 5 * readers},
                                                           {"WTSCloseServer", readers}}));
        // Handles 1..readers, each with its own reader's calls in the order made.
        const std::vector<std::string> oneReader = {"WTSOpenServerW",
                                                    "WTSEnumerateSessionsW",
                                                    "WTSQuerySessionInformationW",
                                                    "WTSQuerySessionInformationW",
                                                    "WTSQuerySessionInformationW",
                                                    "WTSQuerySessionInformationW",
                                                    "WTSCloseServer"};
        EXPECT_EQ(perHandle.size(), static_cast<std::size_t>(readers));
        int handlesOutOfOrder = 0;
        for (int n = 1; n <= readers; ++n) handlesOutOfOrder += perHandle[std::to_string(n)] != oneReader;
        EXPECT_EQ(handlesOutOfOrder, 0);
        // Buffers 1..5 x readers, each handed out once and freed once.
        EXPECT_EQ(buffersFreed, buffersGiven);
        EXPECT_EQ(buffersGiven.size(), static_cast<std::size_t>(5 * readers));
        int buffersNotOnce = 0;
        for (int n = 1; n <= 5 * readers; ++n) buffersNotOnce += buffersGiven[std::to_string(n)] != 1;
        EXPECT_EQ(buffersNotOnce, 0);
    }
}

// Latency is slept outside the double's lock: calls to one server overlap, and
// a slow server holds up no one else.
TEST_F(FarmDoubleThreadsTest, LatencyOfOneCallDelaysNoOtherCall) {
    LoadFarm(FarmWith(R"({"name":"FAST","latency_ms":50,"sessions":[{"id":2,"user":"ivanov"}]},
        {"name":"SLOW","unreachable":true,"unreachable_delay_ms":2000})"));
    constexpr int kCalls = 16;

    // 16 queries on one handle at once take about one latency, not sixteen.
    HANDLE fast = WTSOpenServerW(const_cast<wchar_t*>(L"FAST"));
    std::atomic<int> answered{0};
    const auto queryFast = [&](int) {
        LPWSTR buffer = nullptr;
        DWORD bytes = 0;
        if (WTSQuerySessionInformationW(fast, 2, WTSUserName, &buffer, &bytes) && buffer == std::wstring(L"ivanov"))
            ++answered;
        WTSFreeMemory(buffer);
    };
    const long long together = RunTogether(kCalls, queryFast);
    EXPECT_EQ(answered.load(), kCalls);
    EXPECT_GE(together + 20, 50) << "each call still waits the latency";
    EXPECT_LT(together, 8 * 50) << "the calls were served one after another";

    // Calls to the slow server are under way while the fast ones are made.
    HANDLE slow = WTSOpenServerW(const_cast<wchar_t*>(L"SLOW"));
    std::atomic<int> slowStarted{0}, slowFinished{0}, slowRefused{0};
    std::vector<std::thread> slowCalls;
    for (int i = 0; i < 4; ++i) {
        slowCalls.emplace_back([&] {
            PWTS_SESSION_INFOW sessions = nullptr;
            DWORD count = 0;
            ++slowStarted;
            if (!WTSEnumerateSessionsW(slow, 0, 1, &sessions, &count) && GetLastError() == RPC_S_SERVER_UNAVAILABLE)
                ++slowRefused;
            ++slowFinished;
        });
    }
    while (slowStarted.load() < 4) std::this_thread::yield();
    Sleep(100);  // into their delay
    const auto slowStart = std::chrono::steady_clock::now();
    answered = 0;
    const long long fastWhileSlow = RunTogether(kCalls, queryFast);
    EXPECT_EQ(slowFinished.load(), 0) << "the slow calls were not under way";
    EXPECT_EQ(answered.load(), kCalls);
    EXPECT_LT(fastWhileSlow, 1000) << "the fast server waited for the slow one";
    for (std::thread& t : slowCalls) t.join();
    const auto slowTook = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - slowStart);
    EXPECT_EQ(slowRefused.load(), 4);
    EXPECT_GE(slowTook.count() + 100 + 20, 2000) << "the slow server's delay was cut short";
    EXPECT_LT(slowTook.count(), 2 * 2000) << "the slow calls were served one after another";

    WTSCloseServer(fast);
    WTSCloseServer(slow);
    ExpectNothingLeftOpen();
    EXPECT_EQ(CallsOf("WTSQuerySessionInformationW").size(), 2u * kCalls);
    EXPECT_EQ(CallsOf("WTSEnumerateSessionsW").size(), 4u);
}

// Reloading while calls are under way: the calls of the earlier load fail with
// 6 (stale handle) and nothing of this load is left open once they are done.
TEST_F(FarmDoubleThreadsTest, ReloadWhileCallsAreUnderWayFailsThemAsStale) {
    LoadFarm(FarmWith(R"({"name":"TS01","latency_ms":3,"sessions":[{"id":2,"user":"ivanov"}]})"));
    constexpr int kThreads = 8;
    std::atomic<bool> stop{false};
    std::vector<std::set<DWORD>> errors(kThreads);
    std::vector<int> completed(kThreads, 0);
    std::vector<std::thread> readers;
    for (int i = 0; i < kThreads; ++i) {
        readers.emplace_back([&, i] {
            while (!stop.load()) {
                HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
                LPWSTR buffer = nullptr;
                DWORD bytes = 0;
                PWTS_SESSION_INFOW sessions = nullptr;
                DWORD count = 0;
                if (WTSEnumerateSessionsW(h, 0, 1, &sessions, &count))
                    WTSFreeMemory(sessions);
                else
                    errors[i].insert(GetLastError());
                if (WTSQuerySessionInformationW(h, 2, WTSUserName, &buffer, &bytes)) {
                    if (buffer != std::wstring(L"ivanov")) errors[i].insert(0xBAD);
                    WTSFreeMemory(buffer);
                } else {
                    errors[i].insert(GetLastError());
                }
                WTSCloseServer(h);
                ++completed[i];
            }
        });
    }
    for (int reload = 0; reload < 10; ++reload) {
        Sleep(15);
        EXPECT_TRUE(FarmDouble::Get().load(farmPath_.c_str(), logPath_.c_str()));
    }
    Sleep(15);
    stop = true;
    for (std::thread& t : readers) t.join();
    bool sawStale = false;
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_GT(completed[i], 0) << "thread " << i;
        for (DWORD e : errors[i]) EXPECT_EQ(e, static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "thread " << i;
        sawStale = sawStale || errors[i].count(ERROR_INVALID_HANDLE);
    }
    EXPECT_TRUE(sawStale) << "no call was under way during a reload";
    ExpectNothingLeftOpen();
    EXPECT_GT(FarmDouble::Get().handlesOpened(), 0);
}

}  // namespace
}  // namespace tarvenix::testing
