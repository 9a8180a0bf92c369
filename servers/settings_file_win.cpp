#include "servers/settings_file_win.h"

#include <windows.h>

#include "app/win_text.h"
#include "servers/profile_text.h"
#include "servers/text_files_win.h"

namespace tarvenix {

namespace {

constexpr DWORD kBufferChars = 2048;

// Makes sure the file is UTF-16, so that the private-profile services keep
// characters outside the ANSI code page. False when it cannot be made so.
bool EnsureUnicodeFile(const std::u16string& path, const AnsiCodePage& ansi) {
    // Whatever the services still hold for the file goes to disk first, so
    // the conversion sees it and the services re-read the converted file.
    FlushSettings(path);
    std::string bytes;
    DWORD error = 0;
    if (!ReadWholeFile(path, FILE_SHARE_READ | FILE_SHARE_WRITE, &bytes, &error)) {
        if (error != ERROR_FILE_NOT_FOUND) return false;
        bytes.clear();
    }
    const std::optional<std::string> unicode = ProfileAsUnicode(bytes, ansi);
    if (!unicode) return true;
    bool created = false;
    return WriteWholeFile(path, *unicode, &error, &created);
}

}  // namespace

std::u16string ReadServerName(const std::u16string& settingsPath) {
    wchar_t buffer[kBufferChars] = {};
    const DWORD n = GetPrivateProfileStringW(Wz(std::u16string(kSettingsSection)), Wz(std::u16string(kSettingsServerKey)),
                                             L"", buffer, kBufferChars, Wz(settingsPath));
    return U16(buffer, n < kBufferChars ? n : kBufferChars - 1);
}

bool WriteServerName(const std::u16string& settingsPath, const std::u16string& name, const AnsiCodePage& ansi) {
    bool lossless = true;
    ansi.Encode(name, &lossless);
    if (!lossless && !EnsureUnicodeFile(settingsPath, ansi)) return false;
    return WritePrivateProfileStringW(Wz(std::u16string(kSettingsSection)), Wz(std::u16string(kSettingsServerKey)),
                                      Wz(name), Wz(settingsPath)) != FALSE;
}

void FlushSettings(const std::u16string& settingsPath) {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, Wz(settingsPath));
}

}  // namespace tarvenix
