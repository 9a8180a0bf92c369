// Session events through the wrapper and the farm double: a wait returns when
// its server's sessions change (a logoff or disconnect through the interface,
// the farm file written anew, a scripted session's cycle), a flush releases
// it empty, one wait at a time per handle, and a server that cannot be waited
// on fails at once.
#include <windows.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "tests/win/farm_test_support.h"

namespace tarvenix::testing {
namespace {

using namespace std::chrono_literals;
using FarmDoubleEventsTest = FarmTest;

constexpr const char* kFarm = R"({"servers": [
  {"name": "TS01", "sessions": [
     {"id": 2, "state": 0, "user": "ivanov", "winstation": "RDP-Tcp#1"},
     {"id": 3, "state": 0, "user": "petrov", "winstation": "RDP-Tcp#2"}]},
  {"name": "TS02", "sessions": [{"id": 5, "state": 0, "user": "sidorov"}]},
  {"name": "TS-OLD", "unreachable": true, "unreachable_delay_ms": 10},
  {"name": "TS-NT4", "wait_error": 50}
]})";

struct Waited {
    CallResult result;
    std::uint32_t events = 0;
};

std::future<Waited> WaitOn(TerminalServer& server) {
    return std::async(std::launch::async, [&server] {
        Waited w;
        w.result = server.WaitSystemEvent(session_events::kAll, w.events);
        return w;
    });
}

// The wait has reached the double (it is going).
bool Going(std::future<Waited>& wait) { return wait.wait_for(300ms) == std::future_status::timeout; }

TEST_F(FarmDoubleEventsTest, AWaitReturnsWithTheEventsOfItsOwnServerOnly) {
    LoadFarm(kFarm);
    {
        auto ts01 = wts.Open(u"TS01");
        auto ts02 = wts.Open(u"TS02");
        auto acting = wts.Open(u"ts01");
        auto onTs01 = WaitOn(*ts01);
        auto onTs02 = WaitOn(*ts02);
        ASSERT_TRUE(Going(onTs01));
        ASSERT_TRUE(Going(onTs02));

        ASSERT_TRUE(acting->Disconnect(3).ok);
        const Waited disconnect = onTs01.get();
        EXPECT_TRUE(disconnect.result.ok);
        EXPECT_EQ(disconnect.events, static_cast<std::uint32_t>(WTS_EVENT_DISCONNECT | WTS_EVENT_STATECHANGE));

        onTs01 = WaitOn(*ts01);
        ASSERT_TRUE(Going(onTs01));
        ASSERT_TRUE(acting->Logoff(2).ok);
        EXPECT_EQ(onTs01.get().events, static_cast<std::uint32_t>(WTS_EVENT_LOGOFF | WTS_EVENT_DELETE));

        // TS02 saw nothing; a flush releases its wait empty.
        ASSERT_TRUE(Going(onTs02));
        ASSERT_TRUE(ts02->FlushWaits().ok);
        const Waited flushed = onTs02.get();
        EXPECT_TRUE(flushed.result.ok);
        EXPECT_EQ(flushed.events, 0u);
    }
    ExpectNothingLeftOpen();
    const auto waits = CallsOf("WTSWaitSystemEvent");
    ASSERT_EQ(waits.size(), 4u);  // three waits and the flush
    EXPECT_EQ(waits.back()["events"], "0x0");
}

TEST_F(FarmDoubleEventsTest, OneWaitAtATimePerHandle) {
    LoadFarm(kFarm);
    {
        auto ts01 = wts.Open(u"TS01");
        auto first = WaitOn(*ts01);
        ASSERT_TRUE(Going(first));
        std::uint32_t events = 99;
        const CallResult second = ts01->WaitSystemEvent(session_events::kAll, events);
        EXPECT_FALSE(second.ok);
        EXPECT_EQ(second.error, static_cast<std::uint32_t>(ERROR_BUSY));
        EXPECT_EQ(events, 0u);
        ts01->FlushWaits();
        EXPECT_TRUE(first.get().result.ok);
    }
    ExpectNothingLeftOpen();
}

TEST_F(FarmDoubleEventsTest, TheFarmFileWrittenAnewIsReadAndItsChangesReported) {
    LoadFarm(kFarm);
    auto ts02 = wts.Open(u"TS02");
    auto wait = WaitOn(*ts02);
    ASSERT_TRUE(Going(wait));
    std::string changed = kFarm;
    changed.replace(changed.find(R"({"id": 5, "state": 0, "user": "sidorov"})"),
                    std::string(R"({"id": 5, "state": 0, "user": "sidorov"})").size(),
                    R"({"id": 5, "state": 4, "user": "sidorov"}, {"id": 6, "state": 0, "user": "kozlov"})");
    WriteFileBytes(farmPath_, changed);
    ASSERT_EQ(wait.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(wait.get().events, static_cast<std::uint32_t>(WTS_EVENT_LOGON | WTS_EVENT_CREATE | WTS_EVENT_DISCONNECT |
                                                             WTS_EVENT_STATECHANGE));
    std::vector<SessionRecord> sessions;
    ASSERT_TRUE(ts02->EnumerateSessions(sessions).ok);
    ASSERT_EQ(sessions.size(), 2u);
    EXPECT_EQ(sessions[0].state, 4u);
    EXPECT_EQ(sessions[1].sessionId, 6u);
    ts02.reset();
    ExpectNothingLeftOpen();
    EXPECT_EQ(CallsOf("TarvenixFarmReload").size(), 1u);
}

TEST_F(FarmDoubleEventsTest, AScriptedSessionLogsOffAndOnByItsCycle) {
    LoadFarm(R"({"servers": [{"name": "TS03", "sessions": [
        {"id": 1, "state": 0, "user": "always"},
        {"id": 7, "state": 0, "user": "demo", "cycle_seconds": 1}]}]})");
    auto ts03 = wts.Open(u"TS03");
    std::vector<SessionRecord> sessions;
    ASSERT_TRUE(ts03->EnumerateSessions(sessions).ok);
    EXPECT_EQ(sessions.size(), 2u);
    SessionInfo first;
    ASSERT_TRUE(ts03->QuerySessionInfo(7, first).ok);

    std::uint32_t events = 0;
    ASSERT_TRUE(ts03->WaitSystemEvent(session_events::kAll, events).ok);
    EXPECT_EQ(events, static_cast<std::uint32_t>(WTS_EVENT_LOGOFF | WTS_EVENT_DELETE));
    ASSERT_TRUE(ts03->EnumerateSessions(sessions).ok);
    EXPECT_EQ(sessions.size(), 1u);

    ASSERT_TRUE(ts03->WaitSystemEvent(session_events::kAll, events).ok);
    EXPECT_EQ(events, static_cast<std::uint32_t>(WTS_EVENT_LOGON | WTS_EVENT_CREATE));
    SessionInfo again;
    ASSERT_TRUE(ts03->QuerySessionInfo(7, again).ok);
    EXPECT_EQ(again.user, u"demo");
    // A new logon: a later logon time.
    EXPECT_GT(again.times.logonTime, first.times.logonTime);
    ts03.reset();
    ExpectNothingLeftOpen();
}

TEST_F(FarmDoubleEventsTest, AServerThatCannotBeWaitedOnFailsAtOnce) {
    LoadFarm(kFarm);
    struct Case {
        const char16_t* server;
        std::uint32_t error;
    } cases[] = {{u"TS-OLD", RPC_S_SERVER_UNAVAILABLE}, {u"TS-NT4", ERROR_NOT_SUPPORTED}, {u"NOWHERE", RPC_S_SERVER_UNAVAILABLE}};
    for (const Case& c : cases) {
        auto server = wts.Open(c.server);
        std::uint32_t events = 99;
        const CallResult result = server->WaitSystemEvent(session_events::kAll, events);
        EXPECT_FALSE(result.ok) << Utf16ToUtf8(c.server);
        EXPECT_EQ(result.error, c.error) << Utf16ToUtf8(c.server);
        EXPECT_EQ(events, 0u);
    }
    ExpectNothingLeftOpen();
}

}  // namespace
}  // namespace tarvenix::testing
