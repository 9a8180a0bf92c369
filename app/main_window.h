// The main window (TForm1): the shell that holds the features. It builds the
// panels and lays them out, assembles the session menu from the features'
// items, routes each command to the feature that owns its ID range, and runs
// the form events (create, show, close, destroy, the end of the Windows
// session). Each feature owns its controls, its state and its commands:
//   sessions/session_list_win    the session list, Get data, the counters
//   servers/server_box_win       the server box, its files and server lists
//   actions/logoff_commands_win  log off selected / all
//   actions/shadow_command_win   shadowing
//   actions/process_panel_win    the process panel
//   actions/message_window       the message window (TForm3)
//   actions/cleanup_dialog_win   "Завершить отключённые сессии…"
//   actions/session_details_win  "Сведения о сессии…"
// docs/form-names.md maps the form names of the windows to the code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "actions/cleanup_dialog_win.h"
#include "actions/logoff_commands_win.h"
#include "actions/message_window.h"
#include "actions/process_panel_win.h"
#include "actions/session_details_win.h"
#include "actions/shadow_command_win.h"
#include "base/controls_win.h"
#include "base/handles_win.h"
#include "base/services.h"
#include "base/window_win.h"
#include "servers/server_box_win.h"
#include "servers/server_source.h"
#include "sessions/session_list_win.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

enum MainWindowId : int {
    kIdMakerLink = command_ranges::kMainWindow.first,
};

inline constexpr char16_t kMainCaption[] = u"Tarvenix (v.1.1)";
inline constexpr char16_t kMakerHost[] = u"tarvenix.example";
inline constexpr char16_t kMakerAddress[] = u"http://tarvenix.example/";
// Asked when the settings could not be written on closing.
inline constexpr char16_t kCloseWithoutSavingQuestion[] =
    u"Настройки и список серверов не сохранены. Закрыть программу без сохранения?";

class MainWindow final : public Window {
public:
    // terminal: the servers' sessions, for every session feature; directory:
    // the server box's directory button.
    MainWindow(const Services& services, TerminalServices& terminal, ServerSource& directory);
    ~MainWindow() override { DestroyNow(); }

    // Builds the window and its controls, then the message window (hidden, owned
    // by this one); FormCreate runs at the end. Hidden.
    // Throws AppError when the window cannot be made.
    void Create();
    // FormShow, then the window becomes visible (centred on the screen).
    void Show(int showCommand);
    // Keyboard navigation of the message loop (Tab between controls); true
    // when the message was used. Enter in the server box is left to the box.
    bool PreTranslateMessage(MSG& msg);

    // The features.
    SessionList& Sessions() { return sessions_; }
    ServerBox& Servers() { return serverBox_; }
    ProcessPanel& Processes() { return processPanel_; }
    LogoffCommands& Logoff() { return logoff_; }
    MessageWindow& Messages() { return messageWindow_; }
    CleanupDialog& Cleanup() { return cleanup_; }
    SessionDetailsWindow& SessionDetailsView() { return details_; }
    OrderingState& Ordering() { return ordering_; }  // SortedColumn and Descending

    // The window's own controls.
    struct Panels {
        HWND serverStrip = nullptr;
        HWND sessionPart = nullptr;
        HWND sessionFrame = nullptr;
        HWND sessionHeader = nullptr;
        HWND sessionHeaderLabel = nullptr;
        HWND sessionButtons = nullptr;
        HWND footer = nullptr;
        HWND footerRight = nullptr;
        HWND makerLink = nullptr;
    };
    const Panels& panels() const { return panels_; }
    HMENU SessionMenu() const { return sessionMenu_.Get(); }
    bool HandCursor() const { return handCursor_; }
    bool RegisteredSessionNotification() const { return registeredSessionNotification_; }

    // --- Form events ---
    void FormCreate();
    void FormShow();
    void FormClose();  // throws AppError when the settings cannot be written
    void FormDestroy();

    void OpenMakerSite();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    static LRESULT CALLBACK LinkSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    void BuildControls();
    void BuildSessionMenu();
    void Layout();
    void OnDpiChanged(int dpi, const RECT& suggested);
    int Dpi() const;
    bool AllowCommand(const CommandTarget& feature, int id) override;
    void OnOtherCommand(int id, int code, bool fromControl) override;
    void OnClose();
    void RefreshCursor();
    void LinkMouseEnter();
    void LinkMouseLeave();

    TerminalServices& terminal_;
    Fonts fonts_;
    OrderingState ordering_;
    Activity activity_;  // remote work going: the wait cursor
    SessionList sessions_;
    ServerBox serverBox_;
    LogoffCommands logoff_;
    ShadowCommand shadow_;
    ProcessPanel processPanel_;
    MessageWindow messageWindow_;
    CleanupDialog cleanup_;
    SessionDetailsWindow details_;
    Panels panels_;
    MenuHandle sessionMenu_;
    IconHandle iconBig_, iconSmall_;
    bool registeredSessionNotification_ = false;
    bool handCursor_ = false;  // the application-wide cursor is the hand while over the footer link
    bool shownOnce_ = false;
    HWND focusBeforeDeactivation_ = nullptr;  // given back when the window is active again
    int dpi_ = 0;  // the window's DPI; 0 before the window exists
};

}  // namespace tarvenix
