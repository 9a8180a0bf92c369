// The wtsapi32 wrapper (WtsTerminalServices) and the session inventory
// against the simulated farm (our own wtsapi32.dll, tests/farm): the rows,
// the exact calls, failures, processes, actions and session-change
// notifications, read back from the double's action log.
#include <windows.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "actions/process_figures.h"
#include "base/text.h"
#include "sessions/session_columns.h"
#include "sessions/session_queries.h"
#include "tests/win/farm_test_support.h"

namespace tarvenix::testing {
namespace {

using WtsWrapperTest = FarmTest;

// A value as the double logs it (a window handle).
std::string Hex(std::uintptr_t value) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(value));
    return buf;
}

// ---- the inventory through the real wrapper --------------------------------------

TEST_F(WtsWrapperTest, InventoryRowsComeBackThroughTheWrapper) {
    LoadFarm(FarmWith(R"({"name":"TS01","sessions":[
        {"id":2,"state":0,"user":"ivanov","client":"PC-01","winstation":"RDP-Tcp#3","ipv4":"10.0.0.5"},
        {"id":3,"state":4,"user":"Петрова","client":"БУХ-ПК-07"},
        {"id":65536,"state":6,"winstation":"RDP-Tcp"},
        {"id":4294967295,"state":42,"user":"svc","client":"C","winstation":"W",
         "address":{"family":23,"bytes":[0,0,32,1,13,184,0,0,0,0,0,0,0,0,0,0,0,1]}},
        {"id":7,"state":0,"user":"Ёлкина","client":"ЕКБ","winstation":"RDP-Tcp#9","ipv4":"192.168.200.254",
         "fail":["client"]}]})"));

    // Host names match whatever their case, Cyrillic included (see below).
    const SessionInventory inv = ReadSessionInventory(wts, u"ts01");
    ASSERT_FALSE(inv.enumerationFailed) << inv.error;
    ASSERT_EQ(inv.rows.size(), 4u) << "the listener (no user) has no row";
    EXPECT_EQ(inv.activeCount, 2);
    const struct {
        const char16_t *id, *user, *client, *address, *state, *winStation;
    } expected[] = {
        {u"2", u"ivanov", u"PC-01", u"10.0.0.5", u"Active", u"RDP-Tcp#3"},
        {u"3", u"Петрова", u"БУХ-ПК-07", u"", u"Disconnected", u""},
        {u"4294967295", u"svc", u"C", u"", u"Unknown", u"W"},
        {u"7", u"Ёлкина", u"", u"192.168.200.254", u"Active", u"RDP-Tcp#9"},
    };
    for (std::size_t i = 0; i < inv.rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(CellText(SessionField::Id, inv.rows[i]), expected[i].id);
        EXPECT_EQ(inv.rows[i].user, expected[i].user);
        EXPECT_EQ(inv.rows[i].clientName, expected[i].client);
        EXPECT_EQ(inv.rows[i].address, expected[i].address);
        EXPECT_EQ(CellText(SessionField::State, inv.rows[i]), expected[i].state);
        EXPECT_EQ(inv.rows[i].winStation, expected[i].winStation);
    }
    ExpectNothingLeftOpen();
    EXPECT_EQ(FarmDouble::Get().handlesOpened(), 1);
}

TEST_F(WtsWrapperTest, CyrillicHostNameMatchesInAnyCase) {
    LoadFarm(FarmWith(R"({"name":"СЕРВЕР-БУХ","sessions":[{"id":2,"user":"бухгалтер"}]})"));
    const SessionInventory inv = ReadSessionInventory(wts, u"сервер-бух");
    ASSERT_FALSE(inv.enumerationFailed) << inv.error;
    ASSERT_EQ(inv.rows.size(), 1u);
    EXPECT_EQ(inv.rows[0].user, u"бухгалтер");
    EXPECT_EQ(CallsOf("WTSOpenServerW").at(0)["server"], "сервер-бух") << "the log shows the name as the program gave it";
}

// Open, enumerate, the four queries of each session each followed by its free,
// then close. (Where the session array's free falls is the next test's matter.)
TEST_F(WtsWrapperTest, InventoryMakesExactlyTheExpectedCalls) {
    LoadFarm(FarmWith(R"({"name":"TS01","sessions":[
        {"id":2,"user":"ivanov","client":"PC-01","ipv4":"10.0.0.5"},
        {"id":65536,"state":6,"winstation":"RDP-Tcp","fail":["client"]}]})"));
    ReadSessionInventory(wts, u"TS01");

    std::vector<LogEntry> calls = Calls();
    const auto arrayFree = std::find_if(calls.begin(), calls.end(), [](const LogEntry& e) {
        return e.function == "WTSFreeMemory" && e["kind"] == "sessions";
    });
    ASSERT_NE(arrayFree, calls.end()) << "the session array is never freed";
    const LogEntry arrayFreeEntry = *arrayFree;
    calls.erase(arrayFree);

    const std::vector<std::string> expected = {
        "WTSOpenServerW server=TS01 result=1",
        "WTSEnumerateSessionsW server=TS01 result=1",
        "WTSQuerySessionInformationW server=TS01 session=2 class=10 result=1",
        "WTSFreeMemory kind=string result=1",
        "WTSQuerySessionInformationW server=TS01 session=2 class=5 result=1",
        "WTSFreeMemory kind=string result=1",
        "WTSQuerySessionInformationW server=TS01 session=2 class=6 result=1",
        "WTSFreeMemory kind=string result=1",
        "WTSQuerySessionInformationW server=TS01 session=2 class=14 result=1",
        "WTSFreeMemory kind=address result=1",
        "WTSQuerySessionInformationW server=TS01 session=2 class=24 result=1",
        "WTSFreeMemory kind=sessioninfo result=1",
        // No user: no row, so its times are not asked for.
        "WTSQuerySessionInformationW server=TS01 session=65536 class=10 result=0 error=5",
        "WTSQuerySessionInformationW server=TS01 session=65536 class=5 result=1",
        "WTSFreeMemory kind=string result=1",
        "WTSQuerySessionInformationW server=TS01 session=65536 class=6 result=1",
        "WTSFreeMemory kind=string result=1",
        "WTSQuerySessionInformationW server=TS01 session=65536 class=14 result=1",
        "WTSFreeMemory kind=address result=1",
        "WTSCloseServer server=TS01 result=1",
    };
    ASSERT_EQ(Summaries(calls), expected);

    // One handle, opened by name (never the local-machine NULL), used throughout.
    const std::string handle = calls[0]["handle"];
    EXPECT_NE(handle, "0");
    for (const LogEntry& e : calls) {
        if (e.Has("handle")) {
            EXPECT_EQ(e["handle"], handle) << e.function;
        }
    }
    // Each free gives back the buffer of the query just before it.
    for (std::size_t i = 1; i < calls.size(); ++i) {
        if (calls[i].function == "WTSFreeMemory") {
            EXPECT_EQ(calls[i]["buffer"], calls[i - 1]["buffer"]) << i;
        }
    }
    EXPECT_EQ(arrayFreeEntry["buffer"], calls[1]["buffer"]);
    EXPECT_EQ(calls[1]["count"], "2");
    ExpectNothingLeftOpen();
}

TEST_F(WtsWrapperTest, SessionArrayIsFreedAfterTheQueriesJustBeforeClose) {
    LoadFarm(FarmWith(R"({"name":"TS01","sessions":[{"id":2,"user":"ivanov"}]})"));
    ReadSessionInventory(wts, u"TS01");
    const std::vector<std::string> calls = Summaries(Calls());
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 2], "WTSFreeMemory kind=sessions result=1");
    EXPECT_EQ(calls.back(), "WTSCloseServer server=TS01 result=1");
}

// ---- enumeration failures -------------------------------------------------------------

TEST_F(WtsWrapperTest, FailedEnumerationReportsTheSystemError) {
    LoadFarm(FarmWith(R"({"name":"DENIED","enumerate_error":5,"sessions":[{"id":2,"user":"u"}]},
        {"name":"RPCFAIL","enumerate_error":1722,"sessions":[{"id":2,"user":"u"}]},
        {"name":"DOWN","unreachable":true,"sessions":[{"id":2,"user":"u"}]})"));
    const struct {
        const char16_t* server;
        const char* logName;
        std::uint32_t error;
        const char* known;
    } cases[] = {
        {u"DENIED", "DENIED", 5, "1"},
        {u"RPCFAIL", "RPCFAIL", 1722, "1"},
        {u"DOWN", "DOWN", 1722, "1"},
        {u"NOWHERE", "NOWHERE", 1722, "0"},  // not in the farm: opens, then is unavailable
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logName);
        ASSERT_TRUE(FarmDouble::Get().load(farmPath_.c_str(), logPath_.c_str()));
        const SessionInventory inv = ReadSessionInventory(wts, c.server);
        EXPECT_TRUE(inv.enumerationFailed);
        EXPECT_EQ(inv.error, c.error);
        EXPECT_TRUE(inv.rows.empty());
        const std::vector<LogEntry> calls = Calls();
        ASSERT_EQ(calls.size(), 3u) << "open, enumerate, close; nothing queried";
        EXPECT_EQ(calls[0].Summary(), std::string("WTSOpenServerW server=") + c.logName + " result=1");
        EXPECT_EQ(calls[0]["known"], c.known);
        EXPECT_NE(calls[0]["handle"], "0");
        EXPECT_EQ(calls[1].Summary(),
                  std::string("WTSEnumerateSessionsW server=") + c.logName + " result=0 error=" + std::to_string(c.error));
        EXPECT_EQ(calls[1]["handle"], calls[0]["handle"]) << "enumerated the local machine instead";
        EXPECT_EQ(calls[2].function, "WTSCloseServer");
        ExpectNothingLeftOpen();
    }
}

TEST_F(WtsWrapperTest, AnEmptyServerNameIsRefusedWithoutACall) {
    // An empty name would open the local machine: nothing reaches wtsapi32.
    LoadFarm(FarmWith(R"({"name":"TS01","sessions":[{"id":2,"user":"u"}]})"));
    ASSERT_TRUE(FarmDouble::Get().load(farmPath_.c_str(), logPath_.c_str()));
    const std::unique_ptr<TerminalServer> server = wts.Open(u"");
    std::vector<ProcessRecord> processes;
    const CallResult listed = server->EnumerateProcesses(processes);
    EXPECT_FALSE(listed.ok);
    EXPECT_EQ(listed.error, static_cast<std::uint32_t>(ERROR_INVALID_NAME));
    EXPECT_FALSE(server->TerminateProcess(4).ok);
    EXPECT_FALSE(server->Logoff(1).ok);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(WtsWrapperTest, UnreachableServerAnswersOnlyAfterItsDelay) {
    LoadFarm(R"({"unknown_server_delay_ms":150,"servers":[{"name":"SLOW","unreachable":true,"unreachable_delay_ms":300}]})");
    const struct {
        const char16_t* server;
        ULONGLONG delay;
    } cases[] = {{u"SLOW", 300}, {u"UNKNOWN", 150}};
    for (const auto& c : cases) {
        const ULONGLONG start = GetTickCount64();
        const SessionInventory inv = ReadSessionInventory(wts, c.server);
        const ULONGLONG elapsed = GetTickCount64() - start;
        EXPECT_EQ(inv.error, 1722u);
        EXPECT_GE(elapsed + 20, c.delay) << "timer granularity aside";
        EXPECT_LT(elapsed, c.delay + 1000);
    }
}

// ---- processes -------------------------------------------------------------------------

TEST_F(WtsWrapperTest, ProcessesComeBackWithAbsentNames) {
    LoadFarm(FarmWith(R"({"name":"TS01","processes":[
        {"session":2,"pid":1234,"name":"explorer.exe"},
        {"session":2,"pid":88,"name":null},
        {"session":4294967295,"pid":4294967295,"name":"Отчёт.exe"}]},
        {"name":"TS02","process_enumerate_error":5})"));
    {
        auto server = wts.Open(u"TS01");
        std::vector<ProcessRecord> processes;
        ASSERT_TRUE(server->EnumerateProcesses(processes).ok);
        ASSERT_EQ(processes.size(), 3u);
        EXPECT_EQ(processes[0].sessionId, 2u);
        EXPECT_EQ(processes[0].processId, 1234u);
        EXPECT_EQ(processes[0].name, std::optional<std::u16string>(u"explorer.exe"));
        EXPECT_EQ(processes[1].processId, 88u);
        EXPECT_FALSE(processes[1].name.has_value()) << "a NULL name is not an empty name";
        EXPECT_EQ(processes[2].sessionId, 4294967295u);
        EXPECT_EQ(processes[2].processId, 4294967295u);
        EXPECT_EQ(processes[2].name, std::optional<std::u16string>(u"Отчёт.exe"));

        auto failing = wts.Open(u"TS02");
        const CallResult failed = failing->EnumerateProcesses(processes);
        EXPECT_FALSE(failed.ok);
        EXPECT_EQ(failed.error, 5u);
        EXPECT_TRUE(processes.empty());
    }
    // The extended listing first, freed with its own call; refused (5), the
    // plain one is tried too.
    EXPECT_EQ(Summaries(Calls()), (std::vector<std::string>{
                                      "WTSOpenServerW server=TS01 result=1",
                                      "WTSEnumerateProcessesExW server=TS01 session=4294967294 result=1",
                                      "WTSFreeMemoryExW class=1 kind=processes_ex result=1",
                                      "WTSOpenServerW server=TS02 result=1",
                                      "WTSEnumerateProcessesExW server=TS02 session=4294967294 result=0 error=5",
                                      "WTSEnumerateProcessesW server=TS02 result=0 error=5",
                                      "WTSCloseServer server=TS02 result=1",
                                      "WTSCloseServer server=TS01 result=1",
                                  }));
    ExpectNothingLeftOpen();
}

TEST_F(WtsWrapperTest, TheExtendedListingBringsFiguresAndARefusingServerThePlainOne) {
    LoadFarm(FarmWith(R"({"name":"TS01","processes":[
        {"session":2,"pid":1234,"name":"excel.exe","threads":12,"handles":300,"working_set":51200,
         "peak_working_set":60000,"pagefile":1000,"user_seconds":15,"kernel_seconds":2,"sid":"S-1-5-21-1-2-3-1001"},
        {"session":0,"pid":4,"name":"System","sid":"S-1-5-18"}]},
        {"name":"OLD","process_ex_error":1745,"processes":[{"session":1,"pid":10,"name":"a.exe"}]})"));
    {
        auto server = wts.Open(u"TS01");
        std::vector<ProcessRecord> processes;
        ASSERT_TRUE(server->EnumerateProcesses(processes).ok);
        ASSERT_EQ(processes.size(), 2u);
        ASSERT_TRUE(processes[0].figures.has_value());
        const ProcessFigures& f = *processes[0].figures;
        EXPECT_EQ(f.threads, 12u);
        EXPECT_EQ(f.handles, 300u);
        EXPECT_EQ(f.workingSet, 51200u * 1024);
        EXPECT_EQ(f.peakWorkingSet, 60000u * 1024);
        EXPECT_EQ(f.pagefileUsage, 1000u * 1024);
        EXPECT_EQ(f.userTime, 15 * kTicksPerSecond);
        EXPECT_EQ(f.kernelTime, 2 * kTicksPerSecond);
        EXPECT_EQ(SidText(f.sid), u"S-1-5-21-1-2-3-1001");
        EXPECT_EQ(SidText(processes[1].figures->sid), u"S-1-5-18");

        auto old = wts.Open(u"OLD");
        ASSERT_TRUE(old->EnumerateProcesses(processes).ok);
        ASSERT_EQ(processes.size(), 1u);
        EXPECT_EQ(processes[0].name, std::optional<std::u16string>(u"a.exe"));
        EXPECT_FALSE(processes[0].figures.has_value()) << "the plain listing has no figures";
    }
    EXPECT_EQ(Summaries(Calls()), (std::vector<std::string>{
                                      "WTSOpenServerW server=TS01 result=1",
                                      "WTSEnumerateProcessesExW server=TS01 session=4294967294 result=1",
                                      "WTSFreeMemoryExW class=1 kind=processes_ex result=1",
                                      "WTSOpenServerW server=OLD result=1",
                                      "WTSEnumerateProcessesExW server=OLD session=4294967294 result=0 error=1745",
                                      "WTSEnumerateProcessesW server=OLD result=1",
                                      "WTSFreeMemory kind=processes result=1",
                                      "WTSCloseServer server=OLD result=1",
                                      "WTSCloseServer server=TS01 result=1",
                                  }));
    ExpectNothingLeftOpen();
}

TEST_F(WtsWrapperTest, TheClientsDetailsComeThroughTheirClasses) {
    LoadFarm(FarmWith(R"({"name":"TS01","sessions":[
        {"id":2,"user":"ivanov","client_build":19045,"client_directory":"C:\\Windows\\System32",
         "display":{"width":1920,"height":1080,"depth":24},"protocol":2,"connected_seconds":60},
        {"id":3,"user":"petrova","fail":[9,15,16]}]})"));
    {
        auto server = wts.Open(u"TS01");
        EXPECT_EQ(server->QueryNumber(2, SessionInfoClass::ClientBuildNumber), std::optional<std::uint32_t>(19045));
        EXPECT_EQ(server->QueryNumber(2, SessionInfoClass::ClientProtocolType), std::optional<std::uint32_t>(2));
        EXPECT_EQ(server->QueryString(2, SessionInfoClass::ClientDirectory),
                  std::optional<std::u16string>(u"C:\\Windows\\System32"));
        const std::optional<ClientDisplay> display = server->QueryClientDisplay(2);
        ASSERT_TRUE(display.has_value());
        EXPECT_EQ(display->width, 1920u);
        EXPECT_EQ(display->height, 1080u);
        EXPECT_EQ(display->colorDepth, 24u);
        SessionInfo info;
        ASSERT_TRUE(server->QuerySessionInfo(2, info).ok);
        EXPECT_EQ(info.times.currentTime - info.times.connectTime, 60 * kTicksPerSecond);
        EXPECT_FALSE(server->QueryNumber(3, SessionInfoClass::ClientBuildNumber).has_value());
        EXPECT_FALSE(server->QueryClientDisplay(3).has_value());
        EXPECT_FALSE(server->QueryNumber(3, SessionInfoClass::ClientProtocolType).has_value());
    }
    ExpectNothingLeftOpen();
}

// ---- actions -----------------------------------------------------------------------------

TEST_F(WtsWrapperTest, ActionsReachTheRightServerWithByteLengths) {
    LoadFarm(FarmWith(R"({"name":"TS01",
        "sessions":[{"id":2,"user":"ivanov"},{"id":3,"user":"petrov"}],
        "processes":[{"session":2,"pid":1234,"name":"explorer.exe"},{"session":3,"pid":1300,"name":"cmd.exe"},
                     {"session":3,"pid":1304,"name":"notepad.exe"}]})"));
    const std::u16string title = u"Внимание";
    const std::u16string message = u"Перезагрузка в 18:00\tC:\\Temp\r\nOK";
    {
        auto server = wts.Open(u"TS01");
        EXPECT_TRUE(server->SendSessionMessage(2, title, message).ok);
        EXPECT_TRUE(server->TerminateProcess(1300).ok);
        EXPECT_TRUE(server->Logoff(2).ok);

        // The farm changed: session 2 and its process are gone, and so is 1300.
        std::vector<SessionRecord> sessions;
        ASSERT_TRUE(server->EnumerateSessions(sessions).ok);
        ASSERT_EQ(sessions.size(), 1u);
        EXPECT_EQ(sessions[0].sessionId, 3u);
        std::vector<ProcessRecord> processes;
        ASSERT_TRUE(server->EnumerateProcesses(processes).ok);
        ASSERT_EQ(processes.size(), 1u);
        EXPECT_EQ(processes[0].processId, 1304u);
    }

    const LogEntry sent = CallsOf("WTSSendMessageW").at(0);
    EXPECT_EQ(sent["server"], "TS01");
    EXPECT_EQ(sent["session"], "2");
    EXPECT_EQ(sent["title"], "Внимание");
    EXPECT_EQ(sent["title_bytes"], std::to_string(2 * title.size()));
    EXPECT_EQ(sent["title_chars"], std::to_string(title.size()));
    EXPECT_EQ(sent["message"], "Перезагрузка в 18:00\\tC:\\\\Temp\\r\\nOK") << "escaped, whole";
    EXPECT_EQ(sent["message_bytes"], std::to_string(2 * message.size()));
    EXPECT_EQ(sent["message_chars"], std::to_string(message.size()));
    EXPECT_EQ(sent["style"], "0");
    EXPECT_EQ(sent["timeout"], "0");
    EXPECT_EQ(sent["wait"], "0");
    EXPECT_EQ(sent["result"], "1");
    EXPECT_EQ(sent["response"], "32001") << "IDASYNC when not waiting";

    const LogEntry terminated = CallsOf("WTSTerminateProcess").at(0);
    EXPECT_EQ(terminated.Summary(), "WTSTerminateProcess server=TS01 pid=1300 result=1");
    EXPECT_EQ(terminated["exit"], "0");
    const LogEntry loggedOff = CallsOf("WTSLogoffSession").at(0);
    EXPECT_EQ(loggedOff.Summary(), "WTSLogoffSession server=TS01 session=2 result=1");
    EXPECT_EQ(loggedOff["wait"], "0");
    ExpectNothingLeftOpen();
}

TEST_F(WtsWrapperTest, ActionFailuresComeBackAsCallResults) {
    LoadFarm(FarmWith(R"(
        {"name":"OK","sessions":[{"id":2,"user":"a"},{"id":3,"user":"b","logoff_error":5,"message_error":7022}],
         "processes":[{"session":2,"pid":100,"name":"a.exe"},{"session":2,"pid":101,"name":"b.exe","terminate_error":5}]},
        {"name":"LOCKED","logoff_error":5,"message_error":1722,"terminate_error":5,
         "sessions":[{"id":2,"user":"a"}],"processes":[{"session":2,"pid":100,"name":"a.exe"}]},
        {"name":"DOWN","unreachable":true,"sessions":[{"id":2,"user":"a"}],
         "processes":[{"session":2,"pid":100,"name":"a.exe"}]})"));
    enum Action { kLogoff, kMessage, kTerminate };
    const struct {
        const char16_t* server;
        Action action;
        std::uint32_t target;  // session or process ID
        std::uint32_t error;
    } cases[] = {
        {u"OK", kLogoff, 3, 5},          {u"OK", kLogoff, 9, 7022},       // the session's own error; no such session
        {u"OK", kMessage, 3, 7022},      {u"OK", kMessage, 9, 7022},
        {u"OK", kTerminate, 101, 5},     {u"OK", kTerminate, 999, 87},    // the process's own error; no such process
        {u"LOCKED", kLogoff, 2, 5},      {u"LOCKED", kMessage, 2, 1722},  {u"LOCKED", kTerminate, 100, 5},
        {u"DOWN", kLogoff, 2, 1722},     {u"DOWN", kMessage, 2, 1722},    {u"DOWN", kTerminate, 100, 1722},
        {u"NOWHERE", kLogoff, 2, 1722},  {u"NOWHERE", kMessage, 2, 1722}, {u"NOWHERE", kTerminate, 100, 1722},
    };
    const char* functions[] = {"WTSLogoffSession", "WTSSendMessageW", "WTSTerminateProcess"};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(functions[c.action]) + " " + std::to_string(c.target) + " on " +
                     Utf16ToUtf8(c.server));
        ASSERT_TRUE(FarmDouble::Get().load(farmPath_.c_str(), logPath_.c_str()));
        CallResult result;
        {
            auto server = wts.Open(c.server);
            switch (c.action) {
                case kLogoff: result = server->Logoff(c.target); break;
                case kMessage: result = server->SendSessionMessage(c.target, u"t", u"m"); break;
                case kTerminate: result = server->TerminateProcess(c.target); break;
            }
        }
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, c.error);
        const std::vector<LogEntry> logged = CallsOf(functions[c.action]);
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_EQ(logged[0]["server"], Utf16ToUtf8(c.server));
        EXPECT_EQ(logged[0][c.action == kTerminate ? "pid" : "session"], std::to_string(c.target));
        EXPECT_EQ(logged[0]["error"], std::to_string(c.error));
        ExpectNothingLeftOpen();
    }
}

// ---- session-change notifications ------------------------------------------------------------

TEST_F(WtsWrapperTest, NotificationRegistrationReachesTheDouble) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    const struct {
        const char* farm;
        bool registers;
        const char* result;
    } cases[] = {
        {R"({"servers":[]})", true, "1"},
        {R"({"notification_error":1722,"servers":[]})", false, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.farm);
        LoadFarm(c.farm);
        EXPECT_EQ(wts.RegisterSessionNotification(reinterpret_cast<std::uintptr_t>(window)), c.registers);
        wts.UnregisterSessionNotification(reinterpret_cast<std::uintptr_t>(window));
        const std::vector<LogEntry> calls = Calls();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].function, "WTSRegisterSessionNotification");
        EXPECT_EQ(calls[0]["hwnd"], Hex(reinterpret_cast<std::uintptr_t>(window)));
        EXPECT_EQ(calls[0]["flags"], "1") << "NOTIFY_FOR_ALL_SESSIONS";
        EXPECT_EQ(calls[0]["result"], c.result);
        EXPECT_EQ(calls[1].function, "WTSUnRegisterSessionNotification");
        EXPECT_EQ(calls[1]["hwnd"], calls[0]["hwnd"]);
        EXPECT_EQ(calls[1]["registered"], c.result);
    }
    DestroyWindow(window);
}

}  // namespace
}  // namespace tarvenix::testing
