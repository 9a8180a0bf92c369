#include "app/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "app/main_layout.h"
#include "base/dpi_win.h"
#include "base/picture_resources_win.h"
#include "base/platform_win.h"
#include "base/win_text.h"
#include "sessions/terminal_services.h"

namespace tarvenix {
namespace {

// The system's hyperlink colour, unless a colour scheme makes it unreadable on
// the button face (some schemes give a light grey): then the usual link blue.
COLORREF LinkColour() {
    const auto luminance = [](COLORREF c) { return (GetRValue(c) * 299 + GetGValue(c) * 587 + GetBValue(c) * 114) / 1000; };
    const COLORREF link = GetSysColor(COLOR_HOTLIGHT);
    const int contrast = luminance(link) - luminance(GetSysColor(COLOR_BTNFACE));
    return (contrast > 64 || contrast < -64) ? link : RGB(0, 102, 204);
}

}  // namespace

MainWindow::MainWindow(const Services& services, TerminalServices& terminal, ServerSource& directory)
    : Window(services),
      terminal_(terminal),
      sessions_(services, terminal, activity_, ordering_, [this] { return serverBox_.Text(); },
                [this] { return serverBox_.History(); }),
      serverBox_(services, directory, activity_, [this] { sessions_.GetData(); }),
      logoff_(services, terminal, activity_, sessions_),
      shadow_(services, terminal, sessions_),
      processPanel_(services, terminal, activity_, ordering_, sessions_, [this] { return serverBox_.Text(); },
                    [this] { Layout(); }, kMinOuterWidth),
      messageWindow_(services, terminal, sessions_),
      cleanup_(services, terminal, activity_,
               [this] {
                   // The servers the list shows: the farm's, or the one listed.
                   if (sessions_.FarmView()) return sessions_.ListedServers();
                   std::vector<std::u16string> one;
                   if (!sessions_.ListedServer().empty()) one.push_back(sessions_.ListedServer());
                   return one;
               }),
      details_(services, terminal, activity_, sessions_, [this] { return sessions_.List().Handle(); }) {
    // In this order the features see the keys first; the process panel's
    // keys are its list's own (F5 there refreshes the panel, not the sessions).
    SetFeatures({&processPanel_, &details_, &sessions_, &serverBox_, &logoff_, &shadow_, &messageWindow_, &cleanup_});
    activity_.changed = [this] { RefreshCursor(); };
    // A server that refuses the process listing offers another account, as the session list's does.
    processPanel_.reportFailure = [this](const std::u16string& report, const std::u16string& server, std::uint32_t error) {
        return sessions_.ReportOfferingAccount(report, server, error);
    };
    logoff_.reportFailure = processPanel_.reportFailure;
}

void MainWindow::Create() {
    // The window is made at the primary screen's DPI; should the system give
    // it another one, the client area is sized again for that.
    const auto outerFor = [](int dpi) {
        RECT rc{0, 0, Scale(kInitialClientWidth, dpi), Scale(kInitialClientHeight, dpi)};
        AdjustWindowRectEx(&rc, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, FALSE, WS_EX_CONTROLPARENT);
        return SIZE{rc.right - rc.left, rc.bottom - rc.top};
    };
    const int systemDpi = SystemDpi();
    const SIZE outer = outerFor(systemDpi);
    CreateFormWindow(L"TForm1", WS_EX_CONTROLPARENT, kMainCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                     CW_USEDEFAULT, outer.cx, outer.cy, nullptr);
    dpi_ = WindowDpi(Handle());
    fonts_.Rescale(Handle(), dpi_);
    if (dpi_ != systemDpi) {
        const SIZE resized = outerFor(dpi_);
        SetWindowPos(Handle(), nullptr, 0, 0, resized.cx, resized.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    iconBig_.Reset(LoadAppIcon(GetSystemMetrics(SM_CXICON)));
    iconSmall_.Reset(LoadAppIcon(GetSystemMetrics(SM_CXSMICON)));
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(iconBig_.Get()));
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(iconSmall_.Get()));
    BuildControls();
    messageWindow_.Create(Handle());
    cleanup_.Create(Handle());
    details_.Create(Handle());
    BuildSessionMenu();
    Layout();
    FormCreate();
}

void MainWindow::BuildControls() {
    Panels& p = panels_;
    // Creation order is the tab order within each parent: the session part
    // first, then the process panel, then the server strip.
    p.sessionPart = CreatePanel(Handle(), Bevel::Raised, L"Panel_Main");
    p.sessionFrame = CreatePanel(p.sessionPart, Bevel::None, L"Panel4");
    sessions_.CreateList(p.sessionFrame, fonts_);
    p.sessionHeader = CreatePanel(p.sessionFrame, Bevel::None, L"Panel6");
    p.sessionHeaderLabel = CreateLabel(p.sessionHeader, 8, 14, u"Сессии на серверах фермы", fonts_.bold());
    p.sessionButtons = CreatePanel(p.sessionHeader, Bevel::None, L"Panel5");
    processPanel_.CreateAllProcessesButton(p.sessionButtons, fonts_);
    logoff_.CreateLogoffAllButton(p.sessionButtons, fonts_);

    processPanel_.CreatePanel(Handle(), fonts_);

    p.serverStrip = CreatePanel(Handle(), Bevel::Raised, L"Panel1");
    sessions_.CreateGetDataButton(p.serverStrip, fonts_);
    serverBox_.Create(p.serverStrip, fonts_);
    sessions_.CreateCounters(p.serverStrip, fonts_);
    // Added right of the counters.
    sessions_.CreateAllServersButton(p.serverStrip, fonts_);

    p.footer = CreatePanel(Handle(), Bevel::None, L"Panel3");
    p.footerRight = CreatePanel(p.footer, Bevel::None, L"Panel2");
    p.makerLink = CreateLabel(p.footerRight, 16, 6, kMakerHost, fonts_.underline(), kIdMakerLink);
    // Added at the footer's free left end: last in the tab order.
    sessions_.CreateRefreshChooser(p.footer, fonts_);
    sessions_.CreateFindBox(p.footer, fonts_);
    SetWindowSubclass(p.makerLink, &MainWindow::LinkSubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void MainWindow::BuildSessionMenu() {
    // The features' items in the menu's order: log off, shadow, message, processes.
    sessionMenu_.Reset(CreatePopupMenu());
    logoff_.AddMenuItems(sessionMenu_.Get());
    shadow_.AddMenuItems(sessionMenu_.Get(), Handle());
    messageWindow_.AddMenuItems(sessionMenu_.Get());
    processPanel_.AddMenuItems(sessionMenu_.Get());
    // Added after the specified items.
    logoff_.AddDisconnectMenuItems(sessionMenu_.Get());
    sessions_.AddMenuItems(sessionMenu_.Get());
    AppendMenuW(sessionMenu_.Get(), MF_SEPARATOR, 0, nullptr);
    details_.AddMenuItems(sessionMenu_.Get());
    cleanup_.AddMenuItems(sessionMenu_.Get());
    sessions_.List().onContextMenu = [this](POINT at) {
        TrackPopupMenu(sessionMenu_.Get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), nullptr);
    };
}

void MainWindow::Layout() {
    RECT rc;
    GetClientRect(Handle(), &rc);
    const bool right = processPanel_.IsShown();
    const MainLayout l = ComputeMainLayout(rc.right, rc.bottom, right, Dpi());
    const auto put = [](HWND w, const Box& b) { Place(w, b.left, b.top, b.width, b.height); };
    const Panels& p = panels_;
    put(p.serverStrip, l.serverStrip);
    put(p.footer, l.footer);
    put(p.footerRight, l.footerRight);
    put(p.sessionPart, l.sessionPart);
    put(p.sessionFrame, l.sessionFrame);
    put(p.sessionHeader, l.sessionHeader);
    put(p.sessionButtons, l.sessionButtons);
    put(sessions_.List().Handle(), l.sessionList);
    if (right) {
        put(processPanel_.Panel(), l.processPanel);
        put(processPanel_.Header(), l.processHeader);
        put(processPanel_.Footer(), l.processFooter);
        put(processPanel_.List().Handle(), l.processList);
    }
    InvalidateRect(p.sessionPart, nullptr, TRUE);
    InvalidateRect(p.serverStrip, nullptr, TRUE);
}

int MainWindow::Dpi() const { return dpi_ ? dpi_ : SystemDpi(); }

void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
    // Another monitor: fonts, fixed controls and column limits at the new
    // DPI, the window where the system suggests, and the panels laid out again.
    dpi_ = dpi;
    fonts_.Rescale(Handle(), dpi);
    RescaleControls(Handle(), dpi);
    sessions_.List().SetDpi(dpi);
    processPanel_.List().SetDpi(dpi);
    SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

void MainWindow::FormCreate() {
    registeredSessionNotification_ =
        terminal_.RegisterSessionNotification(reinterpret_cast<std::uintptr_t>(Handle()));
}

void MainWindow::FormDestroy() {
    for (CommandTarget* feature : Features()) feature->CancelWork();
    if (registeredSessionNotification_) {
        terminal_.UnregisterSessionNotification(reinterpret_cast<std::uintptr_t>(Handle()));
        registeredSessionNotification_ = false;
    }
}

void MainWindow::FormShow() {
    serverBox_.Restore();
    SetWindowTextW(Handle(), Wz(std::u16string(kMainCaption)));
    SetFocus(serverBox_.Combo());
}

void MainWindow::FormClose() {
    // Only what the user changed is written back: a value the file gave (out
    // of range, or not a number at all) stays as it was written.
    SettingValues options;
    if (sessions_.AutoRefreshSeconds() != services().refreshSeconds)
        options.emplace_back(u"refresh seconds", DecimalI32(sessions_.AutoRefreshSeconds()));
    if (sessions_.AllServers() != services().allServers)
        options.emplace_back(u"all servers", sessions_.AllServers() ? u"1" : u"0");
    if (sessions_.Live() != services().live) options.emplace_back(u"live", sessions_.Live() ? u"1" : u"0");
    if (sessions_.ChosenColumnBits() != services().clientColumns)
        options.emplace_back(u"client columns", DecimalI32(sessions_.ChosenColumnBits()));
    serverBox_.Save(options);
}

void MainWindow::Show(int showCommand) {
    if (!shownOnce_) {
        shownOnce_ = true;
        RECT wr;
        GetWindowRect(Handle(), &wr);
        const int w = wr.right - wr.left, h = wr.bottom - wr.top;
        SetWindowPos(Handle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0,
                     0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RunHandler([&] { FormShow(); });
    ShowWindow(Handle(), showCommand);
    UpdateWindow(Handle());
    SetFocus(serverBox_.Combo());
}

bool MainWindow::PreTranslateMessage(MSG& msg) {
    if (!Handle() || (msg.hwnd != Handle() && !IsChild(Handle(), msg.hwnd))) return false;
    // Alt+F4 closes the window wherever the focus is (a drop-down list would
    // otherwise keep it for itself).
    if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4 && msg.hwnd != Handle()) {
        PostMessageW(Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }
    // The features' own keys (the session list's Ctrl+C, Ctrl+S, Ctrl+F, F5
    // and Esc; Enter in the server box), then Tab and the other dialog keys.
    bool toControl = false;
    if (TranslateFeatureKeys(msg, &toControl)) return true;
    if (toControl) return false;
    return IsDialogMessageW(Handle(), &msg) != FALSE;
}

void MainWindow::OpenMakerSite() { services().shell->Execute(ToRef(Handle()), kMakerAddress, u"", SW_SHOWNOACTIVATE); }

void MainWindow::RefreshCursor() {
    // A mouse move makes the window under the mouse set its cursor again.
    POINT pt;
    if (GetCursorPos(&pt)) SetCursorPos(pt.x, pt.y);
}

void MainWindow::LinkMouseEnter() {
    handCursor_ = true;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
}

void MainWindow::LinkMouseLeave() {
    handCursor_ = false;
    POINT pt;
    GetCursorPos(&pt);
    SetCursorPos(pt.x, pt.y);  // let the control under the mouse set its own cursor again
}

// --- Messages ---

bool MainWindow::AllowCommand(const CommandTarget& feature, int id) {
    // While Get data runs the list has no rows yet: the commands on its rows
    // wait for it (a beep says so); each feature says which of its commands
    // do not (Get data itself supersedes the run).
    if (sessions_.Busy() && !feature.AvailableWhileListing(id)) {
        MessageBeep(MB_OK);
        return false;
    }
    return true;
}

void MainWindow::OnOtherCommand(int id, int code, bool fromControl) {
    if (id == kIdMakerLink && (!fromControl || code == STN_CLICKED)) OpenMakerSite();
}

void MainWindow::OnClose() {
    // The settings are written first; when that fails the error is shown and
    // the user decides whether to close without them.
    if (RunHandler([&] { FormClose(); }) || OwnDialogs().Confirm(kCloseWithoutSavingQuestion)) DestroyWindow(Handle());
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            if (panels_.serverStrip) Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
            mmi->ptMinTrackSize.x = Scale(kMinOuterWidth, Dpi());
            mmi->ptMinTrackSize.y = Scale(kMinOuterHeight, Dpi());
            return 0;
        }
        case WM_DPICHANGED:
            if (panels_.serverStrip) OnDpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
            return 0;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lp) == panels_.makerLink) {
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
                if (focus && IsChild(Handle(), focus)) focusBeforeDeactivation_ = focus;
            } else if (focusBeforeDeactivation_ && IsWindow(focusBeforeDeactivation_) &&
                       IsWindowVisible(focusBeforeDeactivation_) && !HIWORD(wp)) {
                SetFocus(focusBeforeDeactivation_);
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (activity_.Busy() && LOWORD(lp) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            if (handCursor_) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // Windows is signing out or shutting down: the program ends without
            // WM_CLOSE, so the settings and the history are written now. No box
            // can be shown any more; a failure leaves the files as they were.
            if (wp) {
                try {
                    FormClose();
                } catch (const std::exception&) {
                }
            }
            return 0;
        case WM_DESTROY:
            FormDestroy();
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefaultHandling(msg, wp, lp);
}

LRESULT CALLBACK MainWindow::LinkSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<MainWindow*>(data);
    switch (msg) {
        case WM_MOUSEMOVE:
            if (!self->handCursor_) {
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd, 0};
                TrackMouseEvent(&tme);
                self->LinkMouseEnter();
            }
            break;
        case WM_MOUSELEAVE:
            self->LinkMouseLeave();
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
