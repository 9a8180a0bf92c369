// The farm double (tests/farm) called directly through wtsapi32: that it is
// the DLL loaded, its bookkeeping of handles and buffers, disconnecting, the
// session information with its times, and loading a farm (malformed farms,
// paths from the environment).
#include <windows.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "sessions/session_queries.h"
#include "sessions/wts_extended_win.h"
#include "tests/win/farm_test_support.h"

namespace tarvenix::testing {
namespace {

using FarmDoubleCallsTest = FarmTest;

// ---- which DLL ---------------------------------------------------------------------

TEST(FarmDoubleModule, IsOurDllBesideTheTestProgram) {
    const FarmDouble& d = FarmDouble::Get();
    ASSERT_TRUE(d.module);
    ASSERT_TRUE(d.marker) << "wtsapi32.dll is Wine's builtin: run with WINEDLLOVERRIDES=wtsapi32=n,b";
    EXPECT_EQ(d.marker(), 0x7A4F);
    EXPECT_EQ(FolderOf(d.module), FolderOf(nullptr));
}

// ---- the double itself: what other tests rely on ----------------------------------------------

TEST_F(FarmDoubleCallsTest, DoubleReportsMisuseOfHandlesAndBuffers) {
    LoadFarm(FarmWith(R"({"name":"TS01","sessions":[{"id":2,"user":"ivanov"}]})"));
    HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
    ASSERT_TRUE(h);
    LPWSTR text = nullptr;
    DWORD bytes = 0;
    ASSERT_TRUE(WTSQuerySessionInformationW(h, 2, WTSUserName, &text, &bytes));
    EXPECT_STREQ(text, L"ivanov");
    EXPECT_EQ(bytes, 14u) << "bytes include the NUL";
    EXPECT_EQ(FarmDouble::Get().outstandingBuffers(), 1);
    WTSFreeMemory(text);
    WTSFreeMemory(text);                 // twice
    WTSFreeMemory(reinterpret_cast<char*>(&bytes));  // never handed out
    EXPECT_EQ(FarmDouble::Get().outstandingBuffers(), 0);

    EXPECT_FALSE(WTSQuerySessionInformationW(h, 2, WTSSessionId, &text, &bytes)) << "class not served";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    WTSCloseServer(h);
    WTSCloseServer(h);  // twice
    EXPECT_FALSE(WTSQuerySessionInformationW(h, 2, WTSUserName, &text, &bytes)) << "closed handle";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(FarmDouble::Get().openHandles(), 0);
    EXPECT_EQ(FarmDouble::Get().handlesOpened(), 1);

    const std::vector<LogEntry> frees = CallsOf("WTSFreeMemory");
    ASSERT_EQ(frees.size(), 3u);
    EXPECT_EQ(frees[0].Summary(), "WTSFreeMemory kind=string result=1");
    EXPECT_EQ(frees[1].Summary(), "WTSFreeMemory result=0 error=87");
    EXPECT_EQ(frees[1]["buffer"], "?");
    EXPECT_EQ(frees[2].Summary(), "WTSFreeMemory result=0 error=87");
    const std::vector<LogEntry> closes = CallsOf("WTSCloseServer");
    ASSERT_EQ(closes.size(), 2u);
    EXPECT_EQ(closes[0].Summary(), "WTSCloseServer server=TS01 result=1");
    EXPECT_EQ(closes[1].Summary(), "WTSCloseServer server=TS01 result=0 error=6");
}

TEST_F(FarmDoubleCallsTest, DoubleLogsMessageTextsByTheirByteCounts) {
    LoadFarm(FarmWith(R"({"name":"TS01","sessions":[{"id":2,"user":"ivanov"}]})"));
    HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
    wchar_t title[] = L"Title";
    wchar_t message[] = L"Message!";
    DWORD response = 0;
    // Character counts where byte counts belong: the recipient would see half.
    ASSERT_TRUE(WTSSendMessageW(h, 2, title, 5, message, 8, 0, 0, &response, TRUE));
    EXPECT_EQ(response, static_cast<DWORD>(IDOK)) << "the answer when waiting";
    WTSCloseServer(h);
    const LogEntry sent = CallsOf("WTSSendMessageW").at(0);
    EXPECT_EQ(sent["title"], "Ti");
    EXPECT_EQ(sent["title_bytes"], "5");
    EXPECT_EQ(sent["title_chars"], "5");
    EXPECT_EQ(sent["message"], "Mess");
    EXPECT_EQ(sent["message_bytes"], "8");
    EXPECT_EQ(sent["message_chars"], "8");
    EXPECT_EQ(sent["wait"], "1");
}

// ---- disconnecting and the session information (times) --------------------------------------
TEST_F(FarmDoubleCallsTest, DisconnectIsAnsweredAndLoggedLikeLogoff) {
    LoadFarm(FarmWith(R"(
        {"name":"OK","sessions":[{"id":2,"user":"a","winstation":"RDP-Tcp#2"},{"id":3,"user":"b","disconnect_error":5}]},
        {"name":"LOCKED","disconnect_error":50,"sessions":[{"id":2,"user":"a"}]},
        {"name":"DOWN","unreachable":true,"sessions":[{"id":2,"user":"a"}]})"));
    const struct {
        const wchar_t* server;
        DWORD session;
        BOOL wait;
        DWORD error;  // 0: succeeds
    } cases[] = {
        {L"OK", 2, FALSE, 0},         {L"OK", 2, TRUE, 0},
        {L"OK", 9, FALSE, 7022},      // no such session, as for logoff
        {L"OK", 3, TRUE, 5},          // the session's own error
        {L"LOCKED", 2, FALSE, 50},    {L"LOCKED", 9, FALSE, 50},  // the server's error comes first
        {L"DOWN", 2, FALSE, 1722},    {L"NOWHERE", 2, TRUE, 1722},
    };
    for (const auto& c : cases) {
        const std::string server = Utf16ToUtf8(std::u16string(c.server, c.server + wcslen(c.server)));
        SCOPED_TRACE(server + " session " + std::to_string(c.session) + " wait " + std::to_string(c.wait));
        ASSERT_TRUE(FarmDouble::Get().load(farmPath_.c_str(), logPath_.c_str()));
        HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(c.server));
        SetLastError(12345);
        const BOOL ok = WTSDisconnectSession(h, c.session, c.wait);
        const DWORD error = GetLastError();
        WTSCloseServer(h);
        EXPECT_EQ(ok != FALSE, c.error == 0);
        EXPECT_EQ(error, c.error == 0 ? 12345u : c.error) << "success leaves the last error alone";

        const std::vector<LogEntry> logged = CallsOf("WTSDisconnectSession");
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_EQ(logged[0]["server"], server);
        EXPECT_EQ(logged[0]["handle"], "1");
        EXPECT_EQ(logged[0]["session"], std::to_string(c.session));
        EXPECT_EQ(logged[0]["wait"], std::to_string(c.wait));
        EXPECT_EQ(logged[0]["result"], c.error == 0 ? "1" : "0");
        EXPECT_EQ(logged[0]["error"], c.error == 0 ? "(absent)" : std::to_string(c.error));
        ExpectNothingLeftOpen();
    }
}

// A disconnected session stays, with its processes, as state 4 without a
// WinStation, disconnected since the server's current time.
TEST_F(FarmDoubleCallsTest, DisconnectedSessionShowsAsDisconnectedInTheNextEnumeration) {
    LoadFarm(FarmWith(R"({"name":"TS01","current_time":"2026-12-10T09:00:00Z","sessions":[
        {"id":2,"state":0,"user":"ivanov","winstation":"RDP-Tcp#2","idle_seconds":30},
        {"id":3,"state":4,"user":"petrov","disconnect_time":"2026-12-09T18:00:00Z"},
        {"id":4,"state":0,"user":"sidorov","winstation":"RDP-Tcp#4"}],
        "processes":[{"session":2,"pid":100,"name":"a.exe"},{"session":3,"pid":104,"name":"b.exe"}]})"));
    HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
    ASSERT_TRUE(WTSDisconnectSession(h, 2, FALSE));
    ASSERT_TRUE(WTSDisconnectSession(h, 3, FALSE)) << "disconnecting a disconnected session succeeds";

    PWTS_SESSION_INFOW sessions = nullptr;
    DWORD count = 0;
    ASSERT_TRUE(WTSEnumerateSessionsW(h, 0, 1, &sessions, &count));
    ASSERT_EQ(count, 3u);
    const struct {
        DWORD id;
        DWORD state;
        const wchar_t* winStation;
        std::int64_t disconnectTime;
    } expected[] = {
        {2, 4, L"", UtcTicks(2026, 12, 10, 9, 0, 0)},
        {3, 4, L"", UtcTicks(2026, 12, 9, 18, 0, 0)},  // keeps the time it was disconnected at
        {4, 0, L"RDP-Tcp#4", 0},                       // untouched
    };
    for (DWORD i = 0; i < count; ++i) {
        SCOPED_TRACE(expected[i].id);
        EXPECT_EQ(sessions[i].SessionId, expected[i].id);
        EXPECT_EQ(static_cast<DWORD>(sessions[i].State), expected[i].state);
        EXPECT_STREQ(sessions[i].pWinStationName, expected[i].winStation);
        const std::optional<WTSINFOW> info = QuerySessionInfo(h, expected[i].id);
        ASSERT_TRUE(info);
        EXPECT_EQ(static_cast<DWORD>(info->State), expected[i].state);
        EXPECT_EQ(info->DisconnectTime.QuadPart, expected[i].disconnectTime);
    }
    WTSFreeMemory(sessions);
    // Unlike a logoff, the processes stay.
    PWTS_PROCESS_INFOW processes = nullptr;
    ASSERT_TRUE(WTSEnumerateProcessesW(h, 0, 1, &processes, &count));
    EXPECT_EQ(count, 2u);
    WTSFreeMemory(processes);
    WTSCloseServer(h);
    ExpectNothingLeftOpen();
}

TEST_F(FarmDoubleCallsTest, SessionInfoGivesTheFarmsTimesAsFileTimes) {
    LoadFarm(FarmWith(R"({"name":"TS01","current_time":"2026-12-10T09:00:00Z","sessions":[
        {"id":2,"state":0,"user":"ivanov","domain":"CORP","winstation":"RDP-Tcp#3",
         "logon_time":"2026-12-10T08:15:00Z","last_input_time":"2026-12-10T08:59:30.25Z","disconnect_time":null},
        {"id":3,"state":4,"user":"Петрова","domain":"БУХ",
         "logon_seconds_ago":360000,"idle_seconds":187200,"disconnected_seconds":183600},
        {"id":4,"state":2,"disconnect_time":"2024-02-29T23:59:59.1234567Z"},
        {"id":5,"state":42,"user":"abcdefghijklmnopqrstuvwxy","domain":"ABCDEFGHIJKLMNOPQRSTU",
         "winstation":"0123456789012345678901234567890123456789","last_input_time":"1601-01-01T00:00:01Z"}]})"));
    const std::int64_t now = UtcTicks(2026, 12, 10, 9, 0, 0);
    const struct {
        DWORD id;
        DWORD state;
        const wchar_t* user;
        const wchar_t* domain;
        const wchar_t* winStation;
        std::int64_t logon, lastInput, disconnect;
    } cases[] = {
        {2, 0, L"ivanov", L"CORP", L"RDP-Tcp#3", UtcTicks(2026, 12, 10, 8, 15, 0),
         UtcTicks(2026, 12, 10, 8, 59, 30) + 2'500'000, 0},
        {3, 4, L"Петрова", L"БУХ", L"", now - 360000 * kSecond, now - 187200 * kSecond, now - 183600 * kSecond},
        {4, 2, L"", L"", L"", 0, 0, UtcTicks(2024, 2, 29, 23, 59, 59) + 1'234'567},
        // Texts are cut to the fixed arrays, room left for the NUL.
        {5, 42, L"abcdefghijklmnopqrst", L"ABCDEFGHIJKLMNOP", L"0123456789012345678901234567890", 0, kSecond, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        ASSERT_TRUE(FarmDouble::Get().load(farmPath_.c_str(), logPath_.c_str()));
        HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
        LPWSTR buffer = nullptr;
        DWORD bytes = 0;
        ASSERT_TRUE(WTSQuerySessionInformationW(h, c.id, WTSSessionInfo, &buffer, &bytes));
        ASSERT_EQ(bytes, sizeof(WTSINFOW));
        EXPECT_EQ(FarmDouble::Get().outstandingBuffers(), 1);
        const auto* info = reinterpret_cast<const WTSINFOW*>(buffer);
        EXPECT_EQ(static_cast<DWORD>(info->State), c.state);
        EXPECT_EQ(info->SessionId, c.id);
        EXPECT_STREQ(info->UserName, c.user);
        EXPECT_STREQ(info->Domain, c.domain);
        EXPECT_STREQ(info->WinStationName, c.winStation);
        EXPECT_EQ(info->LogonTime.QuadPart, c.logon);
        EXPECT_EQ(info->LastInputTime.QuadPart, c.lastInput);
        EXPECT_EQ(info->DisconnectTime.QuadPart, c.disconnect);
        EXPECT_EQ(info->CurrentTime.QuadPart, now);
        EXPECT_EQ(info->ConnectTime.QuadPart, 0);
        EXPECT_EQ(info->IncomingBytes + info->OutgoingBytes + info->IncomingFrames + info->OutgoingFrames +
                      info->IncomingCompressedBytes + info->OutgoingCompressedBytes,
                  0u);
        WTSFreeMemory(buffer);
        WTSCloseServer(h);
        ExpectNothingLeftOpen();

        const std::vector<LogEntry> calls = Calls();
        ASSERT_EQ(calls.size(), 4u);
        EXPECT_EQ(calls[1].Summary(), "WTSQuerySessionInformationW server=TS01 session=" + std::to_string(c.id) +
                                          " class=24 result=1");
        EXPECT_EQ(calls[1]["bytes"], std::to_string(sizeof(WTSINFOW)));
        EXPECT_EQ(calls[2].Summary(), "WTSFreeMemory kind=sessioninfo result=1");
        EXPECT_EQ(calls[2]["buffer"], calls[1]["buffer"]);
    }
}

// Without a current_time the server's clock is the real one: relative times
// count back from the CurrentTime of the same answer, but a logon happens
// once: its time is fixed when the farm is loaded.
TEST_F(FarmDoubleCallsTest, RelativeTimesCountBackFromTheRealClock) {
    const std::int64_t loading = SystemTicksNow();
    LoadFarm(FarmWith(R"({"name":"TS01","sessions":[
        {"id":2,"logon_seconds_ago":3600,"idle_seconds":90,"disconnected_seconds":7200},
        {"id":3,"logon_time":"2026-01-02T03:04:05Z"}]})"));
    const std::int64_t loaded = SystemTicksNow();
    HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
    const std::int64_t before = SystemTicksNow();
    const std::optional<WTSINFOW> first = QuerySessionInfo(h, 2);
    const std::int64_t after = SystemTicksNow();
    ASSERT_TRUE(first);
    const std::int64_t now = first->CurrentTime.QuadPart;
    EXPECT_GE(now, before - kSecond / 10);
    EXPECT_LE(now, after + kSecond / 10);
    EXPECT_GE(first->LogonTime.QuadPart, loading - 3600 * kSecond - kSecond / 10);
    EXPECT_LE(first->LogonTime.QuadPart, loaded - 3600 * kSecond + kSecond / 10);
    EXPECT_EQ(first->LastInputTime.QuadPart, now - 90 * kSecond);
    EXPECT_EQ(first->DisconnectTime.QuadPart, now - 7200 * kSecond);

    // The clock moves between calls; absolute times stay where they are.
    Sleep(50);
    const std::optional<WTSINFOW> later = QuerySessionInfo(h, 2);
    ASSERT_TRUE(later);
    EXPECT_GT(later->CurrentTime.QuadPart, now);
    EXPECT_EQ(later->LastInputTime.QuadPart, later->CurrentTime.QuadPart - 90 * kSecond);
    EXPECT_EQ(later->LogonTime.QuadPart, first->LogonTime.QuadPart) << "the same logon at every answer";
    const std::optional<WTSINFOW> fixed = QuerySessionInfo(h, 3);
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->LogonTime.QuadPart, UtcTicks(2026, 1, 2, 3, 4, 5));
    EXPECT_EQ(fixed->LastInputTime.QuadPart, 0);
    WTSCloseServer(h);
    ExpectNothingLeftOpen();
}

TEST_F(FarmDoubleCallsTest, SessionInfoQueryFailsAsTheFarmSays) {
    LoadFarm(FarmWith(R"({"name":"TS01","sessions":[
        {"id":2,"user":"a","fail":["sessioninfo"],"query_error":59},
        {"id":3,"user":"b","fail":[24]},
        {"id":4,"user":"c","fail":["all"],"query_error":1722},
        {"id":5,"user":"d","fail":["user","client"],"idle_seconds":5}]},
        {"name":"DOWN","unreachable":true,"sessions":[{"id":2,"user":"a"}]})"));
    const struct {
        const wchar_t* server;
        DWORD session;
        DWORD error;  // 0: answered
    } cases[] = {
        {L"TS01", 2, 59}, {L"TS01", 3, 5}, {L"TS01", 4, 1722}, {L"TS01", 5, 0},
        {L"TS01", 9, 7022}, {L"DOWN", 2, 1722}, {L"NOWHERE", 2, 1722},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.session) + " error " + std::to_string(c.error));
        ASSERT_TRUE(FarmDouble::Get().load(farmPath_.c_str(), logPath_.c_str()));
        HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(c.server));
        DWORD error = 0;
        const std::optional<WTSINFOW> info = QuerySessionInfo(h, c.session, &error);
        EXPECT_EQ(info.has_value(), c.error == 0);
        EXPECT_EQ(error, c.error);
        if (info) {
            EXPECT_EQ(info->CurrentTime.QuadPart - info->LastInputTime.QuadPart, 5 * kSecond);
        }
        WTSCloseServer(h);
        const LogEntry query = CallsOf("WTSQuerySessionInformationW").at(0);
        EXPECT_EQ(query["class"], "24");
        EXPECT_EQ(query["result"], c.error == 0 ? "1" : "0");
        EXPECT_EQ(query["error"], c.error == 0 ? "(absent)" : std::to_string(c.error));
        ExpectNothingLeftOpen();
    }
    // The other classes of a session whose class 24 fails are still answered.
    HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
    LPWSTR text = nullptr;
    DWORD bytes = 0;
    ASSERT_TRUE(WTSQuerySessionInformationW(h, 2, WTSUserName, &text, &bytes));
    EXPECT_STREQ(text, L"a");
    WTSFreeMemory(text);
    WTSCloseServer(h);
    ExpectNothingLeftOpen();
}

// ---- the extended process listing --------------------------------------------------------

TEST_F(FarmDoubleCallsTest, ExtendedListingAdvancesCpuTimesAndIsFreedWithItsOwnCall) {
    LoadFarm(FarmWith(R"({"name":"TS01","processes":[
        {"session":2,"pid":100,"name":"busy.exe","user_seconds":10,"kernel_seconds":1,"cpu_percent":50,
         "threads":7,"working_set":2048,"sid":"S-1-5-21-1-2-3-1001"},
        {"session":3,"pid":200,"name":"idle.exe"}]},
        {"name":"OLD","process_ex_error":1745})"));
    HANDLE h = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
    const auto list = [&](DWORD level, DWORD session, DWORD& count) {
        LPWSTR raw = nullptr;
        count = 0;
        EXPECT_TRUE(WTSEnumerateProcessesExW(h, &level, session, &raw, &count));
        return raw;
    };
    DWORD count = 0;
    auto* first = reinterpret_cast<PWTS_PROCESS_INFO_EXW>(list(1, WTS_ANY_SESSION, count));
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(first[0].pProcessName, L"busy.exe");
    EXPECT_EQ(first[0].NumberOfThreads, 7u);
    EXPECT_EQ(first[0].WorkingSetSize, 2048u * 1024);
    EXPECT_EQ(first[0].KernelTime.QuadPart, 10'000'000);
    ASSERT_TRUE(first[0].pUserSid && IsValidSid(first[0].pUserSid));
    EXPECT_EQ(GetLengthSid(first[0].pUserSid), 28u);
    EXPECT_EQ(first[1].pUserSid, nullptr);
    const LONGLONG before = first[0].UserTime.QuadPart;
    Sleep(200);
    DWORD again = 0;
    auto* second = reinterpret_cast<PWTS_PROCESS_INFO_EXW>(list(1, WTS_ANY_SESSION, again));
    // Half of the ~200 ms between the calls: about 100 ms of user time more.
    const LONGLONG spent = second[0].UserTime.QuadPart - before;
    EXPECT_GE(spent, 80 * 10'000);
    EXPECT_LT(spent, 400 * 10'000);
    EXPECT_EQ(second[1].UserTime.QuadPart, first[1].UserTime.QuadPart) << "an idle process spends nothing";

    // Freed with the wrong class or count: refused and left alone.
    EXPECT_FALSE(WTSFreeMemoryExW(WTSTypeProcessInfoLevel0, first, count));
    EXPECT_FALSE(WTSFreeMemoryExW(WTSTypeProcessInfoLevel1, first, count + 1));
    EXPECT_EQ(FarmDouble::Get().outstandingBuffers(), 2);
    EXPECT_TRUE(WTSFreeMemoryExW(WTSTypeProcessInfoLevel1, first, count));
    EXPECT_TRUE(WTSFreeMemoryExW(WTSTypeProcessInfoLevel1, second, again));

    // Level 0 of one session.
    auto* plain = reinterpret_cast<PWTS_PROCESS_INFOW>(list(0, 3, count));
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(plain[0].ProcessId, 200u);
    EXPECT_TRUE(WTSFreeMemoryExW(WTSTypeProcessInfoLevel0, plain, count));
    EXPECT_EQ(FarmDouble::Get().outstandingBuffers(), 0);

    // A server without the extended listing refuses it; the plain one answers.
    HANDLE old = WTSOpenServerW(const_cast<wchar_t*>(L"OLD"));
    DWORD level = 1;
    LPWSTR raw = nullptr;
    EXPECT_FALSE(WTSEnumerateProcessesExW(old, &level, WTS_ANY_SESSION, &raw, &count));
    EXPECT_EQ(GetLastError(), 1745u);
    PWTS_PROCESS_INFOW plainOld = nullptr;
    EXPECT_TRUE(WTSEnumerateProcessesW(old, 0, 1, &plainOld, &count));
    WTSFreeMemory(plainOld);
    WTSCloseServer(old);
    WTSCloseServer(h);
}

TEST_F(FarmDoubleCallsTest, MalformedFarmIsRejectedWithItsPlace) {
    const struct {
        const char* json;
        const char* place;
    } cases[] = {
        {R"({"servers":[{"name":"A","sesions":[]}]})", "farm.servers[0].sesions: unknown key"},
        {R"({"servers":[{"name":"ts01"},{"name":"TS01"}]})", "farm.servers[1].name: duplicate server name"},
        {R"({"servers":[{"name":"A","sessions":[{"id":1,"state":-1}]}]})", "farm.servers[0].sessions[0].state"},
        {R"({"servers":[{"name":"A","sessions":[{"id":1},{"id":1}]}]})", "farm.servers[0].sessions[1].id: duplicate"},
        {R"({"servers":[{"name":"A","sessions":[{"id":1,"ipv4":"10.0.0.256"}]}]})", "sessions[0].ipv4"},
        {R"({"servers":[{"name":"A","sessions":[{"id":1,"fail":["users"]}]}]})", "sessions[0].fail[0]"},
        {R"({"servers":[{"name":"A","processes":[{"session":1}]}]})", "processes[0].pid: required"},
        {R"({"servers":[{"name":"A"},])", "not valid JSON"},
        {R"({"servers":[{"name":"A","generate":{"sesions":5}}]})", "farm.servers[0].generate.sesions: unknown key"},
        {R"({"servers":[{"name":"A","generate":{"failing_every":5}}]})", "farm.servers[0].generate.sessions: required"},
        {R"({"servers":[{"name":"A","sessions":[{"id":3}],"generate":{"sessions":5}}]})",
         "farm.servers[0].generate.sessions: session ID 3 is also listed"},
        {R"({"servers":[{"name":"A","generate":{"sessions":100001}}]})", "farm.servers[0].generate.sessions: at most"},
        {R"({"servers":[{"name":"A","sessions":[{"id":1,"logon_time":"2026-12-10 08:15:00"}]}]})",
         "farm.servers[0].sessions[0].logon_time: expected a UTC time"},
        {R"({"servers":[{"name":"A","sessions":[{"id":1,"last_input_time":"2026-02-29T00:00:00Z"}]}]})",
         "farm.servers[0].sessions[0].last_input_time: expected a UTC time"},
        {R"({"servers":[{"name":"A","sessions":[{"id":1,"disconnect_time":"2026-12-10T08:15:00.12345678Z"}]}]})",
         "farm.servers[0].sessions[0].disconnect_time: expected a UTC time"},
        {R"({"servers":[{"name":"A","sessions":[{"id":1,"idle_seconds":20,"last_input_time":"2026-12-10T08:15:00Z"}]}]})",
         "farm.servers[0].sessions[0]: give either last_input_time or idle_seconds, not both"},
        {R"({"servers":[{"name":"A","sessions":[{"id":1,"disconnected_seconds":-1}]}]})",
         "farm.servers[0].sessions[0].disconnected_seconds"},
        {R"({"servers":[{"name":"A","current_time":"2026-12-10T08:15:00+01:00"}]})",
         "farm.servers[0].current_time: expected a UTC time"},
        {R"({"servers":[{"name":"A","processes":[{"session":1,"pid":4,"sid":"S-1-5"}]}]})",
         "farm.servers[0].processes[0].sid: expected a SID"},
        {R"({"servers":[{"name":"A","processes":[{"session":1,"pid":4,"sid":"S-1-5-21-4294967296"}]}]})",
         "farm.servers[0].processes[0].sid: expected a SID"},
        {R"({"servers":[{"name":"A","sessions":[{"id":1,"display":{"widht":5}}]}]})",
         "farm.servers[0].sessions[0].display.widht: unknown key"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        WriteFileBytes(farmPath_, c.json);
        EXPECT_FALSE(FarmDouble::Get().load(farmPath_.c_str(), logPath_.c_str()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
        const std::string log = ReadFileBytes(logPath_);
        EXPECT_NE(log.find("\tresult=0\terror=13\treason="), std::string::npos) << log;
        EXPECT_NE(log.find(c.place), std::string::npos) << log;
    }
    // A missing farm file, and the empty farm that a failed load leaves behind.
    EXPECT_FALSE(FarmDouble::Get().load((folder_ + L"missing.json").c_str(), logPath_.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ReadSessionInventory(wts, u"NOWHERE").error, 1722u);
}

TEST_F(FarmDoubleCallsTest, PathsComeFromTheEnvironmentInDosOrUnixForm) {
    LoadFarm(FarmWith(R"({"name":"FROM-ENV","sessions":[{"id":5,"user":"env"}]})"));
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    std::vector<std::pair<std::wstring, std::wstring>> forms = {{farmPath_, logPath_}};
    if (toUnix) {  // under Wine, scripts give Unix paths
        char* farmUnix = toUnix(farmPath_.c_str());
        char* logUnix = toUnix(logPath_.c_str());
        ASSERT_TRUE(farmUnix && logUnix);
        forms.emplace_back(Wide(std::string(farmUnix)), Wide(std::string(logUnix)));
        HeapFree(GetProcessHeap(), 0, farmUnix);
        HeapFree(GetProcessHeap(), 0, logUnix);
    }
    for (const auto& [farm, log] : forms) {
        SCOPED_TRACE(Utf16ToUtf8(std::u16string(farm.begin(), farm.end())));
        SetEnvironmentVariableW(L"TARVENIX_FARM", farm.c_str());
        SetEnvironmentVariableW(L"TARVENIX_FARM_LOG", log.c_str());
        const BOOL loaded = FarmDouble::Get().load(nullptr, nullptr);
        SetEnvironmentVariableW(L"TARVENIX_FARM", nullptr);
        SetEnvironmentVariableW(L"TARVENIX_FARM_LOG", nullptr);
        ASSERT_TRUE(loaded) << GetLastError();
        const SessionInventory inv = ReadSessionInventory(wts, u"from-env");
        ASSERT_EQ(inv.rows.size(), 1u);
        EXPECT_EQ(inv.rows[0].user, u"env");
        EXPECT_EQ(CallsOf("WTSOpenServerW").size(), 1u) << "the log named by the environment";
    }
}

}  // namespace
}  // namespace tarvenix::testing
