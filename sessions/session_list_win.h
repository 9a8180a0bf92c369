// The session list of the main window: the list itself, the Get data button
// and the two counters, with ListedServer and ActiveCount; the farm view
// ("Все серверы": every server of the box's list in one list, with a server
// column), the find box that narrows the rows shown, and the automatic refresh.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/controls_win.h"
#include "base/report_list_win.h"
#include "base/services.h"
#include "base/settings_options.h"
#include "base/engine.h"
#include "base/window_win.h"
#include "sessions/live_farm.h"
#include "sessions/session_list.h"
#include "sessions/session_listing.h"
#include "sessions/session_columns.h"
#include "sessions/server_accounts.h"

namespace tarvenix {

enum SessionListId : int {
    kCmdGetData = command_ranges::kSessionList.first,
    kIdSessionList,
    kCmdCopyRows,         // "Копировать", Ctrl+C in the list
    kCmdExportRows,       // "Сохранить список...", Ctrl+S
    kIdRefreshChooser,    // "Обновлять каждые:" off, 15 s, 30 s, 60 s, 5 min
    kCmdAllServers,       // "Все серверы": the farm view on or off
    kIdFindBox,           // "Найти:" the rows whose user or client name contains the text
    kIdStatusLine,        // the line under the counters; a click shows the servers that failed
    kCmdServerFailures,   // "Серверы без ответа..." in the session menu
    kCmdRefreshList,      // F5: the listed server (or farm) again
    kCmdSignIn,           // "Войти как другой пользователь…" in the session menu
    kCmdForgetCredentials,  // "Забыть учётные данные…"
    // The header's menu: the columns the user can add.
    kCmdColumnClientBuild,
    kCmdColumnClientDisplay,
    kCmdColumnProtocol,
};
static_assert(FitsIn(command_ranges::kSessionList, kCmdColumnProtocol));

class SessionList final : public SessionListView, public CommandTarget {
public:
    // serverText: the server box's text at the moment of a Get data;
    // farmServers: the servers of the box's list, for the farm view.
    SessionList(const Services& services, TerminalServices& terminal, Activity& activity, OrderingState& ordering,
                std::function<std::u16string()> serverText, std::function<std::vector<std::u16string>()> farmServers);
    ~SessionList() override { CancelWork(); }

    // The list, inside its frame.
    void CreateList(HWND parent, const Fonts& fonts);
    // The Get data button and the counters, in the server strip.
    void CreateGetDataButton(HWND strip, const Fonts& fonts);
    void CreateCounters(HWND strip, const Fonts& fonts);
    // The automatic-refresh chooser, at the left end of the window's footer.
    void CreateRefreshChooser(HWND footer, const Fonts& fonts);
    HWND RefreshChooser() const { return refreshChooser_; }
    // "Все серверы", right of the counters.
    void CreateAllServersButton(HWND strip, const Fonts& fonts);
    HWND AllServersButton() const { return allServersButton_; }
    // "Найти:", the find box and the number of rows shown, in the footer
    // after the refresh chooser.
    void CreateFindBox(HWND footer, const Fonts& fonts);
    HWND FindBox() const { return findBox_; }
    HWND ShownLabel() const { return shownLabel_; }

    ReportList& List() { return list_; }
    const ReportList& List() const { return list_; }
    HWND GetDataButton() const { return getDataButton_; }
    HWND SessionCountCaption() const { return sessionCountCaption_; }
    HWND SessionCountLabel() const { return sessionCountLabel_; }
    HWND ActiveCountCaption() const { return activeCountCaption_; }
    HWND ActiveCountLabel() const { return activeCountLabel_; }
    HWND ProgressLabel() const { return progressLabel_; }

    // Get data: checks the box, empties the list, records ListedServer, and
    // starts listing the server's sessions on the engine; the rows and the
    // counters come when the run ends. A run still going is superseded.
    void GetData();
    // F5: Get data again for ListedServer, whatever the box holds now.
    void Refresh();
    // The automatic refresh: every so many seconds (0 off) the listed server
    // is listed again in the background, keeping the selection (on rows of
    // the same sessions: same server, ID, user and logon), the focus, the
    // order and the scroll position; a tick is skipped
    // while a run is going, and a failure goes to the line under the
    // counters, never to a box.
    void SetAutoRefresh(int seconds);
    int AutoRefreshSeconds() const { return refresh_.Seconds(); }
    // Live mode ("Следить за изменениями", the refresh chooser's last item):
    // the listed servers (one, or every server of the farm view) are watched
    // for session events; a server is listed again when its sessions change
    // and its rows are updated in place, keeping the selection, the focus,
    // the order, the scroll position and the find text. The idle times are
    // asked again now and then (no event tells them). A server that cannot be
    // watched is listed on a timer instead, and named on the line under the
    // counters. Turning it off stops every wait; the refresh period comes back.
    void SetLive(bool on);
    bool Live() const { return live_; }
    // The servers live mode lists on a timer instead, and why.
    std::vector<PolledServer> PolledServers() const;
    // Esc: the run going is cancelled; it writes nothing into the list.
    void Cancel();
    // The farm view: Get data (and F5) list every server of the box's list.
    // Turning it on or off lists at once in the new view.
    void SetAllServers(bool on);
    bool AllServers() const { return allServers_; }
    // Ctrl+F: the focus to the find box, its text selected. Esc there: the
    // text cleared (false when it was empty already).
    void FocusFind();
    bool ClearFind();
    // Servers reached under other accounts: a server that refuses the
    // account (access denied, a wrong password, a locked account) offers
    // "Войти как другой пользователь…" in its failure report, and the
    // session menu gets that item and "Забыть учётные данные…". Before
    // CreateList; without it none of this is offered.
    void UseAccounts(ServerAccounts& accounts) { accounts_ = &accounts; }
    // The credential prompt for `server` (error: the last try's, shown by the
    // prompt; suggested: the account to offer when the server has none),
    // then calls to it carry the account entered: false when the prompt was
    // cancelled (*cancelled set) or the logon failed (said in a box).
    bool SignIn(const std::u16string& server, std::uint32_t error, const std::u16string& suggested = {},
                bool* cancelled = nullptr);
    // A failure report of another feature about `server`: shown, offering
    // another account when the error is one another account may help with;
    // true when the user signed in (the feature then does its work again).
    bool ReportOfferingAccount(const std::u16string& report, const std::u16string& server, std::uint32_t error);
    // The account of the server the menu addresses dropped and its stored
    // entry removed, after a question.
    void ForgetCredentials();
    // The lines of the servers the last farm listing could not list (empty
    // when all answered), and the box that shows them.
    const std::vector<std::u16string>& ServerFailures() const { return failures_; }
    void ShowServerFailures();
    // "Копировать", "Сохранить список..." and "Серверы без ответа..." in the session menu.
    void AddMenuItems(HMENU sessionMenu);
    // The selected rows (every row when none is) on the clipboard: the
    // columns in their on-screen order, TAB between cells, a header line first.
    void CopyRows();
    // Every listed row to a CSV file the user picks: UTF-8 with its mark, the
    // user's list separator, written atomically. Throws AppError when the
    // file cannot be written.
    void ExportRows();
    bool Busy() const { return busy_; }
    // The background of a painted row: the highlight colour for selected or
    // focused rows.
    COLORREF RowBackground(int index) const;

    // The columns chosen in the header's menu (right-click on the list's
    // header): client build, display and protocol can be added after the
    // list's columns, and taken away again; the list's own cannot. Adding
    // one lists again, asking for the client's details.
    void SetColumnChosen(SessionField field, bool on);
    const std::vector<SessionField>& ChosenColumns() const { return chosen_; }
    // The chosen columns as settings.ini keeps them (1 build, 2 display, 4 protocol).
    int ChosenColumnBits() const;
    HMENU ColumnMenu() const { return columnMenu_.Get(); }
    // Shows the header's menu at a screen point (TrackPopupMenu; tests put another in).
    std::function<void(HMENU menu, POINT at)> trackColumnMenu;

    // Over every listed row, shown or not.
    std::int32_t ActiveCount() const { return activeCount_; }
    std::int32_t RowCount() const { return rowCount_; }
    // The servers of the farm listing (empty for one server).
    const std::vector<std::u16string>& ListedServers() const { return listedServers_; }

    // The rows shown, in display order, and which are selected.
    const ReportRows& Rows() const { return list_.Rows(); }
    std::vector<int> SelectedIndices() const { return list_.SelectedIndices(); }
    // The session a row shows.
    const Session& SessionAt(int index) const;

    // SessionListView
    std::vector<Session> SelectedSessions() const override;
    std::optional<Session> FirstSelectedSession() const override;
    std::vector<Session> ShownSessions() const override;
    const std::u16string& ListedServer() const override { return listedServer_; }
    bool FarmView() const override { return listedFarm_; }
    bool Filtered() const override { return !filter_.Empty(); }

    // CommandTarget
    CommandRange Commands() const override { return command_ranges::kSessionList; }
    void OnCommand(int id) override;
    // The refresh chooser's choice and the find box's every change are commands too.
    bool IsCommand(int id, int code, bool fromControl) const override;
    // Get data (again), F5, the view, the find box, the refresh chooser, the
    // failure line and copying the rows there are.
    bool AvailableWhileListing(int id) const override;
    // Ctrl+C in the list, Ctrl+S, F5 (anywhere in the window); Ctrl+F to the
    // find box; Esc clears the find box there, else cancels a Get data going.
    KeyAnswer TranslateKey(const MSG& msg) override;
    void CancelWork() override {
        if (listing_) listing_->Cancel();
        refresh_.Stop();
        // Every wait flushed and every handle closed; a server that no longer
        // answers is not waited for beyond a short while.
        if (liveFarm_) liveFarm_->Close(std::chrono::seconds(2));
    }

private:
    static int ColumnCommand(SessionField field);
    SessionListing& Listing();
    std::vector<ReportColumn> ListColumns(bool farm) const;
    // A foreground listing: the list and the counters emptied, the view's
    // columns, the wait cursor; one going is superseded.
    void StartListing(bool farm, std::vector<std::u16string> servers);
    // The end of a listing, in the foreground or the background.
    void OnListed(ListingResult result);
    // The chooser's items for a period (the usual ones, and this one).
    void FillRefreshChooser(int seconds);
    void RefreshInBackground();
    // Live mode: the servers listed now watched (or none).
    void WatchListed();
    LiveFarm& Watcher();
    void OnLiveListed(const std::u16string& server, InventoryOutcome outcome);
    void OnIdleAnswers(const std::u16string& server, std::vector<IdleAnswer> answers);
    // The line under the counters: `text`, then the servers live mode polls.
    void SetStatus(std::u16string text);
    // The listed sessions replaced by `listed`; the rows the find box lets
    // through go into the list. With keep, the selection and the focus stay
    // on rows of the same sessions (same identity), and the top row stays.
    void ShowSessions(ListedRows listed, bool keep);
    // The selected and focused rows, as identity keys of their sessions.
    struct Marks {
        std::vector<std::u16string> selected;  // sorted
        std::u16string focused;
    };
    Marks TakeMarks() const;
    // narrowing: the find text grew, so only rows shown now can stay;
    // ready: the rows to show, already picked by the find text in force;
    // taken: the marks to put back (else those of the rows shown now).
    void ApplyFilter(bool keepTop, bool narrowing = false, std::vector<ReportRows::Row>* ready = nullptr,
                     const Marks* taken = nullptr);
    void SetFailures(std::vector<std::u16string> failures, std::size_t servers);
    // A failed foreground listing of one server: the report, offering
    // another account when the server refused this one; then listed again
    // with the account entered.
    void ReportFailure(const ListingResult& result);
    // The server the session menu's account items address: the first
    // selected row's, else the listed one, else the box's.
    std::u16string AccountServer() const;
    // The lines the servers' account faults add to a report.
    std::u16string FaultLines(const std::vector<ListingResult::ServerError>& errors, bool named) const;
    void ShowCounters();
    void SetBusy(bool busy);

    Services services_;
    TerminalServices& terminal_;
    Activity& activity_;
    OwnedDialogs boxes_;
    std::function<std::u16string()> serverText_;
    ReportList list_;
    HWND getDataButton_ = nullptr;
    HWND sessionCountCaption_ = nullptr, sessionCountLabel_ = nullptr;
    HWND activeCountCaption_ = nullptr, activeCountLabel_ = nullptr;
    HWND progressLabel_ = nullptr;
    HWND refreshLabel_ = nullptr, refreshChooser_ = nullptr;
    HWND allServersButton_ = nullptr;
    HWND findLabel_ = nullptr, findBox_ = nullptr, shownLabel_ = nullptr;
    HMENU sessionMenu_ = nullptr;  // not owned
    std::function<std::vector<std::u16string>()> farmServers_;
    bool allServers_ = false;      // the view Get data lists in
    bool listedFarm_ = false;      // the list holds a farm listing
    std::vector<std::u16string> listedServers_;
    std::vector<Session> allSessions_;      // every listed session, shown or not, in listing order
    std::vector<ReportRows::Row> allRows_;  // their rows, in the same order
    SessionFilter filter_;                  // the find box's text
    std::vector<std::u16string> failures_;
    std::vector<ListingResult::ServerError> serverErrors_;  // of the last farm listing
    ServerAccounts* accounts_ = nullptr;
    RefreshChoices refreshChoices_;  // the chooser's items
    bool busy_ = false;  // a foreground listing is going (the wait cursor; row commands wait)
    std::unique_ptr<SessionListing> listing_;  // made at the first listing
    RefreshSchedule refresh_;
    bool live_ = false;
    std::unique_ptr<LiveFarm> liveFarm_;            // made when live mode is first on
    std::vector<std::u16string> liveDeferred_;      // changed while a Get data was going
    std::u16string status_;                         // the line under the counters, without the polled servers
    std::u16string listedServer_;  // ListedServer
    std::int32_t activeCount_ = 0;  // ActiveCount
    std::int32_t rowCount_ = 0;
    std::vector<SessionField> chosen_;  // in table order
    MenuHandle columnMenu_;
};

}  // namespace tarvenix
