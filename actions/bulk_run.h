// Commands on many sessions or processes (log off, disconnect, send a
// message, terminate) on the engine: the calls run in parallel (bounded), and
// the results come back once, in item order, to the window thread. Portable.
//
// The first "server unavailable" answer (1722, 1726, 1753) stops further
// calls to the server: the items not yet started fail with that code without
// a call. When the whole command has not ended within the time-out, the
// report goes out at once and no call starts after it: an item already
// started has "no answer" (it may still happen on the server), an item not
// started "was not sent"; answers that come later are dropped.
//
// Commands on listed sessions check each session first: one session-
// information query on its server, in the same run, right before the call; a
// session that ended or changed hands since it was listed is not touched.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/engine.h"
#include "sessions/session.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

inline constexpr std::uint32_t kTimeoutError = 1460;  // ERROR_TIMEOUT

struct BulkOptions {
    std::size_t parallel = 8;
    std::chrono::milliseconds timeout{15000};
    // Open the server once for every item (as the message window does), or
    // once for the whole command.
    bool openPerItem = false;
};

// True for the answers that say the server is gone, not just the session.
bool IsServerUnavailable(std::uint32_t error);

// What became of one item of a command.
enum class ItemState {
    Answered,      // the call was made and answered (ok, or error)
    NotStarted,    // the report went out first: no call was made
    NoAnswer,      // the call was made and had not answered by the report
    Ended,         // the listed session had ended: no call was made
    ChangedHands,  // another logon held the session's ID: no call was made
};

struct ItemResult {
    ItemState state = ItemState::NotStarted;
    bool ok = false;          // answered and done
    std::uint32_t error = 0;  // answered with a failure: its code; not started or no answer: kTimeoutError
    std::u16string holder;    // changed hands: who holds the ID now

    static ItemResult From(const CallResult& r) { return {ItemState::Answered, r.ok, r.ok ? 0u : r.error, {}}; }
    // Not acted on, and nothing failed on the server: the session had gone.
    bool Untouched() const { return state == ItemState::Ended || state == ItemState::ChangedHands; }
};

using BulkCall = std::function<CallResult(TerminalServer& server, std::uint32_t id)>;

// The call on each ID of one server (IDs as given: no check).
void StartBulk(TerminalServices& services, Executor& executor, Dispatcher& dispatcher, const std::u16string& server,
               std::vector<std::uint32_t> ids, const BulkOptions& options, const CancelToken& token, BulkCall call,
               std::function<void(std::vector<ItemResult>)> finished);

// The sessions of one server a command is for, and what became of each.
struct ServerResults {
    std::u16string server;
    std::vector<Session> sessions;
    std::vector<ItemResult> results;  // one per session, in the same order
};

// Sessions grouped by server, the servers in the order they first come
// (case ignored), each server's sessions in the order given.
std::vector<ServerResults> GroupByServer(std::vector<Session> sessions);

// Checks the listed session on its server and, when the same logon still
// holds it, makes the call.
ItemResult CheckAndCall(TerminalServer& server, const Session& seen, const BulkCall& call);

// The command on listed sessions: each server at once (each with its own
// time-out and its own "server gone" stop), every session checked before
// its call (CheckAndCall); one report when every server has answered, the
// servers in the groups' order.
void StartSessionCommand(TerminalServices& services, Executor& executor, Dispatcher& dispatcher,
                         std::vector<Session> sessions, const BulkOptions& options, const CancelToken& token,
                         BulkCall call, std::function<void(std::vector<ServerResults>)> finished);

// The check alone, for a command on one session that is not a call to its
// server (shadowing): opens the server and checks the session on a worker;
// the result comes to the window thread: ok for the same logon, Ended,
// ChangedHands, a failed check (Answered with its error), or NoAnswer when
// the time-out came first.
void StartSessionCheck(TerminalServices& services, Executor& executor, Dispatcher& dispatcher, const Session& session,
                       std::chrono::milliseconds timeout, const CancelToken& token,
                       std::function<void(ItemResult)> finished);

}  // namespace tarvenix
