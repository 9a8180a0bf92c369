// The columns of a session listing, written once: the window's list, copy
// and CSV export, and the command line's table, CSV and JSON all read this
// table. Each column has its caption, its default width, how its cell is
// shown, how it orders, where the window lists it and its JSON. A new column
// is a field here and one row of the table (session_columns.cpp), plus its
// query when the session does not hold its value yet. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/column_fit.h"
#include "sessions/session.h"

namespace tarvenix {

// The fields of a listed session, in the order of the columns (the six of
// the list first, then the server, the idle time and the logon time).
enum class SessionField : int {
    Id, User, ClientName, Address, State, WinStation, Server, Idle, Logon,
    ClientBuild, ClientDisplay, Protocol  // chosen by the user (the header's menu)
};
inline constexpr int kSessionFieldCount = 12;

// Where the window's list shows a column: always, in the farm view, or when
// the user chose it in the columns menu (only there: the command line's
// listings and JSON leave the chosen columns out).
enum class ListedIn { Always, FarmView, Chosen };

struct SessionColumnSpec {
    SessionField field;
    const char16_t* caption;  // the list's header, and the header of copies, CSV and the command line's table
    ColumnSpec width;         // in the window, at 96 DPI
    bool added;               // after the list's own six: takes no part in sharing the list's width
    const char* jsonKey;      // the command line's JSON
    ListedIn listed;
    // The cell as shown.
    std::u16string (*cell)(const Session& session);
    // Ordering by the column; null: by the shown texts (CompareRowText).
    std::int32_t (*compare)(const Session& a, const Session& b, bool descending) = nullptr;
    // The column's JSON members ("key": value); null: its key and its cell as a string.
    std::string (*json)(const char* key, const Session& session) = nullptr;
};

// Every column, in field order.
const std::vector<SessionColumnSpec>& SessionColumnTable();
const SessionColumnSpec& ColumnOf(SessionField field);

// The columns the window's list shows: the six, the server only in the farm
// view, then the idle and logon times, then the chosen ones in table order.
std::vector<SessionField> ListedFields(bool farm, const std::vector<SessionField>& chosen = {});
// The columns the user can add (ListedIn::Chosen), in table order.
std::vector<SessionField> ChoosableFields();

// A cell as shown: the ID in decimal, the state by its name, the idle time as
// IdleText, the logon time in the user's local time (Session::logonText).
std::u16string CellText(SessionField field, const Session& session);

// Ordering by a column: negative, 0 or positive. Text columns compare their
// shown texts with CompareRowText (so IDs order as text), reversed when
// descending; the idle and logon columns compare the times, unknown times
// last in both directions.
std::int32_t CompareSessions(SessionField field, const Session& a, const Session& b, bool descending);

// The JSON object of a session: the server first, then every other column
// in table order; the ID as a number, the idle time as `idle_seconds` (a
// number, null when unknown) and `idle` (its text), the logon time in UTC
// (null when unknown).
std::string SessionJson(const Session& session);

// "2026-12-10T08:15:00Z" for a FILETIME (100-ns ticks since 1601, UTC).
std::string IsoUtc(std::int64_t ticks);

// A JSON string literal (quotes included) for UTF-16 text.
std::string JsonString(std::u16string_view text);

}  // namespace tarvenix
