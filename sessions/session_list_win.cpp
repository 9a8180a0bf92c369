#include "sessions/session_list_win.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "base/app_error.h"
#include "base/csv.h"
#include "base/files_win.h"
#include "base/table_text.h"
#include "base/platform_win.h"
#include "base/win_text.h"
#include "sessions/session_inventory.h"
#include "sessions/session_times.h"

namespace tarvenix {

namespace {

// Cells past the shown columns that hold the idle and logon times as numbers,
// for ordering by time rather than by text.
constexpr int kIdleKeyCell = 8;
constexpr int kLogonKeyCell = 9;

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

ReportColumn TimeColumn(std::u16string caption, int width, int keyCell) {
    ReportColumn column{std::move(caption), {width, 0, 0, false}, true, {}};
    column.compare = [keyCell](const ReportRows::Row& a, const ReportRows::Row& b, bool descending) {
        const auto key = [keyCell](const ReportRows::Row& r) {
            return static_cast<std::size_t>(keyCell) < r.size() ? ParseTimeKey(r[static_cast<std::size_t>(keyCell)])
                                                                : std::nullopt;
        };
        return static_cast<std::int32_t>(CompareTimes(key(a), key(b), descending));
    };
    return column;
}

std::vector<ReportColumn> SessionColumns() {
    return {
        {u"ID", {0, 30, 30, true}},
        {u"Учетная запись", {0, 150, 150, true}},
        {u"Имя компьютера", {0, 120, 120, true}},
        {u"IP адрес", {100, 100, 100, false}},
        {u"Состояние сессии", {0, 100, 120, true}},
        {u"Сессия", {95, 95, 95, false}},
        // After the six: how long idle, and when the user logged on.
        TimeColumn(u"Бездействие", 80, kIdleKeyCell),
        TimeColumn(u"Вход", 110, kLogonKeyCell),
    };
}

// The logon time in the user's local time and short date and time formats.
std::u16string LogonText(std::optional<std::int64_t> ticks) {
    if (!ticks) return {};
    FILETIME utc{static_cast<DWORD>(static_cast<std::uint64_t>(*ticks) & 0xFFFFFFFFu),
                 static_cast<DWORD>(static_cast<std::uint64_t>(*ticks) >> 32)};
    SYSTEMTIME utcTime{}, local{};
    if (!FileTimeToSystemTime(&utc, &utcTime) || !SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local)) return {};
    wchar_t date[80] = {}, time[80] = {};
    if (!GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 80, nullptr)) return {};
    if (!GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, time, 80)) return {};
    return U16(date) + u" " + U16(time);
}

}  // namespace

SessionList::SessionList(const Services& services, Activity& activity, OrderingState& ordering,
                         std::function<std::u16string()> serverText)
    : services_(services), activity_(activity), serverText_(std::move(serverText)), list_(ordering, SessionColumns()) {
    list_.rowBackground = [this](int index) { return RowBackground(index); };
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
    // Under the counters: how far a Get data has come.
    progressLabel_ = CreateLabel(strip, 424, 61, u"", fonts.normal());
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
    if (busy_ || background_ || listedServer_.empty()) return;
    run_ = CancelToken();
    background_ = true;
    const std::u16string server = listedServer_;
    InventoryOptions options;
    options.parallel = services_.parallelSessions;
    options.timeout = services_.serverTimeout;
    InventoryCallbacks callbacks;
    callbacks.finished = [this, server](InventoryOutcome outcome) { FinishBackground(server, std::move(outcome)); };
    StartInventory(*services_.terminal, *services_.executor, *services_.dispatcher, server, options, run_,
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
    // What the user had: the selected and focused sessions, the top row.
    HWND list = list_.Handle();
    std::vector<std::u16string> selected;
    for (int row : list_.SelectedIndices()) selected.push_back(list_.Rows().Text(static_cast<std::size_t>(row), 0));
    const int focusedRow = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    const std::u16string focused =
        focusedRow >= 0 ? list_.Rows().Text(static_cast<std::size_t>(focusedRow), 0) : std::u16string();
    const int top = ListView_GetTopIndex(list);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    list_.Clear();  // the ordering column stays: the new rows take the same order
    list_.AppendAll(MakeRows(outcome.inventory));
    activeCount_ = outcome.inventory.activeCount;
    rowCount_ = static_cast<std::int32_t>(list_.Rows().Size());
    for (std::size_t i = 0; i < list_.Rows().Size(); ++i) {
        const std::u16string& id = list_.Rows().Text(i, 0);
        UINT state = 0;
        if (std::find(selected.begin(), selected.end(), id) != selected.end()) state |= LVIS_SELECTED;
        if (!focused.empty() && id == focused) state |= LVIS_FOCUSED;
        if (state) ListView_SetItemState(list, static_cast<int>(i), state, LVIS_SELECTED | LVIS_FOCUSED);
    }
    const int count = ListView_GetItemCount(list);
    if (count > 0) {
        ListView_EnsureVisible(list, count - 1, FALSE);
        ListView_EnsureVisible(list, std::min(top, count - 1), FALSE);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    ShowCounters();
    SetLabelText(progressLabel_, u"");
}

void SessionList::OnCommand(int id) {
    if (id == kCmdGetData) GetData();
    if (id == kIdRefreshChooser) {
        const LRESULT index = SendMessageW(refreshChooser_, CB_GETCURSEL, 0, 0);
        if (index >= 0 && index < static_cast<LRESULT>(std::size(kRefreshChoices)))
            SetAutoRefresh(kRefreshChoices[index]);
    }
    if (id == kCmdCopyRows) CopyRows();
    if (id == kCmdExportRows) ExportRows();
}

void SessionList::AddMenuItems(HMENU sessionMenu) {
    AppendMenuW(sessionMenu, MF_STRING, kCmdCopyRows, L"Копировать\tCtrl+C");
    AppendMenuW(sessionMenu, MF_STRING, kCmdExportRows, L"Сохранить список...\tCtrl+S");
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
    const std::u16string server = serverText_();
    if (server.empty()) {
        boxes_.ShowMessage(u"Вы не указали сервер!");
        return;
    }
    Start(server);
}

void SessionList::Refresh() {
    if (!listedServer_.empty()) Start(listedServer_);
}

void SessionList::Start(const std::u16string& server) {
    run_.Cancel();  // a run still going never writes into the list
    background_ = false;
    run_ = CancelToken();
    list_.Clear();
    listedServer_ = server;
    activeCount_ = 0;
    rowCount_ = 0;
    list_.Ordering().sortedColumn = -1;
    SetBusy(true);
    SetLabelText(progressLabel_, u"Получение данных...");
    InventoryOptions options;
    options.parallel = services_.parallelSessions;
    options.timeout = services_.serverTimeout;
    InventoryCallbacks callbacks;
    callbacks.progress = [this](std::size_t done, std::size_t total) {
        if (busy_)
            SetLabelText(progressLabel_, u"Получено " + DecimalU32(static_cast<std::uint32_t>(done)) + u" из " +
                                             DecimalU32(static_cast<std::uint32_t>(total)));
    };
    callbacks.finished = [this, server](InventoryOutcome outcome) {
        RunReportingErrors(boxes_, [&] { Finish(server, std::move(outcome)); });
    };
    StartInventory(*services_.terminal, *services_.executor, *services_.dispatcher, server, options, run_,
                   std::move(callbacks));
}

std::vector<ReportRows::Row> SessionList::MakeRows(SessionInventory& inventory) {
    std::vector<ReportRows::Row> rows;
    rows.reserve(inventory.rows.size());
    for (SessionRow& row : inventory.rows) {
        std::u16string logon = LogonText(row.logonTicks);
        rows.push_back({std::move(row.id), std::move(row.user), std::move(row.clientName), std::move(row.address),
                        std::move(row.state), std::move(row.winStation), std::move(row.idle), std::move(logon),
                        TimeKey(row.idleTicks), TimeKey(row.logonTicks)});
    }
    return rows;
}

void SessionList::Cancel() {
    if (!busy_) return;
    run_.Cancel();
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
    list_.AppendAll(MakeRows(inventory));
    activeCount_ += inventory.activeCount;
    rowCount_ = static_cast<std::int32_t>(list_.Rows().Size());
    ShowCounters();
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

COLORREF SessionList::RowBackground(int index) const {
    const UINT state = ListView_GetItemState(list_.Handle(), index, LVIS_SELECTED | LVIS_FOCUSED);
    // $F0CAA6: blue F0, green CA, red A6.
    if (state & (LVIS_SELECTED | LVIS_FOCUSED)) return RGB(0xA6, 0xCA, 0xF0);
    return GetSysColor(COLOR_WINDOW);
}

}  // namespace tarvenix
