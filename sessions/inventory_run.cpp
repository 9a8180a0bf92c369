#include "sessions/inventory_run.h"

#include <atomic>
#include <memory>
#include <vector>

namespace tarvenix {

namespace {

// What open + enumerate gives: the open server (shared by the query workers)
// and its sessions, or the enumeration's error.
struct Enumerated {
    std::shared_ptr<TerminalServer> server;
    std::vector<SessionRecord> sessions;
    CallResult result;
};

struct QueryRun {
    std::shared_ptr<TerminalServer> server;
    std::vector<SessionRecord> sessions;
    std::vector<std::optional<SessionRow>> rows;
    std::atomic<std::size_t> done{0};
    std::atomic<bool> progressPending{false};
};

}  // namespace

void StartInventory(TerminalServices& services, Executor& executor, Dispatcher& dispatcher,
                    const std::u16string& server, const InventoryOptions& options, const CancelToken& token,
                    InventoryCallbacks callbacks) {
    auto shared = std::make_shared<InventoryCallbacks>(std::move(callbacks));
    std::function<Enumerated()> work = [&services, server] {
        Enumerated e;
        e.server = services.Open(server);
        e.result = e.server->EnumerateSessions(e.sessions);
        if (!e.result.ok) e.server.reset();
        return e;
    };
    const std::size_t parallel = options.parallel;
    Executor& queries = options.queryExecutor ? *options.queryExecutor : executor;
    auto formatLogon = options.formatLogon;
    std::function<void(Enumerated)> enumerated = [&executor, &queries, &dispatcher, token, shared, parallel,
                                                  formatLogon](Enumerated e) {
        if (!e.result.ok) {
            InventoryOutcome outcome;
            outcome.inventory.enumerationFailed = true;
            outcome.inventory.error = e.result.error;
            if (shared->finished) shared->finished(std::move(outcome));
            return;
        }
        auto run = std::make_shared<QueryRun>();
        run->server = std::move(e.server);
        run->sessions = std::move(e.sessions);
        run->rows.resize(run->sessions.size());
        const std::size_t total = run->sessions.size();
        if (shared->progress) shared->progress(0, total);
        // The workers are started from a worker: starting threads can take a
        // while, and the window thread must not wait for it.
        executor.Submit([&queries, &dispatcher, token, shared, parallel, formatLogon, run, total] {
            ForEachBounded(
                queries, total, parallel, token,
                [run, &dispatcher, token, shared, total](std::size_t i) {
                    run->rows[i] = QuerySessionRow(*run->server, run->sessions[i]);
                    run->done.fetch_add(1);
                    // One progress report in flight at a time: it reads the count
                    // when it runs, so none is lost at the end.
                    if (shared->progress && !run->progressPending.exchange(true)) {
                        dispatcher.Post([run, token, shared, total] {
                            run->progressPending.store(false);
                            if (!token.Cancelled()) shared->progress(run->done.load(), total);
                        });
                    }
                },
                [run, &dispatcher, token, shared, formatLogon] {
                    run->server.reset();  // closed on the worker, before the rows go
                    if (token.Cancelled()) return;
                    auto outcome = std::make_shared<InventoryOutcome>();
                    outcome->inventory = AssembleInventory(std::move(run->rows));
                    if (formatLogon)
                        for (SessionRow& row : outcome->inventory.rows)
                            if (row.logonTicks) row.logon = formatLogon(*row.logonTicks);
                    dispatcher.Post([token, shared, outcome] {
                        if (!token.Cancelled() && shared->finished) shared->finished(std::move(*outcome));
                    });
                });
        });
    };
    std::function<void()> timedOut = [shared] {
        InventoryOutcome outcome;
        outcome.timedOut = true;
        if (shared->finished) shared->finished(std::move(outcome));
    };
    RunAsync<Enumerated>(executor, dispatcher, token, options.timeout, std::move(work), std::move(enumerated),
                         std::move(timedOut));
}

}  // namespace tarvenix
