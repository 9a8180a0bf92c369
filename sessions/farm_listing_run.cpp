#include "sessions/farm_listing_run.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "base/text_fold.h"

namespace tarvenix {

namespace {

// The run's state; touched on the window thread only (the start and the
// per-server callbacks).
struct FarmRun {
    TerminalServices* services = nullptr;
    Executor* executor = nullptr;
    Dispatcher* dispatcher = nullptr;
    std::unique_ptr<LimitedExecutor> queries;
    InventoryOptions serverOptions;
    CancelToken token;
    FarmCallbacks callbacks;
    FarmOutcome outcome;
    std::size_t next = 0;
    std::size_t done = 0;
};

void StartNext(const std::shared_ptr<FarmRun>& run) {
    const std::size_t index = run->next++;
    // The server's place among those being opened is free once its sessions
    // are enumerated (the first progress report) or it has ended.
    auto placeFreed = std::make_shared<bool>(false);
    const auto freePlace = [run, placeFreed] {
        if (*placeFreed) return;
        *placeFreed = true;
        if (run->next < run->outcome.servers.size()) StartNext(run);
    };
    InventoryCallbacks callbacks;
    callbacks.progress = [freePlace](std::size_t, std::size_t) { freePlace(); };
    callbacks.finished = [run, index, freePlace](InventoryOutcome outcome) {
        run->outcome.servers[index].outcome = std::move(outcome);
        ++run->done;
        if (run->callbacks.serverFinished) run->callbacks.serverFinished(index, run->outcome.servers[index]);
        const std::size_t total = run->outcome.servers.size();
        if (run->callbacks.progress) run->callbacks.progress(run->done, total);
        freePlace();
        if (run->done == total) {
            auto finished = std::move(run->callbacks.finished);
            run->callbacks = {};
            if (finished) finished(std::move(run->outcome));
        }
    };
    StartInventory(*run->services, *run->executor, *run->dispatcher, run->outcome.servers[index].server,
                   run->serverOptions, run->token, std::move(callbacks));
}

}  // namespace

std::size_t FarmOutcome::RowCount() const {
    std::size_t n = 0;
    for (const ServerOutcome& s : servers) n += s.outcome.inventory.rows.size();
    return n;
}

std::int32_t FarmOutcome::ActiveCount() const {
    std::int32_t n = 0;
    for (const ServerOutcome& s : servers) n += s.outcome.inventory.activeCount;
    return n;
}

std::size_t FarmOutcome::FailedCount() const {
    return static_cast<std::size_t>(
        std::count_if(servers.begin(), servers.end(), [](const ServerOutcome& s) { return s.Failed(); }));
}

std::vector<std::u16string> DistinctServers(const std::vector<std::u16string>& names) {
    std::vector<std::u16string> out;
    std::vector<std::u16string> folded;
    for (const std::u16string& name : names) {
        const std::size_t first = name.find_first_not_of(u" \t");
        if (first == std::u16string::npos) continue;
        const std::size_t last = name.find_last_not_of(u" \t");
        std::u16string trimmed = name.substr(first, last - first + 1);
        std::u16string key = FoldCase(trimmed);
        if (std::find(folded.begin(), folded.end(), key) != folded.end()) continue;
        folded.push_back(std::move(key));
        out.push_back(std::move(trimmed));
    }
    return out;
}

std::u16string ServerFailureText(const ServerOutcome& server, std::uint32_t timeoutMs, const DescribeError& describe) {
    if (server.outcome.timedOut) return ServerTimeoutText(server.server, timeoutMs);
    if (!server.outcome.inventory.enumerationFailed) return {};
    return server.server + u": " + SystemErrorLine(server.outcome.inventory.error, describe);
}

void StartFarmInventory(TerminalServices& services, Executor& executor, Dispatcher& dispatcher,
                        std::vector<std::u16string> servers, const FarmOptions& options, const CancelToken& token,
                        FarmCallbacks callbacks) {
    auto run = std::make_shared<FarmRun>();
    run->services = &services;
    run->executor = &executor;
    run->dispatcher = &dispatcher;
    run->queries = std::make_unique<LimitedExecutor>(executor, options.parallelSessions);
    run->serverOptions.parallel = std::max<std::size_t>(1, options.parallelSessionsPerServer);
    run->serverOptions.timeout = options.timeout;
    run->serverOptions.formatLogon = options.formatLogon;
    run->serverOptions.clientDetails = options.clientDetails;
    run->serverOptions.queryExecutor = run->queries.get();
    run->token = token;
    run->callbacks = std::move(callbacks);
    for (std::u16string& name : DistinctServers(servers)) run->outcome.servers.push_back({std::move(name), {}});

    const std::size_t total = run->outcome.servers.size();
    if (run->callbacks.progress) run->callbacks.progress(0, total);
    if (total == 0) {
        auto finished = std::move(run->callbacks.finished);
        dispatcher.Post([token, finished = std::move(finished), outcome = std::move(run->outcome)]() mutable {
            if (!token.Cancelled() && finished) finished(std::move(outcome));
        });
        return;
    }
    const std::size_t first = std::min(total, std::max<std::size_t>(1, options.parallelServers));
    for (std::size_t i = 0; i < first; ++i) StartNext(run);
}

}  // namespace tarvenix
