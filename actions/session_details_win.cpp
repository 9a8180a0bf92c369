#include "actions/session_details_win.h"

#include "actions/bulk_run.h"
#include "actions/session_actions.h"
#include "base/platform_win.h"
#include "base/text.h"
#include "base/win_text.h"
#include "sessions/session_queries.h"
#include "sessions/session_times_win.h"

namespace tarvenix {
namespace {

constexpr int kClientWidth = 420;
constexpr int kClientHeight = 372;

}  // namespace

SessionDetailsWindow::SessionDetailsWindow(const Services& services, TerminalServices& terminal, Activity& activity,
                                           const SessionListView& sessions, std::function<HWND()> listHandle)
    : ToolDialog(services),
      terminal_(terminal),
      activity_(activity),
      sessions_(sessions),
      listHandle_(std::move(listHandle)),
      list_(ordering_, {{u"Сведения", {130, 0, 0, false}}, {u"Значение", {262, 0, 0, false}}}) {
    ordering_.sortedColumn = -1;
}

void SessionDetailsWindow::Create(HWND owner) {
    CreateDialogWindow(owner, L"TFormSessionDetails", kDetailsCaption, kClientWidth, kClientHeight);
    HFONT f = DialogFonts().normal();
    list_.Create(Body(), kIdDetailsList, f);
    PlaceList(Dpi());
    copyButton_ = CreateButton(Body(), kIdDetailsCopy, 228, 338, 90, 25, u"Копировать", f);
    closeButton_ = CreateButton(Body(), kIdDetailsClose, 322, 338, 90, 25, u"Закрыть", f);
}

void SessionDetailsWindow::PlaceList(int dpi) {
    Place(list_.Handle(), Scale(8, dpi), Scale(8, dpi), Scale(404, dpi), Scale(322, dpi));
}

void SessionDetailsWindow::AddMenuItems(HMENU sessionMenu) {
    AppendMenuW(sessionMenu, MF_STRING, kCmdSessionDetails, Wz(std::u16string(kSessionDetailsCommand) + u"\tEnter"));
}

KeyAnswer SessionDetailsWindow::TranslateKey(const MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && listHandle_ && msg.hwnd == listHandle_())
        return {KeyAnswer::Used, kCmdSessionDetails};
    return {};
}

void SessionDetailsWindow::OnCommand(int id) {
    if (id != kCmdSessionDetails) return;
    showWhenRead_ = true;
    if (!Begin()) showWhenRead_ = false;
}

void SessionDetailsWindow::OnControl(int id) {
    if (id == kIdDetailsCopy) Copy();
    if (id == kIdDetailsClose) Close();
}

bool SessionDetailsWindow::Begin() {
    if (busy_) return true;
    const std::optional<Session> session = sessions_.FirstSelectedSession();
    if (!session) return false;
    struct Read {
        SessionConfirmation checked;
        SessionDetails details;
    };
    TerminalServices* terminal = &terminal_;
    runs_ = CancelToken();
    busy_ = true;
    activity_.Begin();
    const Session seen = *session;
    RunAsync<Read>(
        *services().executor, *services().dispatcher, runs_, services().serverTimeout,
        [terminal, seen] {
            Read r;
            const std::unique_ptr<TerminalServer> open = terminal->Open(seen.server);
            // The details of the session the user saw, not of whoever holds its ID now.
            r.checked = ConfirmSession(*open, seen);
            if (r.checked.failure.ok && r.checked.check == SessionCheck::Same) r.details = ReadSessionDetails(*open, seen);
            return r;
        },
        [this, seen](Read r) {
            busy_ = false;
            activity_.End();
            ItemResult checked = ItemResult::From(r.checked.failure);
            if (r.checked.failure.ok && r.checked.check == SessionCheck::Ended) checked.state = ItemState::Ended;
            if (r.checked.failure.ok && r.checked.check == SessionCheck::ChangedHands) {
                checked.state = ItemState::ChangedHands;
                checked.holder = r.checked.holder;
            }
            if (!checked.ok || checked.Untouched()) {
                checked.ok = false;
                showWhenRead_ = false;
                OwnDialogs().ShowMessage(
                    SessionCheckFailureText(seen, checked, services().serverTimeout, services().Describer()));
                return;
            }
            Show(r.details);
        },
        [this, seen] {
            busy_ = false;
            activity_.End();
            showWhenRead_ = false;
            ItemResult late;
            late.state = ItemState::NoAnswer;
            OwnDialogs().ShowMessage(
                SessionCheckFailureText(seen, late, services().serverTimeout, services().Describer()));
        });
    return true;
}

void SessionDetailsWindow::Show(const SessionDetails& details) {
    details_ = details;
    lines_ = DetailLines(details, LocalLogonText);
    std::vector<ReportRows::Row> rows;
    for (std::size_t i = 0; i < lines_.size(); ++i) rows.emplace_back(std::vector<std::u16string>{lines_[i].first, lines_[i].second}, i);
    list_.ReplaceAll(std::move(rows));
    SetWindowTextW(Handle(), Wz(std::u16string(kDetailsCaption) + u": " + details.session.user + u" (" +
                                DecimalU32(details.session.id) + u", " + details.session.server + u")"));
    if (showWhenRead_) {
        showWhenRead_ = false;
        ShowModal();
    }
}

std::u16string SessionDetailsWindow::Text() const { return DetailsText(lines_); }

void SessionDetailsWindow::Copy() {
    if (!PutTextOnClipboard(Handle(), Text())) MessageBeep(MB_ICONWARNING);
}

}  // namespace tarvenix
