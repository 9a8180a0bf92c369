// The message window (TForm3): created once, hidden, shown modally over the
// main window. It sends a message box to the sessions selected in the main
// window's session list and keeps a template (subject and text) in
// message.txt in the application directory.
#pragma once

#include <windows.h>

#include <string>

#include "app/controls_win.h"
#include "app/services.h"

namespace tarvenix {

class MainWindow;

// Control IDs of the message window (never IDOK or IDCANCEL: the dialog
// keys send those).
enum MessageControlId : int {
    kIdMsgButton1 = 300,
    kIdMsgEdit1,
    kIdMsgMemo1,
    kIdMsgSpeedButton1,
    kIdMsgSpeedButton2,
};

inline constexpr char16_t kMessageCaption[] = u"Отправка сообщения";
inline constexpr int kMessageOuterWidth = 350;
inline constexpr int kMessageOuterHeight = 280;
inline constexpr int kMessageClientWidth = 334;
inline constexpr int kMessageClientHeight = 242;

class MessageWindow {
public:
    MessageWindow(const Services& services, MainWindow& mainWindow);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // Builds the window and its controls, hidden, owned by the main window.
    // Throws AppError when the window cannot be made.
    void Create();
    // Shows the window modally; returns when it is closed.
    void ShowModal();
    HWND Handle() const { return hwnd_; }

    // The two halves of ShowModal, without the message loop in between.
    // Open: the main window is disabled, the window is centred over it the
    // first time, FormShow runs and the window shows. Close: what the close
    // button does (WM_CLOSE): the main window is enabled again and the
    // window hides, keeping its texts.
    void Open();
    void Close();
    bool IsOpen() const { return open_; }

    // --- Controls (named after the window's layout) ---
    struct Controls {
        HWND panel1 = nullptr, label1 = nullptr, edit1 = nullptr, label2 = nullptr, memo1 = nullptr,
             speedButton1 = nullptr, speedButton2 = nullptr, label3 = nullptr, button1 = nullptr;
    } c;

    // --- Events and commands ---
    void FormShow();             // empties the status
    void Button1Click();         // send
    void sSpeedButton1Click();   // save the template; throws AppError
    void sSpeedButton2Click();   // load the template; throws AppError

    // The template file: the application directory and "message.txt".
    std::u16string TemplatePath() const;

private:
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void BuildControls();
    void CenterOverOwner();
    void OnCommand(int id);
    // Runs a handler as the window's event dispatch does: errors that escape
    // it go to the default error box. Returns false when an error escaped.
    template <typename F>
    bool RunHandler(F&& handler);

    Services services_;
    MainWindow& main_;
    HWND hwnd_ = nullptr;
    Fonts fonts_;
    bool open_ = false;
    bool shownOnce_ = false;
    HWND lastFocus_ = nullptr;
    // The frame the system gives the window's style, and the margin added
    // inside it so that the client area has its fixed size.
    RECT standardFrame_{};
    RECT extraMargin_{};
};

}  // namespace tarvenix
