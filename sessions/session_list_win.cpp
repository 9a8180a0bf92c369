// The session list: the list and its rows, the counters, the selection kept
// by the sessions' identities and the find filter applied. Its commands and
// keys are in session_list_commands_win.cpp, its listings (Get data, the farm
// view, the automatic refresh) in session_list_listing_win.cpp.
#include "sessions/session_list_win.h"

#include <commctrl.h>

#include <algorithm>

#include "base/app_error.h"
#include "base/platform_win.h"
#include "base/text_fold.h"
#include "base/win_text.h"
#include "sessions/session_columns.h"
#include "sessions/session_queries.h"
#include "sessions/session_times.h"

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
    // The columns chosen last time.
    if (services.clientColumns & 1) chosen_.push_back(SessionField::ClientBuild);
    if (services.clientColumns & 2) chosen_.push_back(SessionField::ClientDisplay);
    if (services.clientColumns & 4) chosen_.push_back(SessionField::Protocol);
    list_.SetColumns(ListColumns(false));
    list_.rowBackground = [this](int index) { return RowBackground(index); };
    list_.onHeaderContextMenu = [this](POINT at) {
        // The list's own columns show checked and greyed: they cannot be hidden.
        for (SessionField field : ChoosableFields()) {
            const bool on = std::find(chosen_.begin(), chosen_.end(), field) != chosen_.end();
            CheckMenuItem(columnMenu_.Get(), ColumnCommand(field), MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
        }
        if (trackColumnMenu) trackColumnMenu(columnMenu_.Get(), at);
    };
    trackColumnMenu = [this](HMENU menu, POINT at) {
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, ToHwnd(boxes_.Owner()), nullptr);
    };
    columnMenu_.Reset(CreatePopupMenu());
    for (SessionField field : ListedFields(true)) {
        AppendMenuW(columnMenu_.Get(), MF_STRING | MF_CHECKED | MF_GRAYED, 0,
                    reinterpret_cast<const wchar_t*>(ColumnOf(field).caption));
    }
    AppendMenuW(columnMenu_.Get(), MF_SEPARATOR, 0, nullptr);
    for (SessionField field : ChoosableFields())
        AppendMenuW(columnMenu_.Get(), MF_STRING, static_cast<UINT_PTR>(ColumnCommand(field)),
                    reinterpret_cast<const wchar_t*>(ColumnOf(field).caption));
}

int SessionList::ChosenColumnBits() const {
    int bits = 0;
    for (SessionField field : chosen_)
        bits |= field == SessionField::ClientBuild ? 1 : field == SessionField::ClientDisplay ? 2 : 4;
    return bits;
}

int SessionList::ColumnCommand(SessionField field) {
    switch (field) {
        case SessionField::ClientBuild: return kCmdColumnClientBuild;
        case SessionField::ClientDisplay: return kCmdColumnClientDisplay;
        default: return kCmdColumnProtocol;
    }
}

void SessionList::SetColumnChosen(SessionField field, bool on) {
    if (ColumnOf(field).listed != ListedIn::Chosen) return;  // the list's own stay
    const auto at = std::find(chosen_.begin(), chosen_.end(), field);
    if (on == (at != chosen_.end())) return;
    if (on) {
        chosen_.push_back(field);
        std::sort(chosen_.begin(), chosen_.end());
    } else {
        chosen_.erase(at);
    }
    list_.SetColumns(ListColumns(listedFarm_));
    // The rows listed so far lack the client's details: listed again.
    if (on && (listedFarm_ || !listedServer_.empty()) && !busy_) Refresh();
}

std::vector<ReportColumn> SessionList::ListColumns(bool farm) const {
    std::vector<ReportColumn> columns;
    for (SessionField field : ListedFields(farm, chosen_)) {
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
    boxes_ = OwnedDialogs(services_.dialogs, ToRef(GetAncestor(parent, GA_ROOT)));
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

void SessionList::ShowSessions(ListedRows listed, bool keep) {
    // What the user had, by the sessions' identities: taken before the
    // sessions behind the rows are replaced.
    const Marks marks = TakeMarks();
    allSessions_ = std::move(listed.sessions);
    allRows_ = std::move(listed.rows);  // made with the sessions (session_listing.h)
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

COLORREF SessionList::RowBackground(int index) const {
    const UINT state = ListView_GetItemState(list_.Handle(), index, LVIS_SELECTED | LVIS_FOCUSED);
    // $F0CAA6: blue F0, green CA, red A6.
    if (state & (LVIS_SELECTED | LVIS_FOCUSED)) return RGB(0xA6, 0xCA, 0xF0);
    return GetSysColor(COLOR_WINDOW);
}

}  // namespace tarvenix
