// Get data on the engine: the server is opened and its sessions enumerated on
// a worker (within the time-out), then the sessions are queried in parallel,
// at most `parallel` at once, each session's queries in order on one worker.
// The rows come back in enumeration order with the same texts and counters as
// ReadSessionInventory. Portable.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <cstdint>
#include <string>

#include "base/engine.h"
#include "sessions/session_inventory.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

struct InventoryOptions {
    std::size_t parallel = 16;                      // sessions queried at once
    std::chrono::milliseconds timeout{15000};       // for open + enumerate
    // Where the session queries run (the run's executor when null); a
    // LimitedExecutor shared by several runs bounds them together.
    Executor* queryExecutor = nullptr;
    // Turns a logon time into the text the list shows; run on a worker for
    // every row that has one (the text goes to SessionRow::logon).
    std::function<std::u16string(std::int64_t ticks)> formatLogon;
};

struct InventoryOutcome {
    SessionInventory inventory;
    bool timedOut = false;  // open + enumerate did not answer in time: no rows
};

struct InventoryCallbacks {
    // Sessions queried so far of those enumerated (window thread; not every
    // step is reported, the last one always is).
    std::function<void(std::size_t done, std::size_t total)> progress;
    // The end of the run (window thread). Neither callback runs once the
    // token is cancelled.
    std::function<void(InventoryOutcome)> finished;
};

// Starts the run and returns at once. `services`, `executor` and `dispatcher`
// must outlive every run (a stuck call may return long after the run ended).
void StartInventory(TerminalServices& services, Executor& executor, Dispatcher& dispatcher,
                    const std::u16string& server, const InventoryOptions& options, const CancelToken& token,
                    InventoryCallbacks callbacks);

}  // namespace tarvenix
