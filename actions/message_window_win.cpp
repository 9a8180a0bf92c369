#include "actions/message_window.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "actions/message_status.h"
#include "actions/template_codec.h"
#include "app/app_error.h"
#include "app/error_text.h"
#include "app/main_window.h"
#include "app/text.h"
#include "app/win_text.h"
#include "base/resource_ids.h"
#include "sessions/terminal_services.h"

namespace tarvenix {
namespace {

constexpr wchar_t kMessageClass[] = L"TForm3";

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

HWND MakeChild(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int w, int h,
               HWND parent, int id, HFONT font) {
    HWND hwnd = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}

[[noreturn]] void ThrowFileError(ErrorTexts* errors, TemplateFileStep step, DWORD code, const std::u16string& path) {
    const std::u16string system = errors ? errors->Describe(code) : std::u16string();
    throw AppError(TemplateFileErrorText(step, code, path, system));
}

void WriteWholeFile(ErrorTexts* errors, const std::u16string& path, const std::string& bytes) {
    FileHandle file(CreateFileW(Wz(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) ThrowFileError(errors, TemplateFileStep::Create, GetLastError(), path);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
            ThrowFileError(errors, TemplateFileStep::Write, GetLastError(), path);
        done += written;
    }
}

std::string ReadWholeFile(ErrorTexts* errors, const std::u16string& path) {
    FileHandle file(CreateFileW(Wz(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) ThrowFileError(errors, TemplateFileStep::Open, GetLastError(), path);
    std::string bytes;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            ThrowFileError(errors, TemplateFileStep::Read, GetLastError(), path);
        if (got == 0) break;
        bytes.append(buffer.data(), got);
    }
    return bytes;
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

MessageWindow::MessageWindow(const Services& services, MainWindow& mainWindow) : services_(services), main_(mainWindow) {}

MessageWindow::~MessageWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void MessageWindow::Create() {
    RegisterFormClass(kMessageClass, &MessageWindow::WndProc);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    // Title bar with the system menu and the close button; the size is fixed
    // by WM_GETMINMAXINFO and the client area by WM_NCCALCSIZE.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kMessageClass, Wz(std::u16string(kMessageCaption)), style, CW_USEDEFAULT,
                            CW_USEDEFAULT, kMessageOuterWidth, kMessageOuterHeight, main_.Handle(), nullptr, instance, this);
    if (!hwnd_) throw AppError(u"Cannot create the message window");
    BuildControls();
}

void MessageWindow::BuildControls() {
    HFONT f = fonts_.normal;
    c.panel1 = CreatePanel(hwnd_, Bevel::None, L"Panel1");
    RECT rc;
    GetClientRect(hwnd_, &rc);
    Place(c.panel1, 0, 0, rc.right, rc.bottom);
    // Creation order is the tab order: Button1, Edit1, Memo1.
    c.button1 = MakeChild(0, L"BUTTON", L"Отправить", WS_TABSTOP | BS_PUSHBUTTON, 224, 204, 75, 25, c.panel1,
                          kIdMsgButton1, f);
    c.edit1 = MakeChild(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, 13, 44, 302, 21, c.panel1,
                        kIdMsgEdit1, f);
    SendMessageW(c.edit1, EM_SETLIMITTEXT, 0, 0);
    c.memo1 = MakeChild(WS_EX_CLIENTEDGE, L"EDIT", L"",
                        WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, 13, 100, 302, 89,
                        c.panel1, kIdMsgMemo1, f);
    SendMessageW(c.memo1, EM_SETLIMITTEXT, 0, 0);
    SetWindowSubclass(c.memo1, &MemoSubclassProc, 1, 0);
    c.label1 = CreateLabel(c.panel1, 13, 25, u"Тема:", f);
    c.label2 = CreateLabel(c.panel1, 13, 76, u"Сообщение:", f);
    c.label3 = CreateLabel(c.panel1, 15, 200, u"", fonts_.bold);
    c.speedButton1 = CreateImageButton(c.panel1, kIdMsgSpeedButton1, 240, 12, 25, 25, IDB_SAVE, 20, 20,
                                       u"Сохранить шаблон");
    c.speedButton2 = CreateImageButton(c.panel1, kIdMsgSpeedButton2, 272, 12, 25, 25, IDB_LOAD, 20, 20,
                                       u"Загрузить шаблон");
}

std::u16string MessageWindow::TemplatePath() const { return services_.appDirectory + kTemplateFileName; }

template <typename F>
bool MessageWindow::RunHandler(F&& handler) {
    return RunReportingErrors(*services_.dialogs, std::forward<F>(handler));
}

// --- Showing and closing ---

void MessageWindow::CenterOverOwner() {
    RECT owner{}, mine{};
    GetWindowRect(main_.Handle(), &owner);
    GetWindowRect(hwnd_, &mine);
    const int w = mine.right - mine.left, h = mine.bottom - mine.top;
    int x = owner.left + ((owner.right - owner.left) - w) / 2;
    int y = owner.top + ((owner.bottom - owner.top) - h) / 2;
    // Keep the window on the owner's monitor.
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (GetMonitorInfoW(MonitorFromWindow(main_.Handle(), MONITOR_DEFAULTTONEAREST), &mi)) {
        x = std::max<int>(mi.rcWork.left, std::min<int>(x, mi.rcWork.right - w));
        y = std::max<int>(mi.rcWork.top, std::min<int>(y, mi.rcWork.bottom - h));
    }
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MessageWindow::Open() {
    if (!hwnd_ || open_) return;
    if (!shownOnce_) {
        shownOnce_ = true;
        CenterOverOwner();
    }
    RunHandler([&] { FormShow(); });
    open_ = true;
    if (main_.Handle()) EnableWindow(main_.Handle(), FALSE);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : c.button1);
}

void MessageWindow::Close() {
    if (!hwnd_) return;
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
    // The owner is enabled before the window hides, so that it, and not some
    // other program, becomes the active window.
    if (main_.Handle()) EnableWindow(main_.Handle(), TRUE);
    ShowWindow(hwnd_, SW_HIDE);
    if (open_ && main_.Handle()) SetActiveWindow(main_.Handle());
    open_ = false;
}

void MessageWindow::ShowModal() {
    if (!hwnd_ || open_) return;
    Open();
    MSG msg;
    while (open_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // The application is ending: leave the quit for the outer loop.
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            Close();
            break;
        }
        if (hwnd_ && IsDialogMessageW(hwnd_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void MessageWindow::FormShow() { SetLabelText(c.label3, u""); }

// --- Commands ---

void MessageWindow::Button1Click() {
    const std::u16string subject = GetText(c.edit1);
    const std::u16string text = GetText(c.memo1);
    // The selected rows came from ListedServer: that is the server they live on.
    const std::u16string server = main_.listedServer;
    const std::vector<int> selected = main_.listView1.SelectedIndices();
    std::vector<MessageFailure> failures;
    {
        WaitCursor wait;
        for (int index : selected) {
            const auto id =
                static_cast<std::uint32_t>(StrToIntLike(main_.listView1.Rows().Text(static_cast<std::size_t>(index), 0)));
            const std::unique_ptr<TerminalServer> handle = services_.terminal->Open(server);
            const CallResult result = handle->SendSessionMessage(id, subject, text);
            if (!result.ok) failures.push_back({id, result.error});
        }
    }
    SetLabelText(c.label3, MessageSendStatus(selected.size(), failures.size()));
    if (!failures.empty()) {
        services_.dialogs->ShowMessage(MessageFailureText(server, failures, [this](std::uint32_t code) {
            return services_.errors ? services_.errors->Describe(code) : std::u16string();
        }));
    }
}

void MessageWindow::sSpeedButton1Click() {
    const std::u16string path = TemplatePath();
    WriteWholeFile(services_.errors, path, EncodeTemplate(GetText(c.edit1), GetText(c.memo1), *services_.ansi));
    SetLabelText(c.label3, kTemplateSavedStatus);
}

void MessageWindow::sSpeedButton2Click() {
    SetWindowTextW(c.memo1, L"");
    const std::u16string path = TemplatePath();
    const LoadedTemplate loaded = DecodeTemplate(ReadWholeFile(services_.errors, path), *services_.ansi);
    if (loaded.hasSubject) SetWindowTextW(c.edit1, Wz(loaded.subject));
    SetWindowTextW(c.memo1, Wz(loaded.text));
    SetLabelText(c.label3, kTemplateLoadedStatus);
}

void MessageWindow::OnCommand(int id) {
    RunHandler([&] {
        switch (id) {
            case kIdMsgButton1: Button1Click(); break;
            case kIdMsgSpeedButton1: sSpeedButton1Click(); break;
            case kIdMsgSpeedButton2: sSpeedButton2Click(); break;
            default: break;
        }
    });
}

// --- Messages ---

LRESULT CALLBACK MessageWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    MessageWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<MessageWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // Destroyed with its owner, the main window.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->open_ = false;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return self->HandleMessage(msg, wp, lp);
}

LRESULT MessageWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_GETMINMAXINFO: {
            auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
            mmi->ptMinTrackSize = {kMessageOuterWidth, kMessageOuterHeight};
            mmi->ptMaxTrackSize = {kMessageOuterWidth, kMessageOuterHeight};
            mmi->ptMaxSize = {kMessageOuterWidth, kMessageOuterHeight};
            return 0;
        }
        case WM_NCCALCSIZE: {
            // lp: the window rectangle (wp FALSE, at creation) or the
            // NCCALCSIZE_PARAMS whose first rectangle it is; it becomes the
            // client rectangle.
            RECT& client = wp ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0] : *reinterpret_cast<RECT*>(lp);
            const RECT window = client;
            const LRESULT r = DefWindowProcW(hwnd_, msg, wp, lp);
            standardFrame_ = {client.left - window.left, client.top - window.top, window.right - client.right,
                              window.bottom - client.bottom};
            // The system frame of this style is thinner than the window's
            // fixed size allows for: the rest is a margin in the face colour
            // around the client area, so that the client area keeps its size.
            const int extraX = std::max(0, static_cast<int>(client.right - client.left) - kMessageClientWidth);
            const int extraY = std::max(0, static_cast<int>(client.bottom - client.top) - kMessageClientHeight);
            extraMargin_ = {extraX / 2, extraY / 2, extraX - extraX / 2, extraY - extraY / 2};
            client.left += extraMargin_.left;
            client.top += extraMargin_.top;
            client.right -= extraMargin_.right;
            client.bottom -= extraMargin_.bottom;
            return r;
        }
        case WM_NCPAINT: {
            const LRESULT r = DefWindowProcW(hwnd_, msg, wp, lp);
            if (extraMargin_.left || extraMargin_.top || extraMargin_.right || extraMargin_.bottom) {
                HDC dc = GetWindowDC(hwnd_);
                RECT wr;
                GetWindowRect(hwnd_, &wr);
                const int w = wr.right - wr.left, h = wr.bottom - wr.top;
                const RECT inner{standardFrame_.left, standardFrame_.top, w - standardFrame_.right,
                                 h - standardFrame_.bottom};
                ExcludeClipRect(dc, inner.left + extraMargin_.left, inner.top + extraMargin_.top,
                                inner.right - extraMargin_.right, inner.bottom - extraMargin_.bottom);
                FillRect(dc, &inner, GetSysColorBrush(COLOR_BTNFACE));
                ReleaseDC(hwnd_, dc);
            }
            return r;
        }
        case WM_SIZE:
            if (c.panel1) Place(c.panel1, 0, 0, LOWORD(lp), HIWORD(lp));
            return 0;
        case WM_COMMAND:
            if (lp == 0 || HIWORD(wp) == BN_CLICKED) OnCommand(LOWORD(wp));
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace tarvenix
