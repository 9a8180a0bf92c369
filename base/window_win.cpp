#include "base/window_win.h"

#include <windowsx.h>

#include "base/win_text.h"

namespace tarvenix {

namespace {

constexpr wchar_t kControlProperty[] = L"TarvenixControl";

}  // namespace

// --- Control ---

Control::~Control() { Detach(); }

void Control::Attach(HWND hwnd) {
    Detach();
    attached_ = hwnd;
    if (hwnd) SetPropW(hwnd, kControlProperty, this);
}

void Control::Detach() {
    if (attached_ && IsWindow(attached_) && GetPropW(attached_, kControlProperty) == this)
        RemovePropW(attached_, kControlProperty);
    attached_ = nullptr;
}

Control* Control::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<Control*>(GetPropW(hwnd, kControlProperty)) : nullptr;
}

bool Control::OnReflectedNotify(NMHDR*, LRESULT*) { return false; }

bool Control::OnReflectedContextMenu(int, int) { return false; }

// --- CommandTarget ---

bool CommandTarget::IsCommand(int, int code, bool fromControl) const {
    return !fromControl || code == BN_CLICKED || code == STN_CLICKED;
}

// --- Window ---

Window::~Window() { DestroyNow(); }

void Window::DestroyNow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void Window::CreateFormWindow(const wchar_t* className, DWORD exStyle, const std::u16string& caption, DWORD style, int x,
                              int y, int width, int height, HWND owner) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(instance, className, &existing)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Window::Thunk;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = className;
        if (!RegisterClassExW(&wc)) throw AppError(u"Cannot register the window class " + U16(className));
    }
    CreateWindowExW(exStyle, className, Wz(caption), style, x, y, width, height, owner, nullptr, instance, this);
    if (!hwnd_) throw AppError(u"Cannot create the window " + U16(className));
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return DefaultHandling(msg, wp, lp); }

void Window::RunCommand(int id, int code, bool fromControl) {
    for (CommandTarget* feature : features_) {
        if (!feature->Commands().Contains(id)) continue;
        if (feature->IsCommand(id, code, fromControl))
            RunHandler([&] {
                if (AllowCommand(*feature, id)) feature->OnCommand(id);
            });
        return;
    }
    RunHandler([&] { OnOtherCommand(id, code, fromControl); });
}

bool Window::TranslateFeatureKeys(MSG& msg, bool* toControl) {
    *toControl = false;
    for (CommandTarget* feature : features_) {
        const KeyAnswer answer = feature->TranslateKey(msg);
        if (answer.use == KeyAnswer::NotMine) continue;
        if (answer.use == KeyAnswer::ToControl) {
            *toControl = true;
            return false;
        }
        if (answer.command) RunCommand(answer.command);
        return true;
    }
    return false;
}

LRESULT Window::DefaultHandling(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }

bool Window::RunModalLoop(const bool& open) {
    MSG msg;
    while (open) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // The application is ending: leave the quit for the outer loop.
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (hwnd_ && IsDialogMessageW(hwnd_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

LRESULT CALLBACK Window::Thunk(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
        case WM_NCDESTROY: {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            self->OnDestroyed();
            return DefWindowProcW(hwnd, msg, wp, lp);
        }
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lp);
            if (Control* control = Control::FromHandle(header->hwndFrom)) {
                LRESULT result = 0;
                if (control->OnReflectedNotify(header, &result)) return result;
            }
            break;
        }
        case WM_COMMAND:
            if (!self->features_.empty()) {
                self->RunCommand(LOWORD(wp), HIWORD(wp), lp != 0);
                return 0;
            }
            break;
        case WM_CONTEXTMENU:
            // A list's header belongs to its list.
            if (Control* control = Control::FromHandle(reinterpret_cast<HWND>(wp))
                                       ? Control::FromHandle(reinterpret_cast<HWND>(wp))
                                       : Control::FromHandle(GetParent(reinterpret_cast<HWND>(wp)))) {
                if (control->OnReflectedContextMenu(GET_X_LPARAM(lp), GET_Y_LPARAM(lp))) return 0;
            }
            break;
        default:
            break;
    }
    return self->HandleMessage(msg, wp, lp);
}

}  // namespace tarvenix
