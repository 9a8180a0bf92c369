// The session inventory: the rows and counters that Get data shows for one server.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

struct SessionRow {
    std::u16string id;          // caption: session ID, unsigned decimal
    std::u16string user;        // never empty in a row
    std::u16string clientName;
    std::u16string address;     // IPv4 text, or empty
    std::u16string state;       // ConnectStateName
    std::u16string winStation;  // from the WinStation-name query
    // From the session-information query (empty when it failed).
    std::optional<std::int64_t> idleTicks;   // how long the session has been idle
    std::optional<std::int64_t> logonTicks;  // the logon time, UTC FILETIME
    std::u16string idle;                     // IdleText; empty when the query failed
    std::u16string logon;                    // the logon time as shown, when a formatter was given

    // Text of column k (0 = caption).
    const std::u16string& Text(int column) const;
};

struct SessionInventory {
    std::vector<SessionRow> rows;   // enumeration order
    std::int32_t activeCount = 0;   // rows whose state name is "Active"
    bool enumerationFailed = false;
    std::uint32_t error = 0;        // system error code when the enumeration failed
};

// Name of a connection state: "Active" .. "Init" for 0..9, else "Unknown".
std::u16string ConnectStateName(std::uint32_t state);

// "a.b.c.d" from address bytes 2..5 for family 2 (AF_INET); empty otherwise.
std::u16string ClientIPv4Text(const ClientAddress& address);

// The row of one enumerated session: client name, user name, WinStation name
// and client address are queried in that order; a session without a user name
// gives no row; for the others the session's times are queried last.
std::optional<SessionRow> QuerySessionRow(TerminalServer& server, const SessionRecord& session);

// The inventory of rows in enumeration order (rows of sessions without a
// user left out), with ActiveCount.
SessionInventory AssembleInventory(std::vector<std::optional<SessionRow>> rows);

// Opens the server, enumerates its sessions and builds one row per session
// that has a user name (QuerySessionRow), one session after another.
SessionInventory ReadSessionInventory(TerminalServices& services, const std::u16string& serverName);

}  // namespace tarvenix
