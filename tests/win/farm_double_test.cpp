// The farm double's sessions that hang in their queries and sessions whose ID
// goes to another logon (tests/farm/README.md), called directly through
// wtsapi32 with the action log read back.
#include <windows.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace tarvenix {
namespace {

using Clock = std::chrono::steady_clock;
constexpr long long kTicksPerSecond = 10'000'000;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class FarmDoubleTest : public ::testing::Test {
protected:
    using LoadFn = BOOL(__stdcall*)(const wchar_t*, const wchar_t*);

    void SetUp() override {
        load_ = reinterpret_cast<LoadFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"wtsapi32.dll"), "TarvenixFarmLoad")));
        ASSERT_TRUE(load_) << "wtsapi32.dll is not the farm double: run with WINEDLLOVERRIDES=wtsapi32=n,b";
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = info->name();
        folder_ = std::wstring(temp) + L"tarvenix-double-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::wstring(name.begin(), name.end()) + L"\\";
        CreateDirectoryW(folder_.c_str(), nullptr);
    }
    void TearDown() override {
        DeleteFileW(Farm().c_str());
        DeleteFileW(LogPath().c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    // Writes the farm and loads it; false when the double refuses it.
    bool Load(const std::string& json) {
        HANDLE file = CreateFileW(Farm().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, json.data(), static_cast<DWORD>(json.size()), &written, nullptr);
        CloseHandle(file);
        return load_(Farm().c_str(), LogPath().c_str());
    }

    std::string Log() const {
        HANDLE file = CreateFileW(LogPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        std::string content;
        char buffer[4096];
        DWORD got = 0;
        while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
            content.append(buffer, got);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        return content;
    }

    // The log lines of one function, in order.
    std::vector<std::string> Lines(const std::string& function) const {
        std::vector<std::string> lines;
        const std::string log = Log();
        std::size_t start = 0;
        while (start < log.size()) {
            std::size_t end = log.find('\n', start);
            if (end == std::string::npos) end = log.size();
            const std::string line = log.substr(start, end - start);
            if (line.rfind(function + "\t", 0) == 0) lines.push_back(line);
            start = end + 1;
        }
        return lines;
    }

private:
    std::wstring Farm() const { return folder_ + L"farm.json"; }
    std::wstring LogPath() const { return folder_ + L"actions.log"; }
    LoadFn load_ = nullptr;
    std::wstring folder_;
};

std::wstring QueryText(HANDLE server, DWORD session, WTS_INFO_CLASS infoClass) {
    LPWSTR text = nullptr;
    DWORD bytes = 0;
    if (!WTSQuerySessionInformationW(server, session, infoClass, &text, &bytes)) return L"(failed)";
    std::wstring value(text);
    WTSFreeMemory(text);
    return value;
}

WTSINFOW QueryInfo(HANDLE server, DWORD session) {
    WTSINFOW info{};
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    if (WTSQuerySessionInformationW(server, session, WTSSessionInfo, &buffer, &bytes)) {
        info = *reinterpret_cast<WTSINFOW*>(buffer);
        WTSFreeMemory(buffer);
    }
    return info;
}

TEST_F(FarmDoubleTest, ASessionsQueryDelayHoldsOnlyItsOwnQueries) {
    constexpr long long kDelay = 1000;
    ASSERT_TRUE(Load(R"({"servers":[{"name":"TS01","sessions":[
        {"id":2,"user":"hung","query_delay_ms":1000},
        {"id":3,"user":"quick"}]}]})"));
    HANDLE server = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
    // Two queries of the delayed session at once: a text and the session information.
    std::atomic<int> started{0};
    long long textTook = 0, infoTook = 0;
    std::wstring text, infoUser;
    std::thread textQuery([&] {
        const auto start = Clock::now();
        ++started;
        text = QueryText(server, 2, WTSUserName);
        textTook = MillisecondsSince(start);
    });
    std::thread infoQuery([&] {
        const auto start = Clock::now();
        ++started;
        infoUser = QueryInfo(server, 2).UserName;
        infoTook = MillisecondsSince(start);
    });
    while (started.load() < 2) std::this_thread::yield();
    Sleep(100);  // both are in their delay
    // Meanwhile the server and its other session answer at once.
    const auto start = Clock::now();
    PWTS_SESSION_INFOW sessions = nullptr;
    DWORD count = 0;
    EXPECT_TRUE(WTSEnumerateSessionsW(server, 0, 1, &sessions, &count));
    WTSFreeMemory(sessions);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(QueryText(server, 3, WTSUserName), L"quick");
    EXPECT_EQ(std::wstring(QueryInfo(server, 3).UserName), L"quick");
    EXPECT_LT(MillisecondsSince(start), kDelay / 2) << "the delayed session held up the others";
    textQuery.join();
    infoQuery.join();
    EXPECT_EQ(text, L"hung");
    EXPECT_EQ(infoUser, L"hung");
    EXPECT_GE(textTook + 20, kDelay);
    EXPECT_GE(infoTook + 20, kDelay);
    EXPECT_LT(textTook + infoTook, 4 * kDelay) << "the delayed queries waited for each other";
    WTSCloseServer(server);
    for (const std::string& line : Lines("WTSQuerySessionInformationW"))
        EXPECT_NE(line.find("\tresult=1\t"), std::string::npos) << line;
}

TEST_F(FarmDoubleTest, AReusedSessionAnswersForItsNextLogonAfterSoManyInformationQueries) {
    ASSERT_TRUE(Load(R"({"servers":[{"name":"TS01","current_time":"2026-12-10T09:00:00Z","sessions":[
        {"id":2,"user":"ivanov","domain":"CORP","client":"PC-01","logon_time":"2026-12-10T08:15:00Z","idle_seconds":20,
         "reuse":{"after_info_queries":2,"user":"petrova","domain":"BUH","logon_seconds_ago":30}},
        {"id":3,"user":"sidorov","domain":"CORP"}]}]})"));
    const long long now = 134'413'668'000'000'000;  // 2026-12-10T09:00:00Z
    const long long firstLogon = now - 45 * 60 * kTicksPerSecond;
    const long long nextLogon = now - 30 * kTicksPerSecond;
    HANDLE server = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
    const struct {
        WTS_INFO_CLASS infoClass;
        const wchar_t* user;     // the user name of the answer (class 5 or 24)
        const wchar_t* domain;   // class 24 only
        long long logon;         // class 24 only
    } steps[] = {
        {WTSSessionInfo, L"ivanov", L"CORP", firstLogon},
        {WTSUserName, L"ivanov", nullptr, 0},  // other classes do not count
        {WTSSessionInfo, L"ivanov", L"CORP", firstLogon},  // the second answer: still the first logon's
        {WTSUserName, L"petrova", nullptr, 0},
        {WTSSessionInfo, L"petrova", L"BUH", nextLogon},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        if (steps[i].infoClass == WTSUserName) {
            EXPECT_EQ(QueryText(server, 2, WTSUserName), steps[i].user);
            continue;
        }
        const WTSINFOW info = QueryInfo(server, 2);
        EXPECT_EQ(std::wstring(info.UserName), steps[i].user);
        EXPECT_EQ(std::wstring(info.Domain), steps[i].domain);
        EXPECT_EQ(info.LogonTime.QuadPart, steps[i].logon);
        EXPECT_EQ(info.CurrentTime.QuadPart - info.LastInputTime.QuadPart, 20 * kTicksPerSecond) << "kept";
        EXPECT_EQ(info.SessionId, 2u);
    }
    EXPECT_EQ(QueryText(server, 2, WTSClientName), L"PC-01") << "not given: kept";
    EXPECT_EQ(QueryText(server, 2, WTSDomainName), L"BUH");
    EXPECT_EQ(QueryText(server, 3, WTSUserName), L"sidorov");
    WTSCloseServer(server);
    std::vector<std::string> reused;
    for (const std::string& line : Lines("WTSQuerySessionInformationW"))
        if (line.find("\tclass=24\t") != std::string::npos) reused.push_back(line.substr(line.rfind('\t') + 1));
    EXPECT_EQ(reused, (std::vector<std::string>{"buffer=1", "reused=1", "buffer=5"}));
}

TEST_F(FarmDoubleTest, AServerThatRequiresAnAccountServesOnlyThreadsCarryingItAndLogsEachCallsAccount) {
    ASSERT_TRUE(Load(R"({"servers":[{"name":"TS01","account":"CORP\\admin","password":"pw",
        "sessions":[{"id":2,"user":"ivanov"}]},{"name":"TS02","sessions":[{"id":3,"user":"petrova"}]}]})"));
    using CarryFn = BOOL(__stdcall*)(const wchar_t*, const wchar_t*);
    const auto carry = reinterpret_cast<CarryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"wtsapi32.dll"), "TarvenixFarmCarryAccount")));
    ASSERT_TRUE(carry);
    HANDLE ts01 = WTSOpenServerW(const_cast<wchar_t*>(L"TS01"));
    HANDLE ts02 = WTSOpenServerW(const_cast<wchar_t*>(L"TS02"));
    const auto enumerate = [](HANDLE h) -> DWORD {
        PWTS_SESSION_INFOW info = nullptr;
        DWORD count = 0;
        if (!WTSEnumerateSessionsW(h, 0, 1, &info, &count)) return GetLastError();
        WTSFreeMemory(info);
        return 0;
    };
    const struct {
        const wchar_t* account;  // NULL: none
        const wchar_t* password;
        DWORD ts01, ts02;
    } steps[] = {
        {nullptr, nullptr, ERROR_ACCESS_DENIED, 0},
        {L"CORP\\other", L"pw", ERROR_ACCESS_DENIED, 0},
        {L"corp\\ADMIN", L"wrong", ERROR_LOGON_FAILURE, 0},
        {L"corp\\ADMIN", L"pw", 0, 0},  // the name in any case
        {nullptr, nullptr, ERROR_ACCESS_DENIED, 0},
    };
    for (const auto& step : steps) {
        carry(step.account, step.password);
        EXPECT_EQ(enumerate(ts01), step.ts01) << (step.account ? "carrying" : "own");
        EXPECT_EQ(enumerate(ts02), step.ts02) << "a server without an account serves everyone";
    }
    // Per thread: another thread carries nothing while this one carries the account.
    carry(L"CORP\\admin", L"pw");
    DWORD other = 0;
    std::thread([&] { other = enumerate(ts01); }).join();
    EXPECT_EQ(other, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(enumerate(ts01), 0u);
    WTSCloseServer(ts01);
    carry(nullptr, nullptr);
    WTSCloseServer(ts02);

    std::vector<std::string> accounts;
    for (const std::string& line : Lines("WTSEnumerateSessionsW")) {
        const auto at = line.find("\taccount=");
        accounts.push_back(at == std::string::npos ? "-" : line.substr(at + 9, line.find('\t', at + 1) - at - 9));
    }
    EXPECT_EQ(accounts, (std::vector<std::string>{"-", "-", "CORP\\\\other", "CORP\\\\other", "corp\\\\ADMIN",
                                                  "corp\\\\ADMIN", "corp\\\\ADMIN", "corp\\\\ADMIN", "-", "-", "-",
                                                  "CORP\\\\admin"}));
    const std::vector<std::string> closes = Lines("WTSCloseServer");
    ASSERT_EQ(closes.size(), 2u);
    EXPECT_NE(closes[0].find("\taccount=CORP\\\\admin"), std::string::npos) << closes[0];
    EXPECT_EQ(closes[1].find("account="), std::string::npos) << closes[1];
    EXPECT_EQ(Log().find("wrong"), std::string::npos) << "no password is logged";
    EXPECT_EQ(Log().find("\tpw"), std::string::npos) << "no password is logged";

    EXPECT_FALSE(Load(R"({"servers":[{"name":"A","password":"x"}]})"));
    EXPECT_NE(Log().find("farm.servers[0].password: a password needs an account"), std::string::npos) << Log();
}

TEST_F(FarmDoubleTest, MalformedDelaysAndReusesAreRejectedWithTheirPlace) {
    const struct {
        const char* session;
        const char* place;
    } cases[] = {
        {R"({"id":2,"query_delay_ms":-5})", "farm.servers[0].sessions[0].query_delay_ms: expected an integer"},
        {R"({"id":2,"reuse":{"user":"x"}})", "farm.servers[0].sessions[0].reuse.after_info_queries: required"},
        {R"({"id":2,"reuse":{"after_info_queries":1,"usr":"x"}})", "farm.servers[0].sessions[0].reuse.usr: unknown key"},
        {R"({"id":2,"reuse":{"after_info_queries":0}})",
         "farm.servers[0].sessions[0].reuse.after_info_queries: expected 1 or more"},
        {R"({"id":2,"reuse":{"after_info_queries":1,"idle_seconds":5,"last_input_time":"2026-12-10T08:15:00Z"}})",
         "farm.servers[0].sessions[0].reuse: give either last_input_time or idle_seconds"},
        {R"({"id":2,"reuse":{"after_info_queries":1,"logon_time":"yesterday"}})",
         "farm.servers[0].sessions[0].reuse.logon_time: expected a UTC time"},
        {R"({"id":2,"reuse":true})", "farm.servers[0].sessions[0].reuse: expected an object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.session);
        EXPECT_FALSE(Load(std::string(R"({"servers":[{"name":"A","sessions":[)") + c.session + "]}]}"));
        EXPECT_NE(Log().find(c.place), std::string::npos) << Log();
    }
}

}  // namespace
}  // namespace tarvenix
