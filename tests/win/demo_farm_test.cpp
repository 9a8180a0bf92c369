// The demo farm (bin/farm.json, copied from tests/farm/demo-farm.json) that
// ./dev.sh run shows still covers what the demo is for.
#include <windows.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sessions/session_queries.h"
#include "tests/win/farm_test_support.h"

namespace tarvenix::testing {
namespace {

using DemoFarmTest = FarmTest;

TEST_F(DemoFarmTest, DemoFarmCoversEveryCase) {
    const std::wstring demo = FolderOf(FarmDouble::Get().module) + L"farm.json";
    ASSERT_TRUE(FarmDouble::Get().load(demo.c_str(), logPath_.c_str())) << ReadFileBytes(logPath_);
    std::set<std::uint32_t> states;
    std::set<std::uint32_t> families;
    bool maxSessionId = false;
    bool listener = false;
    bool cyrillicUser = false;
    bool latinUser = false;
    int sessionCount = 0;
    bool namelessProcess = false;
    for (const char16_t* name : {u"TS01", u"TS02.corp.example"}) {
        auto server = wts.Open(name);
        std::vector<SessionRecord> sessions;
        ASSERT_TRUE(server->EnumerateSessions(sessions).ok);
        sessionCount += static_cast<int>(sessions.size());
        for (const SessionRecord& s : sessions) {
            states.insert(s.state);
            maxSessionId = maxSessionId || s.sessionId == 4294967295u;
            const std::u16string user = server->QueryString(s.sessionId, SessionInfoClass::UserName).value_or(u"");
            listener = listener || (s.sessionId == 65536 && s.state == 6 && user.empty() && s.winStationName == u"RDP-Tcp");
            cyrillicUser = cyrillicUser || std::any_of(user.begin(), user.end(), [](char16_t c) { return c >= 0x400 && c < 0x500; });
            latinUser = latinUser || (!user.empty() && user[0] >= u'a' && user[0] <= u'z');
            if (auto a = server->QueryClientAddress(s.sessionId)) families.insert(a->family);
        }
        std::vector<ProcessRecord> processes;
        ASSERT_TRUE(server->EnumerateProcesses(processes).ok);
        for (const ProcessRecord& p : processes) namelessProcess = namelessProcess || !p.name;
    }
    EXPECT_EQ(states, (std::set<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 42}));
    EXPECT_EQ(families, (std::set<std::uint32_t>{0, 2, 23})) << "absent, IPv4 and IPv6 addresses";
    EXPECT_TRUE(maxSessionId);
    EXPECT_TRUE(listener);
    EXPECT_TRUE(cyrillicUser);
    EXPECT_TRUE(latinUser);
    EXPECT_TRUE(namelessProcess);
    EXPECT_GE(sessionCount, 20);
    EXPECT_EQ(ReadSessionInventory(wts, u"СЕРВЕР-БУХ").error, 5u);
    ExpectNothingLeftOpen();
}

// The demo farm's TS01 gives the idle and logon columns something to show:
// a session disconnected for days, one idle for seconds, one without a logon
// time, and a spread in between.
TEST_F(DemoFarmTest, DemoFarmHasSessionTimesForTheIdleAndLogonColumns) {
    const std::wstring demo = FolderOf(FarmDouble::Get().module) + L"farm.json";
    ASSERT_TRUE(FarmDouble::Get().load(demo.c_str(), logPath_.c_str())) << ReadFileBytes(logPath_);
    HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
    PWTS_SESSION_INFOW sessions = nullptr;
    DWORD count = 0;
    ASSERT_TRUE(WTSEnumerateSessionsW(h, 0, 1, &sessions, &count));
    bool disconnectedForDays = false;
    bool idleForSeconds = false;
    bool userWithoutLogon = false;
    bool withoutLogon = false;
    std::set<std::int64_t> idleMinutes;
    for (DWORD i = 0; i < count; ++i) {
        const std::optional<WTSINFOW> info = QuerySessionInfo(h, sessions[i].SessionId);
        ASSERT_TRUE(info) << sessions[i].SessionId;
        const std::int64_t now = info->CurrentTime.QuadPart;
        if (info->LogonTime.QuadPart == 0) {
            withoutLogon = true;
            userWithoutLogon = userWithoutLogon || info->UserName[0] != L'\0';
            continue;
        }
        EXPECT_LT(info->LogonTime.QuadPart, now) << sessions[i].SessionId;
        if (info->State == WTSDisconnected) {
            ASSERT_NE(info->DisconnectTime.QuadPart, 0) << sessions[i].SessionId;
            disconnectedForDays = disconnectedForDays || now - info->DisconnectTime.QuadPart >= 2 * 86400 * kSecond;
        } else if (info->LastInputTime.QuadPart != 0) {
            const std::int64_t idle = now - info->LastInputTime.QuadPart;
            idleForSeconds = idleForSeconds || (idle > 0 && idle < 60 * kSecond);
            idleMinutes.insert(idle / (60 * kSecond));
        }
    }
    WTSFreeMemory(sessions);
    WTSCloseServer(h);
    EXPECT_TRUE(disconnectedForDays);
    EXPECT_TRUE(idleForSeconds);
    EXPECT_TRUE(withoutLogon);
    EXPECT_FALSE(userWithoutLogon) << "only sessions without a user lack a logon time";
    EXPECT_GE(idleMinutes.size(), 5u) << "a spread of idle times";
    ExpectNothingLeftOpen();
}

}  // namespace
}  // namespace tarvenix::testing
