// The session list's commands, menu items and keys: copy, save, the find box,
// the servers that failed.
#include "sessions/session_list_win.h"

#include <commctrl.h>

#include <algorithm>

#include "base/app_error.h"
#include "base/csv.h"
#include "base/files_win.h"
#include "base/platform_win.h"
#include "base/table_text.h"
#include "base/text_fold.h"
#include "base/win_text.h"

namespace tarvenix {

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
        if (index >= 0 && static_cast<std::size_t>(index) < refreshChoices_.items.size()) {
            const int seconds = refreshChoices_.items[static_cast<std::size_t>(index)].seconds;
            SetLive(seconds == kLiveChoice);
            if (seconds != kLiveChoice) SetAutoRefresh(seconds);
        }
    }
    if (id == kCmdAllServers) SetAllServers(ButtonRef(allServersButton_).Checked());
    if (id == kIdFindBox) {
        const SessionFilter::Change change = filter_.Set(GetText(findBox_));
        if (change.changed) ApplyFilter(false, change.narrowing);
    }
    if (id == kIdStatusLine || id == kCmdServerFailures) ShowServerFailures();
    if (id == kCmdColumnClientBuild || id == kCmdColumnClientDisplay || id == kCmdColumnProtocol) {
        const SessionField field = id == kCmdColumnClientBuild     ? SessionField::ClientBuild
                                   : id == kCmdColumnClientDisplay ? SessionField::ClientDisplay
                                                                   : SessionField::Protocol;
        SetColumnChosen(field, std::find(chosen_.begin(), chosen_.end(), field) == chosen_.end());
    }
    if (id == kCmdCopyRows) CopyRows();
    if (id == kCmdExportRows) ExportRows();
    if (id == kCmdSignIn) {
        const std::u16string server = AccountServer();
        if (server.empty()) {
            boxes_.ShowMessage(u"Вы не указали сервер!");
        } else if (SignIn(server, 0)) {
            if (listedFarm_ || FoldCase(server) == FoldCase(listedServer_)) Refresh();
        }
    }
    if (id == kCmdForgetCredentials) ForgetCredentials();
}

void SessionList::AddMenuItems(HMENU sessionMenu) {
    sessionMenu_ = sessionMenu;
    AppendMenuW(sessionMenu, MF_STRING, kCmdCopyRows, L"Копировать\tCtrl+C");
    AppendMenuW(sessionMenu, MF_STRING, kCmdExportRows, L"Сохранить список...\tCtrl+S");
    AppendMenuW(sessionMenu, MF_STRING | (failures_.empty() ? MF_GRAYED : 0), kCmdServerFailures,
                L"Серверы без ответа...");
    if (accounts_) {
        AppendMenuW(sessionMenu, MF_STRING, kCmdSignIn, L"Войти как другой пользователь\u2026");
        AppendMenuW(sessionMenu, MF_STRING, kCmdForgetCredentials, L"Забыть учётные данные\u2026");
    }
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
    SetStatus(u"Сохранено строк: " + DecimalU32(static_cast<std::uint32_t>(rows.size() - 1)));
}

void SessionList::ShowServerFailures() {
    const std::vector<PolledServer> polled = PolledServers();
    if (failures_.empty() && polled.empty()) return;
    std::u16string text;
    if (!failures_.empty()) {
        text = u"Не удалось получить список сессий серверов:";
        for (const std::u16string& line : failures_) text += u"\r\n" + line;
        text += FaultLines(serverErrors_, true);
    }
    if (!polled.empty()) {
        if (!text.empty()) text += u"\r\n\r\n";
        text += u"Без уведомлений об изменениях, опрашиваются:";
        for (const PolledServer& server : polled)
            text += u"\r\n" + server.server + u": " + SystemErrorLine(server.error, services_.Describer());
    }
    // Servers that refused the account: another one for each, then the farm again.
    std::vector<ListingResult::ServerError> refused;
    if (accounts_)
        for (const ListingResult::ServerError& e : serverErrors_)
            if (IsAccountError(e.error)) refused.push_back(e);
    if (refused.empty()) {
        boxes_.ShowMessage(text);
        return;
    }
    if (!boxes_.OfferSignIn(text)) return;
    // One prompt per server, the account entered last offered to the next;
    // a cancelled prompt asks no further.
    bool any = false;
    std::u16string last;
    for (const ListingResult::ServerError& e : refused) {
        bool cancelled = false;
        if (SignIn(e.server, e.error, last, &cancelled)) {
            any = true;
            last = accounts_->AccountOf(e.server).value_or(last);
        }
        if (cancelled) break;
    }
    if (any && listedFarm_) Refresh();
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

}  // namespace tarvenix
