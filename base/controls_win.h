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

}  // namespace tarvenix
