// "Все серверы": the sessions of every server of a list in one run. At most
// `parallelServers` servers are opened and enumerated at once, each with its
// own time-out for its whole listing, counted from its start (a server that
// does not answer holds one of those places until then, never the others); a
// server whose sessions are enumerated leaves its place to the next and
// queries them with at most `parallelSessionsPerServer` at once (the load of a
// single Get data), and the session queries of all servers together are
// bounded by `parallelSessions`. A server that hangs in a session query ends
// at its deadline as StartInventory says (timed out, with the rows it had
// answered), so its rows and the others' come by then. Portable.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/engine.h"
#include "base/error_text.h"
#include "sessions/server_listing_run.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

struct FarmOptions {
    std::size_t parallelServers = 8;              // opened and enumerated at once
    std::size_t parallelSessionsPerServer = 16;
    std::size_t parallelSessions = 128;           // over all servers together
    std::chrono::milliseconds timeout{15000};   // each server's whole listing, from its start
    std::function<std::u16string(std::int64_t ticks)> formatLogon;  // as InventoryOptions
    bool clientDetails = false;                                     // as InventoryOptions
};

struct ServerOutcome {
    std::u16string server;
    InventoryOutcome outcome;

    bool Failed() const { return outcome.timedOut || outcome.inventory.enumerationFailed; }
};

struct FarmOutcome {
    std::vector<ServerOutcome> servers;  // in the order of the list given

    std::size_t RowCount() const;
    std::int32_t ActiveCount() const;
    std::size_t FailedCount() const;
};

struct FarmCallbacks {
    // Servers finished so far (window thread; called once at the start with 0).
    std::function<void(std::size_t done, std::size_t total)> progress;
    // One server has ended (window thread), before its progress report: its
    // place in the list and its outcome, which the callback may take from.
    std::function<void(std::size_t index, ServerOutcome& server)> serverFinished;
    // The end of the run (window thread). Neither runs once the token is cancelled.
    std::function<void(FarmOutcome)> finished;
};

// Starts the run and returns at once; the callbacks come through the
// dispatcher. `services`, `executor` and `dispatcher` must outlive every run.
// Duplicate names (ignoring case) are listed once.
void StartFarmInventory(TerminalServices& services, Executor& executor, Dispatcher& dispatcher,
                        std::vector<std::u16string> servers, const FarmOptions& options, const CancelToken& token,
                        FarmCallbacks callbacks);

// The servers of a list, each once (the first spelling kept, case ignored
// for Latin and Cyrillic), blanks and empty names left out.
std::vector<std::u16string> DistinctServers(const std::vector<std::u16string>& names);

// Why a server failed: "TS01: <system text> (<code>)", or the time-out text
// (whether or not it gave the rows of some sessions). Empty when the server
// answered.
std::u16string ServerFailureText(const ServerOutcome& server, std::uint32_t timeoutMs, const DescribeError& describe);

}  // namespace tarvenix
