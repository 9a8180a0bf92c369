// What tarvenix-cli prints: sessions, processes and the results of commands,
// as an aligned table, as CSV (as the window saves its list) or as JSON (an
// array of objects with stable English keys, numbers as numbers). Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_request.h"
#include "sessions/session.h"
#include "sessions/session_columns.h"
#include "sessions/session_details.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

struct CliProcess {
    std::u16string server;
    ProcessRecord record;
    std::u16string account{};  // the SID's account name (or the SID as text); empty without a SID
};

struct CliResult {
    std::u16string server;
    std::uint32_t id = 0;
    bool ok = false;
    std::uint32_t error = 0;
    std::u16string errorText;  // the system's text when it failed
};

// The filters of `sessions`: user name contains (any case), state, idle
// longer than (a session without an idle time never is).
bool SessionPasses(const CliRequest& request, const Session& session);

// The text to print, UTF-16 for the console (UTF-8 for a file or a pipe is
// made from it). `separator` is the CSV field separator (the user's list
// separator, as the window's export). Sessions go in the columns of the
// session table, the server after the six.
std::u16string FormatSessions(const std::vector<Session>& sessions, OutputFormat format, char16_t separator);
std::u16string FormatProcesses(const std::vector<CliProcess>& processes, OutputFormat format, char16_t separator);
// The clean-up rule's --dry-run: the sessions it would log off (server, ID,
// user, disconnected for; JSON with the seconds as a number).
std::u16string FormatCleanup(const std::vector<Session>& sessions, OutputFormat format, char16_t separator);
// One session in detail (`session SERVER ID`): the window's lines as a
// two-column table or CSV, or one JSON object.
std::u16string FormatDetails(const SessionDetails& details, OutputFormat format, char16_t separator,
                             const FormatTime& formatTime);
std::u16string FormatResults(const std::vector<CliResult>& results, OutputFormat format, char16_t separator);

// The columns of a text table: each column as wide as its widest cell, two
// spaces between columns, no trailing blanks; a line after the header.
std::u16string AlignedTable(const std::vector<std::vector<std::u16string>>& rows);

}  // namespace tarvenix
