// What is asked of a server about its sessions: the queries that make one
// listed row, the counters of a listing, the check that a session the user saw
// is still the same one, and the one-after-another listing of one server.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sessions/session.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

// Column numbers of the session list; a column keeps its number when dragged.
enum SessionColumn : int {
    kColId = 0,
    kColUser = 1,
    kColClientName = 2,
    kColAddress = 3,
    kColState = 4,
    kColWinStation = 5,
    kSessionColumnCount = 6,
};

struct SessionInventory {
    std::vector<Session> rows;      // enumeration order
    std::int32_t activeCount = 0;   // rows whose state name is "Active"
    bool enumerationFailed = false;
    std::uint32_t error = 0;        // system error code when the enumeration failed
};

// Name of a connection state: "Active" .. "Init" for 0..9, else "Unknown".
std::u16string ConnectStateName(std::uint32_t state);

// "a.b.c.d" from address bytes 2..5 for family 2 (AF_INET); empty otherwise.
std::u16string ClientIPv4Text(const ClientAddress& address);

// The session of one enumeration record, as listed from `serverName`: client
// name, user name, WinStation name and client address are queried in that
// order; a session without a user name gives nothing; for the others the
// session information (times, domain) is queried last.
std::optional<Session> QuerySessionRow(TerminalServer& server, const std::u16string& serverName,
                                       const SessionRecord& session);

// The client's build, display and protocol (classes 9, 15, 16) into the
// session; a query that fails leaves its field unknown.
void QueryClientDetails(TerminalServer& server, Session& session);

// The inventory of rows in enumeration order (rows of sessions without a
// user left out), with ActiveCount.
SessionInventory AssembleInventory(std::vector<std::optional<Session>> rows);

// What the server says now of a session the user saw, from one session-
// information query (the user name alone where the server refuses that
// query for another reason than a missing session).
struct SessionConfirmation {
    SessionCheck check = SessionCheck::Same;
    std::u16string holder;  // changed hands: who holds the ID now
    CallResult failure;     // not ok: the server did not tell (nothing was checked)
};
SessionConfirmation ConfirmSession(TerminalServer& server, const Session& seen);

// Opens the server, enumerates its sessions and builds one row per session
// that has a user name (QuerySessionRow), one session after another.
SessionInventory ReadSessionInventory(TerminalServices& services, const std::u16string& serverName);

}  // namespace tarvenix
