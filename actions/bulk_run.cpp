#include "actions/bulk_run.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "base/text.h"

namespace tarvenix {

namespace {

struct BulkRun {
    TerminalServices* services = nullptr;
    std::u16string serverName;
    std::vector<std::uint32_t> ids;
    bool openPerItem = false;
    BulkCall call;
    std::function<void(std::vector<CallResult>)> finished;

    std::mutex mutex;
    std::unique_ptr<TerminalServer> shared;  // the one handle, when not per item
    std::vector<std::optional<CallResult>> results;
    std::optional<std::uint32_t> unavailable;  // the first "server gone" answer
    std::atomic<bool> reported{false};

    TerminalServer& SharedServer() {
        std::lock_guard<std::mutex> lock(mutex);
        if (!shared) shared = services->Open(serverName);
        return *shared;
    }

    void RunItem(std::size_t i) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (unavailable) {
                results[i] = CallResult::Failure(*unavailable);
                return;
            }
        }
        CallResult r;
        if (openPerItem) {
            const std::unique_ptr<TerminalServer> own = services->Open(serverName);
            r = call(*own, ids[i]);
        } else {
            r = call(SharedServer(), ids[i]);
        }
        std::lock_guard<std::mutex> lock(mutex);
        results[i] = r;
        if (!r.ok && IsServerUnavailable(r.error) && !unavailable) unavailable = r.error;
    }

    // The report, once: items without an answer count as timed out.
    std::vector<CallResult> Collect() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<CallResult> out;
        out.reserve(results.size());
        for (const std::optional<CallResult>& r : results) out.push_back(r ? *r : CallResult::Failure(kTimeoutError));
        return out;
    }
};

}  // namespace

bool IsServerUnavailable(std::uint32_t error) {
    return error == 1722 || error == 1726 || error == 1753 || error == kTimeoutError;
}

void StartBulk(TerminalServices& services, Executor& executor, Dispatcher& dispatcher, const std::u16string& server,
               std::vector<std::uint32_t> ids, const BulkOptions& options, const CancelToken& token, BulkCall call,
               std::function<void(std::vector<CallResult>)> finished) {
    auto run = std::make_shared<BulkRun>();
    run->services = &services;
    run->serverName = server;
    run->ids = std::move(ids);
    run->openPerItem = options.openPerItem;
    run->call = std::move(call);
    run->finished = std::move(finished);
    run->results.resize(run->ids.size());
    const auto report = [run, token] {
        if (run->reported.exchange(true) || token.Cancelled()) return;
        if (run->finished) run->finished(run->Collect());
    };
    dispatcher.PostAfter(options.timeout, report);
    ForEachBounded(
        executor, run->ids.size(), options.parallel, token, [run](std::size_t i) { run->RunItem(i); },
        [run, &dispatcher, report] {
            {
                std::lock_guard<std::mutex> lock(run->mutex);
                run->shared.reset();  // the handle is closed on the worker
            }
            dispatcher.Post(report);
        });
}

std::vector<ServerItems> GroupByServer(const std::vector<std::pair<std::u16string, std::uint32_t>>& items) {
    std::vector<ServerItems> groups;
    for (const auto& [server, id] : items) {
        auto it = groups.begin();
        while (it != groups.end() && it->server != server) ++it;
        if (it == groups.end()) {
            groups.push_back({server, {id}});
        } else {
            it->ids.push_back(id);
        }
    }
    return groups;
}

std::vector<ServerItems> SessionTargets(const SessionListView& list, const std::vector<int>& rows) {
    std::vector<std::pair<std::u16string, std::uint32_t>> items;
    for (int row : rows)
        items.push_back({list.RowServer(row),
                         static_cast<std::uint32_t>(StrToIntLike(list.Rows().Text(static_cast<std::size_t>(row), 0)))});
    return GroupByServer(items);
}

void StartBulkByServer(TerminalServices& services, Executor& executor, Dispatcher& dispatcher,
                       std::vector<ServerItems> groups, const BulkOptions& options, const CancelToken& token,
                       BulkCall call, std::function<void(std::vector<ServerResults>)> finished) {
    // Touched on the window thread only: each server's report comes there.
    struct Gathered {
        std::vector<ServerResults> results;
        std::size_t left = 0;
        std::function<void(std::vector<ServerResults>)> finished;
    };
    auto gathered = std::make_shared<Gathered>();
    gathered->left = groups.size();
    gathered->finished = std::move(finished);
    for (ServerItems& g : groups) gathered->results.push_back({g.server, g.ids, {}});
    if (groups.empty()) {
        dispatcher.Post([gathered, token] {
            if (!token.Cancelled() && gathered->finished) gathered->finished({});
        });
        return;
    }
    for (std::size_t i = 0; i < groups.size(); ++i) {
        StartBulk(services, executor, dispatcher, groups[i].server, std::move(groups[i].ids), options, token, call,
                  [gathered, i](std::vector<CallResult> results) {
                      gathered->results[i].results = std::move(results);
                      if (--gathered->left == 0 && gathered->finished) gathered->finished(std::move(gathered->results));
                  });
    }
}

}  // namespace tarvenix
