// A small modal window of the main window's own (the clean-up dialog, the
// session details): a fixed client area given at 96 DPI, shown over its owner
// with the owner disabled; Esc, the close button and the dialog's Cancel
// close it; Tab moves between its controls; it follows its owner to another DPI.
#pragma once

#include <windows.h>

#include <string>

#include "base/controls_win.h"
#include "base/window_win.h"

namespace tarvenix {

class ToolDialog : public Window {
public:
    using Window::Window;
    ~ToolDialog() override { DestroyNow(); }

    // Shows the window modally; returns when it is closed.
    void ShowModal();
    // The two halves of ShowModal, without the message loop in between:
    // Open disables the owner, centres the window over it and shows it;
    // Close enables the owner again and hides the window.
    void Open();
    void Close();
    bool IsOpen() const { return open_; }

protected:
    // Makes the window (hidden) with a client area of the given size at 96 DPI.
    // Throws AppError when it cannot.
    void CreateDialogWindow(HWND owner, const wchar_t* className, const std::u16string& caption, int clientWidth,
                            int clientHeight);
    // The window's panel, which holds its controls.
    HWND Body() const { return body_; }
    const Fonts& DialogFonts() const { return fonts_; }
    int Dpi() const;
    // A control's click (or Enter: IDOK); the control first focused on opening.
    virtual void OnControl(int id) = 0;
    virtual HWND FirstFocus() const = 0;
    // The window moved to another DPI (fonts and fixed controls are done already).
    virtual void OnDpi(int) {}
    // The window is about to show, and has hidden.
    virtual void OnOpen() {}
    virtual void OnClose() {}
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnDestroyed() override { open_ = false; }

private:
    void CenterOverOwner();
    HWND owner_ = nullptr;
    HWND body_ = nullptr;
    Fonts fonts_;
    int clientWidth_ = 0, clientHeight_ = 0;
    bool open_ = false;
};

}  // namespace tarvenix
