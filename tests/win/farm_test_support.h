// What the tests against the farm double (our own wtsapi32.dll, tests/farm)
// share: the double's own exports, its action log read back, and a fixture
// that writes a small farm to a temporary folder of its own and loads it.
#pragma once

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
#include "sessions/wts_terminal_services_win.h"

namespace tarvenix::testing {

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

inline std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

inline std::string ReadFileBytes(const std::wstring& path) {
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

inline void WriteFileBytes(const std::wstring& path, const std::string& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, content.size());
}

// Every line of an action log, as entries.
inline std::vector<LogEntry> ReadLog(const std::wstring& path) {
    std::vector<LogEntry> entries;
    for (const std::string& line : Split(ReadFileBytes(path), '\n')) {
        if (line.empty()) continue;
        const std::vector<std::string> parts = Split(line, '\t');
        LogEntry e;
        e.function = parts[0];
        for (std::size_t i = 1; i < parts.size(); ++i) {
            const std::size_t eq = parts[i].find('=');
            e.fields.emplace_back(parts[i].substr(0, eq), eq == std::string::npos ? "" : parts[i].substr(eq + 1));
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

inline std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
inline std::wstring Wide(const std::string& utf8) { return Wide(Utf8ToUtf16(utf8)); }

inline std::wstring FolderOf(HMODULE module) {
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
        for (LogEntry& e : ReadLog(logPath_))
            if (e.function != "TarvenixFarmLoad") entries.push_back(std::move(e));
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

// A server named "" (the local machine) is in every farm FarmWith makes: a
// wrapper that fell back to WTS_CURRENT_SERVER_HANDLE would read its sessions.
inline constexpr const char* kLocalServer =
    R"({"name":"","sessions":[{"id":1,"state":0,"user":"local-user","winstation":"Console"}]})";

inline std::string FarmWith(const std::string& servers) {
    return std::string(R"({"unknown_server_delay_ms":0,"servers":[)") + kLocalServer + "," + servers + "]}";
}

// FILETIME ticks of a UTC time, as Windows computes them.
inline std::int64_t UtcTicks(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
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

inline std::int64_t SystemTicksNow() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

inline constexpr std::int64_t kSecond = 10'000'000;

// Class WTSSessionInfo straight from the double, its buffer given back at
// once; nothing when the query fails (its error in *error).
inline std::optional<WTSINFOW> QuerySessionInfo(HANDLE h, DWORD sessionId, DWORD* error = nullptr) {
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

}  // namespace tarvenix::testing
