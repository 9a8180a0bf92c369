#include "servers/settings_file_win.h"

#include <windows.h>

#include <algorithm>

#include "base/files_win.h"
#include "base/handles_win.h"
#include "base/win_text.h"
#include "servers/profile_text.h"

namespace tarvenix {

namespace {

constexpr DWORD kBufferChars = 2048;

bool WriteBytes(const std::u16string& path, const std::string& bytes) {
    FileHandle file(CreateFileW(Wz(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return bytes.empty() ||
           (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size() && FlushFileBuffers(file.Get()));
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
    const std::u16string temporary = TemporaryPathFor(settingsPath);
    const bool written =
        WriteBytes(temporary, bytes) &&
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
    const auto read = [&](const wchar_t* key, int fallback, int low, int high) {
        const UINT value = GetPrivateProfileIntW(L"options", key, fallback, Wz(settingsPath));
        const int v = static_cast<int>(value);
        return v < low || v > high ? fallback : v;
    };
    settings.parallelSessions = read(L"parallel sessions", settings.parallelSessions, 1, 64);
    settings.parallelCalls = read(L"parallel calls", settings.parallelCalls, 1, 64);
    settings.parallelServers = read(L"parallel servers", settings.parallelServers, 1, 64);
    settings.timeoutSeconds = read(L"timeout seconds", settings.timeoutSeconds, 1, 600);
    settings.allServers = read(L"all servers", 0, 0, 1) == 1;
    const int refresh = read(L"refresh seconds", 0, 0, 300);
    settings.refreshSeconds = (refresh == 15 || refresh == 30 || refresh == 60 || refresh == 300) ? refresh : 0;
    return settings;
}

void FlushSettings(const std::u16string& settingsPath) {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, Wz(settingsPath));
}

}  // namespace tarvenix
