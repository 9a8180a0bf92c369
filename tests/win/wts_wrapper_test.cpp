// The wtsapi32 wrapper and the session inventory against the simulated farm
// (our own wtsapi32.dll, tests/farm). Each test writes a small farm to a
// temporary folder, loads it into the double and reads the double's action log.
#include <windows.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "base/engine_win.h"
#include "base/text.h"
#include "sessions/server_listing_run.h"
#include "sessions/session_columns.h"
#include "sessions/session_queries.h"
#include "sessions/wts_terminal_services_win.h"
#include "tests/win/window_test_support.h"

namespace tarvenix {
namespace {

// ---- the double's own exports ----------------------------------------------

struct FarmDouble {
    using DoubleFn = int(__stdcall*)();
    using LoadFn = BOOL(__stdcall*)(const wchar_t*, const wchar_t*);
    using CountFn = LONG(__stdcall*)();
    HMODULE module = nullptr;
    DoubleFn marker = nullptr;
    LoadFn load = nullptr;
    CountFn openHandles = nullptr;
    CountFn handlesOpened = nullptr;
    CountFn outstandingBuffers = nullptr;

    static const FarmDouble& Get() {
        static const FarmDouble d = [] {
            FarmDouble f;
            f.module = GetModuleHandleW(L"wtsapi32.dll");
            if (!f.module) return f;
            auto proc = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(f.module, name)); };
            f.marker = reinterpret_cast<DoubleFn>(proc("TarvenixFarmDouble"));
            f.load = reinterpret_cast<LoadFn>(proc("TarvenixFarmLoad"));
            f.openHandles = reinterpret_cast<CountFn>(proc("TarvenixFarmOpenHandles"));
            f.handlesOpened = reinterpret_cast<CountFn>(proc("TarvenixFarmHandlesOpened"));
            f.outstandingBuffers = reinterpret_cast<CountFn>(proc("TarvenixFarmOutstandingBuffers"));
            return f;
        }();
        return d;
    }
    bool Complete() const { return marker && load && openHandles && handlesOpened && outstandingBuffers; }
};

// ---- the action log ----------------------------------------------------------

struct LogEntry {
    std::string function;
    std::vector<std::pair<std::string, std::string>> fields;

    // The field's raw (escaped) value, or "(absent)".
    std::string operator[](const std::string& key) const {
        for (const auto& [k, v] : fields)
            if (k == key) return v;
        return "(absent)";
    }
    bool Has(const std::string& key) const { return (*this)[key] != "(absent)"; }

    // The function and those of the usual fields that the line carries.
    std::string Summary() const {
        std::string s = function;
        for (const char* key : {"server", "session", "class", "pid", "kind", "result", "error"})
            if (Has(key)) s += std::string(" ") + key + "=" + (*this)[key];
        return s;
    }
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(file);
    return content;
}

void WriteFileBytes(const std::wstring& path, const std::string& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, content.size());
}

std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::wstring Wide(const std::string& utf8) { return Wide(Utf8ToUtf16(utf8)); }

std::string Hex(std::uintptr_t value) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(value));
    return buf;
}

std::wstring FolderOf(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

// ---- fixture -------------------------------------------------------------------

class FarmTest : public ::testing::Test {
protected:
    void SetUp() override {
        const FarmDouble& d = FarmDouble::Get();
        ASSERT_TRUE(d.module) << "wtsapi32.dll is not loaded";
        ASSERT_TRUE(d.Complete()) << "wtsapi32.dll is Wine's builtin, not the farm double: run with "
                                     "WINEDLLOVERRIDES=wtsapi32=n,b";
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::wstring(temp) + L"tarvenix-farm-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  Wide(std::string(info->test_suite_name()) + "." + info->name()) + L"\\";
        for (wchar_t& c : folder_)
            if (c == L'/') c = L'_';  // parameterised test names
        CreateDirectoryW(folder_.c_str(), nullptr);
        farmPath_ = folder_ + L"farm.json";
        logPath_ = folder_ + L"actions.log";
    }

    void TearDown() override {
        DeleteFileW(farmPath_.c_str());
        DeleteFileW(logPath_.c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    // Writes the farm and loads it; the log starts afresh.
    void LoadFarm(const std::string& json) {
        WriteFileBytes(farmPath_, json);
        ASSERT_TRUE(FarmDouble::Get().load(farmPath_.c_str(), logPath_.c_str()))
            << "farm rejected, error " << GetLastError() << ": " << ReadFileBytes(logPath_);
    }

    // Every line of the log after the load line.
    std::vector<LogEntry> Calls() const {
        std::vector<LogEntry> entries;
        const std::string text = ReadFileBytes(logPath_);
        for (const std::string& line : Split(text, '\n')) {
            if (line.empty()) continue;
            const std::vector<std::string> parts = Split(line, '\t');
            LogEntry e;
            e.function = parts[0];
            for (std::size_t i = 1; i < parts.size(); ++i) {
                const std::size_t eq = parts[i].find('=');
                e.fields.emplace_back(parts[i].substr(0, eq), eq == std::string::npos ? "" : parts[i].substr(eq + 1));
            }
            if (e.function != "TarvenixFarmLoad") entries.push_back(std::move(e));
        }
        return entries;
    }

    std::vector<LogEntry> CallsOf(const std::string& function) const {
        std::vector<LogEntry> all = Calls();
        std::vector<LogEntry> some;
        for (LogEntry& e : all)
            if (e.function == function) some.push_back(std::move(e));
        return some;
    }

    static std::vector<std::string> Summaries(const std::vector<LogEntry>& entries) {
        std::vector<std::string> s;
        for (const LogEntry& e : entries) s.push_back(e.Summary());
        return s;
    }

    static void ExpectNothingLeftOpen() {
        EXPECT_EQ(FarmDouble::Get().openHandles(), 0) << "server handles left open";
        EXPECT_EQ(FarmDouble::Get().outstandingBuffers(), 0) << "buffers not given back with WTSFreeMemory";
    }

    WtsTerminalServices wts;
    std::wstring folder_;
    std::wstring farmPath_;
    std::wstring logPath_;
};

// A server named "" (the local machine) is in every farm below: a wrapper that
// fell back to WTS_CURRENT_SERVER_HANDLE would read its sessions.
constexpr const char* kLocalServer =
    R"({"name":"","sessions":[{"id":1,"state":0,"user":"local-user","winstation":"Console"}]})";

std::string FarmWith(const std::string& servers) {
    return std::string(R"({"unknown_server_delay_ms":0,"servers":[)") + kLocalServer + "," + servers + "]}";
}

// ---- which DLL ---------------------------------------------------------------------

TEST(FarmDoubleModule, IsOurDllBesideTheTestProgram) {
    const FarmDouble& d = FarmDouble::Get();
    ASSERT_TRUE(d.module);
    ASSERT_TRUE(d.marker) << "wtsapi32.dll is Wine's builtin: run with WINEDLLOVERRIDES=wtsapi32=n,b";
    EXPECT_EQ(d.marker(), 0x7A4F);
    EXPECT_EQ(FolderOf(d.module), FolderOf(nullptr));
}

// ---- the inventory through the real wrapper --------------------------------------

TEST_F(FarmTest, InventoryRowsComeBackThroughTheWrapper) {
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

TEST_F(FarmTest, CyrillicHostNameMatchesInAnyCase) {
    LoadFarm(FarmWith(R"({"name":"СЕРВЕР-БУХ","sessions":[{"id":2,"user":"бухгалтер"}]})"));
    const SessionInventory inv = ReadSessionInventory(wts, u"сервер-бух");
    ASSERT_FALSE(inv.enumerationFailed) << inv.error;
    ASSERT_EQ(inv.rows.size(), 1u);
    EXPECT_EQ(inv.rows[0].user, u"бухгалтер");
    EXPECT_EQ(CallsOf("WTSOpenServerW").at(0)["server"], "сервер-бух") << "the log shows the name as the program gave it";
}

// Open, enumerate, the four queries of each session each followed by its free,
// then close. (Where the session array's free falls is the next test's matter.)
TEST_F(FarmTest, InventoryMakesExactlyTheExpectedCalls) {
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

TEST_F(FarmTest, SessionArrayIsFreedAfterTheQueriesJustBeforeClose) {
    LoadFarm(FarmWith(R"({"name":"TS01","sessions":[{"id":2,"user":"ivanov"}]})"));
    ReadSessionInventory(wts, u"TS01");
    const std::vector<std::string> calls = Summaries(Calls());
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 2], "WTSFreeMemory kind=sessions result=1");
    EXPECT_EQ(calls.back(), "WTSCloseServer server=TS01 result=1");
}

// ---- enumeration failures -------------------------------------------------------------

TEST_F(FarmTest, FailedEnumerationReportsTheSystemError) {
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

TEST_F(FarmTest, AnEmptyServerNameIsRefusedWithoutACall) {
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

TEST_F(FarmTest, UnreachableServerAnswersOnlyAfterItsDelay) {
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

TEST_F(FarmTest, ProcessesComeBackWithAbsentNames) {
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
    EXPECT_EQ(Summaries(Calls()), (std::vector<std::string>{
                                      "WTSOpenServerW server=TS01 result=1",
                                      "WTSEnumerateProcessesW server=TS01 result=1",
                                      "WTSFreeMemory kind=processes result=1",
                                      "WTSOpenServerW server=TS02 result=1",
                                      "WTSEnumerateProcessesW server=TS02 result=0 error=5",
                                      "WTSCloseServer server=TS02 result=1",
                                      "WTSCloseServer server=TS01 result=1",
                                  }));
    ExpectNothingLeftOpen();
}

// ---- actions -----------------------------------------------------------------------------

TEST_F(FarmTest, ActionsReachTheRightServerWithByteLengths) {
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

TEST_F(FarmTest, ActionFailuresComeBackAsCallResults) {
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

TEST_F(FarmTest, NotificationRegistrationReachesTheDouble) {
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

// ---- the double itself: what other tests rely on ----------------------------------------------

TEST_F(FarmTest, DoubleReportsMisuseOfHandlesAndBuffers) {
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

TEST_F(FarmTest, DoubleLogsMessageTextsByTheirByteCounts) {
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

// FILETIME ticks of a UTC time, as Windows computes them.
std::int64_t UtcTicks(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    FILETIME ft{};
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

std::int64_t SystemTicksNow() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

constexpr std::int64_t kSecond = 10'000'000;

// Class WTSSessionInfo straight from the double, its buffer given back at
// once; nothing when the query fails (its error in *error).
std::optional<WTSINFOW> QuerySessionInfo(HANDLE h, DWORD sessionId, DWORD* error = nullptr) {
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    if (!WTSQuerySessionInformationW(h, sessionId, WTSSessionInfo, &buffer, &bytes)) {
        if (error) *error = GetLastError();
        EXPECT_EQ(buffer, nullptr);
        EXPECT_EQ(bytes, 0u);
        return std::nullopt;
    }
    EXPECT_EQ(bytes, sizeof(WTSINFOW));
    WTSINFOW info;
    std::memcpy(&info, buffer, sizeof info);
    WTSFreeMemory(buffer);
    return info;
}

TEST_F(FarmTest, DisconnectIsAnsweredAndLoggedLikeLogoff) {
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
TEST_F(FarmTest, DisconnectedSessionShowsAsDisconnectedInTheNextEnumeration) {
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

TEST_F(FarmTest, SessionInfoGivesTheFarmsTimesAsFileTimes) {
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
TEST_F(FarmTest, RelativeTimesCountBackFromTheRealClock) {
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

TEST_F(FarmTest, SessionInfoQueryFailsAsTheFarmSays) {
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

TEST_F(FarmTest, MalformedFarmIsRejectedWithItsPlace) {
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

TEST_F(FarmTest, PathsComeFromTheEnvironmentInDosOrUnixForm) {
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

// ---- many threads at once ------------------------------------------------------------------------

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
TEST_F(FarmTest, ConcurrentReadersLeaveExactCountersAndWholeLogLines) {
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
TEST_F(FarmTest, LatencyOfOneCallDelaysNoOtherCall) {
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
TEST_F(FarmTest, ReloadWhileCallsAreUnderWayFailsThemAsStale) {
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

// ---- generated farms ---------------------------------------------------------------------------------

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

TEST_F(FarmTest, GeneratedServerHasItsSessionsFailuresAndProcesses) {
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
TEST_F(FarmTest, GeneratedSessionsHavePlausibleTimes) {
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

// The demo farm (bin/farm.json, copied from tests/farm/demo-farm.json) loads
// and still shows what the demo is for.
TEST_F(FarmTest, DemoFarmCoversEveryCase) {
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
TEST_F(FarmTest, DemoFarmHasSessionTimesForTheIdleAndLogonColumns) {
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
}  // namespace tarvenix

namespace tarvenix::testing {
namespace {

std::vector<std::vector<std::u16string>> RowTexts(const SessionInventory& inventory) {
    std::vector<std::vector<std::u16string>> out;
    for (const Session& r : inventory.rows) {
        std::vector<std::u16string>& row = out.emplace_back();
        for (int field = 0; field <= static_cast<int>(SessionField::WinStation); ++field)
            row.push_back(CellText(static_cast<SessionField>(field), r));
    }
    return out;
}

// The engine on the system thread pool gives the same rows, counters and
// errors as the one-after-another inventory, on the demo farm and on a
// generated farm where every tenth session's queries fail; nothing is left
// open however the calls interleave.
TEST_F(FarmTest, EngineGivesTheSequentialInventoryOnTheDemoAndAGeneratedFarm) {
    const std::wstring demo = FolderOf(FarmDouble::Get().module) + L"farm.json";
    const std::string generated =
        FarmWith(R"({"name":"GEN","latency_ms":2,"generate":{"sessions":250,"failing_every":10,"query_error":1722}})");
    const struct {
        const char* name;
        bool useDemo;
        std::vector<std::u16string> servers;
    } cases[] = {
        {"demo farm", true, {u"TS01", u"TS02.corp.example", u"СЕРВЕР-БУХ"}},
        {"generated farm", false, {u"GEN"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.useDemo) {
            ASSERT_TRUE(FarmDouble::Get().load(demo.c_str(), logPath_.c_str()));
        } else {
            LoadFarm(generated);
        }
        for (const std::u16string& server : c.servers) {
            SCOPED_TRACE(Utf16ToUtf8(server));
            const SessionInventory sequential = ReadSessionInventory(wts, server);
            ThreadPoolExecutor executor(16);
            WindowDispatcher dispatcher;
            std::optional<InventoryOutcome> outcome;
            InventoryCallbacks callbacks;
            callbacks.finished = [&](InventoryOutcome o) { outcome = std::move(o); };
            StartInventory(wts, executor, dispatcher, server, InventoryOptions{}, CancelToken(), std::move(callbacks));
            ASSERT_TRUE(PumpUntil([&] { return outcome.has_value(); }, 20000)) << "the run did not end";
            EXPECT_FALSE(outcome->timedOut);
            EXPECT_EQ(outcome->inventory.enumerationFailed, sequential.enumerationFailed);
            EXPECT_EQ(outcome->inventory.error, sequential.error);
            EXPECT_EQ(outcome->inventory.activeCount, sequential.activeCount);
            EXPECT_EQ(RowTexts(outcome->inventory), RowTexts(sequential));
            executor.Shutdown(true);
            ExpectNothingLeftOpen();
        }
    }
}

}  // namespace
}  // namespace tarvenix::testing

namespace tarvenix::testing {
namespace {

// Closing the window while Get data runs on the thread pool: the window goes
// at once with its settings written, the work still under way ends on its
// own, and the farm double's handles and buffers all come back.
TEST_F(FarmTest, ClosingTheWindowDuringGetDataClosesAtOnceAndLeavesNothingOpen) {
    LoadFarm(FarmWith(R"({"name":"GEN","latency_ms":5,"generate":{"sessions":400}})"));
    TempDirectory appDir;
    FakeDialogs dialogs;
    ThreadPoolExecutor executor(16);
    WindowDispatcher dispatcher;
    Services services;
    services.dialogs = &dialogs;
    services.executor = &executor;
    services.dispatcher = &dispatcher;
    services.appDirectory = appDir.WithSeparator();
    auto ansi = MakeTableCodePage(1251);
    services.ansi = ansi.get();
    {
        TypedServers noDirectory({});
        MainWindow window(services, wts, noDirectory);
        window.Create();
        window.Servers().SetText(u"GEN");
        window.Sessions().GetData();
        // Some sessions have been queried: the run is well under way.
        PumpUntil([&] { return GetText(window.Sessions().ProgressLabel()).rfind(u"Получено", 0) == 0; }, 20000);
        ASSERT_TRUE(window.Sessions().Busy());
        const DWORD closing = GetTickCount();
        SendMessageW(window.Handle(), WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window.Handle()));
        EXPECT_LT(GetTickCount() - closing, 1000u) << "closing does not wait for the server";
        EXPECT_TRUE(std::filesystem::exists(appDir.Path() / "settings.ini"));
    }
    executor.Shutdown(true);  // the test, unlike the program, waits for the workers
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_LT(CallsOf("WTSQuerySessionInformationW").size(), 400u * 4) << "sessions not yet started were not queried";
    ExpectNothingLeftOpen();
}

}  // namespace
}  // namespace tarvenix::testing
