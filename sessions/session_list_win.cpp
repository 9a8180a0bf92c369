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
      allServers_(services.allServers),
      refresh_(services.dispatcher, services.refreshSecond, [this] { RefreshInBackground(); }) {
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
    ButtonRef(allServersButton_).SetChecked(allServers_);
}

void SessionList::CreateFindBox(HWND footer, const Fonts& fonts) {
    findLabel_ = CreateLabel(footer, 196, 7, u"Найти:", fonts.normal());
    findBox_ = CreateChild(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, {236, 3, 150, 21}, footer,
                           kIdFindBox, fonts.normal());
    shownLabel_ = CreateLabel(footer, 394, 7, u"", fonts.normal());
}

void SessionList::SetAllServers(bool on) {
    allServers_ = on;
    ButtonRef(allServersButton_).SetChecked(on);
    // Listed at once in the new view; one server needs a name in the box.
    if (on || !serverText_().empty()) GetData();
}

void SessionList::FocusFind() {
    if (!findBox_) return;
    SetFocus(findBox_);
    EditRef(findBox_).SelectAll();
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
    const ComboBoxRef chooser(refreshChooser_);
    chooser.Clear();
    for (const RefreshChoice& item : refreshChoices_.items) chooser.Add(item.text);
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
    const ComboBoxRef chooser(refreshChooser_);
    if (chooser.Selected() != index) chooser.Select(index);
    refresh_.Set(seconds);
}

void SessionList::RefreshInBackground() {
    // A listing is going, or nothing is listed: this tick is skipped.
    if ((listing_ && listing_->Going()) || (listedServer_.empty() && !listedFarm_)) return;
    Listing().Start(ListingMode::Background, listedFarm_,
                    listedFarm_ ? listedServers_ : std::vector<std::u16string>{listedServer_}, filter_, allSessions_);
}

void SessionList::ShowSessions(ListedRows listed, bool keep) {
    // What the user had, by the sessions' identities: taken before the
    // sessions behind the rows are replaced.
    const Marks marks = TakeMarks();
    allSessions_ = std::move(listed.sessions);
    allRows_ = std::move(listed.rows);
    if (allRows_.size() != allSessions_.size()) {
        allRows_.clear();
        listed.shown.reset();
        for (std::size_t i = 0; i < allSessions_.size(); ++i) allRows_.push_back(MakeSessionRow(allSessions_[i], i));
    }
    activeCount_ = static_cast<std::int32_t>(
        std::count_if(allSessions_.begin(), allSessions_.end(), [](const Session& s) { return s.Active(); }));
    rowCount_ = static_cast<std::int32_t>(allSessions_.size());
    ShowCounters();
    ApplyFilter(keep, false, listed.shown ? &*listed.shown : nullptr, &marks);
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
    std::optional<RedrawHold> hold;
    hold.emplace(list, keepTop);
    if (narrowing) {
        // The text only grew: every row it lets through is shown already.
        list_.RemoveRows([&](const ReportRows::Row& row) { return !filter_.Matches(allSessions_[row.item]); });
    } else if (ready) {
        list_.ReplaceAll(std::move(*ready));
    } else {
        std::vector<ReportRows::Row> shown;
        for (const ReportRows::Row& row : allRows_)
            if (filter_.Matches(allSessions_[row.item])) shown.push_back(row);
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
    }
    hold.reset();
    InvalidateRect(list, nullptr, TRUE);
    if (shownLabel_)
        SetLabelText(shownLabel_, ShownText(!filter_.Empty(), static_cast<std::size_t>(count), allSessions_.size()));
}

void SessionList::SetFailures(std::vector<std::u16string> failures, std::size_t servers) {
    failures_ = std::move(failures);
    if (sessionMenu_) EnableMenuItem(sessionMenu_, kCmdServerFailures, MF_BYCOMMAND | (failures_.empty() ? MF_GRAYED : MF_ENABLED));
    SetLabelText(progressLabel_, FailureLineText(failures_.size(), servers));
}

bool SessionList::IsCommand(int id, int code, bool fromControl) const {
    if (fromControl && id == kIdRefreshChooser) return code == CBN_SELCHANGE;
    if (fromControl && id == kIdFindBox) return code == EN_CHANGE;
    return CommandTarget::IsCommand(id, code, fromControl);
}

bool SessionList::AvailableWhileListing(int id) const {
    switch (id) {
        case kCmdGetData:
        case kCmdRefreshList:
        case kCmdAllServers:
        case kCmdCopyRows:
        case kIdFindBox:
        case kIdRefreshChooser:
        case kIdStatusLine:
            return true;
        default:
            return false;
    }
}

KeyAnswer SessionList::TranslateKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN) return {};
    const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) && !(GetKeyState(VK_MENU) & 0x8000);
    if (ctrl && msg.wParam == 'F') {
        FocusFind();
        return {KeyAnswer::Used};
    }
    if (ctrl && msg.wParam == 'C' && msg.hwnd == list_.Handle()) return {KeyAnswer::Used, kCmdCopyRows};
    if (ctrl && msg.wParam == 'S') return {KeyAnswer::Used, kCmdExportRows};
    if (msg.wParam == VK_F5) return {KeyAnswer::Used, kCmdRefreshList};
    if (msg.wParam == VK_ESCAPE && msg.hwnd == findBox_ && ClearFind()) return {KeyAnswer::Used};
    if (msg.wParam == VK_ESCAPE && busy_) {
        Cancel();
        return {KeyAnswer::Used};
    }
    return {};
}

void SessionList::OnCommand(int id) {
    if (id == kCmdGetData) GetData();
    if (id == kCmdRefreshList) Refresh();
    if (id == kIdRefreshChooser) {
        const int index = ComboBoxRef(refreshChooser_).Selected();
        if (index >= 0 && static_cast<std::size_t>(index) < refreshChoices_.items.size())
            SetAutoRefresh(refreshChoices_.items[static_cast<std::size_t>(index)].seconds);
    }
    if (id == kCmdAllServers) SetAllServers(ButtonRef(allServersButton_).Checked());
    if (id == kIdFindBox) {
        const SessionFilter::Change change = filter_.Set(GetText(findBox_));
        if (change.changed) ApplyFilter(false, change.narrowing);
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
        StartListing(true, std::move(servers));
        return;
    }
    const std::u16string server = serverText_();
    if (server.empty()) {
        boxes_.ShowMessage(u"Вы не указали сервер!");
        return;
    }
    StartListing(false, {server});
}

void SessionList::Refresh() {
    if (listedFarm_) {
        StartListing(true, listedServers_);
    } else if (!listedServer_.empty()) {
        StartListing(false, {listedServer_});
    }
}

SessionListing& SessionList::Listing() {
    if (!listing_) {
        ListingSettings settings;
        settings.parallelSessions = services_.parallelSessions;
        settings.parallelServers = services_.parallelServers;
        settings.farmParallelSessions = services_.farmParallelSessions;
        settings.timeout = services_.serverTimeout;
        settings.formatLogon = LocalLogonText;
        settings.describe = services_.Describer();
        listing_ = std::make_unique<SessionListing>(terminal_, *services_.executor, *services_.dispatcher,
                                                    std::move(settings));
        listing_->progress = [this](const std::u16string& text) {
            if (busy_) SetLabelText(progressLabel_, text);
        };
        listing_->finished = [this](ListingResult result) { OnListed(std::move(result)); };
    }
    return *listing_;
}

void SessionList::StartListing(bool farm, std::vector<std::u16string> servers) {
    if (farm != listedFarm_) list_.SetColumns(ListColumns(farm));
    listedFarm_ = farm;
    if (farm) {
        listedServers_ = servers;
    } else {
        listedServer_ = servers.front();
        listedServers_.clear();
    }
    // The list and the counters are emptied together: a run that is
    // cancelled or fails leaves both empty.
    list_.Clear();
    allRows_.clear();
    allSessions_.clear();
    activeCount_ = 0;
    rowCount_ = 0;
    ShowCounters();
    list_.Ordering().sortedColumn = -1;
    SetFailures({}, 0);
    SetBusy(true);
    if (shownLabel_) SetLabelText(shownLabel_, u"");
    // A listing still going never writes into the list.
    Listing().Start(ListingMode::Foreground, farm, std::move(servers), filter_);
}

void SessionList::Cancel() {
    if (!busy_) return;
    if (listing_) listing_->Cancel();
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

void SessionList::OnListed(ListingResult result) {
    const bool foreground = result.mode == ListingMode::Foreground;
    RunReportingErrors(boxes_, [&] {
        if (foreground) SetBusy(false);
        if (!result.farm) SetLabelText(progressLabel_, result.statusLine);
        if (result.replace) ShowSessions(std::move(result.listed), !foreground);
        // A failed server of the farm is named on the line under the
        // counters, never in a box.
        if (result.farm) SetFailures(std::move(result.failures), listedServers_.size());
        if (!result.message.empty()) boxes_.ShowMessage(result.message);
        if (foreground) SetFocus(list_.Handle());
    });
}

COLORREF SessionList::RowBackground(int index) const {
    const UINT state = ListView_GetItemState(list_.Handle(), index, LVIS_SELECTED | LVIS_FOCUSED);
    // $F0CAA6: blue F0, green CA, red A6.
    if (state & (LVIS_SELECTED | LVIS_FOCUSED)) return RGB(0xA6, 0xCA, 0xF0);
    return GetSysColor(COLOR_WINDOW);
}

}  // namespace tarvenix
