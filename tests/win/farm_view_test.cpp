// The farm view: every server of the box's list in one list with a server
// column, failures on the line under the counters, row commands on each
// row's own server, the find box, and the view remembered.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "actions/message_window.h"
#include "actions/process_panel_win.h"
#include "actions/shadow_command_win.h"
#include "base/win_text.h"
#include "servers/settings_file_win.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;
using Calls = std::vector<std::string>;

FakeSession User(std::uint32_t id, std::u16string user, std::u16string client, std::uint32_t state = 0) {
    FakeSession s;
    s.id = id;
    s.state = state;
    s.user = std::move(user);
    s.clientName = std::move(client);
    s.winStation = u"RDP-Tcp#" + DecimalU32(id);
    return s;
}

class FarmViewTest : public MainWindowTest {
protected:
    // Three servers that answer (TS01, TS02, TS03) and two that do not: one
    // refuses (TS-DENY), one is unknown (TS-GONE).
    void OpenFarm() {
        wts.servers[u"TS01"].sessions = {User(2, u"Петрова", u"BUH-07"), User(1, u"ivanov", u"PC-01", 4)};
        wts.servers[u"TS02"].sessions = {User(5, u"Petra", u"PC-05"), User(3, u"admin", u"PETROV-NB")};
        wts.servers[u"TS03"].sessions = {User(2, u"ПЕТРОВ", u"PC-77"), User(4, u"sidorov", u"PC-04", 4),
                                         User(6, u"Иванова", u"PC-66")};
        wts.servers[u"TS-DENY"].enumerateError = 5;
        Open();
        window->Servers().SetHistory({u"TS01", u"TS-DENY", u"TS02", u"ts01", u"TS-GONE", u"TS03"});
        window->Servers().SetText(u"TS01");
    }
    void AllServers(bool on) {
        SendMessageW(window->Sessions().AllServersButton(), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        Command(kCmdAllServers);
        ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    }
    HWND List() { return window->Sessions().List().Handle(); }
    Texts Header() { return window->Sessions().List().HeaderInScreenOrder(); }
    void Find(const std::u16string& text) {
        SetWindowTextW(window->Sessions().FindBox(), Wz(text));
        PumpMessages();
    }
    void SelectUsers(const Texts& users) {
        const Texts shown = ColumnTexts(List(), 1);
        std::vector<int> rows;
        for (const std::u16string& u : users) {
            const auto it = std::find(shown.begin(), shown.end(), u);
            ASSERT_NE(it, shown.end()) << Utf16ToUtf8(u);
            rows.push_back(static_cast<int>(it - shown.begin()));
        }
        std::sort(rows.begin(), rows.end());
        Select(List(), rows);
    }
    Calls CallsStartingWith(const std::string& prefix) {
        Calls out;
        for (const std::string& c : wts.calls)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(FarmViewTest, ListsEveryServerGroupedWithAServerColumnAndNamesTheFailuresWithoutABox) {
    OpenFarm();
    AllServers(true);
    EXPECT_EQ(Header(), (Texts{u"ID", u"Учетная запись", u"Имя компьютера", u"IP адрес", u"Состояние сессии", u"Сессия",
                               u"Сервер", u"Бездействие", u"Вход"}));
    // Grouped by server in list order (ts01 is TS01 again), each in enumeration order.
    EXPECT_EQ(ColumnTexts(List(), 6), (Texts{u"TS01", u"TS01", u"TS02", u"TS02", u"TS03", u"TS03", u"TS03"}));
    EXPECT_EQ(ColumnTexts(List(), 0), (Texts{u"2", u"1", u"5", u"3", u"2", u"4", u"6"}));
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"7");
    EXPECT_EQ(GetText(window->Sessions().ActiveCountLabel()), u"5");
    EXPECT_TRUE(dialogs.messages.empty()) << "failed servers never stop the others nor ask for a click";
    EXPECT_EQ(GetText(window->Sessions().ProgressLabel()), u"Не ответили: 2 из 5 (подробнее)");
    EXPECT_FALSE(GetMenuState(window->SessionMenu(), kCmdServerFailures, MF_BYCOMMAND) & MF_GRAYED);
    // The full list on demand: a click on the line (or the menu item).
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdStatusLine, STN_CLICKED),
                 reinterpret_cast<LPARAM>(window->Sessions().ProgressLabel()));
    PumpMessages();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], u"Не удалось получить список сессий серверов:\r\n"
                                   u"TS-DENY: Системная ошибка 5. (5)\r\n"
                                   u"TS-GONE: Системная ошибка 1722. (1722)");

    // The server column orders like the others, over the whole list.
    ClickHeader(List(), 6);
    ClickHeader(List(), 6);
    EXPECT_EQ(ColumnTexts(List(), 6), (Texts{u"TS03", u"TS03", u"TS03", u"TS02", u"TS02", u"TS01", u"TS01"}));
    ClickHeader(List(), 1);
    EXPECT_EQ(ColumnTexts(List(), 1),
              (Texts{u"admin", u"ivanov", u"Petra", u"sidorov", u"Иванова", u"ПЕТРОВ", u"Петрова"}));

    // One server again: no server column, the box's server only.
    AllServers(false);
    EXPECT_EQ(Header().size(), 8u);
    EXPECT_EQ(ColumnTexts(List(), 1), (Texts{u"Петрова", u"ivanov"}));
    EXPECT_EQ(GetText(window->Sessions().ProgressLabel()), u"");
    EXPECT_TRUE(GetMenuState(window->SessionMenu(), kCmdServerFailures, MF_BYCOMMAND) & MF_GRAYED);
}

TEST_F(FarmViewTest, RowCommandsAddressEachRowsOwnServerAndReportPerServer) {
    OpenFarm();
    AllServers(true);
    window->Servers().SetText(u"ELSEWHERE");
    wts.calls.clear();
    SelectUsers({u"ivanov", u"Petra", u"sidorov"});
    Command(kCmdLogoffSelected);
    EXPECT_EQ(CallsStartingWith("logoff"), (Calls{"logoff 1 TS01", "logoff 4 TS03", "logoff 5 TS02"}));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], u"Команды на завершение сессий отправлены:\r\nTS01: 1\r\nTS02: 1\r\nTS03: 1");

    // Disconnect with a failure on one server: the report names that server.
    dialogs.messages.clear();
    wts.calls.clear();
    wts.servers[u"TS03"].sessions[1].disconnectError = 5;
    Command(kCmdDisconnectSelected);
    EXPECT_EQ(CallsStartingWith("disconnect"), (Calls{"disconnect 1 TS01", "disconnect 4 TS03", "disconnect 5 TS02"}));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0], u"Команды на отключение сессий отправлены:\r\nTS01: 1\r\nTS02: 1\r\nTS03: 0");
    EXPECT_NE(dialogs.messages[1].find(u"на сервере TS03"), std::u16string::npos) << Utf16ToUtf8(dialogs.messages[1]);

    // Shadow and a session's processes go to the row's server.
    SelectUsers({u"Petra"});
    Command(kCmdShadow);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].parameters, u"/shadow:5 /v:TS02 /control");
    wts.calls.clear();
    Command(kCmdSessionProcesses);
    ASSERT_TRUE(PumpUntil([&] { return !CallsStartingWith("processes").empty(); }));
    EXPECT_EQ(CallsStartingWith("processes"), (Calls{"processes TS02"}));

    // A message to rows of two servers reaches each on its own server.
    SelectUsers({u"Петрова", u"ПЕТРОВ"});
    wts.messages.clear();
    window->Messages().Send();
    ASSERT_TRUE(PumpUntil([&] { return wts.messages.size() == 2; }));
    std::vector<std::pair<std::u16string, std::uint32_t>> sent;
    for (const auto& m : wts.messages) sent.push_back({m.server, m.sessionId});
    std::sort(sent.begin(), sent.end());
    EXPECT_EQ(sent, (std::vector<std::pair<std::u16string, std::uint32_t>>{{u"TS01", 2}, {u"TS03", 2}}));

    // "Завершить все сессии" asks once, naming the servers and sessions.
    dialogs.messages.clear();
    wts.calls.clear();
    dialogs.answers = {false};
    Command(kCmdLogoffAll);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0], u"Подтвердите завершение показанных сессий: серверов 3, сессий 7");
    EXPECT_TRUE(CallsStartingWith("logoff").empty()) << "Cancel sends nothing";
    Command(kCmdLogoffAll);
    EXPECT_EQ(CallsStartingWith("logoff").size(), 7u);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], u"Было завершено 7 сессий:\r\nTS01: 2\r\nTS02: 2\r\nTS03: 3");
}

TEST_F(FarmViewTest, FindNarrowsTheShownRowsWhateverTheCaseAndCommandsActOnThemOnly) {
    OpenFarm();
    AllServers(true);
    Find(u"петр");
    EXPECT_EQ(ColumnTexts(List(), 1), (Texts{u"Петрова", u"ПЕТРОВ"}));
    EXPECT_EQ(GetText(window->Sessions().ShownLabel()), u"Показано: 2 из 7");
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"7") << "the counters count the listed servers";
    Find(u"PETR");
    EXPECT_EQ(ColumnTexts(List(), 1), (Texts{u"Petra", u"admin"})) << "user Petra, client PETROV-NB";

    // The selection stays on the rows still shown; commands act on those only.
    Find(u"");
    SelectUsers({u"Petra", u"ivanov"});
    Find(u"petr");
    EXPECT_EQ(window->Sessions().SelectedIndices(), (std::vector<int>{0}));
    wts.calls.clear();
    Command(kCmdLogoffSelected);
    EXPECT_EQ(CallsStartingWith("logoff"), (Calls{"logoff 5 TS02"}));
    dialogs.questions.clear();
    dialogs.answers = {false};
    Command(kCmdLogoffAll);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0], u"Подтвердите завершение показанных сессий: серверов 1, сессий 2");

    // Ctrl+F goes to the box; Esc there clears it and every row shows again.
    SetFocus(List());
    MSG key{window->Handle(), WM_KEYDOWN, 'F', 0, 0, {}};
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    key.hwnd = List();
    EXPECT_TRUE(window->PreTranslateMessage(key));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(GetFocus(), window->Sessions().FindBox());
    MSG esc{window->Sessions().FindBox(), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_TRUE(window->PreTranslateMessage(esc));
    PumpMessages();
    EXPECT_EQ(GetText(window->Sessions().FindBox()), u"");
    EXPECT_EQ(ListView_GetItemCount(List()), 7);
    EXPECT_EQ(GetText(window->Sessions().ShownLabel()), u"");
}

TEST_F(FarmViewTest, AutomaticRefreshKeepsEachServersSelectionAndAFailedServersRows) {
    services.refreshSecond = std::chrono::milliseconds(2);
    OpenFarm();
    AllServers(true);
    SelectUsers({u"Петрова", u"ПЕТРОВ"});  // session 2 on TS01 and session 2 on TS03
    // Meanwhile: TS01 gets a new session before session 2; TS02 stops answering.
    auto& ts01 = wts.servers[u"TS01"].sessions;
    ts01.insert(ts01.begin(), User(9, u"new", u"PC-09"));
    wts.servers[u"TS02"].enumerateError = 1722;
    window->Sessions().SetAutoRefresh(15);
    ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(List()) == 8; }));
    PumpMessages();
    EXPECT_EQ(ColumnTexts(List(), 1),
              (Texts{u"new", u"Петрова", u"ivanov", u"Petra", u"admin", u"ПЕТРОВ", u"sidorov", u"Иванова"}))
        << "TS02 keeps the rows it had";
    std::vector<std::u16string> selected;
    for (int row : window->Sessions().SelectedIndices()) selected.push_back(CellText(List(), row, 1));
    EXPECT_EQ(selected, (Texts{u"Петрова", u"ПЕТРОВ"}));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(GetText(window->Sessions().ProgressLabel()), u"Не ответили: 3 из 5 (подробнее)");
    window->Sessions().SetAutoRefresh(0);
}

TEST_F(FarmViewTest, TheViewIsRememberedAndAnEmptyListSaysSo) {
    Open();
    window->Servers().SetHistory({});
    AllServers(true);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].rfind(u"Список серверов пуст", 0), 0u);
    EXPECT_TRUE(wts.calls.empty());
    SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
    PumpMessages();
    EXPECT_TRUE(ReadEngineSettings(appDir.WithSeparator() + u"settings.ini").allServers);

    services.allServers = true;
    Open();
    EXPECT_EQ(SendMessageW(window->Sessions().AllServersButton(), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(wts.calls.empty()) << "nothing is listed before Get data";
    AllServers(false);
    SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
    PumpMessages();
    EXPECT_FALSE(ReadEngineSettings(appDir.WithSeparator() + u"settings.ini").allServers);
}

}  // namespace
}  // namespace tarvenix::testing
