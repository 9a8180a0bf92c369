// Get data on the engine: the server is opened and its sessions enumerated on
// a worker, then the sessions are queried in parallel, at most `parallel` at
// once, each session's queries in order on one worker. The rows come back in
// enumeration order with the same texts and counters as ReadSessionInventory.
// The whole listing (open, enumerate, every session query) has one deadline,
// the time-out counted from the start: every run ends. Portable.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <cstdint>
#include <string>

#include "base/engine.h"
#include "sessions/session_queries.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

struct InventoryOptions {
    std::size_t parallel = 16;                      // sessions queried at once
    std::chrono::milliseconds timeout{15000};       // the whole listing, from its start
    // Where the session queries run (the run's executor when null); a
    // LimitedExecutor shared by several runs bounds them together.
    Executor* queryExecutor = nullptr;
    // Turns a logon time into the text the list shows; run on a worker for
    // every row that has one (the text goes to Session::logonText).
    std::function<std::u16string(std::int64_t ticks)> formatLogon;
    // The client's details too (QueryClientDetails), for the chosen columns.
    bool clientDetails = false;
};

struct InventoryOutcome {
    SessionInventory inventory;
    // The server did not finish its listing by the deadline. When it hung in
    // opening or enumerating there are no rows; when it hung in some session
    // queries, `inventory` holds the rows of the sessions whose queries had
    // all been answered by then (in enumeration order, counted in
    // activeCount), and the sessions still being queried, or not yet
    // started, are left out. Either way the server counts as failed.
    bool timedOut = false;
};

struct InventoryCallbacks {
    // Sessions queried so far of those enumerated (window thread; not every
    // step is reported, the last one always is; none after `finished`).
    std::function<void(std::size_t done, std::size_t total)> progress;
    // The end of the run (window thread), at the latest at the deadline.
    // Neither callback runs once the token is cancelled.
    std::function<void(InventoryOutcome)> finished;
};

// Starts the run and returns at once. `services`, `executor` and `dispatcher`
// must outlive every run (a stuck call may return long after the run ended).
// At the deadline the run ends without waiting: session queries not yet
// started are not started, and the calls still under way are dropped when
// they return; their results and the server handle are released on a worker,
// never on the window thread (as are those of a cancelled run).
void StartInventory(TerminalServices& services, Executor& executor, Dispatcher& dispatcher,
                    const std::u16string& server, const InventoryOptions& options, const CancelToken& token,
                    InventoryCallbacks callbacks);

}  // namespace tarvenix
