#include "sessions/session_listing.h"

#include <algorithm>

#include "base/text.h"
#include "base/text_fold.h"
#include "sessions/session_columns.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

namespace {

std::u16string Count(std::size_t n) { return DecimalU32(static_cast<std::uint32_t>(n)); }

}  // namespace

ListedRows MakeListedRows(std::vector<Session> sessions, const SessionFilter& filter) {
    ListedRows listed;
    listed.sessions = std::move(sessions);
    listed.rows.reserve(listed.sessions.size());
    listed.shown.emplace();
    for (std::size_t i = 0; i < listed.sessions.size(); ++i) {
        listed.rows.push_back(MakeSessionRow(listed.sessions[i], i));
        if (filter.Matches(listed.sessions[i])) listed.shown->push_back(listed.rows.back());
    }
    return listed;
}

std::vector<Session> ReplaceServerSessions(std::vector<Session> all, const std::u16string& server,
                                           std::vector<Session> fresh, const std::vector<std::u16string>& order) {
    const std::u16string target = FoldCase(server);
    std::vector<std::u16string> keys;
    for (const std::u16string& name : order) keys.push_back(FoldCase(name));
    if (std::find(keys.begin(), keys.end(), target) == keys.end()) keys.push_back(target);
    // Each session's place: its server's place in the order (the rest after).
    std::vector<std::vector<Session>> blocks(keys.size() + 1);
    for (Session& session : all) {
        const std::u16string key = FoldCase(session.server);
        if (key == target) continue;
        const auto at = std::find(keys.begin(), keys.end(), key);
        blocks[static_cast<std::size_t>(at - keys.begin())].push_back(std::move(session));
    }
    blocks[static_cast<std::size_t>(std::find(keys.begin(), keys.end(), target) - keys.begin())] = std::move(fresh);
    std::vector<Session> out;
    for (std::vector<Session>& block : blocks)
        for (Session& session : block) out.push_back(std::move(session));
    return out;
}

// --- SessionFilter ---

SessionFilter::Change SessionFilter::Set(const std::u16string& text) {
    std::u16string folded = FoldCase(text);
    if (folded == folded_) return {};
    // Typing on narrows what is shown; anything else shows the rows anew.
    const bool narrowing = folded.find(folded_) != std::u16string::npos;
    folded_ = std::move(folded);
    return {true, narrowing};
}

bool SessionFilter::Matches(const Session& session) const {
    return folded_.empty() || ContainsFolded(session.user, folded_) || ContainsFolded(session.clientName, folded_);
}

ReportRows::Row MakeSessionRow(const Session& session, std::size_t item) {
    ReportRows::Row row;
    row.reserve(kSessionFieldCount);
    for (int field = 0; field < kSessionFieldCount; ++field)
        row.push_back(CellText(static_cast<SessionField>(field), session));
    row.item = item;
    return row;
}

// --- SessionListing ---

SessionListing::SessionListing(TerminalServices& terminal, Executor& executor, Dispatcher& dispatcher,
                               ListingSettings settings)
    : terminal_(terminal), executor_(executor), dispatcher_(dispatcher), settings_(std::move(settings)) {}

void SessionListing::Cancel() {
    run_.Cancel();  // a run going never delivers
    going_ = false;
    staged_.clear();
    had_.clear();
}

void SessionListing::Start(ListingMode mode, bool farm, std::vector<std::u16string> servers,
                           const SessionFilter& filter, std::vector<Session> had) {
    Cancel();
    run_ = CancelToken();
    going_ = true;
    mode_ = mode;
    servers_ = std::move(servers);
    filter_ = &filter;
    had_ = std::move(had);
    if (farm) {
        StartFarm();
    } else if (!servers_.empty()) {
        StartServer(servers_.front());
    } else {
        going_ = false;
    }
}

void SessionListing::StartServer(const std::u16string& server) {
    InventoryOptions options;
    options.parallel = settings_.parallelSessions;
    options.timeout = settings_.timeout;
    options.formatLogon = settings_.formatLogon;
    options.clientDetails = settings_.clientDetails && settings_.clientDetails();
    InventoryCallbacks callbacks;
    if (mode_ == ListingMode::Foreground) {
        if (progress) progress(u"Получение данных...");
        callbacks.progress = [this](std::size_t done, std::size_t total) {
            if (progress) progress(u"Получено " + Count(done) + u" из " + Count(total));
        };
    }
    callbacks.finished = [this, server](InventoryOutcome outcome) { FinishServer(server, std::move(outcome)); };
    StartInventory(terminal_, executor_, dispatcher_, server, options, run_, std::move(callbacks));
}

void SessionListing::FinishServer(const std::u16string& server, InventoryOutcome outcome) {
    going_ = false;
    ListingResult result;
    result.mode = mode_;
    const SessionInventory& inventory = outcome.inventory;
    const bool failed = outcome.timedOut || inventory.enumerationFailed;
    const auto timeoutText = [&] {
        return ServerTimeoutText(server, static_cast<std::uint32_t>(settings_.timeout.count()));
    };
    if (inventory.enumerationFailed && !outcome.timedOut) result.serverErrors.push_back({server, inventory.error});
    if (mode_ == ListingMode::Background) {
        if (failed) {
            // The rows stay as they were; the line under the counters says why.
            result.replace = false;
            result.statusLine = outcome.timedOut ? timeoutText()
                                                 : u"Не удалось обновить список: " +
                                                       SystemErrorLine(inventory.error, settings_.describe);
        }
    } else if (outcome.timedOut) {
        // The sessions it answered for in time are listed; why the rest are not.
        result.message = timeoutText() + (inventory.rows.empty() ? u" Список сессий не получен."
                                                                 : u" Показаны только сессии, о которых он успел ответить.");
    } else if (inventory.enumerationFailed) {
        // The list stays empty, but an unreachable or refusing server must not
        // look like a server without sessions.
        result.message = SystemErrorReport(u"Не удалось получить список сессий сервера " + server + u".",
                                           inventory.error, settings_.describe);
    }
    if (result.replace) result.listed = MakeListedRows(std::move(outcome.inventory.rows), *filter_);
    if (finished) finished(std::move(result));
}

void SessionListing::StartFarm() {
    staged_.assign(servers_.size(), {});
    stagedFilter_ = filter_->Folded();
    filterChanged_ = false;
    FarmOptions options;
    // Each server is queried as a single Get data would query it; so many
    // servers at once together.
    options.parallelServers = settings_.parallelServers;
    options.parallelSessionsPerServer = settings_.parallelSessions;
    options.parallelSessions = settings_.farmParallelSessions;
    options.timeout = settings_.timeout;
    options.formatLogon = settings_.formatLogon;
    options.clientDetails = settings_.clientDetails && settings_.clientDetails();
    FarmCallbacks callbacks;
    if (mode_ == ListingMode::Foreground)
        callbacks.progress = [this](std::size_t done, std::size_t total) {
            if (progress) progress(u"Серверов " + Count(done) + u" из " + Count(total));
        };
    callbacks.serverFinished = [this](std::size_t index, ServerOutcome& server) { StageServer(index, server); };
    callbacks.finished = [this](FarmOutcome) { FinishFarm(); };
    StartFarmInventory(terminal_, executor_, dispatcher_, servers_, options, run_, std::move(callbacks));
}

void SessionListing::StageServer(std::size_t index, ServerOutcome& server) {
    // A server has ended: its rows made now (numbered within the server; the
    // place in the whole list is added when the servers are put together),
    // and those the find text lets through picked, rather than all at the end.
    if (index >= staged_.size()) return;
    StagedServer& staged = staged_[index];
    staged.server = server.server;
    staged.failed = server.Failed();
    if (server.outcome.inventory.enumerationFailed && !server.outcome.timedOut)
        staged.error = server.outcome.inventory.error;
    if (staged.failed)
        staged.failure =
            ServerFailureText(server, static_cast<std::uint32_t>(settings_.timeout.count()), settings_.describe);
    staged.rows = MakeListedRows(std::move(server.outcome.inventory.rows), *filter_);
    // Picked by another text than the others: all are picked again at the end.
    if (filter_->Folded() != stagedFilter_) filterChanged_ = true;
}

void SessionListing::FinishFarm() {
    // The servers in list order, each server's rows in enumeration order; a
    // server that failed gives its failure line (not a box) and, after a
    // background listing, keeps the sessions it had instead of whatever it
    // gave before its time ran out, until it answers again.
    going_ = false;
    ListingResult result;
    result.mode = mode_;
    result.farm = true;
    const bool picked = !filterChanged_ && stagedFilter_ == filter_->Folded();
    ListedRows& all = result.listed;
    if (picked) all.shown.emplace();
    for (StagedServer& staged : staged_) {
        if (staged.failed) {
            result.failures.push_back(staged.failure);
            if (staged.error != 0) result.serverErrors.push_back({staged.server, staged.error});
            if (mode_ == ListingMode::Background) {
                std::vector<Session> kept;
                const std::u16string key = FoldCase(staged.server);
                for (const Session& session : had_)
                    if (FoldCase(session.server) == key) kept.push_back(session);
                staged.rows = MakeListedRows(std::move(kept), *filter_);
            }
        }
        const std::size_t offset = all.sessions.size();
        for (Session& session : staged.rows.sessions) all.sessions.push_back(std::move(session));
        for (ReportRows::Row& row : staged.rows.rows) {
            row.item += offset;
            all.rows.push_back(std::move(row));
        }
        if (!picked) continue;
        for (ReportRows::Row& row : *staged.rows.shown) {
            row.item += offset;
            all.shown->push_back(std::move(row));
        }
    }
    staged_.clear();
    had_.clear();
    if (finished) finished(std::move(result));
}

// --- RefreshSchedule ---

void RefreshSchedule::Set(int seconds) {
    seconds_ = seconds;
    pending_.Cancel();
    pending_ = CancelToken();
    Schedule();
}

void RefreshSchedule::Schedule() {
    if (seconds_ <= 0 || !dispatcher_) return;
    const CancelToken pending = pending_;
    dispatcher_->PostAfter(second_ * seconds_, [this, pending] {
        if (pending.Cancelled()) return;
        if (tick_) tick_();
        if (!pending.Cancelled()) Schedule();
    });
}

// --- Texts ---

std::u16string FailureLineText(std::size_t failed, std::size_t servers) {
    if (failed == 0) return {};
    return u"Не ответили: " + Count(failed) + u" из " + Count(servers) + u" (подробнее)";
}

std::u16string ShownText(bool filtered, std::size_t shown, std::size_t listed) {
    if (!filtered) return {};
    return u"Показано: " + Count(shown) + u" из " + Count(listed);
}

}  // namespace tarvenix
