// The main window (TForm1): the server strip, the session list, the process
// panel and the footer. Its commands live in one file per feature:
//   app/main_window_win.cpp                 creation, layout, menus, wiring, start and close
//   sessions/main_window_sessions_win.cpp   Get data, ordering, row colours
//   actions/main_window_logoff_win.cpp      log off selected / all
//   actions/main_window_shadow_win.cpp      shadowing
//   actions/main_window_processes_win.cpp   the process panel
//   actions/main_window_message_win.cpp     opening the message window
//   servers/main_window_servers_win.cpp     server box, settings files, server lists
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "app/controls_win.h"
#include "app/report_list_win.h"
#include "app/services.h"
#include "sessions/list_ordering.h"

namespace tarvenix {

class MessageWindow;
enum class TextEncoding;

// Control and menu-command IDs.
enum MainControlId : int {
    kIdEdit1 = 100,
    kIdButton1,
    kIdSpeedButtonTxt,
    kIdSpeedButtonAd,
    kIdListView1,
    kIdBtnGetAll,
    kIdBtnCloseAll,
    kIdListView3,
    kIdSpeedButton1,
    kIdButton3,
    kIdLabel2,
    // PopupMenu1
    kIdN1 = 200,
    kIdN3,
    kIdN4,
    kIdJ1,
    kIdN2,
    // PopupMenu3
    kIdN6 = 210,
    kIdM2,
};

inline constexpr char16_t kApplicationTitle[] = u"Tarvenix";
inline constexpr char16_t kMainCaption[] = u"Tarvenix (v.1.1)";
inline constexpr char16_t kMakerHost[] = u"tarvenix.example";
inline constexpr char16_t kMakerAddress[] = u"http://tarvenix.example/";

class MainWindow {
public:
    explicit MainWindow(const Services& services);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Builds the window and its controls (FormCreate runs at the end), hidden.
    // Throws AppError when the window cannot be made.
    void Create();
    // FormShow, then the window becomes visible (centred on the screen).
    void Show(int showCommand);
    HWND Handle() const { return hwnd_; }
    // Keyboard navigation of the message loop (Tab between controls); true
    // when the message was used. Enter in the server box is left to the box.
    bool PreTranslateMessage(MSG& msg);
    void SetMessageWindow(MessageWindow* window) { messageWindow_ = window; }

    // Runs a handler as the window's event dispatch does: errors that escape
    // it go to the default error box. Returns false when an error escaped.
    template <typename F>
    bool RunHandler(F&& handler);

    // --- Controls (named after the window's layout) ---
    struct Controls {
        HWND panel1 = nullptr, label1 = nullptr, edit1 = nullptr, speedButtonTxt = nullptr, speedButtonAd = nullptr,
             button1 = nullptr, label15 = nullptr, label16 = nullptr, label13 = nullptr, label14 = nullptr;
        HWND panelMain = nullptr, panel4 = nullptr, panel6 = nullptr, label8 = nullptr, panel5 = nullptr,
             btnGetAll = nullptr, btnCloseAll = nullptr;
        HWND panelRight = nullptr, panel10 = nullptr, labelUser = nullptr, speedButton1 = nullptr, button3 = nullptr,
             panel11 = nullptr, label11 = nullptr;
        HWND panel3 = nullptr, panel2 = nullptr, label2 = nullptr;
    } c;
    ReportList listView1;
    ReportList listView3;
    HMENU popupMenu1 = nullptr;
    HMENU popupMenu3 = nullptr;

    // --- State ---
    OrderingState ordering;  // SortedColumn and Descending, shared by both lists
    std::u16string listedServer;    // ListedServer
    std::int32_t activeCount = 0;   // ActiveCount
    std::int32_t rowCount = 0;
    std::u16string processListMode;  // ProcessListMode: "user", "server" or empty
    std::u16string processServer;    // the server whose processes ListView3 shows
    bool registeredSessionNotification = false;  // FRegisteredSessionNotification
    std::optional<TextEncoding> historyEncoding;  // HistoryEncoding
    bool handCursor = false;  // the application-wide cursor is the hand while over the footer link

    // --- Form events ---
    void FormCreate();
    void FormShow();
    void FormClose();  // throws AppError when the settings cannot be written
    void FormDestroy();

    // --- Commands ---
    void Button1Click();  // Get data
    void EnumSessions();
    void ListView1ColumnClick(int column);
    void ListView3ColumnClick(int column);
    COLORREF ListView1CustomDrawItem(int index) const;  // the row's background
    void N3Click();              // log off selected
    void BtnCloseAllClick();     // log off all
    void N4Click();              // shadow
    void J1Click();              // message window
    void N2Click();              // processes of the selected session
    void BtnGetAllClick();       // all processes
    void sSpeedButton1Click();   // refresh the process list
    void Button3Click();         // close the process panel
    void M2Click();              // terminate the selected process
    bool ListProcesses(ReportList& list);
    void Edit1KeyDown(WPARAM key);
    void sSpeedButtonTXTClick();
    void sSpeedButtonADClick();
    void Label2Click();
    void Label2MouseEnter();
    void Label2MouseLeave();

    // --- Server box (the history is the combo box's items) ---
    std::u16string ServerText() const;
    void SetServerText(const std::u16string& text);
    std::vector<std::u16string> History() const;
    void SetHistory(const std::vector<std::u16string>& entries);
    void ClearServerBox();
    std::u16string FirstHistoryEntry() const;

    const Services& services() const { return services_; }

private:
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK EditSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT CALLBACK LinkSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void BuildControls();
    void BuildMenus();
    void Layout();
    void OnCommand(int id);
    bool OnNotify(NMHDR* header, LRESULT* result);
    void OnContextMenu(HWND from, LPARAM lp);
    void ShowProcessPanel();
    void InstallServerBoxHooks();  // completion and keys of the server box
    void RestoreServerBox();       // the first steps of FormShow
    void SaveServerBox();          // FormClose
    void ReportSystemError(const std::u16string& what, std::uint32_t code);

    Services services_;
    HWND hwnd_ = nullptr;
    Fonts fonts_;
    HICON iconBig_ = nullptr;
    HICON iconSmall_ = nullptr;
    MessageWindow* messageWindow_ = nullptr;
    bool shownOnce_ = false;
    HWND focusBeforeDeactivation_ = nullptr;  // given back when the window is active again
};

}  // namespace tarvenix

#include "app/main_window_dispatch.h"
