// settings.ini: the last server name, through the platform's private-profile
// services (section "server", key "server name").
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/ansi_code_page.h"

namespace tarvenix {

inline constexpr char16_t kSettingsSection[] = u"server";
inline constexpr char16_t kSettingsServerKey[] = u"server name";

// The stored server name; a missing file, section or key reads as empty. At
// most 2,047 characters come back.
std::u16string ReadServerName(const std::u16string& settingsPath);

// Stores the name, an empty one included; other sections and keys stay as
// they are. A name that the ANSI code page cannot hold is written into a
// UTF-16 file: a missing file is created as UTF-16, any other layout is
// turned into UTF-16 first, keeping its text. Returns false when the file
// could not be written.
// Keys of the [options] section given in `options` are written in the same
// pass (the rest of the section stays as it is).
using SettingValues = std::vector<std::pair<std::u16string, std::u16string>>;
bool WriteServerName(const std::u16string& settingsPath, const std::u16string& name, const AnsiCodePage& ansi,
                     const SettingValues& options = {});

// The [options] section (limits and reading in base/settings_options.h):
// how many sessions Get data queries at once ("parallel sessions", 1 to 64,
// default 16), how many calls a command on many sessions makes at once
// ("parallel calls", 1 to 64, default 8), and how long a server may take to
// answer ("timeout seconds", 1 to 600, default 15). "refresh seconds": the
// automatic refresh of the list (0 off, else every 15 to 300 seconds, any
// whole number of them). "parallel servers": servers the farm view opens at
// once (1 to 64, default 8). "all servers": the farm view was on (1) or off
// (0, the default). "client columns": the columns added from the list's
// header menu, one bit each (1 client build, 2 display, 4 protocol; 0 none,
// the default). A number out of its range takes the nearest limit; a
// missing value, or one that is not a whole number, takes the default. The
// file is not written.
struct EngineSettings {
    int parallelSessions = 16;
    int parallelCalls = 8;
    int parallelServers = 8;
    int timeoutSeconds = 15;
    int refreshSeconds = 0;
    bool allServers = false;
    bool live = false;      // live mode, see kLiveLimits
    int idleSeconds = 60;   // live mode's idle pass
    int clientColumns = 0;
    // Session queries in flight over the whole farm view: parallelSessions x
    // parallelServers, at most kFarmSessionQueryCap (256).
    int farmParallelSessions = 128;
};
EngineSettings ReadEngineSettings(const std::u16string& settingsPath);

// Asks the private-profile services to flush their cache for the file.
void FlushSettings(const std::u16string& settingsPath);

}  // namespace tarvenix
