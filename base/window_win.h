// The base of the program's top-level windows and of the controls that handle
// their own notifications.
//
// Window: the this-pointer thunk (the object is stored at WM_NCCREATE and
// forgotten at WM_NCDESTROY), a virtual message handler, the error-reporting
// command dispatch (RunHandler), modal showing, and the boxes the window owns.
// WM_NOTIFY from a child is first offered to the Control object attached to
// the child (reflection), so a control handles its own header and custom-draw
// notifications; the same goes for WM_CONTEXTMENU. WM_COMMAND goes to the
// feature whose ID range holds the ID (base/command_ids.h): the feature says
// which notifications are its commands, and the window may hold a command
// back (AllowCommand); the window itself gets only the IDs no feature owns.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "base/command_ids.h"
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

// What a feature does with a key message before the window's dialog keys.
struct KeyAnswer {
    enum Use {
        NotMine,    // the next feature, then the window's dialog keys, get it
        Used,       // nothing else sees it (`command`, when not 0, runs as from a menu)
        ToControl,  // the focused control gets it as it is, without dialog keys
    };
    Use use = NotMine;
    int command = 0;
};

// A feature of a window: owns its controls, its state, a range of command IDs
// (base/command_ids.h), its shortcut keys, and says which of its commands
// still run while the window lists its rows.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    virtual CommandRange Commands() const = 0;
    virtual void OnCommand(int id) = 0;
    // Whether a WM_COMMAND with one of its IDs is a command: from a menu or
    // an accelerator (not fromControl), or the control's notification `code`.
    // By default a click (BN_CLICKED, STN_CLICKED).
    virtual bool IsCommand(int id, int code, bool fromControl) const;
    // Whether the command runs while the window's rows are being listed (the
    // commands on rows wait for them).
    virtual bool AvailableWhileListing(int) const { return false; }
    // A key message for a control of the window, before the dialog keys.
    virtual KeyAnswer TranslateKey(const MSG&) { return {}; }
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
    OwnedDialogs OwnDialogs() const { return OwnedDialogs(services_.dialogs, reinterpret_cast<WindowRef>(hwnd_)); }
    const Services& services() const { return services_; }

    // Runs a handler as the window's event dispatch does: an error that
    // escapes it goes to the default error box, owned by this window. False
    // when an error escaped.
    template <typename F>
    bool RunHandler(F&& handler) {
        return RunReportingErrors(OwnDialogs(), std::forward<F>(handler));
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

    // The features whose commands come to this window (WM_COMMAND with an ID
    // of a feature's range goes to it, see CommandTarget::IsCommand).
    void SetFeatures(std::vector<CommandTarget*> features) { features_ = std::move(features); }
    const std::vector<CommandTarget*>& Features() const { return features_; }
    // Runs a command as the window's WM_COMMAND does (from a menu or a key):
    // the feature that owns it, if the window allows it now, else OnOtherCommand.
    // Errors go to the window's error box.
    void RunCommand(int id, int code = 0, bool fromControl = false);
    // A feature's command is about to run: false holds it back.
    virtual bool AllowCommand(const CommandTarget&, int) { return true; }
    // A WM_COMMAND whose ID no feature owns.
    virtual void OnOtherCommand(int, int, bool) {}
    // The features' keys first (KeyAnswer); true when the message was used
    // (a command the answer names has run), and *toControl when it goes to
    // the control as it is.
    bool TranslateFeatureKeys(MSG& msg, bool* toControl);

    // A modal loop for this window: dialog keys go to it, and the loop ends
    // when *open turns false. A quit message ends it too and is posted again
    // for the outer loop; returns false then.
    bool RunModalLoop(const bool& open);

private:
    static LRESULT CALLBACK Thunk(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    Services services_;
    HWND hwnd_ = nullptr;
    std::vector<CommandTarget*> features_;
};

}  // namespace tarvenix
