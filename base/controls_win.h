// Small control helpers of the program's windows: panels that pass their
// children's notifications to the top-level window, labels that size
// themselves to their text, and image buttons that take no focus.
//
// Positions and sizes given to these helpers are pixels at 96 DPI: the
// control is made at the parent's DPI and remembers its 96-DPI box, so that
// RescaleControls can place it again when the window moves to a monitor of
// another DPI.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/dpi.h"
#include "base/handles_win.h"

namespace tarvenix {

// The window fonts: "MS Sans Serif", 11 pixels high at 96 DPI.
struct Fonts {
    explicit Fonts(int dpi = kDefaultDpi);
    // Makes the fonts for another DPI and gives them to every control under
    // root that uses one of the present ones; the old fonts are deleted after.
    void Rescale(HWND root, int dpi);
    int Dpi() const { return dpi_; }
    FontHandle normalFont, boldFont, underlineFont;
    HFONT normal() const { return normalFont.Get(); }
    HFONT bold() const { return boldFont.Get(); }
    HFONT underline() const { return underlineFont.Get(); }

private:
    int dpi_;
};

// A child control at a box given at 96 DPI, made at the parent's DPI, with the font.
HWND CreateChild(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, const Box& box96,
                 HWND parent, int id, HFONT font);

// Places every control under root that one of these helpers made at its
// 96-DPI box scaled to dpi; labels are measured again in their present font.
void RescaleControls(HWND root, int dpi);

// A push button with the given font.
HWND CreateButton(HWND parent, int id, int x, int y, int width, int height, const std::u16string& text, HFONT font);

enum class Bevel { None, Raised };

// A panel: paints the button face (and a raised 1-pixel bevel), forwards
// WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*, WM_DRAWITEM and WM_CONTEXTMENU to the
// top-level window and returns its answer.
HWND CreatePanel(HWND parent, Bevel bevel, const wchar_t* name);

// A label at (x, y) sized to its text; SetLabelText re-sizes it.
HWND CreateLabel(HWND parent, int x, int y, const std::u16string& text, HFONT font, int id = 0);
void SetLabelText(HWND label, const std::u16string& text);
std::u16string GetText(HWND window);

// An image button: shows the bitmap resource pictureId at pictureWidth x
// pictureHeight (composited over the button face, see LoadButtonPicture) and no
// text, clicks send WM_COMMAND(id, BN_CLICKED) to the top-level window, never
// takes the keyboard focus; the hint shows in a tooltip.
HWND CreateImageButton(HWND parent, int id, int x, int y, int width, int height, int pictureId, int pictureWidth,
                       int pictureHeight, const std::u16string& hint);

std::u16string ImageButtonHint(HWND button);

// The wait cursor while a remote call runs on the GUI thread.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

// Moves a child window (no-op when nothing changes).
void Place(HWND window, int left, int top, int width, int height);

// Thin wrappers over a control's handle (not owned) for the messages the
// features send it. A null handle is allowed: nothing happens, and the
// answers are those of an empty control.
class ControlRef {
public:
    explicit ControlRef(HWND control = nullptr) : hwnd_(control) {}
    HWND Handle() const { return hwnd_; }

protected:
    // The control's answer; `none` without a control.
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0, LRESULT none = 0) const {
        return hwnd_ ? SendMessageW(hwnd_, msg, wp, lp) : none;
    }

private:
    HWND hwnd_;
};

class ComboBoxRef : public ControlRef {
public:
    using ControlRef::ControlRef;
    int Count() const;
    // The selected item, -1 when none is.
    int Selected() const;
    void Select(int index) const;
    void Clear() const;
    void Add(const std::u16string& text) const;
    void Delete(int index) const;
    // An item's text (empty when there is no such item).
    std::u16string ItemText(int index) const;
    std::vector<std::u16string> Items() const;
    // The width of the open list, in pixels (never narrower than the box).
    void SetDroppedWidth(int pixels) const;
};

class ButtonRef : public ControlRef {
public:
    using ControlRef::ControlRef;
    bool Checked() const;
    void SetChecked(bool checked) const;
};

class EditRef : public ControlRef {
public:
    using ControlRef::ControlRef;
    // Selects from `from` up to `to` (-1: to the end).
    void Select(int from, int to) const;
    void SelectAll() const { Select(0, -1); }
    struct Range {
        int from = 0, to = 0;
    };
    Range Selection() const;
    // The most text it takes; 0 for as much as the system allows.
    void SetLimit(int characters) const;
};

// Holds a window's redrawing while it lives (when `hold`); lets the window
// redraw again when it ends.
class RedrawHold {
public:
    RedrawHold(HWND window, bool hold);
    ~RedrawHold();
    RedrawHold(const RedrawHold&) = delete;
    RedrawHold& operator=(const RedrawHold&) = delete;

private:
    HWND hwnd_;
};

}  // namespace tarvenix
