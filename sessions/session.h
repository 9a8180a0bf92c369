// A listed session as a value: where it lives, who holds it, how it is
// connected and its times. Its identity (server, ID, user, domain and logon
// time) is what a command checks before it acts: servers give a session ID to
// the next logon as soon as a session ends, so an ID alone names whatever
// session holds it now, not the one the user saw. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sessions/session_times.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

// Connection state of an active session (WTSActive).
constexpr std::uint32_t kStateActive = 0;

struct Session {
    std::u16string server;      // the name it was listed with
    std::uint32_t id = 0;
    std::u16string user;        // never empty for a listed session
    std::u16string domain;      // from the session information; empty when unknown
    std::u16string clientName;
    std::u16string address;     // the client's IPv4 address as text, or empty
    std::uint32_t state = 0;    // WTS_CONNECTSTATE_CLASS
    std::u16string winStation;  // from the WinStation-name query
    // From the session information (timesKnown: it answered); nothing when
    // it failed or the server did not report the time.
    bool timesKnown = false;
    std::optional<FileTimeTicks> idleTicks;   // how long the session has been idle
    std::optional<FileTimeTicks> logonTicks;  // the logon time, UTC
    // The logon time in the user's local time, made where the session was
    // read (empty without a logon time or a formatter).
    std::u16string logonText;
    // The client's details, asked for only while a column shows them.
    std::optional<std::uint32_t> clientBuild = std::nullopt;
    std::optional<ClientDisplay> clientDisplay = std::nullopt;
    std::optional<std::uint32_t> protocol = std::nullopt;

    bool Active() const { return state == kStateActive; }
};

// What the server says about a session ID now, from the session information.
struct SessionHolder {
    std::u16string user;     // empty: nobody is logged on in it
    std::u16string domain;
    std::optional<FileTimeTicks> logonTicks;
};

// How a session the user saw stands now.
enum class SessionCheck {
    Same,          // the same logon: act on it
    Ended,         // the ID is gone, or nobody is logged on in it any more
    ChangedHands,  // another logon holds the ID
};

// The same session: same server, ID, user and domain (case ignored, as the
// system compares account names) and the same logon time; a domain or a
// logon time that either side lacks is not compared.
bool SameSession(const Session& a, const Session& b);

// The listed session against what its server says of the ID now.
SessionCheck CheckHolder(const Session& seen, const SessionHolder& now);

}  // namespace tarvenix
