#include "actions/bulk_run.h"

#include <memory>
#include <mutex>
#include <optional>

#include "base/text_fold.h"
#include "sessions/session_queries.h"

namespace tarvenix {

namespace {

using ItemCall = std::function<ItemResult(TerminalServer& server, std::size_t index)>;

struct BulkRun {
    TerminalServices* services = nullptr;
    std::u16string serverName;
    std::size_t count = 0;
    bool openPerItem = false;
    ItemCall call;
    std::function<void(std::vector<ItemResult>)> finished;

    std::mutex mutex;
    std::unique_ptr<TerminalServer> shared;  // the one handle, when not per item
    std::vector<std::optional<ItemResult>> results;
    std::vector<bool> started;
    std::optional<std::uint32_t> unavailable;  // the first "server gone" answer
    bool reported = false;                     // the report went out: no call starts any more

    TerminalServer& SharedServer() {
        std::lock_guard<std::mutex> lock(mutex);
        if (!shared) shared = services->Open(serverName);
        return *shared;
    }

    void RunItem(std::size_t i) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (reported) return;
            if (unavailable) {
                results[i] = ItemResult::From(CallResult::Failure(*unavailable));
                return;
            }
            started[i] = true;
        }
        ItemResult r;
        if (openPerItem) {
            const std::unique_ptr<TerminalServer> own = services->Open(serverName);
            r = call(*own, i);
        } else {
            r = call(SharedServer(), i);
        }
        std::lock_guard<std::mutex> lock(mutex);
        results[i] = r;
        if (r.state == ItemState::Answered && !r.ok && IsServerUnavailable(r.error) && !unavailable)
            unavailable = r.error;
    }

    // The report, once; from then on no item starts. Items without an answer
    // were either started (no answer) or not (not sent).
    std::optional<std::vector<ItemResult>> Collect() {
        std::lock_guard<std::mutex> lock(mutex);
        if (reported) return std::nullopt;
        reported = true;
        std::vector<ItemResult> out;
        out.reserve(results.size());
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (results[i]) {
                out.push_back(*results[i]);
            } else {
                out.push_back({started[i] ? ItemState::NoAnswer : ItemState::NotStarted, false, kTimeoutError, {}});
            }
        }
        return out;
    }
};

void StartItems(TerminalServices& services, Executor& executor, Dispatcher& dispatcher, const std::u16string& server,
                std::size_t count, const BulkOptions& options, const CancelToken& token, ItemCall call,
                std::function<void(std::vector<ItemResult>)> finished) {
    auto run = std::make_shared<BulkRun>();
    run->services = &services;
    run->serverName = server;
    run->count = count;
    run->openPerItem = options.openPerItem;
    run->call = std::move(call);
    run->finished = std::move(finished);
    run->results.resize(count);
    run->started.assign(count, false);
    const auto report = [run, token] {
        if (token.Cancelled()) return;
        std::optional<std::vector<ItemResult>> results = run->Collect();
        if (results && run->finished) run->finished(std::move(*results));
    };
    dispatcher.PostAfter(options.timeout, report);
    ForEachBounded(
        executor, count, options.parallel, token, [run](std::size_t i) { run->RunItem(i); },
        [run, &dispatcher, report] {
            {
                std::lock_guard<std::mutex> lock(run->mutex);
                run->shared.reset();  // the handle is closed on the worker
            }
            dispatcher.Post(report);
        });
}

}  // namespace

bool IsServerUnavailable(std::uint32_t error) {
    return error == 1722 || error == 1726 || error == 1753 || error == kTimeoutError;
}

void StartBulk(TerminalServices& services, Executor& executor, Dispatcher& dispatcher, const std::u16string& server,
               std::vector<std::uint32_t> ids, const BulkOptions& options, const CancelToken& token, BulkCall call,
               std::function<void(std::vector<ItemResult>)> finished) {
    const std::size_t count = ids.size();
    StartItems(services, executor, dispatcher, server, count, options, token,
               [ids = std::move(ids), call = std::move(call)](TerminalServer& s, std::size_t i) {
                   return ItemResult::From(call(s, ids[i]));
               },
               std::move(finished));
}

std::vector<ServerResults> GroupByServer(std::vector<Session> sessions) {
    std::vector<ServerResults> groups;
    std::vector<std::u16string> keys;
    for (Session& session : sessions) {
        const std::u16string key = FoldCase(session.server);
        std::size_t g = 0;
        while (g < keys.size() && keys[g] != key) ++g;
        if (g == keys.size()) {
            keys.push_back(key);
            groups.push_back({session.server, {}, {}});
        }
        groups[g].sessions.push_back(std::move(session));
    }
    return groups;
}

ItemResult CheckAndCall(TerminalServer& server, const Session& seen, const BulkCall& call) {
    const SessionConfirmation now = ConfirmSession(server, seen);
    if (!now.failure.ok) return ItemResult::From(now.failure);
    if (now.check == SessionCheck::Ended) return {ItemState::Ended, false, 0, {}};
    if (now.check == SessionCheck::ChangedHands) return {ItemState::ChangedHands, false, 0, now.holder};
    return ItemResult::From(call(server, seen.id));
}

void StartSessionCheck(TerminalServices& services, Executor& executor, Dispatcher& dispatcher, const Session& session,
                       std::chrono::milliseconds timeout, const CancelToken& token,
                       std::function<void(ItemResult)> finished) {
    auto shared = std::make_shared<std::function<void(ItemResult)>>(std::move(finished));
    RunAsync<ItemResult>(
        executor, dispatcher, token, timeout,
        [&services, session] {
            const std::unique_ptr<TerminalServer> server = services.Open(session.server);
            return CheckAndCall(*server, session, [](TerminalServer&, std::uint32_t) { return CallResult::Success(); });
        },
        [shared](ItemResult r) { (*shared)(std::move(r)); },
        [shared] { (*shared)({ItemState::NoAnswer, false, kTimeoutError, {}}); });
}

void StartSessionCommand(TerminalServices& services, Executor& executor, Dispatcher& dispatcher,
                         std::vector<Session> sessions, const BulkOptions& options, const CancelToken& token,
                         BulkCall call, std::function<void(std::vector<ServerResults>)> finished) {
    // Touched on the window thread only: each server's report comes there.
    struct Gathered {
        std::vector<ServerResults> servers;
        std::size_t left = 0;
        std::function<void(std::vector<ServerResults>)> finished;
    };
    auto gathered = std::make_shared<Gathered>();
    gathered->servers = GroupByServer(std::move(sessions));
    gathered->left = gathered->servers.size();
    gathered->finished = std::move(finished);
    if (gathered->servers.empty()) {
        dispatcher.Post([gathered, token] {
            if (!token.Cancelled() && gathered->finished) gathered->finished({});
        });
        return;
    }
    auto shared = std::make_shared<const BulkCall>(std::move(call));
    for (std::size_t g = 0; g < gathered->servers.size(); ++g) {
        // The sessions are copied for the workers: the gathered ones stay on the window thread.
        auto targets = std::make_shared<const std::vector<Session>>(gathered->servers[g].sessions);
        StartItems(services, executor, dispatcher, gathered->servers[g].server, targets->size(), options, token,
                   [targets, shared](TerminalServer& s, std::size_t i) { return CheckAndCall(s, (*targets)[i], *shared); },
                   [gathered, g](std::vector<ItemResult> results) {
                       gathered->servers[g].results = std::move(results);
                       if (--gathered->left == 0 && gathered->finished) gathered->finished(std::move(gathered->servers));
                   });
    }
}

}  // namespace tarvenix
