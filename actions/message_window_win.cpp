#include "actions/message_window.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "actions/bulk_run.h"
#include "actions/message_status.h"
#include "actions/session_actions.h"
#include "actions/template_codec.h"
#include "base/app_error.h"
#include "base/dpi_win.h"
#include "base/error_text.h"
#include "base/files_win.h"
#include "base/resource_ids.h"
#include "base/text.h"
#include "base/win_text.h"
#include "sessions/terminal_services.h"

namespace tarvenix {
namespace {

constexpr wchar_t kMessageClass[] = L"TForm3";

HWND MakeChild(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int w, int h,
               HWND parent, int id, HFONT font) {
    return CreateChild(exStyle, className, text, style, {x, y, w, h}, parent, id, font);
}

[[noreturn]] void ThrowFileError(ErrorTexts* errors, TemplateFileStep step, DWORD code, const std::u16string& path) {
    const std::u16string system = errors ? errors->Describe(code) : std::u16string();
    throw AppError(TemplateFileErrorText(step, code, path, system));
}

// The message text box keeps Enter (new lines) but leaves Tab and Shift+Tab
// to the window, which moves the focus on; Ctrl+Tab still types a tab.
LRESULT CALLBACK MemoSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_GETDLGCODE) {
        LRESULT code = DefSubclassProc(hwnd, msg, wp, lp);
        const auto* key = reinterpret_cast<const MSG*>(lp);
        if (key && key->message == WM_KEYDOWN && key->wParam == VK_TAB && !(GetKeyState(VK_CONTROL) & 0x8000))
            code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
        return code;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &MemoSubclassProc, 1);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

MessageWindow::MessageWindow(const Services& services, TerminalServices& terminal, const SessionListView& sessions)
    : Window(services), terminal_(terminal), sessions_(sessions) {}

void MessageWindow::Create(HWND owner) {
    owner_ = owner;
    // Title bar with the system menu and the close button; the size is fixed
    // by WM_GETMINMAXINFO and the client area by WM_NCCALCSIZE.
    // The fixed sizes are scaled to the window's DPI.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const int systemDpi = SystemDpi();
    CreateFormWindow(L"TForm3", WS_EX_CONTROLPARENT, kMessageCaption, style, CW_USEDEFAULT, CW_USEDEFAULT,
                     Scale(kMessageOuterWidth, systemDpi), Scale(kMessageOuterHeight, systemDpi), owner);
    const int dpi = WindowDpi(Handle());
    fonts_.Rescale(Handle(), dpi);
    if (dpi != systemDpi)
        SetWindowPos(Handle(), nullptr, 0, 0, Scale(kMessageOuterWidth, dpi), Scale(kMessageOuterHeight, dpi),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    BuildControls();
}

void MessageWindow::AddMenuItems(HMENU sessionMenu) {
    AppendMenuW(sessionMenu, MF_STRING, kCmdSendMessage, L"Отправить сообщение");
}

void MessageWindow::OnCommand(int id) {
    if (id == kCmdSendMessage) ShowModal();
}

void MessageWindow::BuildControls() {
    HFONT f = fonts_.normal();
    panel_ = CreatePanel(Handle(), Bevel::None, L"Panel1");
    RECT rc;
    GetClientRect(Handle(), &rc);
    Place(panel_, 0, 0, rc.right, rc.bottom);
    // Creation order is the tab order: the send button, the subject, the text.
    sendButton_ = MakeChild(0, L"BUTTON", L"Отправить", WS_TABSTOP | BS_PUSHBUTTON, 224, 204, 75, 25, panel_,
                            kIdSendButton, f);
    subjectBox_ = MakeChild(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, 13, 44, 302, 21, panel_,
                            kIdSubjectBox, f);
    EditRef(subjectBox_).SetLimit(0);
    textBox_ = MakeChild(WS_EX_CLIENTEDGE, L"EDIT", L"",
                         WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, 13, 100, 302, 89, panel_,
                         kIdTextBox, f);
    EditRef(textBox_).SetLimit(0);
    SetWindowSubclass(textBox_, &MemoSubclassProc, 1, 0);
    subjectLabel_ = CreateLabel(panel_, 13, 25, u"Тема:", f);
    textLabel_ = CreateLabel(panel_, 13, 76, u"Сообщение:", f);
    statusLabel_ = CreateLabel(panel_, 15, 200, u"", fonts_.bold());
    saveTemplateButton_ = CreateImageButton(panel_, kIdSaveTemplateButton, 240, 12, 25, 25, IDB_SAVE, 20, 20,
                                            u"Сохранить шаблон");
    loadTemplateButton_ = CreateImageButton(panel_, kIdLoadTemplateButton, 272, 12, 25, 25, IDB_LOAD, 20, 20,
                                            u"Загрузить шаблон");
}

std::u16string MessageWindow::TemplatePath() const { return services().appDirectory + kTemplateFileName; }

// --- Showing and closing ---

void MessageWindow::CenterOverOwner() {
    RECT owner{}, mine{};
    GetWindowRect(owner_, &owner);
    GetWindowRect(Handle(), &mine);
    const int w = mine.right - mine.left, h = mine.bottom - mine.top;
    int x = owner.left + ((owner.right - owner.left) - w) / 2;
    int y = owner.top + ((owner.bottom - owner.top) - h) / 2;
    // Keep the window on the owner's monitor.
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (GetMonitorInfoW(MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST), &mi)) {
        x = std::max<int>(mi.rcWork.left, std::min<int>(x, mi.rcWork.right - w));
        y = std::max<int>(mi.rcWork.top, std::min<int>(y, mi.rcWork.bottom - h));
    }
    SetWindowPos(Handle(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MessageWindow::Open() {
    if (!Handle() || open_) return;
    if (!shownOnce_) {
        shownOnce_ = true;
        CenterOverOwner();
    }
    RunHandler([&] { FormShow(); });
    open_ = true;
    if (owner_) EnableWindow(owner_, FALSE);
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    SetFocus(lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : sendButton_);
}

void MessageWindow::Close() {
    if (!Handle()) return;
    HWND focus = GetFocus();
    if (focus && IsChild(Handle(), focus)) lastFocus_ = focus;
    // The owner is enabled before the window hides, so that it, and not some
    // other program, becomes the active window.
    if (owner_) EnableWindow(owner_, TRUE);
    ShowWindow(Handle(), SW_HIDE);
    if (open_ && owner_) SetActiveWindow(owner_);
    open_ = false;
}

void MessageWindow::ShowModal() {
    if (!Handle() || open_) return;
    Open();
    if (!RunModalLoop(open_)) Close();
}

void MessageWindow::FormShow() { SetLabelText(statusLabel_, u""); }

// --- Commands ---

void MessageWindow::Send() {
    if (sending_) return;  // one send at a time; its report comes first
    const std::u16string subject = GetText(subjectBox_);
    const std::u16string text = GetText(textBox_);
    // Each selected row's session, on the server the row came from.
    std::vector<Session> targets = sessions_.SelectedSessions();
    const std::size_t addressed = targets.size();
    if (addressed == 0) {
        SetLabelText(statusLabel_, MessageSendStatus(0, 0));
        return;
    }
    BulkOptions options;
    options.parallel = services().parallelCalls;
    options.timeout = services().serverTimeout;
    options.openPerItem = true;  // the server is opened for each session
    SetSending(true);
    StartSessionCommand(
        terminal_, *services().executor, *services().dispatcher, std::move(targets), options, runs_,
        [subject, text](TerminalServer& s, std::uint32_t id) { return s.SendSessionMessage(id, subject, text); },
        [this, addressed](std::vector<ServerResults> servers) {
            SetSending(false);
            const DescribeError describe = services().Describer();
            const CommandSummary summary = SummariseCommand(
                servers, [&describe](const std::u16string& server, const std::vector<SessionFailure>& failures) {
                    std::vector<MessageFailure> messageFailures;
                    for (const SessionFailure& f : failures) messageFailures.push_back({f.sessionId, f.error});
                    return MessageFailureText(server, messageFailures, describe);
                });
            SetLabelText(statusLabel_, MessageSendStatus(addressed, summary.notDone));
            if (!summary.problems.empty()) OwnDialogs().ShowMessage(summary.problems);
        });
}

void MessageWindow::SetSending(bool sending) {
    sending_ = sending;
    // The wait cursor over the window while the messages go out.
    POINT pt;
    if (GetCursorPos(&pt)) SetCursorPos(pt.x, pt.y);
}

void MessageWindow::SaveTemplate() {
    const std::u16string path = TemplatePath();
    const std::string bytes = EncodeTemplate(GetText(subjectBox_), GetText(textBox_), *services().ansi);
    DWORD error = 0;
    WriteStep step = WriteStep::Create;
    if (!WriteFileAtomically(path, bytes, &error, &step))
        ThrowFileError(services().errors, step == WriteStep::Write ? TemplateFileStep::Write : TemplateFileStep::Create,
                       error, path);
    SetLabelText(statusLabel_, kTemplateSavedStatus);
}

void MessageWindow::LoadTemplate() {
    SetWindowTextW(textBox_, L"");
    const std::u16string path = TemplatePath();
    std::string bytes;
    DWORD error = 0;
    if (!ReadWholeFile(path, FILE_SHARE_READ | FILE_SHARE_WRITE, &bytes, &error))
        ThrowFileError(services().errors, TemplateFileStep::Open, error, path);
    const LoadedTemplate loaded = DecodeTemplate(bytes, *services().ansi);
    if (loaded.hasSubject) SetWindowTextW(subjectBox_, Wz(loaded.subject));
    SetWindowTextW(textBox_, Wz(loaded.text));
    SetLabelText(statusLabel_, kTemplateLoadedStatus);
}

void MessageWindow::OnControl(int id) {
    RunHandler([&] {
        switch (id) {
            case kIdSendButton: Send(); break;
            case kIdSaveTemplateButton: SaveTemplate(); break;
            case kIdLoadTemplateButton: LoadTemplate(); break;
            default: break;
        }
    });
}

// --- Messages ---

LRESULT MessageWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_GETMINMAXINFO: {
            auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
            const int dpi = WindowDpi(Handle());
            const POINT size{Scale(kMessageOuterWidth, dpi), Scale(kMessageOuterHeight, dpi)};
            mmi->ptMinTrackSize = size;
            mmi->ptMaxTrackSize = size;
            mmi->ptMaxSize = size;
            return 0;
        }
        case WM_DPICHANGED: {
            // Another monitor: the fonts and the controls at the new DPI, the
            // window at the size the system suggests (the fixed size then holds).
            const int dpi = HIWORD(wp);
            fonts_.Rescale(Handle(), dpi);
            RescaleControls(Handle(), dpi);
            const RECT* suggested = reinterpret_cast<const RECT*>(lp);
            SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
            return 0;
        }
        case WM_NCCALCSIZE: {
            // lp: the window rectangle (wp FALSE, at creation) or the
            // NCCALCSIZE_PARAMS whose first rectangle it is; it becomes the
            // client rectangle.
            RECT& client = wp ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0] : *reinterpret_cast<RECT*>(lp);
            const RECT window = client;
            const LRESULT r = DefaultHandling(msg, wp, lp);
            standardFrame_ = {client.left - window.left, client.top - window.top, window.right - client.right,
                              window.bottom - client.bottom};
            // The system frame of this style is thinner than the window's
            // fixed size allows for: the rest is a margin in the face colour
            // around the client area, so that the client area keeps its size.
            const int dpi = WindowDpi(Handle());
            const int extraX = std::max(0, static_cast<int>(client.right - client.left) - Scale(kMessageClientWidth, dpi));
            const int extraY = std::max(0, static_cast<int>(client.bottom - client.top) - Scale(kMessageClientHeight, dpi));
            extraMargin_ = {extraX / 2, extraY / 2, extraX - extraX / 2, extraY - extraY / 2};
            client.left += extraMargin_.left;
            client.top += extraMargin_.top;
            client.right -= extraMargin_.right;
            client.bottom -= extraMargin_.bottom;
            return r;
        }
        case WM_NCPAINT: {
            const LRESULT r = DefaultHandling(msg, wp, lp);
            if (extraMargin_.left || extraMargin_.top || extraMargin_.right || extraMargin_.bottom) {
                HDC dc = GetWindowDC(Handle());
                RECT wr;
                GetWindowRect(Handle(), &wr);
                const int w = wr.right - wr.left, h = wr.bottom - wr.top;
                const RECT inner{standardFrame_.left, standardFrame_.top, w - standardFrame_.right,
                                 h - standardFrame_.bottom};
                ExcludeClipRect(dc, inner.left + extraMargin_.left, inner.top + extraMargin_.top,
                                inner.right - extraMargin_.right, inner.bottom - extraMargin_.bottom);
                FillRect(dc, &inner, GetSysColorBrush(COLOR_BTNFACE));
                ReleaseDC(Handle(), dc);
            }
            return r;
        }
        case WM_SIZE:
            if (panel_) Place(panel_, 0, 0, LOWORD(lp), HIWORD(lp));
            return 0;
        case WM_COMMAND:
            // Esc and the dialog's Cancel close the window, like any dialog.
            if (LOWORD(wp) == IDCANCEL) {
                Close();
                return 0;
            }
            if (lp == 0 || HIWORD(wp) == BN_CLICKED) OnControl(LOWORD(wp));
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_SETCURSOR:
            if (sending_ && LOWORD(lp) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        default:
            break;
    }
    return DefaultHandling(msg, wp, lp);
}

}  // namespace tarvenix
