// What changed between two listings of a server, by session identity: a
// logon, a logoff, a disconnect, a reconnect or another change of state; and
// the line a change makes for scripts (JSON) or for eyes. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sessions/session.h"

namespace tarvenix {

// Current: not a change, a session there was when watching began.
enum class ChangeKind { Logon, Logoff, Disconnect, Reconnect, State, Current };

struct SessionChange {
    ChangeKind kind = ChangeKind::Logon;
    Session session;                           // as it is now (a logoff: as it was)
    std::optional<std::uint32_t> previousState;  // the state before (not for a logon)
};

// The changes from `before` to `after` (the same server's sessions): first
// the logoffs in the order of `before`, then logons and changes of state in
// the order of `after`. A session is the same when SameSession says so, so an
// ID given to another logon is a logoff and a logon.
std::vector<SessionChange> CompareListings(const std::vector<Session>& before, const std::vector<Session>& after);

// "logon", "logoff", "disconnect", "reconnect", "state", "current".
const char* ChangeEventName(ChangeKind kind);

// One JSON line (no line end): {"time": "<ISO UTC>", "server": ..., "event":
// ..., "id": n, "user": ..., "state": ..., "previous_state": ...}; "state" is
// null for a logoff, "previous_state" null for a logon.
std::string ChangeJson(const SessionChange& change, std::int64_t timeTicks);

// The line of a change for eyes: "2026-12-11 10:15:02  TS01  вход  5  ivanov  Active".
std::u16string ChangeLine(const SessionChange& change, const std::u16string& localTime);

}  // namespace tarvenix
