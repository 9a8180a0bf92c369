// The main window in-process: layout, Get data, ordering and row colours.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "base/win_text.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;

FakeSession S(std::uint32_t id, std::uint32_t state, std::u16string user, std::u16string client = u"",
              std::optional<ClientAddress> address = std::nullopt, std::u16string winStation = u"RDP-Tcp#0") {
    FakeSession s;
    s.id = id;
    s.state = state;
    s.user = std::move(user);
    s.clientName = std::move(client);
    s.address = address;
    s.winStation = std::move(winStation);
    return s;
}

TEST_F(MainWindowTest, ControlsStandWhereTheLayoutPutsThem) {
    Open();
    RECT client;
    GetClientRect(window->Handle(), &client);
    EXPECT_EQ(client.right, 720);
    EXPECT_EQ(client.bottom, 519);
    const struct { HWND hwnd; RECT expected; const char* name; } cases[] = {
        {window->panels().serverStrip, {0, 0, 720, 80}, "serverStrip"},
        {window->panels().sessionPart, {0, 80, 720, 491}, "sessionPart"},
        {window->panels().footer, {0, 491, 720, 519}, "footer"},
        {window->panels().footerRight, {584, 0, 720, 28}, "footerRight"},
        {window->Sessions().GetDataButton(), {289, 16, 394, 65}, "Get data"},
        {window->Servers().FromFileButton(), {169, 31, 201, 65}, "servers from a file"},
        {window->Servers().FromDirectoryButton(), {209, 31, 241, 65}, "servers from the directory"},
        {window->panels().sessionHeader, {0, 0, 718, 42}, "sessionHeader"},
        {window->panels().sessionButtons, {416, 0, 718, 42}, "sessionButtons"},
        {window->Processes().AllProcessesButton(), {5, 8, 142, 33}, "all processes"},
        {window->Logoff().LogoffAllButton(), {149, 8, 286, 33}, "log off all"},
        {window->Sessions().List().Handle(), {0, 42, 718, 409}, "session list"},
        {window->Processes().CloseButton(), {192, 8, 267, 33}, "close process panel"},
        {window->Processes().RefreshButton(), {160, 10, 183, 32}, "refresh processes"},
    };
    for (const auto& c : cases) {
        const RECT r = ChildRect(c.hwnd);
        EXPECT_EQ(r.left, c.expected.left) << c.name;
        EXPECT_EQ(r.top, c.expected.top) << c.name;
        EXPECT_EQ(r.right, c.expected.right) << c.name;
        EXPECT_EQ(r.bottom, c.expected.bottom) << c.name;
    }
    const struct { HWND hwnd; int x, y; const char16_t* text; } labels[] = {
        {window->Servers().Label(), 10, 23, u"Имя сервера:"},
        {window->Sessions().SessionCountCaption(), 424, 24, u"Кол-во сессий сервера:  "},
        {window->Sessions().SessionCountLabel(), 554, 24, u""},
        {window->Sessions().ActiveCountCaption(), 424, 43, u"Из них активных сессий:"},
        {window->Sessions().ActiveCountLabel(), 554, 43, u""},
        {window->panels().sessionHeaderLabel, 8, 14, u"Сессии на серверах фермы"},
        {window->Processes().UserLabel(), 13, 16, u""},
        {window->Processes().CountLabel(), 8, 8, u""},
        {window->panels().makerLink, 16, 6, kMakerHost},
    };
    for (const auto& l : labels) {
        const RECT r = ChildRect(l.hwnd);
        EXPECT_EQ(r.left, l.x) << Utf16ToUtf8(l.text);
        EXPECT_EQ(r.top, l.y) << Utf16ToUtf8(l.text);
        EXPECT_EQ(GetText(l.hwnd), l.text);
    }
    const RECT edit = ChildRect(window->Servers().Combo());
    EXPECT_EQ(edit.left, 8);
    EXPECT_EQ(edit.top, 43);
    EXPECT_EQ(edit.right - edit.left, 145);
    EXPECT_FALSE(IsWindowVisible(window->Processes().Panel()));
    EXPECT_EQ(GetText(window->Handle()), kMainCaption);
    EXPECT_EQ(GetFocus(), GetWindow(window->Servers().Combo(), GW_CHILD)) << "the server box holds the focus";
    EXPECT_EQ(ImageButtonHint(window->Servers().FromFileButton()), u"Получить список серверов из текстового файла");
    EXPECT_EQ(ImageButtonHint(window->Servers().FromDirectoryButton()), u"Получить список серверов из Active Directory");
}

TEST_F(MainWindowTest, WindowKeepsItsMinimumOuterSize) {
    Open();
    SetWindowPos(window->Handle(), nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    MINMAXINFO mmi{};
    SendMessageW(window->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(mmi.ptMinTrackSize.x, 720);
    EXPECT_EQ(mmi.ptMinTrackSize.y, 520);
}

TEST_F(MainWindowTest, ColumnsKeepTheirLimitsWhenWidenedAndDragged) {
    Open();
    HWND list = window->Sessions().List().Handle();
    const auto widths = [&] {
        std::vector<int> w;
        for (int i = 0; i < 6; ++i) w.push_back(ListView_GetColumnWidth(list, i));
        return w;
    };
    EXPECT_EQ(widths(), (std::vector<int>{30, 150, 120, 100, 120, 95}));
    SetWindowPos(window->Handle(), nullptr, 0, 0, 1400, 700, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages();
    EXPECT_EQ(widths(), (std::vector<int>{30, 150, 120, 100, 120, 95})) << "space left over stays empty";

    // Dragging a divider goes through the header's item change.
    const auto dragIn = [&](HWND target, int column, int width) {
        HDITEMW item{};
        item.mask = HDI_WIDTH;
        item.cxy = width;
        SendMessageW(ListView_GetHeader(target), HDM_SETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
        PumpMessages();
        return ListView_GetColumnWidth(target, column);
    };
    const auto drag = [&](int column, int width) { return dragIn(list, column, width); };
    EXPECT_EQ(drag(0, 80), 30);
    EXPECT_EQ(drag(1, 10), 150);
    EXPECT_EQ(drag(3, 300), 100);
    EXPECT_EQ(drag(5, 20), 95);
    EXPECT_EQ(drag(4, 110), 110);
    EXPECT_EQ(drag(4, 300), 120);
    EXPECT_EQ(drag(4, 50), 100);

    const auto pdrag = [&](int column, int width) { return dragIn(window->Processes().List().Handle(), column, width); };
    EXPECT_EQ(pdrag(0, 10), 65);
    EXPECT_EQ(pdrag(0, 400), 400);
    EXPECT_EQ(pdrag(1, 100), 140);
    EXPECT_EQ(pdrag(2, 5), 5);
}

TEST_F(MainWindowTest, GetDataFillsRowsAndCounters) {
    wts.servers[u"TS01"].sessions = {
        S(3, 0, u"ivanov", u"PC-3", IPv4(10, 0, 0, 5), u"RDP-Tcp#1"),
        S(0, 0, u"", u"", std::nullopt, u"Services"),
        S(4, 4, u"Петров", u"ноут", std::nullopt, u"RDP-Tcp#2"),
        S(0xFFFFFFFFu, 0, u"max", u"", IPv4(255, 0, 0, 255), u"RDP-Tcp#3"),
    };
    Open();
    GetData(u"TS01");
    HWND list = window->Sessions().List().Handle();
    ASSERT_EQ(ListView_GetItemCount(list), 3);
    EXPECT_EQ(ColumnTexts(list, 0), (Texts{u"3", u"4", u"4294967295"}));
    EXPECT_EQ(ColumnTexts(list, 1), (Texts{u"ivanov", u"Петров", u"max"}));
    EXPECT_EQ(ColumnTexts(list, 2), (Texts{u"PC-3", u"ноут", u""}));
    EXPECT_EQ(ColumnTexts(list, 3), (Texts{u"10.0.0.5", u"", u"255.0.0.255"}));
    EXPECT_EQ(ColumnTexts(list, 4), (Texts{u"Active", u"Disconnected", u"Active"}));
    EXPECT_EQ(ColumnTexts(list, 5), (Texts{u"RDP-Tcp#1", u"RDP-Tcp#2", u"RDP-Tcp#3"}));
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"3");
    EXPECT_EQ(GetText(window->Sessions().ActiveCountLabel()), u"2");
    EXPECT_EQ(window->Sessions().ListedServer(), u"TS01");
    EXPECT_EQ(GetFocus(), list);
    EXPECT_TRUE(dialogs.messages.empty());

    // A second Get data replaces the rows and recomputes the counters.
    wts.servers[u"TS01"].sessions.pop_back();
    GetData(u"TS01");
    EXPECT_EQ(ListView_GetItemCount(list), 2);
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"2");
    EXPECT_EQ(GetText(window->Sessions().ActiveCountLabel()), u"1");
    EXPECT_EQ(wts.opened, wts.closed);
}

TEST_F(MainWindowTest, EmptyServerBoxOnlyShowsTheMessage) {
    wts.servers[u"TS01"].sessions = {S(1, 0, u"a")};
    Open();
    GetData(u"TS01");
    ListView_SetItemState(window->Sessions().List().Handle(), 0, LVIS_SELECTED, LVIS_SELECTED);
    GetData(u"");
    EXPECT_EQ(dialogs.messages, (Texts{u"Вы не указали сервер!"}));
    EXPECT_EQ(ListView_GetItemCount(window->Sessions().List().Handle()), 1);
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"1");
    EXPECT_EQ(window->Sessions().ListedServer(), u"TS01");
    EXPECT_EQ(window->Ordering().sortedColumn, -1);

    // Blanks are a name: passed unchanged.
    GetData(u"  ");
    EXPECT_EQ(window->Sessions().ListedServer(), u"  ");
    EXPECT_EQ(wts.calls.back(), "enumerate   ");
}

TEST_F(MainWindowTest, FailedEnumerationEmptiesTheListAndSaysWhy) {
    wts.servers[u"TS01"].sessions = {S(1, 0, u"a"), S(2, 0, u"b")};
    wts.servers[u"DENIED"].enumerateError = 5;
    Open();
    GetData(u"TS01");
    GetData(u"DENIED");
    EXPECT_EQ(ListView_GetItemCount(window->Sessions().List().Handle()), 0);
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"0");
    EXPECT_EQ(GetText(window->Sessions().ActiveCountLabel()), u"0");
    EXPECT_EQ(window->Sessions().ListedServer(), u"DENIED");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find(u"DENIED"), std::u16string::npos);
    EXPECT_NE(dialogs.messages[0].find(u"Системная ошибка 5."), std::u16string::npos);

    // A server whose sessions all lack a user name is no failure.
    wts.servers[u"EMPTY"].sessions = {S(0, 0, u""), S(65536, 6, u"")};
    GetData(u"EMPTY");
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"0");
}

TEST_F(MainWindowTest, OrderingByColumnClicks) {
    wts.servers[u"TS01"].sessions = {
        S(2, 5, u"anna", u"", std::nullopt, u"x"),
        S(10, 5, u"Boris", u"b", std::nullopt, u"y"),
        S(9, 55, u"ANNA2", u"a", std::nullopt, u"z"),
    };
    Open();
    HWND list = window->Sessions().List().Handle();
    GetData(u"TS01");
    EXPECT_EQ(ColumnTexts(list, 0), (Texts{u"2", u"10", u"9"}));
    ClickHeader(list, 0);
    EXPECT_EQ(ColumnTexts(list, 0), (Texts{u"10", u"2", u"9"}));
    ClickHeader(list, 0);
    EXPECT_EQ(ColumnTexts(list, 0), (Texts{u"9", u"2", u"10"}));
    ClickHeader(list, 0);
    EXPECT_EQ(ColumnTexts(list, 0), (Texts{u"10", u"2", u"9"}));
    ClickHeader(list, 1);
    EXPECT_EQ(ColumnTexts(list, 1), (Texts{u"anna", u"ANNA2", u"Boris"}));
    ClickHeader(list, 2);  // empty cell first ascending
    EXPECT_EQ(ColumnTexts(list, 2), (Texts{u"", u"a", u"b"}));
    ClickHeader(list, 2);
    EXPECT_EQ(ColumnTexts(list, 2), (Texts{u"b", u"a", u""}));
    ClickHeader(list, 4);  // Idle before Unknown
    EXPECT_EQ(ColumnTexts(list, 4), (Texts{u"Idle", u"Idle", u"Unknown"}));

    // Get data keeps the enumeration order although the list still orders automatically.
    GetData(u"TS01");
    EXPECT_EQ(ColumnTexts(list, 0), (Texts{u"2", u"10", u"9"}));
}

TEST_F(MainWindowTest, CyrillicCapitalsOrderBeforeSmallLetters) {
    wts.servers[u"TS01"].sessions = {S(1, 0, u"борис"), S(2, 0, u"анна"), S(3, 0, u"Анна"), S(4, 0, u"Борис")};
    Open();
    GetData(u"TS01");
    ClickHeader(window->Sessions().List().Handle(), 1);
    EXPECT_EQ(ColumnTexts(window->Sessions().List().Handle(), 1), (Texts{u"Анна", u"Борис", u"анна", u"борис"}));
}

TEST_F(MainWindowTest, OrderingStateIsSharedByBothLists) {
    Open();
    HWND sessions = window->Sessions().List().Handle();
    HWND processes = window->Processes().List().Handle();
    ShowWindow(window->Processes().Panel(), SW_SHOW);  // as the process panel's commands open it
    SetWindowPos(window->Handle(), nullptr, 0, 0, 900, 558, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages();
    // Before the first Get data the ordering column is 0: the first click on it orders descending.
    ClickHeader(processes, 0);
    EXPECT_EQ(window->Ordering().sortedColumn, 0);
    EXPECT_TRUE(window->Ordering().descending);
    ClickHeader(sessions, 2);
    EXPECT_EQ(window->Ordering().sortedColumn, 2);
    EXPECT_FALSE(window->Ordering().descending);
    ClickHeader(processes, 2);  // same column number in the other list: reversed
    EXPECT_EQ(window->Ordering().sortedColumn, 2);
    EXPECT_TRUE(window->Ordering().descending);
}

TEST_F(MainWindowTest, DraggedColumnKeepsItsNumber) {
    wts.servers[u"TS01"].sessions = {S(2, 0, u"b"), S(10, 0, u"c"), S(9, 0, u"a")};
    Open();
    HWND list = window->Sessions().List().Handle();
    GetData(u"TS01");
    int order[8] = {1, 0, 2, 3, 4, 5, 6, 7};  // "Учетная запись" dragged to the first position
    ListView_SetColumnOrderArray(list, 8, order);
    ClickHeader(list, 0);  // now shows the user names
    EXPECT_EQ(ColumnTexts(list, 1), (Texts{u"a", u"b", u"c"}));
    ClickHeader(list, 1);  // "ID", now second
    EXPECT_EQ(window->Ordering().sortedColumn, 0);
    EXPECT_EQ(ColumnTexts(list, 0), (Texts{u"10", u"2", u"9"}));
}

TEST_F(MainWindowTest, SelectionMovesWithTheRows) {
    wts.servers[u"TS01"].sessions = {S(3, 0, u"c"), S(1, 0, u"a"), S(2, 0, u"b")};
    Open();
    HWND list = window->Sessions().List().Handle();
    GetData(u"TS01");
    Select(list, {0});  // session 3
    ClickHeader(list, 1);
    EXPECT_EQ(window->Sessions().SelectedIndices(), (std::vector<int>{2}));
    EXPECT_EQ(CellText(list, 2, 0), u"3");
}

COLORREF PixelOfRow(HWND list, int row) {
    RECT rc{};
    ListView_GetItemRect(list, row, &rc, LVIR_LABEL);
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
    HDC dc = GetDC(list);
    // A point of the text cell's background, right of any text.
    const COLORREF c = GetPixel(dc, rc.right - 3, (rc.top + rc.bottom) / 2);
    ReleaseDC(list, dc);
    return c;
}

TEST_F(MainWindowTest, SelectedAndFocusedRowsArePaintedLightBlue) {
    wts.servers[u"TS01"].sessions = {S(1, 0, u"a"), S(2, 0, u"b"), S(3, 0, u"c")};
    Open();
    HWND list = window->Sessions().List().Handle();
    GetData(u"TS01");
    SetFocus(window->Sessions().GetDataButton());  // the system's own highlight is hidden without the focus
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(list, 1, LVIS_FOCUSED, LVIS_FOCUSED);
    const COLORREF blue = RGB(166, 202, 240);
    EXPECT_EQ(window->Sessions().RowBackground(0), blue);
    EXPECT_EQ(window->Sessions().RowBackground(1), blue);
    EXPECT_EQ(window->Sessions().RowBackground(2), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(PixelOfRow(list, 0), blue);
    EXPECT_EQ(PixelOfRow(list, 1), blue);
    EXPECT_EQ(PixelOfRow(list, 2), GetSysColor(COLOR_WINDOW));
}

TEST_F(MainWindowTest, SessionNotificationRegistrationIsUndoneOnlyWhenMade) {
    Open();
    EXPECT_TRUE(window->RegisteredSessionNotification());
    DestroyWindow(window->Handle());
    EXPECT_EQ(wts.notifications, (std::vector<std::string>{"register", "unregister"}));

    wts.notifications.clear();
    wts.registrationSucceeds = false;
    Open();
    EXPECT_FALSE(window->RegisteredSessionNotification());
    DestroyWindow(window->Handle());
    EXPECT_EQ(wts.notifications, (std::vector<std::string>{"register"}));
}

TEST_F(MainWindowTest, FooterLinkOpensTheMakersAddressAndShowsTheHand) {
    Open();
    SendMessageW(window->panels().makerLink, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(window->HandCursor());
    SendMessageW(window->panels().makerLink, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(window->HandCursor());
    SendMessageW(window->panels().footerRight, WM_COMMAND, MAKEWPARAM(kIdMakerLink, STN_CLICKED), reinterpret_cast<LPARAM>(window->panels().makerLink));
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].file, kMakerAddress);
    EXPECT_EQ(shell.calls[0].show, SW_SHOWNOACTIVATE);
    EXPECT_TRUE(dialogs.messages.empty());
}

std::u16string MenuText(HMENU menu, int position) {
    wchar_t buf[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), buf, 128, MF_BYPOSITION);
    return U16(buf);
}

TEST_F(MainWindowTest, ContextMenusHoldTheirItemsWithConfirmationSubItems) {
    Open();
    HMENU m1 = window->SessionMenu();
    // The four specified items first, in their order; the additions after them.
    ASSERT_EQ(GetMenuItemCount(m1), 11);
    EXPECT_EQ(MenuText(m1, 0), u"Завершить сессию (-и)");
    EXPECT_EQ(MenuText(m1, 1), u"Подключиться к сессии (только Win 2012, 8, 10)");
    EXPECT_EQ(MenuText(m1, 2), u"Отправить сообщение");
    EXPECT_EQ(MenuText(m1, 3), u"Получить список процессов");
    EXPECT_EQ(GetMenuItemID(m1, 1), static_cast<UINT>(kCmdShadow));
    EXPECT_EQ(GetMenuItemID(m1, 2), static_cast<UINT>(kCmdSendMessage));
    EXPECT_EQ(GetMenuItemID(m1, 3), static_cast<UINT>(kCmdSessionProcesses));
    HMENU n1 = GetSubMenu(m1, 0);
    ASSERT_NE(n1, nullptr) << "the destructive command sits behind a sub-item";
    ASSERT_EQ(GetMenuItemCount(n1), 1);
    EXPECT_EQ(MenuText(n1, 0), u"Вы уверены?");
    EXPECT_EQ(GetMenuItemID(n1, 0), static_cast<UINT>(kCmdLogoffSelected));
    EXPECT_EQ(MenuText(m1, 4), u"Отключить сессию (-и)");
    HMENU disconnect = GetSubMenu(m1, 4);
    ASSERT_NE(disconnect, nullptr) << "disconnecting sits behind a sub-item too";
    EXPECT_EQ(MenuText(disconnect, 0), u"Вы уверены?");
    EXPECT_EQ(GetMenuItemID(disconnect, 0), static_cast<UINT>(kCmdDisconnectSelected));
    EXPECT_EQ(MenuText(m1, 5), u"Копировать\tCtrl+C");
    EXPECT_EQ(GetMenuItemID(m1, 5), static_cast<UINT>(kCmdCopyRows));
    EXPECT_EQ(MenuText(m1, 6), u"Сохранить список...\tCtrl+S");
    EXPECT_EQ(GetMenuItemID(m1, 6), static_cast<UINT>(kCmdExportRows));
    EXPECT_EQ(MenuText(m1, 7), u"Серверы без ответа...");
    EXPECT_EQ(GetMenuItemID(m1, 7), static_cast<UINT>(kCmdServerFailures));
    EXPECT_TRUE(GetMenuState(m1, 7, MF_BYPOSITION) & MF_GRAYED) << "greyed until a farm listing has failures";
    EXPECT_TRUE(GetMenuState(m1, 8, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(MenuText(m1, 9), u"Сведения о сессии…\tEnter");
    EXPECT_EQ(GetMenuItemID(m1, 9), static_cast<UINT>(kCmdSessionDetails));
    EXPECT_EQ(MenuText(m1, 10), u"Завершить отключённые сессии…");
    EXPECT_EQ(GetMenuItemID(m1, 10), static_cast<UINT>(kCmdCleanupDisconnected));

    HMENU m3 = window->Processes().Menu();
    ASSERT_EQ(GetMenuItemCount(m3), 2);
    EXPECT_EQ(MenuText(m3, 0), u"Завершить процесс");
    EXPECT_EQ(MenuText(m3, 1), u"Обновить\tF5");
    EXPECT_EQ(GetMenuItemID(m3, 1), static_cast<UINT>(kCmdRefreshProcessList));
    HMENU n6 = GetSubMenu(m3, 0);
    ASSERT_NE(n6, nullptr);
    EXPECT_EQ(MenuText(n6, 0), u"Вы уверены?");
    EXPECT_EQ(GetMenuItemID(n6, 0), static_cast<UINT>(kCmdTerminateProcess));

    // The items with a sub-menu run nothing themselves.
    wts.servers[u"TS01"].sessions = {S(1, 0, u"a")};
    GetData(u"TS01");
    Select(window->Sessions().List().Handle(), {0});
    const std::size_t calls = wts.calls.size();
    Command(command_ranges::kLogoff.last);  // IDs of the features' ranges that no command uses
    Command(command_ranges::kProcessPanel.last);
    EXPECT_EQ(wts.calls.size(), calls);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainWindowTest, FocusComesBackToItsControlAfterABox) {
    wts.servers[u"TS01"].sessions = {S(1, 0, u"a")};
    Open();
    GetData(u"TS01");
    ASSERT_EQ(GetFocus(), window->Sessions().List().Handle());
    // A modal box takes the activation away and gives it back.
    SendMessageW(window->Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
    SetFocus(nullptr);
    SendMessageW(window->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(GetFocus(), window->Sessions().List().Handle());
}

TEST_F(MainWindowTest, TabOrderFollowsTheLayout) {
    Open();
    HWND edit = GetWindow(window->Servers().Combo(), GW_CHILD);
    std::vector<HWND> seen;
    HWND at = window->Sessions().List().Handle();
    for (int i = 0; i < 8; ++i) {
        seen.push_back(at);
        at = GetNextDlgTabItem(window->Handle(), at, FALSE);
    }
    EXPECT_EQ(seen[1], window->Processes().AllProcessesButton());
    EXPECT_EQ(seen[2], window->Logoff().LogoffAllButton());
    EXPECT_EQ(seen[3], window->Sessions().GetDataButton());
    EXPECT_TRUE(seen[4] == window->Servers().Combo() || seen[4] == edit);
    // The added controls come after the specified ones: "Все серверы" in the
    // server strip, then the refresh chooser and the find box in the footer.
    EXPECT_EQ(seen[5], window->Sessions().AllServersButton());
    EXPECT_EQ(seen[6], window->Sessions().RefreshChooser());
    EXPECT_EQ(seen[7], window->Sessions().FindBox());
    EXPECT_EQ(GetNextDlgTabItem(window->Handle(), seen[7], FALSE), window->Sessions().List().Handle());
}

}  // namespace
}  // namespace tarvenix::testing
