#include "base/controls_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "base/app_error.h"
#include "base/dpi_win.h"
#include "base/picture_resources_win.h"
#include "base/win_text.h"

namespace tarvenix {
namespace {

constexpr wchar_t kPanelClass[] = L"TarvenixPanel";
constexpr wchar_t kImageButtonClass[] = L"TarvenixImageButton";

HFONT MakeFont(int weight, bool underline, int dpi) {
    return CreateFontW(-Scale(11, dpi), 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
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

// The 96-DPI box a control was made at, kept in a property of the control;
// a subclass frees it with the control.
struct Placement96 {
    Box box;
    bool sizedByText = false;
};

constexpr wchar_t kPlacementProperty[] = L"TarvenixBox96";
constexpr UINT_PTR kPlacementSubclass = 0x96;

LRESULT CALLBACK PlacementProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
    if (msg == WM_NCDESTROY) {
        RemovePropW(hwnd, kPlacementProperty);
        RemoveWindowSubclass(hwnd, &PlacementProc, id);
        delete reinterpret_cast<Placement96*>(data);
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

void Remember96(HWND control, const Box& box96, bool sizedByText) {
    if (!control) return;
    auto* placement = new Placement96{box96, sizedByText};
    if (!SetWindowSubclass(control, &PlacementProc, kPlacementSubclass, reinterpret_cast<DWORD_PTR>(placement))) {
        delete placement;
        return;
    }
    SetPropW(control, kPlacementProperty, placement);
}

const Placement96* Remembered96(HWND control) {
    return static_cast<const Placement96*>(GetPropW(control, kPlacementProperty));
}

struct ImageButtonData {
    BitmapHandle bitmap;  // the picture at bitmapDpi, over the button face
    int bitmapDpi = 0;
    int pictureId = 0;
    int pictureWidth = 0;  // at 96 DPI
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
            // The pictures are drawn for 96 DPI: at another DPI the resource
            // is scaled once with a box filter (see LoadButtonPicture).
            const int dpi = WindowDpi(hwnd);
            if (data && data->pictureId && data->bitmapDpi != dpi) {
                data->bitmap.Reset(LoadButtonPicture(data->pictureId, GetSysColor(COLOR_BTNFACE),
                                                     Scale(data->pictureWidth, dpi), Scale(data->pictureHeight, dpi)));
                data->bitmapDpi = dpi;
            }
            if (data && data->bitmap) {
                HDC mem = CreateCompatibleDC(dc);
                HGDIOBJ old = SelectObject(mem, data->bitmap.Get());
                const int w = Scale(data->pictureWidth, dpi), h = Scale(data->pictureHeight, dpi);
                const int shift = data->pressed ? Scale(1, dpi) : 0;
                const int x = (rc.right - w) / 2 + shift;
                const int y = (rc.bottom - h) / 2 + shift;
                BitBlt(dc, x, y, w, h, mem, 0, 0, SRCCOPY);
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

Fonts::Fonts(int dpi)
    : normalFont(MakeFont(FW_NORMAL, false, dpi)),
      boldFont(MakeFont(FW_BOLD, false, dpi)),
      underlineFont(MakeFont(FW_NORMAL, true, dpi)),
      dpi_(dpi) {}

void Fonts::Rescale(HWND root, int dpi) {
    if (dpi == dpi_) return;
    struct Swap {
        HFONT from[3];
        HFONT to[3];
    };
    FontHandle normal(MakeFont(FW_NORMAL, false, dpi)), bold(MakeFont(FW_BOLD, false, dpi)),
        underline(MakeFont(FW_NORMAL, true, dpi));
    Swap swap{{normalFont.Get(), boldFont.Get(), underlineFont.Get()}, {normal.Get(), bold.Get(), underline.Get()}};
    if (root) {
        EnumChildWindows(
            root,
            [](HWND child, LPARAM lp) -> BOOL {
                const auto* s = reinterpret_cast<const Swap*>(lp);
                const auto font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
                for (int i = 0; i < 3; ++i) {
                    if (font && font == s->from[i]) {
                        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(s->to[i]), TRUE);
                        break;
                    }
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&swap));
    }
    normalFont = std::move(normal);
    boldFont = std::move(bold);
    underlineFont = std::move(underline);
    dpi_ = dpi;
}

HWND CreateChild(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, const Box& box96,
                 HWND parent, int id, HFONT font) {
    const Box b = Scale(box96, WindowDpi(parent));
    HWND hwnd = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, b.left, b.top, b.width, b.height,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                nullptr);
    if (font) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    Remember96(hwnd, box96, false);
    return hwnd;
}

void RescaleControls(HWND root, int dpi) {
    struct Context {
        int dpi;
    } context{dpi};
    EnumChildWindows(
        root,
        [](HWND child, LPARAM lp) -> BOOL {
            const int dpi = reinterpret_cast<const Context*>(lp)->dpi;
            const Placement96* placement = Remembered96(child);
            if (!placement) return TRUE;
            const Box b = Scale(placement->box, dpi);
            if (placement->sizedByText) {
                SetWindowPos(child, nullptr, b.left, b.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                SetLabelText(child, GetText(child));
            } else {
                Place(child, b.left, b.top, b.width, b.height);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&context));
}

HWND CreateButton(HWND parent, int id, int x, int y, int width, int height, const std::u16string& text, HFONT font) {
    return CreateChild(0, L"BUTTON", Wz(text), WS_TABSTOP | BS_PUSHBUTTON, {x, y, width, height}, parent, id, font);
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
    const int dpi = WindowDpi(parent);
    HWND label = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_NOTIFY,
                                 Scale(x, dpi), Scale(y, dpi), 0, 0, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    Remember96(label, {x, y, 0, 0}, true);
    SetLabelText(label, text);
    return label;
}

HWND CreateImageButton(HWND parent, int id, int x, int y, int width, int height, int pictureId, int pictureWidth,
                       int pictureHeight, const std::u16string& hint) {
    RegisterClasses();
    HWND hwnd = CreateChild(0, kImageButtonClass, L"", 0, {x, y, width, height}, parent, id, nullptr);
    auto* data = new ImageButtonData;
    const int dpi = WindowDpi(hwnd);
    data->bitmap.Reset(LoadButtonPicture(pictureId, GetSysColor(COLOR_BTNFACE), Scale(pictureWidth, dpi),
                                         Scale(pictureHeight, dpi)));
    data->bitmapDpi = dpi;
    data->pictureId = pictureId;
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

// --- Control wrappers ---

int ComboBoxRef::Count() const {
    const LRESULT n = Send(CB_GETCOUNT, 0, 0, CB_ERR);
    return n == CB_ERR ? 0 : static_cast<int>(n);
}

int ComboBoxRef::Selected() const {
    const LRESULT index = Send(CB_GETCURSEL, 0, 0, CB_ERR);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void ComboBoxRef::Select(int index) const { Send(CB_SETCURSEL, static_cast<WPARAM>(index)); }

void ComboBoxRef::Clear() const { Send(CB_RESETCONTENT); }

void ComboBoxRef::Add(const std::u16string& text) const { Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wz(text))); }

void ComboBoxRef::Delete(int index) const {
    if (index >= 0) Send(CB_DELETESTRING, static_cast<WPARAM>(index));
}

std::u16string ComboBoxRef::ItemText(int index) const {
    if (index < 0) return {};
    const LRESULT length = Send(CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0, CB_ERR);
    if (length == CB_ERR || length < 0) return {};
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got = Send(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()), CB_ERR);
    if (got == CB_ERR || got < 0) return {};
    return U16(buffer.c_str(), std::min(static_cast<std::size_t>(got), static_cast<std::size_t>(length)));
}

std::vector<std::u16string> ComboBoxRef::Items() const {
    std::vector<std::u16string> items;
    const int count = Count();
    items.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) items.push_back(ItemText(i));
    return items;
}

void ComboBoxRef::SetDroppedWidth(int pixels) const { Send(CB_SETDROPPEDWIDTH, static_cast<WPARAM>(pixels)); }

bool ButtonRef::Checked() const { return Send(BM_GETCHECK) == BST_CHECKED; }

void ButtonRef::SetChecked(bool checked) const {
    if (Checked() != checked) Send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
}

void EditRef::Select(int from, int to) const { Send(EM_SETSEL, static_cast<WPARAM>(from), static_cast<LPARAM>(to)); }

EditRef::Range EditRef::Selection() const {
    DWORD from = 0, to = 0;
    Send(EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    return {static_cast<int>(from), static_cast<int>(to)};
}

void EditRef::SetLimit(int characters) const { Send(EM_SETLIMITTEXT, static_cast<WPARAM>(characters)); }

RedrawHold::RedrawHold(HWND window, bool hold) : hwnd_(hold ? window : nullptr) {
    if (hwnd_) SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
}

RedrawHold::~RedrawHold() {
    if (hwnd_) SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
}

}  // namespace tarvenix
