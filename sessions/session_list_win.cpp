#include "sessions/session_list_win.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "base/app_error.h"
#include "base/csv.h"
#include "base/files_win.h"
#include "base/table_text.h"
#include "base/platform_win.h"
#include "base/settings_options.h"
#include "base/text_fold.h"
#include "base/win_text.h"
#include "sessions/session_columns.h"
#include "sessions/session_queries.h"
#include "sessions/session_times.h"
#include "sessions/session_times_win.h"

namespace tarvenix {

namespace {

// A session's identity as one key, for keeping the selection across a
// refresh: server, ID, user, domain and logon time. A row keeps its
// selection only when all of them are the same (an ID the server gave to
// another logon is another session).
std::u16string IdentityKey(const Session& s) {
    std::u16string key = FoldCase(s.server);
    key += u'\n';
    key += DecimalU32(s.id);
    key += u'\n';
    key += FoldCase(s.user);
    key += u'\n';
    key += FoldCase(s.domain);
    key += u'\n';
    if (s.logonTicks) {
        const std::string digits = std::to_string(*s.logonTicks);
        key.append(digits.begin(), digits.end());
    }
    return key;
}

}  // namespace

SessionList::SessionList(const Services& services, TerminalServices& terminal, Activity& activity,
                         OrderingState& ordering, std::function<std::u16string()> serverText,
                         std::function<std::vector<std::u16string>()> farmServers)
    : services_(services),
      terminal_(terminal),
      activity_(activity),
      serverText_(std::move(serverText)),
      list_(ordering, {}),
      farmServers_(std::move(farmServers)),
      allServers_(services.allServers) {
    list_.SetColumns(ListColumns(false));
    list_.rowBackground = [this](int index) { return RowBackground(index); };
}

std::vector<ReportColumn> SessionList::ListColumns(bool farm) const {
    std::vector<ReportColumn> columns;
    for (SessionField field : ListedFields(farm)) {
        const SessionColumnSpec& spec = ColumnOf(field);
        ReportColumn column{spec.caption, spec.width, spec.added, {}, static_cast<int>(field)};
        // Ordered by the sessions' values, not by the texts shown.
        column.compare = [this, field](const ReportRows::Row& a, const ReportRows::Row& b, bool descending) {
            return CompareSessions(field, allSessions_[a.item], allSessions_[b.item], descending);
        };
        columns.push_back(std::move(column));
    }
    return columns;
}

ReportRows::Row SessionList::MakeRow(const Session& session, std::size_t item) {
    ReportRows::Row row;
    row.reserve(kSessionFieldCount);
    for (int field = 0; field < kSessionFieldCount; ++field)
        row.push_back(CellText(static_cast<SessionField>(field), session));
    row.item = item;
    return row;
}

const Session& SessionList::SessionAt(int index) const {
    return allSessions_[list_.Rows().At(static_cast<std::size_t>(index)).item];
}

std::vector<Session> SessionList::SelectedSessions() const {
    std::vector<Session> out;
    for (int index : list_.SelectedIndices()) out.push_back(SessionAt(index));
    return out;
}

std::optional<Session> SessionList::FirstSelectedSession() const {
    const int index = list_.FirstSelected();
    if (index < 0) return std::nullopt;
    return SessionAt(index);
}

std::vector<Session> SessionList::ShownSessions() const {
    std::vector<Session> out;
    out.reserve(list_.Rows().Size());
    for (std::size_t i = 0; i < list_.Rows().Size(); ++i) out.push_back(allSessions_[list_.Rows().At(i).item]);
    return out;
}

void SessionList::CreateList(HWND parent, const Fonts& fonts) {
    boxes_ = Boxes(services_.dialogs, ToRef(GetAncestor(parent, GA_ROOT)));
    list_.Create(parent, kIdSessionList, fonts.normal());
}

void SessionList::CreateGetDataButton(HWND strip, const Fonts& fonts) {
    getDataButton_ = CreateButton(strip, kCmdGetData, 289, 16, 105, 49, u"Получить данные", fonts.normal());
}

void SessionList::CreateCounters(HWND strip, const Fonts& fonts) {
    sessionCountCaption_ = CreateLabel(strip, 424, 24, u"Кол-во сессий сервера:  ", fonts.normal());
    sessionCountLabel_ = CreateLabel(strip, 554, 24, u"", fonts.bold());
    activeCountCaption_ = CreateLabel(strip, 424, 43, u"Из них активных сессий:", fonts.normal());
    activeCountLabel_ = CreateLabel(strip, 554, 43, u"", fonts.bold());
    // Under the counters: how far a Get data has come, and what went wrong.
    progressLabel_ = CreateLabel(strip, 424, 61, u"", fonts.normal(), kIdStatusLine);
}

void SessionList::CreateAllServersButton(HWND strip, const Fonts& fonts) {
    allServersButton_ = CreateChild(0, L"BUTTON", L"Все серверы", WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE,
                                    {612, 16, 95, 49}, strip, kCmdAllServers, fonts.normal());
    SendMessageW(allServersButton_, BM_SETCHECK, allServers_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void SessionList::CreateFindBox(HWND footer, const Fonts& fonts) {
    findLabel_ = CreateLabel(footer, 196, 7, u"Найти:", fonts.normal());
    findBox_ = CreateChild(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, {236, 3, 150, 21}, footer,
                           kIdFindBox, fonts.normal());
    shownLabel_ = CreateLabel(footer, 394, 7, u"", fonts.normal());
}

void SessionList::SetAllServers(bool on) {
    allServers_ = on;
    if (allServersButton_ &&
        (SendMessageW(allServersButton_, BM_GETCHECK, 0, 0) == BST_CHECKED) != on)
        SendMessageW(allServersButton_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    // Listed at once in the new view; one server needs a name in the box.
    if (on || !serverText_().empty()) GetData();
}

void SessionList::FocusFind() {
    if (!findBox_) return;
    SetFocus(findBox_);
    SendMessageW(findBox_, EM_SETSEL, 0, -1);
}

bool SessionList::ClearFind() {
    if (!findBox_ || GetWindowTextLengthW(findBox_) == 0) return false;
    SetWindowTextW(findBox_, L"");  // EN_CHANGE shows every row again
    return true;
}

void SessionList::ShowServerFailures() {
    if (failures_.empty()) return;
    std::u16string text = u"Не удалось получить список сессий серверов:";
    for (const std::u16string& line : failures_) text += u"\r\n" + line;
    boxes_.ShowMessage(text);
}

void SessionList::CreateRefreshChooser(HWND footer, const Fonts& fonts) {
    refreshLabel_ = CreateLabel(footer, 8, 7, u"Обновлять каждые:", fonts.normal());
    refreshChooser_ = CreateChild(0, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, {110, 3, 70, 150},
                                  footer, kIdRefreshChooser, fonts.normal());
    FillRefreshChooser(ClampRefreshSeconds(services_.refreshSeconds));
    SetAutoRefresh(services_.refreshSeconds);
}

void SessionList::FillRefreshChooser(int seconds) {
    refreshChoices_ = RefreshChoicesFor(seconds);
    if (!refreshChooser_) return;
    SendMessageW(refreshChooser_, CB_RESETCONTENT, 0, 0);
    for (const RefreshChoice& item : refreshChoices_.items)
        SendMessageW(refreshChooser_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wz(item.text)));
}

void SessionList::SetAutoRefresh(int seconds) {
    // A period remembered from settings.ini that is none of the usual ones
    // (45 s) is kept as it is, as an item of its own.
    seconds = ClampRefreshSeconds(seconds);
    const auto& items = refreshChoices_.items;
    if (std::none_of(items.begin(), items.end(), [seconds](const RefreshChoice& c) { return c.seconds == seconds; }))
        FillRefreshChooser(seconds);
    int index = 0;
    for (std::size_t i = 0; i < refreshChoices_.items.size(); ++i)
        if (refreshChoices_.items[i].seconds == seconds) index = static_cast<int>(i);
    refreshSeconds_ = seconds;
    if (refreshChooser_ && SendMessageW(refreshChooser_, CB_GETCURSEL, 0, 0) != index)
        SendMessageW(refreshChooser_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    refreshSchedule_.Cancel();
    refreshSchedule_ = CancelToken();
    ScheduleRefresh();
}

void SessionList::ScheduleRefresh() {
    if (refreshSeconds_ == 0 || !services_.dispatcher) return;
    const CancelToken schedule = refreshSchedule_;
    services_.dispatcher->PostAfter(services_.refreshSecond * refreshSeconds_, [this, schedule] {
        if (schedule.Cancelled()) return;
        RefreshInBackground();
        ScheduleRefresh();
    });
}

void SessionList::RefreshInBackground() {
    // A run is going, or nothing is listed: this tick is skipped.
    if (busy_ || background_ || (listedServer_.empty() && !listedFarm_)) return;
    run_ = CancelToken();
    background_ = true;
    if (listedFarm_) {
        FarmCallbacks callbacks = StagingCallbacks();
        callbacks.finished = [this](FarmOutcome) { FinishFarmBackground(); };
        StartFarmInventory(terminal_, *services_.executor, *services_.dispatcher, listedServers_,
                           FarmRunOptions(), run_, std::move(callbacks));
        return;
    }
    const std::u16string server = listedServer_;
    InventoryCallbacks callbacks;
    callbacks.finished = [this, server](InventoryOutcome outcome) { FinishBackground(server, std::move(outcome)); };
    StartInventory(terminal_, *services_.executor, *services_.dispatcher, server, InventoryRunOptions(), run_,
                   std::move(callbacks));
}

void SessionList::FinishBackground(const std::u16string& server, InventoryOutcome outcome) {
    background_ = false;
    if (outcome.timedOut || outcome.inventory.enumerationFailed) {
        // The rows stay as they were; the line under the counters says why.
        SetLabelText(progressLabel_,
                     outcome.timedOut
                         ? ServerTimeoutText(server, static_cast<std::uint32_t>(services_.serverTimeout.count()))
                         : u"Не удалось обновить список: " + SystemErrorLine(outcome.inventory.error, services_.Describer()));
        return;
    }
    ShowSessions(std::move(outcome.inventory.rows), true);
    SetLabelText(progressLabel_, u"");
}

FarmCallbacks SessionList::StagingCallbacks() {
    staged_.assign(listedServers_.size(), {});
    stagedFilter_ = filter_;
    FarmCallbacks callbacks;
    callbacks.serverFinished = [this](std::size_t index, ServerOutcome& server) { StageServer(index, server); };
    return callbacks;
}

void SessionList::StageServer(std::size_t index, ServerOutcome& server) {
    if (index >= staged_.size()) return;
    StagedServer& staged = staged_[index];
    staged.server = server.server;
    staged.failed = server.Failed();
    if (staged.failed)
        staged.failure = ServerFailureText(server, static_cast<std::uint32_t>(services_.serverTimeout.count()),
                                           services_.Describer());
    staged.sessions = std::move(server.outcome.inventory.rows);
    // The rows made now, numbered within the server (the place in the whole
    // list is added when the servers are put together).
    staged.rows.reserve(staged.sessions.size());
    for (std::size_t i = 0; i < staged.sessions.size(); ++i) staged.rows.push_back(MakeRow(staged.sessions[i], i));
    if (filter_ != stagedFilter_) return;  // the find text changed meanwhile: picked again at the end
    for (std::size_t i = 0; i < staged.rows.size(); ++i)
        if (Matches(staged.sessions[i])) staged.shown.push_back(staged.rows[i]);
}

void SessionList::TakeStaged(bool keepFailed, std::vector<Session>& sessions, std::vector<ReportRows::Row>& rows,
                             std::vector<ReportRows::Row>& shown, std::vector<std::u16string>& failures) {
    for (StagedServer& staged : staged_) {
        if (staged.failed) {
            failures.push_back(staged.failure);
            if (keepFailed) {
                // The sessions it had stay until it answers again.
                staged.sessions.clear();
                staged.rows.clear();
                staged.shown.clear();
                const std::u16string key = FoldCase(staged.server);
                for (const Session& session : allSessions_) {
                    if (FoldCase(session.server) != key) continue;
                    staged.rows.push_back(MakeRow(session, staged.sessions.size()));
                    if (Matches(session)) staged.shown.push_back(staged.rows.back());
                    staged.sessions.push_back(session);
                }
            }
        }
        const std::size_t offset = sessions.size();
        for (Session& session : staged.sessions) sessions.push_back(std::move(session));
        for (ReportRows::Row& row : staged.rows) {
            row.item += offset;
            rows.push_back(std::move(row));
        }
        for (ReportRows::Row& row : staged.shown) {
            row.item += offset;
            shown.push_back(std::move(row));
        }
    }
    staged_.clear();
}

void SessionList::FinishFarmBackground() {
    background_ = false;
    ShowStaged(true);
}

void SessionList::ShowStaged(bool refresh) {
    // The servers in list order, each server's rows in enumeration order; a
    // server that failed is named on the line under the counters, not in a
    // box (after a refresh it keeps the rows it had).
    std::vector<Session> sessions;
    std::vector<ReportRows::Row> rows, shown;
    std::vector<std::u16string> failures;
    const bool picked = stagedFilter_ == filter_;
    TakeStaged(refresh, sessions, rows, shown, failures);
    ShowSessions(std::move(sessions), refresh, std::move(rows), picked ? &shown : nullptr);
    SetFailures(std::move(failures), listedServers_.size());
}

void SessionList::ShowSessions(std::vector<Session> sessions, bool keep, std::vector<ReportRows::Row> rows,
                               std::vector<ReportRows::Row>* ready) {
    // What the user had, by the sessions' identities: taken before the
    // sessions behind the rows are replaced.
    const Marks marks = TakeMarks();
    allSessions_ = std::move(sessions);
    if (rows.size() != allSessions_.size()) {
        rows.clear();
        rows.reserve(allSessions_.size());
        for (std::size_t i = 0; i < allSessions_.size(); ++i) rows.push_back(MakeRow(allSessions_[i], i));
    }
    allRows_ = std::move(rows);
    activeCount_ = static_cast<std::int32_t>(
        std::count_if(allSessions_.begin(), allSessions_.end(), [](const Session& s) { return s.Active(); }));
    rowCount_ = static_cast<std::int32_t>(allSessions_.size());
    ShowCounters();
    ApplyFilter(keep, false, ready, &marks);
}

SessionList::Marks SessionList::TakeMarks() const {
    Marks marks;
    if (!list_.Handle()) return marks;
    for (int row : list_.SelectedIndices()) marks.selected.push_back(IdentityKey(SessionAt(row)));
    std::sort(marks.selected.begin(), marks.selected.end());
    const int focusedRow = ListView_GetNextItem(list_.Handle(), -1, LVNI_FOCUSED);
    if (focusedRow >= 0 && static_cast<std::size_t>(focusedRow) < list_.Rows().Size())
        marks.focused = IdentityKey(SessionAt(focusedRow));
    return marks;
}

void SessionList::ApplyFilter(bool keepTop, bool narrowing, std::vector<ReportRows::Row>* ready, const Marks* taken) {
    // What the user had: the selected and focused rows (by the identity of
    // their sessions), the top row.
    HWND list = list_.Handle();
    const Marks marks = taken ? *taken : TakeMarks();
    const int top = ListView_GetTopIndex(list);
    // Redrawing is held only while the scroll position is being put back
    // (switching it back on costs a full re-layout of the control).
    if (keepTop) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    if (narrowing) {
        // The text only grew: every row it lets through is shown already.
        list_.RemoveRows([&](const ReportRows::Row& row) { return !Matches(allSessions_[row.item]); });
    } else if (ready) {
        list_.ReplaceAll(std::move(*ready));
    } else {
        std::vector<ReportRows::Row> shown;
        for (const ReportRows::Row& row : allRows_)
            if (Matches(allSessions_[row.item])) shown.push_back(row);
        list_.ReplaceAll(std::move(shown));  // the ordering column stays: the rows take the same order
    }
    for (std::size_t i = 0; i < list_.Rows().Size(); ++i) {
        if (marks.selected.empty() && marks.focused.empty()) break;
        const std::u16string key = IdentityKey(allSessions_[list_.Rows().At(i).item]);
        UINT state = 0;
        if (std::binary_search(marks.selected.begin(), marks.selected.end(), key)) state |= LVIS_SELECTED;
        if (!marks.focused.empty() && key == marks.focused) state |= LVIS_FOCUSED;
        if (state) ListView_SetItemState(list, static_cast<int>(i), state, LVIS_SELECTED | LVIS_FOCUSED);
    }
    const int count = ListView_GetItemCount(list);
    if (keepTop) {
        if (count > 0) {
            ListView_EnsureVisible(list, count - 1, FALSE);
            ListView_EnsureVisible(list, std::min(top, count - 1), FALSE);
        }
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    }
    InvalidateRect(list, nullptr, TRUE);
    if (shownLabel_)
        SetLabelText(shownLabel_, filter_.empty() ? std::u16string()
                                                  : u"Показано: " + DecimalU32(static_cast<std::uint32_t>(count)) +
                                                        u" из " + DecimalU32(static_cast<std::uint32_t>(allSessions_.size())));
}

bool SessionList::Matches(const Session& session) const {
    return filter_.empty() || ContainsFolded(session.user, filter_) || ContainsFolded(session.clientName, filter_);
}

void SessionList::SetFailures(std::vector<std::u16string> failures, std::size_t servers) {
    failures_ = std::move(failures);
    if (sessionMenu_) EnableMenuItem(sessionMenu_, kCmdServerFailures, MF_BYCOMMAND | (failures_.empty() ? MF_GRAYED : MF_ENABLED));
    SetLabelText(progressLabel_, failures_.empty()
                                     ? std::u16string()
                                     : u"Не ответили: " + DecimalU32(static_cast<std::uint32_t>(failures_.size())) +
                                           u" из " + DecimalU32(static_cast<std::uint32_t>(servers)) + u" (подробнее)");
}

void SessionList::OnCommand(int id) {
    if (id == kCmdGetData) GetData();
    if (id == kIdRefreshChooser) {
        const LRESULT index = SendMessageW(refreshChooser_, CB_GETCURSEL, 0, 0);
        if (index >= 0 && index < static_cast<LRESULT>(refreshChoices_.items.size()))
            SetAutoRefresh(refreshChoices_.items[static_cast<std::size_t>(index)].seconds);
    }
    if (id == kCmdAllServers) SetAllServers(SendMessageW(allServersButton_, BM_GETCHECK, 0, 0) == BST_CHECKED);
    if (id == kIdFindBox) {
        std::u16string folded = FoldCase(GetText(findBox_));
        if (folded != filter_) {
            // Typing on narrows what is shown; anything else shows the rows anew.
            const bool narrowing = folded.find(filter_) != std::u16string::npos;
            filter_ = std::move(folded);
            ApplyFilter(false, narrowing);
        }
    }
    if (id == kIdStatusLine || id == kCmdServerFailures) ShowServerFailures();
    if (id == kCmdCopyRows) CopyRows();
    if (id == kCmdExportRows) ExportRows();
}

void SessionList::AddMenuItems(HMENU sessionMenu) {
    sessionMenu_ = sessionMenu;
    AppendMenuW(sessionMenu, MF_STRING, kCmdCopyRows, L"Копировать\tCtrl+C");
    AppendMenuW(sessionMenu, MF_STRING, kCmdExportRows, L"Сохранить список...\tCtrl+S");
    AppendMenuW(sessionMenu, MF_STRING | (failures_.empty() ? MF_GRAYED : 0), kCmdServerFailures,
                L"Серверы без ответа...");
}

void SessionList::CopyRows() {
    const std::u16string text =
        TabSeparatedText(list_.HeaderInScreenOrder(), list_.RowsInScreenOrder(list_.SelectedIndices()));
    if (!PutTextOnClipboard(ToHwnd(boxes_.Owner()), text)) boxes_.ShowMessage(u"Не удалось поместить список в буфер обмена.");
}

void SessionList::ExportRows() {
    Dialogs::OpenFileRequest request;
    request.title = u"Сохранить список";
    request.filter = u"CSV (разделители - точка с запятой) (*.csv)|*.csv";
    request.defaultExtension = u"csv";
    const std::optional<std::u16string> path = boxes_.SaveFile(request);
    if (!path) return;
    std::vector<std::vector<std::u16string>> rows = list_.RowsInScreenOrder({});
    rows.insert(rows.begin(), list_.HeaderInScreenOrder());
    // A file a spreadsheet opens: a client name like "=cmd|..." must not run.
    const std::string bytes = CsvFileForSpreadsheet(rows, ListSeparator());
    DWORD error = 0;
    WriteStep step = WriteStep::Create;
    if (!WriteFileAtomically(*path, bytes, &error, &step))
        throw AppError(step == WriteStep::Write ? UnableToWriteText(*path) : CannotCreateFileText(*path, error, services_.errors));
    SetLabelText(progressLabel_, u"Сохранено строк: " + DecimalU32(static_cast<std::uint32_t>(rows.size() - 1)));
}

void SessionList::GetData() {
    if (allServers_) {
        std::vector<std::u16string> servers = DistinctServers(farmServers_ ? farmServers_() : std::vector<std::u16string>());
        if (servers.empty()) {
            boxes_.ShowMessage(u"Список серверов пуст: добавьте серверы в список (Enter в поле сервера, TXT или LDAP).");
            return;
        }
        StartFarm(std::move(servers));
        return;
    }
    const std::u16string server = serverText_();
    if (server.empty()) {
        boxes_.ShowMessage(u"Вы не указали сервер!");
        return;
    }
    Start(server);
}

void SessionList::Refresh() {
    if (listedFarm_) {
        StartFarm(listedServers_);
    } else if (!listedServer_.empty()) {
        Start(listedServer_);
    }
}

void SessionList::BeginListing(bool farm) {
    run_.Cancel();  // a run still going never writes into the list
    background_ = false;
    run_ = CancelToken();
    if (farm != listedFarm_) list_.SetColumns(ListColumns(farm));
    listedFarm_ = farm;
    // The list and the counters are emptied together: a run that is
    // cancelled or fails leaves both empty.
    list_.Clear();
    allRows_.clear();
    allSessions_.clear();
    staged_.clear();
    activeCount_ = 0;
    rowCount_ = 0;
    ShowCounters();
    list_.Ordering().sortedColumn = -1;
    SetFailures({}, 0);
    SetBusy(true);
    if (shownLabel_) SetLabelText(shownLabel_, u"");
}

void SessionList::Start(const std::u16string& server) {
    BeginListing(false);
    listedServer_ = server;
    listedServers_.clear();
    SetLabelText(progressLabel_, u"Получение данных...");
    InventoryCallbacks callbacks;
    callbacks.progress = [this](std::size_t done, std::size_t total) {
        if (busy_)
            SetLabelText(progressLabel_, u"Получено " + DecimalU32(static_cast<std::uint32_t>(done)) + u" из " +
                                             DecimalU32(static_cast<std::uint32_t>(total)));
    };
    callbacks.finished = [this, server](InventoryOutcome outcome) {
        RunReportingErrors(boxes_, [&] { Finish(server, std::move(outcome)); });
    };
    StartInventory(terminal_, *services_.executor, *services_.dispatcher, server, InventoryRunOptions(), run_,
                   std::move(callbacks));
}

void SessionList::StartFarm(std::vector<std::u16string> servers) {
    BeginListing(true);
    listedServers_ = std::move(servers);
    FarmCallbacks callbacks = StagingCallbacks();
    callbacks.progress = [this](std::size_t done, std::size_t total) {
        if (busy_)
            SetLabelText(progressLabel_, u"Серверов " + DecimalU32(static_cast<std::uint32_t>(done)) + u" из " +
                                             DecimalU32(static_cast<std::uint32_t>(total)));
    };
    callbacks.finished = [this](FarmOutcome) { RunReportingErrors(boxes_, [&] { FinishFarm(); }); };
    StartFarmInventory(terminal_, *services_.executor, *services_.dispatcher, listedServers_,
                       FarmRunOptions(), run_, std::move(callbacks));
}

InventoryOptions SessionList::InventoryRunOptions() const {
    InventoryOptions options;
    options.parallel = services_.parallelSessions;
    options.timeout = services_.serverTimeout;
    options.formatLogon = LocalLogonText;
    return options;
}

FarmOptions SessionList::FarmRunOptions() const {
    // Each server is queried as a single Get data would query it; so many
    // servers at once together.
    FarmOptions options;
    options.parallelServers = services_.parallelServers;
    options.parallelSessionsPerServer = services_.parallelSessions;
    options.parallelSessions = services_.farmParallelSessions;
    options.timeout = services_.serverTimeout;
    options.formatLogon = LocalLogonText;
    return options;
}

void SessionList::Cancel() {
    if (!busy_) return;
    run_.Cancel();
    staged_.clear();
    SetBusy(false);
    SetLabelText(progressLabel_, u"Отменено.");
}

void SessionList::SetBusy(bool busy) {
    if (busy_ == busy) return;
    busy_ = busy;
    if (busy) {
        activity_.Begin();
    } else {
        activity_.End();
    }
}

void SessionList::ShowCounters() {
    SetLabelText(sessionCountLabel_, DecimalI32(rowCount_));
    SetLabelText(activeCountLabel_, DecimalI32(activeCount_));
}

void SessionList::Finish(const std::u16string& server, InventoryOutcome outcome) {
    SetBusy(false);
    SetLabelText(progressLabel_, u"");
    SessionInventory& inventory = outcome.inventory;
    const bool someRows = !inventory.rows.empty();
    ShowSessions(std::move(inventory.rows), false);
    if (outcome.timedOut) {
        // The sessions it answered for in time are listed; why the rest are not.
        boxes_.ShowMessage(ServerTimeoutText(server, static_cast<std::uint32_t>(services_.serverTimeout.count())) +
                           (someRows ? u" Показаны только сессии, о которых он успел ответить."
                                     : u" Список сессий не получен."));
    } else if (inventory.enumerationFailed) {
        // The list stays empty, but an unreachable or refusing server must not
        // look like a server without sessions.
        boxes_.ShowMessage(SystemErrorReport(u"Не удалось получить список сессий сервера " + server + u".",
                                             inventory.error, services_.Describer()));
    }
    SetFocus(list_.Handle());
}

void SessionList::FinishFarm() {
    SetBusy(false);
    ShowStaged(false);
    SetFocus(list_.Handle());
}

COLORREF SessionList::RowBackground(int index) const {
    const UINT state = ListView_GetItemState(list_.Handle(), index, LVIS_SELECTED | LVIS_FOCUSED);
    // $F0CAA6: blue F0, green CA, red A6.
    if (state & (LVIS_SELECTED | LVIS_FOCUSED)) return RGB(0xA6, 0xCA, 0xF0);
    return GetSysColor(COLOR_WINDOW);
}

}  // namespace tarvenix
