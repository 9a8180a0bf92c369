#include "sessions/server_listing_run.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace tarvenix {

namespace {

using Row = decltype(SessionInventory::rows)::value_type;

// One server's listing. The workers and the deadline race to end it; the one
// that moves `phase` on from Running ends it. `phase` and `rows` go together
// under `mutex`, so a session's row is either in the outcome or dropped by
// the worker that made it, never both and never lost in between.
struct Listing {
    enum class Phase { Running, Answered, TimedOut };

    CancelToken token;
    Executor* executor = nullptr;
    Executor* queries = nullptr;
    Dispatcher* dispatcher = nullptr;
    std::u16string name;
    std::size_t parallel = 16;
    std::function<std::u16string(std::int64_t ticks)> formatLogon;
    bool clientDetails = false;
    bool reportsProgress = false;

    // Window thread only.
    InventoryCallbacks callbacks;
    bool delivered = false;  // `finished` has run

    // Set by the worker that enumerated, before the query workers start;
    // `server` is released by the worker that ends the queries.
    std::unique_ptr<TerminalServer> server;
    std::vector<SessionRecord> sessions;

    std::mutex mutex;
    Phase phase = Phase::Running;
    std::vector<std::optional<Row>> rows;  // by enumeration index
    // Phase has left Running: no session query starts any more.
    std::atomic<bool> over{false};
    std::atomic<std::size_t> done{0};
    std::atomic<bool> progressPending{false};

    // Moves phase from Running to `to`; false when the listing had ended.
    bool End(Phase to) {
        if (phase != Phase::Running) return false;
        phase = to;
        over.store(true);
        return true;
    }
};

// Window thread: the one delivery of the run's end.
void Deliver(const std::shared_ptr<Listing>& listing, InventoryOutcome outcome) {
    if (listing->delivered || listing->token.Cancelled()) return;
    listing->delivered = true;
    auto finished = std::move(listing->callbacks.finished);
    listing->callbacks = {};  // what they hold goes now, whatever the calls still under way do
    if (finished) finished(std::move(outcome));
}

// Worker: the outcome made here goes to the window thread (or, cancelled, is
// dropped on a worker).
void PostOutcome(const std::shared_ptr<Listing>& listing, std::shared_ptr<InventoryOutcome> outcome) {
    if (listing->token.Cancelled()) return;
    PostResult<InventoryOutcome>(*listing->executor, *listing->dispatcher, listing->token, std::move(outcome),
                                 [listing](InventoryOutcome o) { Deliver(listing, std::move(o)); });
}

// Window thread: the time-out has passed since the start.
void Deadline(const std::shared_ptr<Listing>& listing) {
    if (listing->delivered || listing->token.Cancelled()) return;
    std::vector<std::optional<Row>> answered;
    {
        std::lock_guard<std::mutex> lock(listing->mutex);
        // Answered already: its outcome is on its way.
        if (!listing->End(Listing::Phase::TimedOut)) return;
        answered.swap(listing->rows);
    }
    InventoryOutcome outcome;
    outcome.timedOut = true;
    outcome.inventory = AssembleInventory(std::move(answered));
    Deliver(listing, std::move(outcome));
}

// Worker: one session's queries, unless the listing has ended.
void QuerySession(const std::shared_ptr<Listing>& listing, std::size_t index) {
    if (listing->over.load()) return;  // not started after the deadline
    std::optional<Row> row = QuerySessionRow(*listing->server, listing->name, listing->sessions[index]);
    if (row && row->logonTicks && listing->formatLogon) row->logonText = listing->formatLogon(*row->logonTicks);
    if (row && listing->clientDetails) QueryClientDetails(*listing->server, *row);
    {
        std::lock_guard<std::mutex> lock(listing->mutex);
        if (listing->phase != Listing::Phase::Running) return;  // too late: the row goes here
        listing->rows[index] = std::move(row);
    }
    listing->done.fetch_add(1);
    // One progress report in flight at a time: it reads the count when it
    // runs, so none is lost at the end.
    if (listing->reportsProgress && !listing->progressPending.exchange(true)) {
        const std::size_t total = listing->sessions.size();
        listing->dispatcher->Post([listing, total] {
            listing->progressPending.store(false);
            if (listing->delivered || listing->token.Cancelled()) return;
            if (listing->callbacks.progress) listing->callbacks.progress(listing->done.load(), total);
        });
    }
}

// Worker, once every session query that was started has returned.
void QueriesEnded(const std::shared_ptr<Listing>& listing) {
    listing->server.reset();  // closed here, on the worker
    std::vector<std::optional<Row>> rows;
    bool answered = false;
    {
        std::lock_guard<std::mutex> lock(listing->mutex);
        rows.swap(listing->rows);
        answered = listing->End(Listing::Phase::Answered);
    }
    if (!answered || listing->token.Cancelled()) return;  // the rows go here
    auto outcome = std::make_shared<InventoryOutcome>();
    outcome->inventory = AssembleInventory(std::move(rows));
    PostOutcome(listing, std::move(outcome));
}

// Worker: open and enumerate, then query the sessions from here (starting
// the workers can take a while, and the window thread must not wait for it).
void OpenAndEnumerate(const std::shared_ptr<Listing>& listing, TerminalServices& services) {
    if (listing->token.Cancelled()) return;
    std::unique_ptr<TerminalServer> server = services.Open(listing->name);
    std::vector<SessionRecord> sessions;
    const CallResult result = server->EnumerateSessions(sessions);
    if (!result.ok) {
        server.reset();
        {
            std::lock_guard<std::mutex> lock(listing->mutex);
            if (!listing->End(Listing::Phase::Answered)) return;
        }
        auto outcome = std::make_shared<InventoryOutcome>();
        outcome->inventory.enumerationFailed = true;
        outcome->inventory.error = result.error;
        PostOutcome(listing, std::move(outcome));
        return;
    }
    {
        std::lock_guard<std::mutex> lock(listing->mutex);
        if (listing->phase != Listing::Phase::Running || listing->token.Cancelled()) return;  // dropped here
        listing->rows.resize(sessions.size());
    }
    const std::size_t total = sessions.size();
    listing->server = std::move(server);
    listing->sessions = std::move(sessions);
    if (listing->reportsProgress) {
        listing->dispatcher->Post([listing, total] {
            if (listing->delivered || listing->token.Cancelled()) return;
            if (listing->callbacks.progress) listing->callbacks.progress(0, total);
        });
    }
    ForEachBounded(
        *listing->queries, total, listing->parallel, listing->token,
        [listing](std::size_t i) { QuerySession(listing, i); }, [listing] { QueriesEnded(listing); });
}

}  // namespace

void StartInventory(TerminalServices& services, Executor& executor, Dispatcher& dispatcher,
                    const std::u16string& server, const InventoryOptions& options, const CancelToken& token,
                    InventoryCallbacks callbacks) {
    auto listing = std::make_shared<Listing>();
    listing->token = token;
    listing->executor = &executor;
    listing->queries = options.queryExecutor ? options.queryExecutor : &executor;
    listing->dispatcher = &dispatcher;
    listing->name = server;
    listing->parallel = options.parallel;
    listing->formatLogon = options.formatLogon;
    listing->clientDetails = options.clientDetails;
    listing->reportsProgress = static_cast<bool>(callbacks.progress);
    listing->callbacks = std::move(callbacks);
    // The deadline comes first: the listing's time counts from here.
    dispatcher.PostAfter(options.timeout, [listing] { Deadline(listing); });
    executor.Submit([listing, &services] { OpenAndEnumerate(listing, services); });
}

}  // namespace tarvenix
