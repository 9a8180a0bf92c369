// The message window (TForm3): created once, hidden, shown modally over the
// main window. It sends a message box to the sessions selected in the session
// list and keeps a template (subject and text) in message.txt in the
// application directory. It also owns the session menu's
// "Отправить сообщение" item, which opens it.
#pragma once

#include <windows.h>

#include <string>

#include "base/controls_win.h"
#include "base/engine.h"
#include "base/services.h"
#include "base/window_win.h"
#include "sessions/session_list.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

// Control IDs of the message window (never IDOK or IDCANCEL: the dialog
// keys send those).
enum MessageControlId : int {
    kIdSendButton = command_ranges::kMessageWindow.first,
    kIdSubjectBox,
    kIdTextBox,
    kIdSaveTemplateButton,
    kIdLoadTemplateButton,
};
static_assert(FitsIn(command_ranges::kMessageWindow, kIdLoadTemplateButton));

enum MessageCommandId : int {
    kCmdSendMessage = command_ranges::kMessage.first,  // J1, in the main window's session menu
};

inline constexpr char16_t kMessageCaption[] = u"Отправка сообщения";
// At 96 DPI.
inline constexpr int kMessageOuterWidth = 350;
inline constexpr int kMessageOuterHeight = 280;
inline constexpr int kMessageClientWidth = 334;
inline constexpr int kMessageClientHeight = 242;

class MessageWindow final : public Window, public CommandTarget {
public:
    MessageWindow(const Services& services, TerminalServices& terminal, const SessionListView& sessions);
    ~MessageWindow() override {
        runs_.Cancel();
        DestroyNow();
    }

    // Builds the window and its controls, hidden, owned by `owner` (the main
    // window). Throws AppError when the window cannot be made.
    void Create(HWND owner);
    void AddMenuItems(HMENU sessionMenu);
    // Shows the window modally; returns when it is closed.
    void ShowModal();

    // The two halves of ShowModal, without the message loop in between.
    // Open: the owner is disabled, the window is centred over it the first
    // time, FormShow runs and the window shows. Close: what the close button,
    // Esc and the dialog's Cancel do: the owner is enabled again and the
    // window hides, keeping its texts.
    void Open();
    void Close();
    bool IsOpen() const { return open_; }
    // Messages are going out.
    bool Sending() const { return sending_; }

    HWND Panel() const { return panel_; }
    HWND SubjectLabel() const { return subjectLabel_; }
    HWND TextLabel() const { return textLabel_; }
    HWND SaveTemplateButton() const { return saveTemplateButton_; }
    HWND LoadTemplateButton() const { return loadTemplateButton_; }
    HWND SubjectBox() const { return subjectBox_; }
    HWND TextBox() const { return textBox_; }
    HWND StatusLabel() const { return statusLabel_; }
    HWND SendButton() const { return sendButton_; }

    void FormShow();  // empties the status
    void Send();
    void SaveTemplate();  // throws AppError
    void LoadTemplate();  // throws AppError

    // The template file: the application directory and "message.txt".
    std::u16string TemplatePath() const;

    CommandRange Commands() const override { return command_ranges::kMessage; }
    void OnCommand(int id) override;
    void CancelWork() override { runs_.Cancel(); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnDestroyed() override { open_ = false; }

private:
    void BuildControls();
    void SetSending(bool sending);
    void CenterOverOwner();
    void OnControl(int id);

    TerminalServices& terminal_;
    const SessionListView& sessions_;
    HWND owner_ = nullptr;
    Fonts fonts_;
    HWND panel_ = nullptr, subjectLabel_ = nullptr, subjectBox_ = nullptr, textLabel_ = nullptr, textBox_ = nullptr,
         saveTemplateButton_ = nullptr, loadTemplateButton_ = nullptr, statusLabel_ = nullptr, sendButton_ = nullptr;
    CancelToken runs_;  // cancelled when the window goes
    bool sending_ = false;
    bool open_ = false;
    bool shownOnce_ = false;
    HWND lastFocus_ = nullptr;
    // The frame the system gives the window's style, and the margin added
    // inside it so that the client area has its fixed size.
    RECT standardFrame_{};
    RECT extraMargin_{};
};

}  // namespace tarvenix
