// The live farm: the listed servers watched for session events instead of
// re-listed on a timer. Each server has a waiter, a thread of its own with a
// server handle of its own, blocked in the server's event wait (a wait
// without a time-out must not hold a worker that listings need). An event
// lists that server again, once for every burst of events (a short pause
// gathers them); a server whose wait fails is listed on a timer instead and
// its wait tried again with a growing pause, never in a tight loop. Idle
// times have no event: a light pass asks each session's information (no
// enumeration) now and then. Stopping flushes every wait and closes every
// handle on the waiters' own threads; closing waits at most a short grace
// for them, and abandons a waiter stuck in a call that never returns.
// Portable: the window and the command line's watch both use it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/engine.h"
#include "base/error_text.h"
#include "sessions/server_listing_run.h"
#include "sessions/session.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

struct LiveSettings {
    std::chrono::milliseconds gather{300};        // events within this time: one listing
    std::chrono::milliseconds pollEvery{30000};   // a server that cannot be watched is listed so often
    std::chrono::milliseconds retryFirst{1000};   // a failed wait is tried again after this,
    std::chrono::milliseconds retryMax{60000};    // doubling up to this
    std::chrono::milliseconds settle{2000};       // a wait going this long: the server is watched again
    std::chrono::milliseconds idleEvery{60000};   // the idle pass; 0: none
    InventoryOptions listing;                     // how a server is listed again
    // Whether a listing asks for the client's details too (asked at each
    // listing: the list's chosen columns may change meanwhile).
    std::function<bool()> clientDetails;
};

// A session's information as the idle pass read it.
struct IdleAnswer {
    std::uint32_t id = 0;
    bool ok = false;        // false: the query failed (7022: the session is gone)
    std::uint32_t error = 0;
    SessionInfo info;
};

struct LiveCallbacks {
    // A server was listed again (after events, or as a polled server), on
    // the window thread.
    std::function<void(const std::u16string& server, InventoryOutcome outcome)> listed;
    // The idle pass's answers for a server's sessions.
    std::function<void(const std::u16string& server, std::vector<IdleAnswer> answers)> idle;
    // Which servers are polled, and why, changed.
    std::function<void()> watchChanged;
    // The sessions the idle pass asks about now (none: the pass is skipped).
    std::function<std::vector<Session>()> idleSessions;
};

// A server listed on a timer instead of watched, and the error its wait gave.
struct PolledServer {
    std::u16string server;
    std::uint32_t error = 0;
};

class LiveFarm {
public:
    LiveFarm(TerminalServices& terminal, Executor& executor, Dispatcher& dispatcher, LiveSettings settings,
             LiveCallbacks callbacks);
    ~LiveFarm();
    LiveFarm(const LiveFarm&) = delete;
    LiveFarm& operator=(const LiveFarm&) = delete;

    // Watches these servers (names compared without case); servers watched
    // already keep their waiters, the others' waiters are stopped.
    void Watch(const std::vector<std::u16string>& servers);
    // Lists a watched server again soon (as an event would).
    void Relist(const std::u16string& server);
    // Stops every waiter (flushed, its handle closed on its own thread) and
    // every timer and listing; returns at once.
    void Stop();
    // Stop, then waits up to `grace` for the waiters to end; true when all
    // did (a waiter stuck in a call that never returns is abandoned).
    bool Close(std::chrono::milliseconds grace);

    bool Active() const { return !servers_.empty(); }
    std::vector<PolledServer> Polled() const;
    // Waiters started and not yet ended, over every LiveFarm (for tests and
    // the benchmark).
    static int WaitersRunning();

private:
    struct Waiter;
    struct Server;
    Server* Find(const std::u16string& name);
    void StartWaiter(Server& server);
    void StopWaiter(Server& server);
    void OnEvent(Server& server);
    void OnWaitFailed(Server& server, std::uint32_t error);
    void ListServer(Server& server);
    void SchedulePoll(Server& server);
    void ScheduleRetry(Server& server);
    void ScheduleIdle();
    void IdlePass();

    TerminalServices& terminal_;
    Executor& executor_;
    Dispatcher& dispatcher_;
    LiveSettings settings_;
    LiveCallbacks callbacks_;
    std::vector<std::unique_ptr<Server>> servers_;
    CancelToken alive_;      // cancelled when stopped: nothing posted before runs
    CancelToken idleTimer_;
    bool idleScheduled_ = false;
};

// "Без уведомлений (опрос): TS-OLD: <why>; ..." for the line under the
// counters; empty when every server is watched.
std::u16string PolledLineText(const std::vector<PolledServer>& polled, const DescribeError& describe);

}  // namespace tarvenix
