#include "actions/tool_dialog_win.h"

#include <algorithm>

#include "base/dpi_win.h"
#include "base/platform_win.h"

namespace tarvenix {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME;

SIZE OuterFor(int clientWidth, int clientHeight, int dpi) {
    RECT rc{0, 0, Scale(clientWidth, dpi), Scale(clientHeight, dpi)};
    AdjustWindowRectEx(&rc, kStyle, FALSE, kExStyle);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

}  // namespace

void ToolDialog::CreateDialogWindow(HWND owner, const wchar_t* className, const std::u16string& caption,
                                    int clientWidth, int clientHeight) {
    owner_ = owner;
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
    const int systemDpi = SystemDpi();
    const SIZE outer = OuterFor(clientWidth, clientHeight, systemDpi);
    CreateFormWindow(className, kExStyle, caption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, outer.cx, outer.cy, owner);
    const int dpi = WindowDpi(Handle());
    fonts_.Rescale(Handle(), dpi);
    if (dpi != systemDpi) {
        const SIZE resized = OuterFor(clientWidth, clientHeight, dpi);
        SetWindowPos(Handle(), nullptr, 0, 0, resized.cx, resized.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    body_ = CreatePanel(Handle(), Bevel::None, L"Body");
    RECT rc;
    GetClientRect(Handle(), &rc);
    Place(body_, 0, 0, rc.right, rc.bottom);
}

int ToolDialog::Dpi() const { return Handle() ? WindowDpi(Handle()) : SystemDpi(); }

void ToolDialog::CenterOverOwner() {
    RECT owner{}, mine{};
    if (owner_) GetWindowRect(owner_, &owner);
    GetWindowRect(Handle(), &mine);
    const int w = mine.right - mine.left, h = mine.bottom - mine.top;
    int x = owner.left + ((owner.right - owner.left) - w) / 2;
    int y = owner.top + ((owner.bottom - owner.top) - h) / 2;
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (GetMonitorInfoW(MonitorFromWindow(owner_ ? owner_ : Handle(), MONITOR_DEFAULTTONEAREST), &mi)) {
        x = std::max<int>(mi.rcWork.left, std::min<int>(x, mi.rcWork.right - w));
        y = std::max<int>(mi.rcWork.top, std::min<int>(y, mi.rcWork.bottom - h));
    }
    SetWindowPos(Handle(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ToolDialog::Open() {
    if (!Handle() || open_) return;
    CenterOverOwner();
    OnOpen();
    open_ = true;
    if (owner_) EnableWindow(owner_, FALSE);
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    if (HWND first = FirstFocus()) SetFocus(first);
}

void ToolDialog::Close() {
    if (!Handle()) return;
    // The owner is enabled before the window hides, so that it becomes the active window.
    if (owner_) EnableWindow(owner_, TRUE);
    ShowWindow(Handle(), SW_HIDE);
    if (open_ && owner_) SetActiveWindow(owner_);
    const bool was = open_;
    open_ = false;
    if (was) OnClose();
}

void ToolDialog::ShowModal() {
    if (!Handle() || open_) return;
    Open();
    if (!RunModalLoop(open_)) Close();
}

LRESULT ToolDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_DPICHANGED: {
            const int dpi = HIWORD(wp);
            fonts_.Rescale(Handle(), dpi);
            RescaleControls(Handle(), dpi);
            OnDpi(dpi);
            const RECT* suggested = reinterpret_cast<const RECT*>(lp);
            const SIZE outer = OuterFor(clientWidth_, clientHeight_, dpi);
            SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, outer.cx, outer.cy,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_SIZE:
            if (body_) Place(body_, 0, 0, LOWORD(lp), HIWORD(lp));
            return 0;
        case WM_COMMAND:
            // Esc and the dialog's Cancel close the window, like any dialog.
            if (LOWORD(wp) == IDCANCEL) {
                Close();
                return 0;
            }
            if (lp == 0 || HIWORD(wp) == BN_CLICKED) RunHandler([&] { OnControl(LOWORD(wp)); });
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        default:
            break;
    }
    return DefaultHandling(msg, wp, lp);
}

}  // namespace tarvenix
