#include "servers/settings_file_win.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "base/files_win.h"
#include "base/handles_win.h"
#include "base/win_text.h"
#include "servers/profile_text.h"
#include "base/settings_options.h"

namespace tarvenix {

namespace {

constexpr DWORD kBufferChars = 2048;

bool WriteBytes(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return bytes.empty() ||
           (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size() && FlushFileBuffers(file));
}

// The option's value as the file has it (empty when the key is missing).
std::u16string ReadOption(const std::u16string& settingsPath, const wchar_t* key) {
    wchar_t buffer[256] = {};
    const DWORD n = GetPrivateProfileStringW(L"options", key, L"", buffer, std::size(buffer), Wz(settingsPath));
    return U16(buffer, n);
}

}  // namespace

std::u16string ReadServerName(const std::u16string& settingsPath) {
    wchar_t buffer[kBufferChars] = {};
    const DWORD n = GetPrivateProfileStringW(Wz(std::u16string(kSettingsSection)), Wz(std::u16string(kSettingsServerKey)),
                                             L"", buffer, kBufferChars, Wz(settingsPath));
    return U16(buffer, n < kBufferChars ? n : kBufferChars - 1);
}

bool WriteServerName(const std::u16string& settingsPath, const std::u16string& name, const AnsiCodePage& ansi,
                     const SettingValues& options) {
    // The private-profile services edit a copy beside the file; the copy then
    // takes the file's place, so a failure half-way leaves the file as it was.
    FlushSettings(settingsPath);
    std::string bytes;
    DWORD error = 0;
    if (!ReadWholeFile(settingsPath, FILE_SHARE_READ | FILE_SHARE_WRITE, &bytes, &error)) {
        if (error != ERROR_FILE_NOT_FOUND) return false;
        bytes.clear();
    }
    // A name that the ANSI code page cannot hold needs a UTF-16 file, so that
    // the services keep its characters.
    bool lossless = true;
    ansi.Encode(name, &lossless);
    if (!lossless) {
        if (std::optional<std::string> unicode = ProfileAsUnicode(bytes, ansi)) bytes = std::move(*unicode);
    }
    std::u16string temporary;
    {
        FileHandle file = CreateTemporaryBeside(settingsPath, &temporary, &error);
        if (!file) return false;
        if (!WriteBytes(file.Get(), bytes)) {
            file.Reset();
            DeleteFileW(Wz(temporary));
            return false;
        }
    }
    const bool written =
        WritePrivateProfileStringW(Wz(std::u16string(kSettingsSection)), Wz(std::u16string(kSettingsServerKey)),
                                   Wz(name), Wz(temporary)) != FALSE &&
        std::all_of(options.begin(), options.end(), [&](const auto& option) {
            return WritePrivateProfileStringW(L"options", Wz(option.first), Wz(option.second), Wz(temporary)) != FALSE;
        });
    FlushSettings(temporary);
    if (!written || !ReplaceWithTemporary(temporary, settingsPath, &error)) {
        DeleteFileW(Wz(temporary));
        return false;
    }
    FlushSettings(settingsPath);
    return true;
}

EngineSettings ReadEngineSettings(const std::u16string& settingsPath) {
    EngineSettings settings;
    const auto read = [&](const wchar_t* key, const OptionLimits& limits) {
        return OptionValue(ReadOption(settingsPath, key), limits);
    };
    settings.parallelSessions = read(L"parallel sessions", kParallelSessionsLimits);
    settings.parallelCalls = read(L"parallel calls", kParallelCallsLimits);
    settings.parallelServers = read(L"parallel servers", kParallelServersLimits);
    settings.timeoutSeconds = read(L"timeout seconds", kTimeoutSecondsLimits);
    settings.allServers = read(L"all servers", kAllServersLimits) == 1;
    settings.clientColumns = read(L"client columns", kClientColumnsLimits);
    settings.refreshSeconds = ClampRefreshSeconds(read(L"refresh seconds", kRefreshSecondsLimits));
    settings.live = read(L"live", kLiveLimits) == 1;
    const int idle = read(L"idle seconds", kIdleSecondsLimits);
    settings.idleSeconds = idle == 0 ? 0 : std::max(idle, kShortestRefreshSeconds);
    settings.farmParallelSessions = FarmParallelSessions(settings.parallelSessions, settings.parallelServers);
    return settings;
}

void FlushSettings(const std::u16string& settingsPath) {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, Wz(settingsPath));
}

}  // namespace tarvenix
