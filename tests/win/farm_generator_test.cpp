// Farms the double generates ("generate" in farm.json): sessions, failures,
// processes and session times from a seed, the same again for the same seed.
#include <windows.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "tests/win/farm_test_support.h"

namespace tarvenix::testing {
namespace {

using FarmGeneratorTest = FarmTest;

// Everything a server serves, one line per session (enumeration, then the five
// queries) and one per process.
struct ServerPicture {
    bool opened = false;
    std::vector<std::string> lines;
    std::vector<DWORD> sessionIds;
    std::vector<DWORD> states;
    std::map<DWORD, std::vector<DWORD>> failures;  // session: the error of each failing query
    std::vector<std::string> users, clients;
    std::vector<WTS_PROCESS_INFOW> processes;
};

ServerPicture Picture(const wchar_t* name) {
    ServerPicture p;
    HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(name));
    PWTS_SESSION_INFOW sessions = nullptr;
    DWORD count = 0;
    if (!WTSEnumerateSessionsW(h, 0, 1, &sessions, &count)) {
        WTSCloseServer(h);
        return p;
    }
    p.opened = true;
    const auto utf8 = [](const wchar_t* w) { return Utf16ToUtf8(std::u16string(w, w + wcslen(w))); };
    for (DWORD i = 0; i < count; ++i) {
        const DWORD id = sessions[i].SessionId;
        p.sessionIds.push_back(id);
        p.states.push_back(static_cast<DWORD>(sessions[i].State));
        std::string line = std::to_string(id) + " state=" + std::to_string(sessions[i].State) +
                           " ws=" + utf8(sessions[i].pWinStationName);
        for (WTS_INFO_CLASS c : {WTSUserName, WTSWinStationName, WTSDomainName, WTSClientName, WTSClientAddress}) {
            LPWSTR buffer = nullptr;
            DWORD bytes = 0;
            line += " " + std::to_string(c) + ":";
            if (!WTSQuerySessionInformationW(h, id, c, &buffer, &bytes)) {
                const DWORD error = GetLastError();
                p.failures[id].push_back(error);
                line += "error " + std::to_string(error);
                continue;
            }
            if (c == WTSClientAddress) {
                const auto* a = reinterpret_cast<const WTS_CLIENT_ADDRESS*>(buffer);
                line += std::to_string(a->AddressFamily) + "/" + std::to_string(a->Address[2]) + "." +
                        std::to_string(a->Address[3]) + "." + std::to_string(a->Address[4]) + "." +
                        std::to_string(a->Address[5]);
            } else {
                line += utf8(buffer);
                if (c == WTSUserName) p.users.push_back(utf8(buffer));
                if (c == WTSClientName) p.clients.push_back(utf8(buffer));
            }
            WTSFreeMemory(buffer);
        }
        p.lines.push_back(line);
    }
    WTSFreeMemory(sessions);
    PWTS_PROCESS_INFOW processes = nullptr;
    if (WTSEnumerateProcessesW(h, 0, 1, &processes, &count)) {
        for (DWORD i = 0; i < count; ++i) {
            p.processes.push_back(processes[i]);
            p.lines.push_back("process " + std::to_string(processes[i].ProcessId) + " session=" +
                              std::to_string(processes[i].SessionId) + " " +
                              (processes[i].pProcessName ? utf8(processes[i].pProcessName) : "(null)"));
            p.processes.back().pProcessName = nullptr;  // the buffer goes below
        }
        WTSFreeMemory(processes);
    }
    WTSCloseServer(h);
    return p;
}

std::string GeneratedFarm(unsigned seed) {
    return FarmWith(R"({"name":"GEN","generate":{"sessions":250,"failing_every":10,"query_error":1722,"seed":)" +
                    std::to_string(seed) + R"(,"processes_per_session":2}},
        {"name":"LISTED","sessions":[{"id":5,"user":"listed","fail":["all"],"query_error":59},{"id":6,"user":"ok"}],
         "generate":{"sessions":3,"processes_per_session":0}})");
}

TEST_F(FarmGeneratorTest, GeneratedServerHasItsSessionsFailuresAndProcesses) {
    LoadFarm(GeneratedFarm(7));
    const ServerPicture first = Picture(L"GEN");
    ASSERT_TRUE(first.opened);
    ASSERT_EQ(first.sessionIds.size(), 250u);
    std::set<DWORD> failing;
    for (DWORD n = 1; n <= 250; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(first.sessionIds[n - 1], n) << "IDs 1..N in order";
        char user[24];
        std::snprintf(user, sizeof user, " 5:user%04u ", static_cast<unsigned>(n));
        if (n % 10 == 0)
            failing.insert(n);
        else
            EXPECT_NE(first.lines[n - 1].find(user), std::string::npos) << first.lines[n - 1];
    }
    // Exactly every tenth session fails, and then every one of its queries.
    std::set<DWORD> failed;
    for (const auto& [id, errors] : first.failures) {
        failed.insert(id);
        EXPECT_EQ(errors, std::vector<DWORD>(5, 1722)) << "session " << id;
    }
    EXPECT_EQ(failed.size(), 25u);
    EXPECT_EQ(failed, failing);
    EXPECT_EQ(first.users.size(), 225u);
    EXPECT_EQ(first.users.front(), "user0001");
    EXPECT_EQ(first.users.back(), "user0249");
    // States take turns; every answered session has an IPv4 address in 10.x.x.x.
    EXPECT_EQ(std::vector<DWORD>(first.states.begin(), first.states.begin() + 7),
              (std::vector<DWORD>{0, 4, 5, 1, 3, 2, 0}));
    EXPECT_NE(first.lines[0].find(" 14:2/10."), std::string::npos) << first.lines[0];
    EXPECT_GT(std::set<std::string>(first.clients.begin(), first.clients.end()).size(), 200u) << "client names vary";
    // Two processes per session, PIDs unique.
    ASSERT_EQ(first.processes.size(), 500u);
    std::set<DWORD> pids;
    for (const WTS_PROCESS_INFOW& p : first.processes) {
        pids.insert(p.ProcessId);
        EXPECT_TRUE(p.SessionId >= 1 && p.SessionId <= 250) << p.SessionId;
    }
    EXPECT_EQ(pids.size(), 500u);

    // The same seed gives the same farm on every load; another seed another one.
    LoadFarm(GeneratedFarm(7));
    EXPECT_EQ(Picture(L"GEN").lines, first.lines);
    LoadFarm(GeneratedFarm(8));
    const ServerPicture other = Picture(L"GEN");
    EXPECT_NE(other.lines, first.lines);
    EXPECT_EQ(other.users, first.users);
    EXPECT_EQ(other.failures, first.failures);

    // Generated sessions follow the listed ones; "all" fails every query.
    const ServerPicture listed = Picture(L"LISTED");
    EXPECT_EQ(listed.sessionIds, (std::vector<DWORD>{5, 6, 1, 2, 3}));
    EXPECT_EQ(listed.failures, (std::map<DWORD, std::vector<DWORD>>{{5, std::vector<DWORD>(5, 59)}}));
    EXPECT_TRUE(listed.processes.empty());
    ExpectNothingLeftOpen();
}

// Generated sessions have times of their own, counted back from the server's
// clock: logged on 1 to 10 hours ago, idle up to 10 minutes, or disconnected
// (state 4) since some time after the logon, the last input before that.
TEST_F(FarmGeneratorTest, GeneratedSessionsHavePlausibleTimes) {
    const std::string farm = FarmWith(R"({"name":"GEN","current_time":"2026-12-10T09:00:00Z",
        "generate":{"sessions":60,"failing_every":10,"query_error":1722,"seed":3}},
        {"name":"CLOCK","generate":{"sessions":4}})");
    LoadFarm(farm);
    const std::int64_t now = UtcTicks(2026, 12, 10, 9, 0, 0);
    HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(L"GEN"));
    std::vector<std::int64_t> logons;
    int disconnected = 0;
    for (DWORD id = 1; id <= 60; ++id) {
        SCOPED_TRACE(id);
        DWORD error = 0;
        const std::optional<WTSINFOW> info = QuerySessionInfo(h, id, &error);
        if (id % 10 == 0) {
            EXPECT_FALSE(info) << "a failing session fails this class too";
            EXPECT_EQ(error, 1722u);
            continue;
        }
        ASSERT_TRUE(info);
        EXPECT_EQ(info->CurrentTime.QuadPart, now);
        const std::int64_t logon = info->LogonTime.QuadPart;
        const std::int64_t input = info->LastInputTime.QuadPart;
        const std::int64_t gone = info->DisconnectTime.QuadPart;
        EXPECT_TRUE(logon >= now - 10 * 3600 * kSecond && logon <= now - 3600 * kSecond) << (now - logon) / kSecond;
        EXPECT_TRUE(input >= logon && input <= now) << (now - input) / kSecond;
        if (info->State == WTSDisconnected) {
            ++disconnected;
            EXPECT_TRUE(gone > logon && gone <= now - 60 * kSecond) << (now - gone) / kSecond;
            EXPECT_LE(input, gone) << "no input after the disconnect";
        } else {
            EXPECT_EQ(gone, 0);
            EXPECT_LT(now - input, 600 * kSecond);
        }
        logons.push_back(logon);
    }
    WTSCloseServer(h);
    EXPECT_EQ(disconnected, 8) << "every sixth session from the second, 20 and 50 (failing) aside";
    EXPECT_GT(std::set<std::int64_t>(logons.begin(), logons.end()).size(), 50u) << "the times vary";

    // The same seed gives the same times on the next load.
    LoadFarm(farm);
    h = WTSOpenServerW(const_cast<wchar_t*>(L"GEN"));
    const std::optional<WTSINFOW> again = QuerySessionInfo(h, 1);
    WTSCloseServer(h);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->LogonTime.QuadPart, logons.front());

    // On the real clock too, every generated session reports its times.
    h = WTSOpenServerW(const_cast<wchar_t*>(L"CLOCK"));
    for (DWORD id = 1; id <= 4; ++id) {
        SCOPED_TRACE(id);
        const std::optional<WTSINFOW> info = QuerySessionInfo(h, id);
        ASSERT_TRUE(info);
        EXPECT_GT(info->LogonTime.QuadPart, 0);
        EXPECT_GT(info->LastInputTime.QuadPart, 0);
        EXPECT_EQ(info->DisconnectTime.QuadPart != 0, id == 2) << "session 2 is the disconnected one";
    }
    WTSCloseServer(h);
    ExpectNothingLeftOpen();
}

}  // namespace
}  // namespace tarvenix::testing
