// The base of the program's top-level windows and of the controls that handle
// their own notifications.
//
// Window: the this-pointer thunk (the object is stored at WM_NCCREATE and
// forgotten at WM_NCDESTROY), a virtual message handler, the error-reporting
// command dispatch (RunHandler), modal showing, and the boxes the window owns.
// WM_NOTIFY from a child is first offered to the Control object attached to
// the child (reflection), so a control handles its own header and custom-draw
// notifications; the same goes for WM_CONTEXTMENU.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/app_error.h"
#include "base/services.h"

namespace tarvenix {

// A child control with an object behind it.
class Control {
public:
    Control() = default;
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // The object attached to a window, or null.
    static Control* FromHandle(HWND hwnd);

    // A notification the control sent to its parent, given back to it. True
    // when handled, with the answer in *result.
    virtual bool OnReflectedNotify(NMHDR* header, LRESULT* result);
    // The context-menu key or right button over the control, at screen point
    // (x, y), or (-1, -1) from the keyboard. True when handled.
    virtual bool OnReflectedContextMenu(int x, int y);

protected:
    void Attach(HWND hwnd);
    void Detach();

private:
    HWND attached_ = nullptr;
};

// The remote work a window's features have going: while any is, the window
// shows the wait cursor (and stays live).
class Activity {
public:
    bool Busy() const { return count_ > 0; }
    void Begin() {
        if (count_++ == 0 && changed) changed();
    }
    void End() {
        if (count_ > 0 && --count_ == 0 && changed) changed();
    }
    std::function<void()> changed;

private:
    int count_ = 0;
};

// A range of command IDs owned by one feature of a window.
struct CommandRange {
    int first = 0;
    int last = 0;
    bool Contains(int id) const { return id >= first && id <= last; }
};

// A feature of a window: owns its controls, its state and a range of command IDs.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    virtual CommandRange Commands() const = 0;
    virtual void OnCommand(int id) = 0;
    // The window is going: remote work still running delivers nothing.
    virtual void CancelWork() {}
};

class Window {
public:
    explicit Window(const Services& services) : services_(services) {}
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return hwnd_; }
    // Message boxes owned by this window.
    Boxes OwnBoxes() const { return Boxes(services_.dialogs, reinterpret_cast<WindowRef>(hwnd_)); }
    const Services& services() const { return services_; }

    // Runs a handler as the window's event dispatch does: an error that
    // escapes it goes to the default error box, owned by this window. False
    // when an error escaped.
    template <typename F>
    bool RunHandler(F&& handler) {
        return RunReportingErrors(OwnBoxes(), std::forward<F>(handler));
    }

protected:
    // Registers the class (once per process: button-face background, arrow
    // cursor) and creates the window. Throws AppError when it cannot.
    void CreateFormWindow(const wchar_t* className, DWORD exStyle, const std::u16string& caption, DWORD style, int x,
                          int y, int width, int height, HWND owner);

    // Messages of the window; the default passes them to DefWindowProc.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT DefaultHandling(UINT msg, WPARAM wp, LPARAM lp);
    // Called at WM_NCDESTROY, after which Handle() is null.
    virtual void OnDestroyed() {}
    // Destroys the window while the derived object and its controls still
    // live: every derived destructor calls it first.
    void DestroyNow();

    // A modal loop for this window: dialog keys go to it, and the loop ends
    // when *open turns false. A quit message ends it too and is posted again
    // for the outer loop; returns false then.
    bool RunModalLoop(const bool& open);

private:
    static LRESULT CALLBACK Thunk(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    Services services_;
    HWND hwnd_ = nullptr;
};

}  // namespace tarvenix
