#include "app/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "app/main_layout.h"
#include "app/win_text.h"
#include "base/picture_resources_win.h"
#include "base/resource_ids.h"
#include "sessions/terminal_services.h"

namespace tarvenix {
namespace {

constexpr wchar_t kMainClass[] = L"TForm1";

std::vector<ReportColumn> SessionColumns() {
    return {
        {u"ID", {0, 30, 30, true}},
        {u"Учетная запись", {0, 150, 150, true}},
        {u"Имя компьютера", {0, 120, 120, true}},
        {u"IP адрес", {100, 100, 100, false}},
        {u"Состояние сессии", {0, 100, 120, true}},
        {u"Сессия", {95, 95, 95, false}},
    };
}

std::vector<ReportColumn> ProcessColumns() {
    return {
        {u"ID сессии", {65, 65, 0, false}},
        {u"Название процесса", {140, 140, 0, false}},
        {u"PID", {50, 0, 0, false}},
    };
}

HWND MakeButton(HWND parent, int id, int x, int y, int w, int h, const wchar_t* text, HFONT font) {
    HWND b = CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return b;
}

// The system's hyperlink colour, unless a colour scheme makes it unreadable on
// the button face (some schemes give a light grey): then the usual link blue.
COLORREF LinkColour() {
    const auto luminance = [](COLORREF c) { return (GetRValue(c) * 299 + GetGValue(c) * 587 + GetBValue(c) * 114) / 1000; };
    const COLORREF link = GetSysColor(COLOR_HOTLIGHT);
    const int contrast = luminance(link) - luminance(GetSysColor(COLOR_BTNFACE));
    return (contrast > 64 || contrast < -64) ? link : RGB(0, 102, 204);
}

}  // namespace

MainWindow::MainWindow(const Services& services)
    : listView1(ordering, SessionColumns()), listView3(ordering, ProcessColumns()), services_(services) {}

MainWindow::~MainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (popupMenu1) DestroyMenu(popupMenu1);
    if (popupMenu3) DestroyMenu(popupMenu3);
    if (iconBig_) DestroyIcon(iconBig_);
    if (iconSmall_) DestroyIcon(iconSmall_);
}

void MainWindow::Create() {
    RegisterFormClass(kMainClass, &MainWindow::WndProc);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RECT rc{0, 0, kInitialClientWidth, kInitialClientHeight};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    AdjustWindowRectEx(&rc, style, FALSE, WS_EX_CONTROLPARENT);
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kMainClass, Wz(std::u16string(kMainCaption)), style, CW_USEDEFAULT,
                            CW_USEDEFAULT, rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, instance, this);
    if (!hwnd_) throw AppError(u"Cannot create the main window");
    iconBig_ = LoadAppIcon(GetSystemMetrics(SM_CXICON));
    iconSmall_ = LoadAppIcon(GetSystemMetrics(SM_CXSMICON));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(iconBig_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(iconSmall_));
    BuildControls();
    BuildMenus();
    Layout();
    FormCreate();
}

void MainWindow::BuildControls() {
    HFONT f = fonts_.normal;
    // Creation order is the tab order within each parent: the session part
    // first, then the process panel, then the server strip.
    c.panelMain = CreatePanel(hwnd_, Bevel::Raised, L"Panel_Main");
    c.panel4 = CreatePanel(c.panelMain, Bevel::None, L"Panel4");
    listView1.Create(c.panel4, kIdListView1, f);
    c.panel6 = CreatePanel(c.panel4, Bevel::None, L"Panel6");
    c.label8 = CreateLabel(c.panel6, 8, 14, u"Сессии на серверах фермы", fonts_.bold);
    c.panel5 = CreatePanel(c.panel6, Bevel::None, L"Panel5");
    c.btnGetAll = MakeButton(c.panel5, kIdBtnGetAll, 5, 8, 137, 25, L"Список всех процессов", f);
    c.btnCloseAll = MakeButton(c.panel5, kIdBtnCloseAll, 149, 8, 137, 25, L"Завершить все сессии", f);

    c.panelRight = CreatePanel(hwnd_, Bevel::None, L"Panel_Right");
    ShowWindow(c.panelRight, SW_HIDE);
    listView3.Create(c.panelRight, kIdListView3, f);
    c.panel10 = CreatePanel(c.panelRight, Bevel::None, L"Panel10");
    c.labelUser = CreateLabel(c.panel10, 13, 16, u"", fonts_.bold);
    c.speedButton1 = CreateImageButton(c.panel10, kIdSpeedButton1, 160, 10, 23, 22, IDB_REFRESH, 15, 15, u"");
    c.button3 = MakeButton(c.panel10, kIdButton3, 192, 8, 75, 25, L"Закрыть", f);
    c.panel11 = CreatePanel(c.panelRight, Bevel::None, L"Panel11");
    c.label11 = CreateLabel(c.panel11, 8, 8, u"", f);

    c.panel1 = CreatePanel(hwnd_, Bevel::Raised, L"Panel1");
    c.button1 = MakeButton(c.panel1, kIdButton1, 289, 16, 105, 49, L"Получить данные", f);
    c.label1 = CreateLabel(c.panel1, 10, 23, u"Имя сервера:", f);
    c.edit1 = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                              8, 43, 145, 200, c.panel1, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdEdit1)),
                              GetModuleHandleW(nullptr), nullptr);
    SendMessageW(c.edit1, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
    c.speedButtonTxt = CreateImageButton(c.panel1, kIdSpeedButtonTxt, 169, 31, 32, 34, IDB_TXT, 24, 30,
                                         u"Получить список серверов из текстового файла");
    c.speedButtonAd = CreateImageButton(c.panel1, kIdSpeedButtonAd, 209, 31, 32, 34, IDB_LDAP, 24, 30,
                                        u"Получить список серверов из Active Directory");
    c.label15 = CreateLabel(c.panel1, 424, 24, u"Кол-во сессий сервера:  ", f);
    c.label16 = CreateLabel(c.panel1, 554, 24, u"", fonts_.bold);
    c.label13 = CreateLabel(c.panel1, 424, 43, u"Из них активных сессий:", f);
    c.label14 = CreateLabel(c.panel1, 554, 43, u"", fonts_.bold);

    c.panel3 = CreatePanel(hwnd_, Bevel::None, L"Panel3");
    c.panel2 = CreatePanel(c.panel3, Bevel::None, L"Panel2");
    c.label2 = CreateLabel(c.panel2, 16, 6, kMakerHost, fonts_.underline, kIdLabel2);
    SetWindowSubclass(c.label2, &MainWindow::LinkSubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    InstallServerBoxHooks();
}

void MainWindow::BuildMenus() {
    popupMenu1 = CreatePopupMenu();
    HMENU n1 = CreatePopupMenu();
    AppendMenuW(n1, MF_STRING, kIdN3, L"Вы уверены?");
    AppendMenuW(popupMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(n1), L"Завершить сессию (-и)");
    AppendMenuW(popupMenu1, MF_STRING, kIdN4, L"Подключиться к сессии (только Win 2012, 8, 10)");
    AppendMenuW(popupMenu1, MF_STRING, kIdJ1, L"Отправить сообщение");
    AppendMenuW(popupMenu1, MF_STRING, kIdN2, L"Получить список процессов");
    popupMenu3 = CreatePopupMenu();
    HMENU n6 = CreatePopupMenu();
    AppendMenuW(n6, MF_STRING, kIdM2, L"Вы уверены?");
    AppendMenuW(popupMenu3, MF_POPUP, reinterpret_cast<UINT_PTR>(n6), L"Завершить процесс");
}

void MainWindow::Layout() {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    const bool right = IsWindowVisible(c.panelRight) != FALSE || (GetWindowLongW(c.panelRight, GWL_STYLE) & WS_VISIBLE);
    const MainLayout l = ComputeMainLayout(rc.right, rc.bottom, right);
    const auto put = [](HWND w, const Box& b) { Place(w, b.left, b.top, b.width, b.height); };
    put(c.panel1, l.panel1);
    put(c.panel3, l.panel3);
    put(c.panel2, l.panel2);
    put(c.panelMain, l.panelMain);
    put(c.panel4, l.panel4);
    put(c.panel6, l.panel6);
    put(c.panel5, l.panel5);
    put(listView1.Handle(), l.listView1);
    if (right) {
        put(c.panelRight, l.panelRight);
        put(c.panel10, l.panel10);
        put(c.panel11, l.panel11);
        put(listView3.Handle(), l.listView3);
    }
    InvalidateRect(c.panelMain, nullptr, TRUE);
    InvalidateRect(c.panel1, nullptr, TRUE);
}

void MainWindow::FormCreate() {
    registeredSessionNotification =
        services_.terminal->RegisterSessionNotification(reinterpret_cast<std::uintptr_t>(hwnd_));
}

void MainWindow::FormDestroy() {
    if (registeredSessionNotification) {
        services_.terminal->UnregisterSessionNotification(reinterpret_cast<std::uintptr_t>(hwnd_));
        registeredSessionNotification = false;
    }
}

void MainWindow::FormShow() {
    RestoreServerBox();
    SetWindowTextW(hwnd_, Wz(std::u16string(kMainCaption)));
    SetFocus(c.edit1);
}

void MainWindow::FormClose() { SaveServerBox(); }

void MainWindow::Show(int showCommand) {
    if (!shownOnce_) {
        shownOnce_ = true;
        RECT wr;
        GetWindowRect(hwnd_, &wr);
        const int w = wr.right - wr.left, h = wr.bottom - wr.top;
        SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RunHandler([&] { FormShow(); });
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    SetFocus(c.edit1);
}

bool MainWindow::PreTranslateMessage(MSG& msg) {
    if (!hwnd_) return false;
    if ((msg.message == WM_KEYDOWN || msg.message == WM_CHAR) && msg.wParam == VK_RETURN &&
        (msg.hwnd == c.edit1 || GetParent(msg.hwnd) == c.edit1))
        return false;
    return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

void MainWindow::ShowProcessPanel() {
    ShowWindow(c.panelRight, SW_SHOW);
    Layout();
}

void MainWindow::Label2Click() {
    services_.shell->Execute(kMakerAddress, u"", SW_SHOWNOACTIVATE);
}

void MainWindow::Label2MouseEnter() {
    handCursor = true;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
}

void MainWindow::Label2MouseLeave() {
    handCursor = false;
    POINT pt;
    GetCursorPos(&pt);
    SetCursorPos(pt.x, pt.y);  // let the control under the mouse set its own cursor again
}

void MainWindow::ReportSystemError(const std::u16string& what, std::uint32_t code) {
    std::u16string text = what;
    const std::u16string reason = services_.errors ? services_.errors->Describe(code) : std::u16string();
    text += u"\r\n" + (reason.empty() ? u"Код ошибки " + DecimalU32(code) : reason) + u" (" + DecimalU32(code) + u")";
    services_.dialogs->ShowMessage(text);
}

// --- Server box ---

std::u16string MainWindow::ServerText() const { return GetText(c.edit1); }

void MainWindow::SetServerText(const std::u16string& text) { SetWindowTextW(c.edit1, Wz(text)); }

std::vector<std::u16string> MainWindow::History() const {
    std::vector<std::u16string> out;
    const int n = static_cast<int>(SendMessageW(c.edit1, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        const int len = static_cast<int>(SendMessageW(c.edit1, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
        std::wstring buf(static_cast<std::size_t>(len > 0 ? len : 0) + 1, L'\0');
        SendMessageW(c.edit1, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()));
        out.push_back(U16(buf.c_str()));
    }
    return out;
}

void MainWindow::SetHistory(const std::vector<std::u16string>& entries) {
    const std::u16string text = ServerText();
    SendMessageW(c.edit1, CB_RESETCONTENT, 0, 0);
    for (const std::u16string& e : entries) SendMessageW(c.edit1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wz(e)));
    SetServerText(text);
}

void MainWindow::ClearServerBox() {
    SendMessageW(c.edit1, CB_RESETCONTENT, 0, 0);
    SetServerText(u"");
}

std::u16string MainWindow::FirstHistoryEntry() const {
    const std::vector<std::u16string> h = History();
    return h.empty() ? std::u16string() : h.front();
}

// --- Messages ---

LRESULT CALLBACK MainWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    MainWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return self->HandleMessage(msg, wp, lp);
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            if (c.panel1) Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
            mmi->ptMinTrackSize.x = kMinOuterWidth;
            mmi->ptMinTrackSize.y = kMinOuterHeight;
            return 0;
        }
        case WM_COMMAND:
            if (lp == 0 || HIWORD(wp) == BN_CLICKED || HIWORD(wp) == STN_CLICKED) OnCommand(LOWORD(wp));
            return 0;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (OnNotify(reinterpret_cast<NMHDR*>(lp), &result)) return result;
            break;
        }
        case WM_CONTEXTMENU:
            OnContextMenu(reinterpret_cast<HWND>(wp), lp);
            return 0;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lp) == c.label2) {
                HDC dc = reinterpret_cast<HDC>(wp);
                SetTextColor(dc, LinkColour());
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        case WM_ACTIVATE:
            // Like a dialog: the control that had the keyboard focus gets it
            // back when a message box or another window closes.
            if (LOWORD(wp) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus)) focusBeforeDeactivation_ = focus;
            } else if (focusBeforeDeactivation_ && IsWindow(focusBeforeDeactivation_) &&
                       IsWindowVisible(focusBeforeDeactivation_) && !HIWORD(wp)) {
                SetFocus(focusBeforeDeactivation_);
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (handCursor) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_CLOSE:
            // The settings are written first; when that fails the error is
            // shown and the window stays open.
            if (RunHandler([&] { FormClose(); })) DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            FormDestroy();
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

void MainWindow::OnCommand(int id) {
    RunHandler([&] {
        switch (id) {
            case kIdButton1: Button1Click(); break;
            case kIdSpeedButtonTxt: sSpeedButtonTXTClick(); break;
            case kIdSpeedButtonAd: sSpeedButtonADClick(); break;
            case kIdBtnGetAll: BtnGetAllClick(); break;
            case kIdBtnCloseAll: BtnCloseAllClick(); break;
            case kIdSpeedButton1: sSpeedButton1Click(); break;
            case kIdButton3: Button3Click(); break;
            case kIdLabel2: Label2Click(); break;
            case kIdN3: N3Click(); break;
            case kIdN4: N4Click(); break;
            case kIdJ1: J1Click(); break;
            case kIdN2: N2Click(); break;
            case kIdM2: M2Click(); break;
            default: break;  // N1 and N6 only open their sub-menus
        }
    });
}

bool MainWindow::OnNotify(NMHDR* header, LRESULT* result) {
    if (listView1.HandleNotify(header, result) || listView3.HandleNotify(header, result)) return true;
    const bool sessions = header->hwndFrom == listView1.Handle();
    const bool processes = header->hwndFrom == listView3.Handle();
    if (!sessions && !processes) return false;
    if (header->code == LVN_COLUMNCLICK) {
        const int column = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
        RunHandler([&] { sessions ? ListView1ColumnClick(column) : ListView3ColumnClick(column); });
        *result = 0;
        return true;
    }
    if (sessions && header->code == NM_CUSTOMDRAW) {
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
            *result = CDRF_NOTIFYITEMDRAW;
        } else if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            cd->clrTextBk = ListView1CustomDrawItem(static_cast<int>(cd->nmcd.dwItemSpec));
            *result = CDRF_DODEFAULT;
        } else {
            *result = CDRF_DODEFAULT;
        }
        return true;
    }
    return false;
}

void MainWindow::OnContextMenu(HWND from, LPARAM lp) {
    HMENU menu = nullptr;
    if (from == listView1.Handle()) menu = popupMenu1;
    if (from == listView3.Handle()) menu = popupMenu3;
    if (!menu) return;
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    if (pt.x == -1 && pt.y == -1) {  // from the keyboard: at the list's top left corner
        RECT rc;
        GetWindowRect(from, &rc);
        pt = {rc.left + 8, rc.top + 24};
    }
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwnd_, nullptr);
}

LRESULT CALLBACK MainWindow::LinkSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<MainWindow*>(data);
    switch (msg) {
        case WM_MOUSEMOVE:
            if (!self->handCursor) {
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd, 0};
                TrackMouseEvent(&tme);
                self->Label2MouseEnter();
            }
            break;
        case WM_MOUSELEAVE:
            self->Label2MouseLeave();
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, &MainWindow::LinkSubclassProc, 1);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace tarvenix
