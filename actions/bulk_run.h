// Commands on many sessions or processes of one server (log off, send a
// message, terminate) on the engine: the calls run in parallel (bounded), and
// the results come back once, in item order, to the window thread. Portable.
//
// The first "server unavailable" answer (1722, 1726, 1753) stops further
// calls to the server: the items not yet started fail with that code without
// a call. When the whole command has not ended within the time-out, the items
// without an answer fail with ERROR_TIMEOUT (1460) and the report goes out;
// answers that come later are dropped.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/engine.h"
#include "sessions/session_list.h"
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

using BulkCall = std::function<CallResult(TerminalServer& server, std::uint32_t id)>;

void StartBulk(TerminalServices& services, Executor& executor, Dispatcher& dispatcher, const std::u16string& server,
               std::vector<std::uint32_t> ids, const BulkOptions& options, const CancelToken& token, BulkCall call,
               std::function<void(std::vector<CallResult>)> finished);

// The sessions of one server a command is for, and what each call answered.
struct ServerItems {
    std::u16string server;
    std::vector<std::uint32_t> ids;
};
struct ServerResults {
    std::u16string server;
    std::vector<std::uint32_t> ids;
    std::vector<CallResult> results;  // one per ID, in ID order
};

// (server, id) pairs grouped by server, the servers in the order they first
// come, each server's IDs in the order given.
std::vector<ServerItems> GroupByServer(const std::vector<std::pair<std::u16string, std::uint32_t>>& items);

// The sessions of the given rows of the list, by the server each row lives on.
std::vector<ServerItems> SessionTargets(const SessionListView& list, const std::vector<int>& rows);

// StartBulk on each server of the groups at once (each with its own
// time-out and its own "server gone" stop); one report when every server has
// answered, the servers in the groups' order.
void StartBulkByServer(TerminalServices& services, Executor& executor, Dispatcher& dispatcher,
                       std::vector<ServerItems> groups, const BulkOptions& options, const CancelToken& token,
                       BulkCall call, std::function<void(std::vector<ServerResults>)> finished);

}  // namespace tarvenix
