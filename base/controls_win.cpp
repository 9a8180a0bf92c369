#include "base/controls_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <vector>

#include "base/app_error.h"
#include "base/picture_resources_win.h"
#include "base/win_text.h"

namespace tarvenix {
namespace {

constexpr wchar_t kPanelClass[] = L"TarvenixPanel";
constexpr wchar_t kImageButtonClass[] = L"TarvenixImageButton";

HFONT MakeFont(int weight, bool underline) {
    return CreateFontW(-11, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
}

bool IsForwarded(UINT msg) {
    switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_DRAWITEM:
        case WM_CONTEXTMENU:
            return true;
        default:
            return false;
    }
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (IsForwarded(msg)) {
        HWND root = GetAncestor(hwnd, GA_ROOT);
        if (root && root != hwnd) return SendMessageW(root, msg, wp, lp);
    }
    switch (msg) {
        case WM_ERASEBKGND: {
            RECT rc;
            GetClientRect(hwnd, &rc);
            FillRect(reinterpret_cast<HDC>(wp), &rc, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (GetWindowLongPtrW(hwnd, GWLP_USERDATA) == static_cast<LONG_PTR>(Bevel::Raised)) {
                RECT rc;
                GetClientRect(hwnd, &rc);
                DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

struct ImageButtonData {
    BitmapHandle bitmap;
    int pictureWidth = 0;
    int pictureHeight = 0;
    bool pressed = false;
    std::u16string hint;
};

LRESULT CALLBACK ImageButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* data = reinterpret_cast<ImageButtonData*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_NCDESTROY:
            delete data;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            return 0;
        case WM_LBUTTONDOWN:
            if (data) {
                data->pressed = true;
                SetCapture(hwnd);
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            return 0;
        case WM_LBUTTONUP:
            if (data && data->pressed) {
                data->pressed = false;
                ReleaseCapture();
                InvalidateRect(hwnd, nullptr, TRUE);
                RECT rc;
                GetClientRect(hwnd, &rc);
                POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
                if (PtInRect(&rc, pt)) {
                    const int id = GetDlgCtrlID(hwnd);
                    SendMessageW(GetAncestor(hwnd, GA_ROOT), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(hwnd));
                }
            }
            return 0;
        case WM_CAPTURECHANGED:
            if (data && data->pressed) {
                data->pressed = false;
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT rc;
            GetClientRect(hwnd, &rc);
            FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
            if (data && data->pressed) DrawEdge(dc, &rc, BDR_SUNKENOUTER, BF_RECT);
            if (data && data->bitmap) {
                HDC mem = CreateCompatibleDC(dc);
                HGDIOBJ old = SelectObject(mem, data->bitmap.Get());
                const int shift = data->pressed ? 1 : 0;
                const int x = (rc.right - data->pictureWidth) / 2 + shift;
                const int y = (rc.bottom - data->pictureHeight) / 2 + shift;
                BitBlt(dc, x, y, data->pictureWidth, data->pictureHeight, mem, 0, 0, SRCCOPY);
                SelectObject(mem, old);
                DeleteDC(mem);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void RegisterClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kPanelClass;
    RegisterClassExW(&wc);
    wc.lpfnWndProc = ImageButtonProc;
    wc.lpszClassName = kImageButtonClass;
    RegisterClassExW(&wc);
}

}  // namespace

Fonts::Fonts()
    : normalFont(MakeFont(FW_NORMAL, false)), boldFont(MakeFont(FW_BOLD, false)), underlineFont(MakeFont(FW_NORMAL, true)) {}

HWND CreateButton(HWND parent, int id, int x, int y, int width, int height, const std::u16string& text, HFONT font) {
    HWND b = CreateWindowExW(0, L"BUTTON", Wz(text), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x, y, width, height,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return b;
}

HWND CreatePanel(HWND parent, Bevel bevel, const wchar_t* name) {
    RegisterClasses();
    HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, name, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 10,
                                10, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(bevel));
    return hwnd;
}

std::u16string GetText(HWND window) {
    const int n = GetWindowTextLengthW(window);
    std::wstring buf(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(window, buf.data(), n + 1);
    return U16(buf.c_str(), static_cast<std::size_t>(got > 0 ? got : 0));
}

void SetLabelText(HWND label, const std::u16string& text) {
    SetWindowTextW(label, Wz(text));
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{0, 0};
    if (!text.empty()) GetTextExtentPoint32W(dc, Wz(text), static_cast<int>(text.size()), &size);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    SetWindowPos(label, nullptr, 0, 0, size.cx, tm.tmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(label, nullptr, TRUE);
}

HWND CreateLabel(HWND parent, int x, int y, const std::u16string& text, HFONT font, int id) {
    HWND label = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_NOTIFY, x, y, 0, 0,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                 nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetLabelText(label, text);
    return label;
}

HWND CreateImageButton(HWND parent, int id, int x, int y, int width, int height, int pictureId, int pictureWidth,
                       int pictureHeight, const std::u16string& hint) {
    RegisterClasses();
    HWND hwnd = CreateWindowExW(0, kImageButtonClass, L"", WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    auto* data = new ImageButtonData;
    data->bitmap.Reset(LoadButtonPicture(pictureId, GetSysColor(COLOR_BTNFACE), pictureWidth, pictureHeight));
    data->pictureWidth = pictureWidth;
    data->pictureHeight = pictureHeight;
    data->hint = hint;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
    if (!hint.empty()) {
        // One tooltip per button, owned by the button's top-level window.
        HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0,
                                   0, 0, GetAncestor(parent, GA_ROOT), nullptr, GetModuleHandleW(nullptr), nullptr);
        std::wstring text = W(hint);
        TTTOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V1_SIZE;
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = hwnd;
        ti.uId = reinterpret_cast<UINT_PTR>(hwnd);
        ti.lpszText = text.data();
        SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    return hwnd;
}

std::u16string ImageButtonHint(HWND button) {
    auto* data = reinterpret_cast<ImageButtonData*>(GetWindowLongPtrW(button, GWLP_USERDATA));
    return data ? data->hint : std::u16string();
}

void Place(HWND window, int left, int top, int width, int height) {
    RECT rc;
    GetWindowRect(window, &rc);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rc), 2);
    if (rc.left == left && rc.top == top && rc.right - rc.left == width && rc.bottom - rc.top == height) return;
    SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tarvenix
