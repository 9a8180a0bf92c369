// The command line of tarvenix-cli: what it asks for, read with CLI11, and
// its usage texts in Russian. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvenix {

enum class CliCommand { Sessions, Processes, Logoff, Disconnect, Message, Kill, Watch, SessionDetails };
enum class OutputFormat { Table, Csv, Json };

struct CliRequest {
    CliCommand command = CliCommand::Sessions;
    OutputFormat format = OutputFormat::Table;
    int timeoutSeconds = 15;   // each server's time-out
    int parallel = 16;         // sessions queried (or calls made) at once on a server

    // sessions and watch: where the servers come from (any of them, together).
    std::vector<std::u16string> servers;
    std::optional<std::u16string> fromFile;
    bool fromDirectory = false;
    bool fromHistory = false;
    // sessions: the filters.
    std::optional<std::u16string> user;             // contained in the user name, any case
    std::optional<std::u16string> state;            // a state name as the list shows it ("Disconnected")
    std::optional<std::int64_t> idleOverSeconds;    // idle for longer than this

    // processes, logoff, disconnect, message, kill: one server and its IDs.
    std::u16string server;
    std::optional<std::uint32_t> session;           // processes --session
    std::vector<std::uint32_t> ids;                 // session IDs, or process IDs for kill
    std::u16string title, text;                     // message
    bool yes = false;                               // destructive commands: no question

    // watch: it ends after so many changes, or after so long (else at Ctrl+C).
    std::optional<std::uint64_t> count;
    std::optional<std::int64_t> forSeconds;
    // logoff by rule: the sessions of the servers (`servers`, `fromFile`)
    // disconnected for longer than this, optionally of users whose name
    // contains `user`; with dryRun only printed.
    std::optional<std::int64_t> disconnectedOverSeconds;
    bool dryRun = false;

    // --output: the listing goes to this file (written whole, atomically)
    // instead of standard output.
    std::optional<std::u16string> outputFile;

    // Whose account the calls carry: the stored entry TARGET ("TS01",
    // "*.corp.example", or the full "Tarvenix/TS01") for every server, or an
    // account asked for on the console; neither: each server its own stored
    // entry (its name's, else its domain's), if any.
    std::optional<std::u16string> credentialTarget;
    bool askCredentials = false;
};

struct CliParse {
    // -1: go on with the request; 0: help was asked for (the text is in
    // `output`, for standard output); 2: the command line is wrong (the
    // reason and the usage are in `output`, for the error stream).
    int exitCode = -1;
    std::string output;  // UTF-8
    CliRequest request;
};

// Reads the arguments (UTF-8, without the program's name).
CliParse ParseCommandLine(const std::vector<std::string>& args);

// A number as the command line takes it, whatever the option: decimal digits
// only, leading zeros allowed and ignored ("010" is ten, "08" is eight); no
// sign, no blank, no "0x", nothing after the digits. Nothing for anything
// else and for a value above `max`.
std::optional<std::uint64_t> ParseDecimal(std::string_view text, std::uint64_t max);

// "90s", "15m", "2h", "1d", "1d2h30m"; a bare number is minutes; the list's
// own idle texts too: "1:05" (hours:minutes) and "2+03:10" (days+hours:minutes).
// The numbers are read as ParseDecimal reads them (no sign). Nothing for
// anything else and for values past a hundred years.
std::optional<std::int64_t> ParseDuration(std::string_view text);

// The state name the list shows ("Disconnected") for a name given in any
// case ("disconnected", "DISCONNECTED"); nothing for an unknown one.
std::optional<std::u16string> StateNameFor(std::string_view text);

// A session or process ID: 0..4294967295, as ParseDecimal reads it.
std::optional<std::uint32_t> ParseId(std::string_view text);

}  // namespace tarvenix
