// One session in detail: the six columns, its times, what the client is
// (build, display, protocol, directory) and how many processes it runs; read
// from its server, written as lines for the details window and its copy, and
// as JSON for the command line. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sessions/session.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

inline constexpr char16_t kSessionDetailsCommand[] = u"Сведения о сессии…";

struct SessionDetails {
    Session session;
    bool timesKnown = false;
    SessionTimes times;
    std::optional<std::uint32_t> clientBuild;
    std::optional<ClientDisplay> display;
    std::optional<std::uint32_t> protocol;
    std::optional<std::u16string> clientDirectory;
    std::optional<std::size_t> processCount;  // nothing when the listing failed
};

// Reads the details of a listed session (whose holder was checked by the
// caller): the session information, the client's four details and the
// processes of the session. Each part that fails stays unknown.
SessionDetails ReadSessionDetails(TerminalServer& server, const Session& session);

// The session of an ID on a server, found by enumerating its sessions and
// read as a listed row is, then in detail; the error when the enumeration
// fails, 7022 when no session with a user holds the ID.
CallResult FindSessionDetails(TerminalServer& server, const std::u16string& serverName, std::uint32_t id,
                              SessionDetails& details);

// "1920 x 1080, 32 бит" (the depth code in bits), "" when nothing is known.
std::u16string DisplayText(const std::optional<ClientDisplay>& display);
// Bits per pixel of WTS_CLIENT_DISPLAY's colour-depth code; 0 for an unknown code.
std::uint32_t ColorDepthBits(std::uint32_t code);
// "RDP", "Консоль", "ICA", else the number; "" when unknown.
std::u16string ProtocolText(const std::optional<std::uint32_t>& protocol);

// The window's lines: caption and value, the six columns first. formatTime
// writes a UTC time for the user (unknown times are left empty).
using FormatTime = std::function<std::u16string(std::int64_t ticks)>;
std::vector<std::pair<std::u16string, std::u16string>> DetailLines(const SessionDetails& details,
                                                                   const FormatTime& formatTime);
// The lines as the copy puts them on the clipboard: "caption<TAB>value" each.
std::u16string DetailsText(const std::vector<std::pair<std::u16string, std::u16string>>& lines);
// The command line's JSON: the session's own members, then times in UTC (null
// when unknown), client_build, display {width, height, color_depth_bits},
// protocol, client_directory and process_count.
std::string DetailsJson(const SessionDetails& details);

}  // namespace tarvenix
