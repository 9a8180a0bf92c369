#include "sessions/session_list_win.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "base/app_error.h"
#include "base/csv.h"
#include "base/files_win.h"
#include "base/table_text.h"
#include "base/platform_win.h"
#include "base/text_fold.h"
#include "base/win_text.h"
#include "sessions/session_inventory.h"
#include "sessions/session_times.h"
#include "sessions/session_times_win.h"

namespace tarvenix {

namespace {

// Cells past the shown columns that hold the idle and logon times as numbers,
// for ordering by time rather than by text.
constexpr int kIdleKeyCell = 8;
constexpr int kLogonKeyCell = 9;
// The server a row lives on (shown as "Сервер" in the farm view).
constexpr int kServerCell = 10;
constexpr int kIdleCell = 6;
constexpr int kLogonCell = 7;

std::u16string TimeKey(std::optional<std::int64_t> ticks) {
    if (!ticks) return {};
    const std::string digits = std::to_string(*ticks);
    return std::u16string(digits.begin(), digits.end());
}

std::optional<std::int64_t> ParseTimeKey(const std::u16string& key) {
    if (key.empty()) return std::nullopt;
    std::int64_t value = 0;
    bool negative = false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (i == 0 && key[i] == u'-') {
            negative = true;
            continue;
        }
        value = value * 10 + (key[i] - u'0');
    }
    return negative ? -value : value;
}

ReportColumn TimeColumn(std::u16string caption, int width, int cell, int keyCell) {
    ReportColumn column{std::move(caption), {width, 0, 0, false}, true, {}, cell};
    column.compare = [keyCell](const ReportRows::Row& a, const ReportRows::Row& b, bool descending) {
        const auto key = [keyCell](const ReportRows::Row& r) {
            return static_cast<std::size_t>(keyCell) < r.size() ? ParseTimeKey(r[static_cast<std::size_t>(keyCell)])
                                                                : std::nullopt;
        };
        return static_cast<std::int32_t>(CompareTimes(key(a), key(b), descending));
    };
    return column;
}

std::vector<ReportColumn> SessionColumns(bool farm) {
    std::vector<ReportColumn> columns = {
        {u"ID", {0, 30, 30, true}},
        {u"Учетная запись", {0, 150, 150, true}},
        {u"Имя компьютера", {0, 120, 120, true}},
        {u"IP адрес", {100, 100, 100, false}},
        {u"Состояние сессии", {0, 100, 120, true}},
        {u"Сессия", {95, 95, 95, false}},
    };
    // After the six: the server in the farm view, how long idle, and when
    // the user logged on.
    if (farm) columns.push_back({u"Сервер", {110, 0, 0, false}, true, {}, kServerCell});
    columns.push_back(TimeColumn(u"Бездействие", 80, kIdleCell, kIdleKeyCell));
    columns.push_back(TimeColumn(u"Вход", 110, kLogonCell, kLogonKeyCell));
    return columns;
}

// The key of a row for keeping its selection: its server and session ID.
std::u16string RowKey(const ReportRows::Row& row) {
    static const std::u16string kEmpty;
    const std::u16string& server = row.size() > kServerCell ? row[kServerCell] : kEmpty;
    return server + u'\n' + (row.empty() ? kEmpty : row[0]);
}


}  // namespace

SessionList::SessionList(const Services& services, Activity& activity, OrderingState& ordering,
                         std::function<std::u16string()> serverText,
                         std::function<std::vector<std::u16string>()> farmServers)
    : services_(services),
      activity_(activity),
      serverText_(std::move(serverText)),
      list_(ordering, SessionColumns(false)),
      farmServers_(std::move(farmServers)),
      allServers_(services.allServers) {
    list_.rowBackground = [this](int index) { return RowBackground(index); };
}

const std::u16string& SessionList::RowServer(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= list_.Rows().Size()) return listedServer_;
    return list_.Rows().Text(static_cast<std::size_t>(index), kServerCell);
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

namespace {

constexpr int kRefreshChoices[] = {0, 15, 30, 60, 300};
const char16_t* const kRefreshTexts[] = {u"выкл.", u"15 с", u"30 с", u"60 с", u"5 мин"};

}  // namespace

void SessionList::CreateRefreshChooser(HWND footer, const Fonts& fonts) {
    refreshLabel_ = CreateLabel(footer, 8, 7, u"Обновлять каждые:", fonts.normal());
    refreshChooser_ = CreateChild(0, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, {110, 3, 70, 150},
                                  footer, kIdRefreshChooser, fonts.normal());
    for (const char16_t* text : kRefreshTexts)
        SendMessageW(refreshChooser_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(reinterpret_cast<const wchar_t*>(text)));
    SetAutoRefresh(services_.refreshSeconds);
}

void SessionList::SetAutoRefresh(int seconds) {
    int index = 0;
    for (int i = 0; i < static_cast<int>(std::size(kRefreshChoices)); ++i)
        if (kRefreshChoices[i] == seconds) index = i;
    refreshSeconds_ = kRefreshChoices[index];
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
        StartFarmInventory(*services_.terminal, *services_.executor, *services_.dispatcher, listedServers_,
                           FarmRunOptions(), run_, std::move(callbacks));
        return;
    }
    const std::u16string server = listedServer_;
    InventoryCallbacks callbacks;
    callbacks.finished = [this, server](InventoryOutcome outcome) { FinishBackground(server, std::move(outcome)); };
    StartInventory(*services_.terminal, *services_.executor, *services_.dispatcher, server, InventoryRunOptions(), run_,
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
    const std::int32_t active = outcome.inventory.activeCount;
    ShowRows(MakeRows(outcome.inventory, server), active, true);
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
    staged.rows = MakeRows(server.outcome.inventory, server.server);
    if (filter_ != stagedFilter_) return;  // the find text changed meanwhile: picked again at the end
    for (const ReportRows::Row& row : staged.rows)
        if (Matches(row)) staged.shown.push_back(row);
}

void SessionList::TakeStaged(bool keepFailed, std::vector<ReportRows::Row>& rows, std::vector<ReportRows::Row>& shown,
                             std::vector<std::u16string>& failures) {
    std::size_t total = 0;
    for (const StagedServer& staged : staged_) total += staged.rows.size();
    rows.reserve(total);
    for (StagedServer& staged : staged_) {
        if (staged.failed) {
            failures.push_back(staged.failure);
            if (keepFailed) {
                // The rows it had stay until it answers again.
                for (const ReportRows::Row& row : allRows_) {
                    if (row[kServerCell] != staged.server) continue;
                    staged.rows.push_back(row);
                    if (Matches(row)) staged.shown.push_back(row);
                }
            }
        }
        for (ReportRows::Row& row : staged.rows) rows.push_back(std::move(row));
        for (ReportRows::Row& row : staged.shown) shown.push_back(std::move(row));
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
    std::vector<ReportRows::Row> rows, shown;
    std::vector<std::u16string> failures;
    const bool picked = stagedFilter_ == filter_;
    TakeStaged(refresh, rows, shown, failures);
    const auto active = std::count_if(rows.begin(), rows.end(),
                                      [](const ReportRows::Row& row) { return row[kColState] == u"Active"; });
    ShowRows(std::move(rows), static_cast<std::int32_t>(active), refresh, picked ? &shown : nullptr);
    SetFailures(std::move(failures), listedServers_.size());
}

void SessionList::ShowRows(std::vector<ReportRows::Row> rows, std::int32_t active, bool keep,
                           std::vector<ReportRows::Row>* ready) {
    allRows_ = std::move(rows);
    activeCount_ = active;
    rowCount_ = static_cast<std::int32_t>(allRows_.size());
    ShowCounters();
    ApplyFilter(keep, false, ready);
}

void SessionList::ApplyFilter(bool keepTop, bool narrowing, std::vector<ReportRows::Row>* ready) {
    // What the user had: the selected and focused rows (by server and
    // session ID), the top row.
    HWND list = list_.Handle();
    std::vector<std::u16string> selected;
    for (int row : list_.SelectedIndices()) selected.push_back(RowKey(list_.Rows().At(static_cast<std::size_t>(row))));
    std::sort(selected.begin(), selected.end());
    const int focusedRow = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    const std::u16string focused =
        focusedRow >= 0 && static_cast<std::size_t>(focusedRow) < list_.Rows().Size()
            ? RowKey(list_.Rows().At(static_cast<std::size_t>(focusedRow)))
            : std::u16string();
    const int top = ListView_GetTopIndex(list);
    // Redrawing is held only while the scroll position is being put back
    // (switching it back on costs a full re-layout of the control).
    if (keepTop) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    if (narrowing) {
        // The text only grew: every row it lets through is shown already.
        list_.RemoveRows([&](const ReportRows::Row& row) { return !Matches(row); });
    } else if (ready) {
        list_.ReplaceAll(std::move(*ready));
    } else {
        std::vector<ReportRows::Row> shown;
        for (const ReportRows::Row& row : allRows_)
            if (Matches(row)) shown.push_back(row);
        list_.ReplaceAll(std::move(shown));  // the ordering column stays: the rows take the same order
    }
    for (std::size_t i = 0; i < list_.Rows().Size(); ++i) {
        if (selected.empty() && focused.empty()) break;
        const std::u16string key = RowKey(list_.Rows().At(i));
        UINT state = 0;
        if (std::binary_search(selected.begin(), selected.end(), key)) state |= LVIS_SELECTED;
        if (!focused.empty() && key == focused) state |= LVIS_FOCUSED;
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
                                                        u" из " + DecimalU32(static_cast<std::uint32_t>(allRows_.size())));
}

bool SessionList::Matches(const ReportRows::Row& row) const {
    return filter_.empty() || ContainsFolded(row[kColUser], filter_) || ContainsFolded(row[kColClientName], filter_);
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
        if (index >= 0 && index < static_cast<LRESULT>(std::size(kRefreshChoices)))
            SetAutoRefresh(kRefreshChoices[index]);
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
    const std::string bytes = CsvFile(rows, ListSeparator());
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
    if (farm != listedFarm_) list_.SetColumns(SessionColumns(farm));
    listedFarm_ = farm;
    list_.Clear();
    allRows_.clear();
    staged_.clear();
    activeCount_ = 0;
    rowCount_ = 0;
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
    StartInventory(*services_.terminal, *services_.executor, *services_.dispatcher, server, InventoryRunOptions(), run_,
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
    StartFarmInventory(*services_.terminal, *services_.executor, *services_.dispatcher, listedServers_,
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
    options.parallelSessions = services_.parallelSessions * services_.parallelServers;
    options.timeout = services_.serverTimeout;
    options.formatLogon = LocalLogonText;
    return options;
}

std::vector<ReportRows::Row> SessionList::MakeRows(SessionInventory& inventory, const std::u16string& server) {
    std::vector<ReportRows::Row> rows;
    rows.reserve(inventory.rows.size());
    for (SessionRow& row : inventory.rows) {
        rows.push_back({std::move(row.id), std::move(row.user), std::move(row.clientName), std::move(row.address),
                        std::move(row.state), std::move(row.winStation), std::move(row.idle), std::move(row.logon),
                        TimeKey(row.idleTicks), TimeKey(row.logonTicks), server});
    }
    return rows;
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
    const std::int32_t active = inventory.activeCount;
    ShowRows(MakeRows(inventory, server), active, false);
    if (outcome.timedOut) {
        // As after a failed enumeration: an empty list, and why.
        boxes_.ShowMessage(ServerTimeoutText(server, static_cast<std::uint32_t>(services_.serverTimeout.count())) +
                           u" Список сессий не получен.");
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
