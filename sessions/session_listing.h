// The session list's listing, without the window: what is listed (one server
// or every server of the farm), how (in the foreground: Get data and F5, the
// list emptied at the start; or in the background: the automatic refresh,
// the rows staying usable), the rows each answer makes, and what the list
// shows at the end. One run at a time: a new one supersedes the one going,
// which then delivers nothing. Beside it the find filter and the schedule of
// the automatic refresh. Portable: the window is a thin view over these.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/engine.h"
#include "base/error_text.h"
#include "base/list_ordering.h"
#include "sessions/farm_listing_run.h"
#include "sessions/server_listing_run.h"
#include "sessions/session.h"

namespace tarvenix {

class TerminalServices;

// The find box's text, folded (Latin and Cyrillic case): a session is shown
// when its user or client name contains it.
class SessionFilter {
public:
    struct Change {
        bool changed = false;
        bool narrowing = false;  // the text only grew: no row hidden now comes back
    };
    Change Set(const std::u16string& text);
    bool Matches(const Session& session) const;
    bool Empty() const { return folded_.empty(); }
    const std::u16string& Folded() const { return folded_; }

private:
    std::u16string folded_;
};

// The row of a session: every field's text (see session_columns.h), and
// `item`, the session's place in the listed sessions.
ReportRows::Row MakeSessionRow(const Session& session, std::size_t item);

// The sessions of a list, each with its row, and the rows a filter lets
// through (in the same order), made together.
struct ListedRows {
    std::vector<Session> sessions;
    std::vector<ReportRows::Row> rows;
    // Picked by the filter in force when they were made; nothing when it
    // changed meanwhile (then they are picked again when shown).
    std::optional<std::vector<ReportRows::Row>> shown;
};

// The rows of `sessions` (numbered from 0), and those the filter lets through.
ListedRows MakeListedRows(std::vector<Session> sessions, const SessionFilter& filter);

// The listed sessions with one server's replaced by `fresh`: the servers in
// the order given (the farm's list order), each server's sessions in the
// order they were listed; a server not in the order keeps its place at the end.
std::vector<Session> ReplaceServerSessions(std::vector<Session> all, const std::u16string& server,
                                           std::vector<Session> fresh, const std::vector<std::u16string>& order);

enum class ListingMode {
    Foreground,  // Get data, F5, the view switched: the list is emptied first
    Background,  // the automatic refresh: the rows stay until the answer
};

struct ListingSettings {
    std::size_t parallelSessions = 16;        // one server's sessions queried at once
    std::size_t parallelServers = 8;          // the farm's servers opened at once
    std::size_t farmParallelSessions = 128;   // the farm's session queries at once
    std::chrono::milliseconds timeout{15000};  // each server's whole listing
    std::function<std::u16string(std::int64_t ticks)> formatLogon;
    DescribeError describe;
    // Whether a run asks for the client's details (a chosen column shows them).
    std::function<bool()> clientDetails;
};

// What the list shows at the end of a run.
struct ListingResult {
    ListingMode mode = ListingMode::Foreground;
    bool farm = false;
    // Replace the list's sessions with `listed` (false: a background listing
    // of one server failed, and the rows stay as they were).
    bool replace = true;
    ListedRows listed;
    // The farm: each server that failed, "TS01: <why>", in list order.
    std::vector<std::u16string> failures;
    // One server: the box to show (a foreground listing that failed or ran
    // out of time), or the line under the counters (a background one).
    std::u16string message;
    std::u16string statusLine;
    // Each server whose listing failed with a system error (not a time-out),
    // in list order: what the window may offer another account for.
    struct ServerError {
        std::u16string server;
        std::uint32_t error = 0;
    };
    std::vector<ServerError> serverErrors;
};

class SessionListing {
public:
    SessionListing(TerminalServices& terminal, Executor& executor, Dispatcher& dispatcher, ListingSettings settings);
    ~SessionListing() { Cancel(); }
    SessionListing(const SessionListing&) = delete;
    SessionListing& operator=(const SessionListing&) = delete;

    // The text under the counters while a foreground listing goes
    // ("Получение данных...", "Получено 3 из 10", "Серверов 2 из 7").
    std::function<void(const std::u16string&)> progress;
    // The end of a run (not of one cancelled or superseded).
    std::function<void(ListingResult)> finished;

    // Lists one server, or (farm) every server given, in the order given.
    // `filter` picks the rows shown as the answers come (it must outlive the
    // run); `had`: the sessions the list holds now, which a farm server that
    // fails in the background keeps.
    void Start(ListingMode mode, bool farm, std::vector<std::u16string> servers, const SessionFilter& filter,
               std::vector<Session> had = {});
    void Cancel();
    bool Going() const { return going_; }
    bool Foreground() const { return going_ && mode_ == ListingMode::Foreground; }

private:
    struct StagedServer {
        std::u16string server;
        bool failed = false;
        std::u16string failure;
        std::uint32_t error = 0;  // the enumeration's error; 0 for a time-out
        ListedRows rows;
    };
    void StartServer(const std::u16string& server);
    void StartFarm();
    void FinishServer(const std::u16string& server, InventoryOutcome outcome);
    void StageServer(std::size_t index, ServerOutcome& server);
    void FinishFarm();

    TerminalServices& terminal_;
    Executor& executor_;
    Dispatcher& dispatcher_;
    ListingSettings settings_;
    CancelToken run_;
    bool going_ = false;
    ListingMode mode_ = ListingMode::Foreground;
    std::vector<std::u16string> servers_;
    const SessionFilter* filter_ = nullptr;
    std::u16string stagedFilter_;  // the filter's text the staged rows were picked by
    bool filterChanged_ = false;   // some were picked by another text
    std::vector<Session> had_;
    std::vector<StagedServer> staged_;  // the farm listing, by list position
};

// The automatic refresh: a tick every so many seconds (0: none). A new
// period cancels the pending tick and counts from now. `second` is how long
// one of its seconds lasts (shorter in tests).
class RefreshSchedule {
public:
    RefreshSchedule(Dispatcher* dispatcher, std::chrono::milliseconds second, std::function<void()> tick)
        : dispatcher_(dispatcher), second_(second), tick_(std::move(tick)) {}
    ~RefreshSchedule() { pending_.Cancel(); }
    RefreshSchedule(const RefreshSchedule&) = delete;
    RefreshSchedule& operator=(const RefreshSchedule&) = delete;

    void Set(int seconds);
    int Seconds() const { return seconds_; }
    void Stop() { pending_.Cancel(); }

private:
    void Schedule();

    Dispatcher* dispatcher_;
    std::chrono::milliseconds second_;
    std::function<void()> tick_;
    int seconds_ = 0;
    CancelToken pending_;
};

// "Не ответили: 2 из 20 (подробнее)", empty when every server answered.
std::u16string FailureLineText(std::size_t failed, std::size_t servers);
// "Показано: 5 из 12" while a filter is in force, else empty.
std::u16string ShownText(bool filtered, std::size_t shown, std::size_t listed);

}  // namespace tarvenix
