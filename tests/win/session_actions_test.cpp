// Session actions in the real main window with injected services: log off
// selected and all, shadowing, and the process panel.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/main_layout.h"
#include "base/win_text.h"
#include "tests/win/window_test_support.h"

namespace tarvenix {

// Failure messages name the process panel's mode.
static void PrintTo(ProcessPanelMode mode, std::ostream* os) {
    *os << (mode == ProcessPanelMode::User ? "User" : mode == ProcessPanelMode::Server ? "Server" : "None");
}

}  // namespace tarvenix

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;
using Calls = std::vector<std::string>;

FakeSession User(std::uint32_t id, std::u16string user, std::uint32_t state = 0) {
    FakeSession s;
    s.id = id;
    s.state = state;
    s.user = std::move(user);
    s.clientName = u"";
    s.winStation = u"RDP-Tcp#" + DecimalU32(id);
    s.times = SessionTimes{};  // the session information answers: one query checks a session
    return s;
}

class SessionActionsTest : public MainWindowTest {
protected:
    // TS01 lists sessions 3 (carol), 1 (alice), 2 (bob), 5 (dave), in that order.
    void OpenWithFarm() {
        wts.servers[u"TS01"].sessions = {User(3, u"carol"), User(1, u"alice"), User(2, u"bob"), User(5, u"dave")};
        wts.servers[u"TS01"].processes = {
            {0, 4, u"System"}, {3, 300, u"word.exe"}, {1, 100, u"explorer.exe"}, {3, 301, std::nullopt},
            {3, 302, u""},    {1, 101, u"mail.exe"},
        };
        wts.servers[u"TS02"].processes = {{7, 700, u"a.exe"}, {8, 800, u"b.exe"}};
        Open();
        GetData(u"TS01");
        wts.calls.clear();
    }
    HWND Sessions() { return window->Sessions().List().Handle(); }
    HWND Processes() { return window->Processes().List().Handle(); }
    // Selects the session-list rows that show these session IDs.
    void SelectSessions(const Texts& ids) {
        const Texts shown = ColumnTexts(Sessions(), 0);
        std::vector<int> rows;
        for (const auto& id : ids)
            for (int i = 0; i < static_cast<int>(shown.size()); ++i)
                if (shown[static_cast<std::size_t>(i)] == id) rows.push_back(i);
        Select(Sessions(), rows);
    }
    int OuterWidth() {
        RECT rc;
        GetWindowRect(window->Handle(), &rc);
        return rc.right - rc.left;
    }
    void SetOuterWidth(int width) {
        RECT rc;
        GetWindowRect(window->Handle(), &rc);
        SetWindowPos(window->Handle(), nullptr, 0, 0, width, rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER);
        PumpMessages();
    }
    std::u16string SystemText(std::uint32_t code) { return errorTexts.Describe(code) + u" (" + DecimalU32(code) + u")"; }
};

// --- Log off ---

TEST_F(SessionActionsTest, LogoffSelectedWalksSelectedRowsInDisplayOrderOnTheListedServer) {
    OpenWithFarm();
    ClickHeader(Sessions(), 1);  // by user: alice 1, bob 2, carol 3, dave 5
    ASSERT_EQ(ColumnTexts(Sessions(), 0), (Texts{u"1", u"2", u"3", u"5"}));
    Select(Sessions(), {0, 2, 3});
    window->Servers().SetText(u"OTHER");  // edited after Get data: the rows still belong to TS01
    Command(kCmdLogoffSelected);
    EXPECT_EQ(wts.calls, (Calls{"open TS01", "query 1 24 TS01", "logoff 1 TS01", "query 3 24 TS01", "logoff 3 TS01",
                                "query 5 24 TS01", "logoff 5 TS01"}));
    EXPECT_EQ(dialogs.messages, (Texts{u"Команды на завершение сессий отправлены"}));
    // The list is not refreshed.
    EXPECT_EQ(ListView_GetItemCount(Sessions()), 4);
    EXPECT_EQ(wts.opened, wts.closed);
}

TEST_F(SessionActionsTest, LogoffSelectedSingularPluralAndNothingSelected) {
    const struct { Texts selected; Calls calls; const char16_t* message; } cases[] = {
        {{}, {}, u"Команда на завершение сессии отправлена"},
        {{u"2"}, {"open TS01", "query 2 24 TS01", "logoff 2 TS01"}, u"Команда на завершение сессии отправлена"},
        {{u"3", u"5"}, {"open TS01", "query 3 24 TS01", "logoff 3 TS01", "query 5 24 TS01", "logoff 5 TS01"}, u"Команды на завершение сессий отправлены"},
    };
    OpenWithFarm();
    for (const auto& c : cases) {
        wts.calls.clear();
        dialogs.messages.clear();
        SelectSessions(c.selected);
        Command(kCmdLogoffSelected);
        EXPECT_EQ(wts.calls, c.calls) << c.selected.size();
        EXPECT_EQ(dialogs.messages, Texts{c.message}) << c.selected.size();
    }
}

TEST_F(SessionActionsTest, LogoffAllAsksAboutTheListedServerAndCountsLogoffs) {
    OpenWithFarm();
    window->Servers().SetText(u"TS02");
    dialogs.answers = {false};
    Command(kCmdLogoffAll);
    EXPECT_EQ(dialogs.questions, Texts{u"Подтвердите завершение всех сессий сервера TS01"});
    EXPECT_TRUE(wts.calls.empty()) << "Cancel sends nothing";
    EXPECT_TRUE(dialogs.messages.empty());

    dialogs.answers = {true};
    Command(kCmdLogoffAll);
    EXPECT_EQ(dialogs.questions.back(), u"Подтвердите завершение всех сессий сервера TS01");
    EXPECT_EQ(wts.calls, (Calls{"open TS01", "query 3 24 TS01", "logoff 3 TS01", "query 1 24 TS01", "logoff 1 TS01",
                                "query 2 24 TS01", "logoff 2 TS01", "query 5 24 TS01", "logoff 5 TS01"}));
    EXPECT_EQ(dialogs.messages, Texts{u"Было завершено 4 сессий."});

    // A listed server without rows: nothing to log off.
    wts.servers[u"EMPTY"];
    GetData(u"EMPTY");
    wts.calls.clear();
    Command(kCmdLogoffAll);
    EXPECT_EQ(dialogs.questions.back(), u"Подтвердите завершение всех сессий сервера EMPTY");
    EXPECT_TRUE(wts.calls.empty());
    EXPECT_EQ(dialogs.messages.back(), u"Было завершено 0 сессий.");
}

TEST_F(SessionActionsTest, LogoffAllBeforeAnyGetDataDoesNothing) {
    Open();
    window->Servers().SetText(u"TS01");
    Command(kCmdLogoffAll);
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(wts.calls.empty());
}

TEST_F(SessionActionsTest, FailedLogoffsAreReportedWithServerIdsAndSystemText) {
    OpenWithFarm();
    wts.servers[u"TS01"].sessions[2].logoffError = 5;  // session 2 refuses

    SelectSessions({u"1", u"2"});
    Command(kCmdLogoffSelected);
    EXPECT_EQ(dialogs.messages,
              (Texts{u"Команда на завершение сессии отправлена",
                     u"Не удалось завершить сессию 2 на сервере TS01.\r\n" + SystemText(5)}));

    dialogs.messages.clear();
    Command(kCmdLogoffAll);
    EXPECT_EQ(dialogs.messages, (Texts{u"Было завершено 3 сессий.",
                                       u"Не удалось завершить сессию 2 на сервере TS01.\r\n" + SystemText(5)}));

    // The server is gone: nothing was sent, and no message says it was.
    wts.servers.erase(u"TS01");
    dialogs.messages.clear();
    SelectSessions({u"3", u"5"});
    Command(kCmdLogoffSelected);
    EXPECT_EQ(dialogs.messages, Texts{u"Не удалось завершить сессии 3, 5 на сервере TS01.\r\n" + SystemText(1722)});
    dialogs.messages.clear();
    Command(kCmdLogoffAll);
    EXPECT_EQ(dialogs.messages, (Texts{u"Было завершено 0 сессий.",
                                       u"Не удалось завершить сессии 3, 1, 2, 5 на сервере TS01.\r\n" + SystemText(1722)}));
}

// --- Shadow ---

TEST_F(SessionActionsTest, ShadowStartsTheClientForTheTopmostSelectedRow) {
    OpenWithFarm();
    ClickHeader(Sessions(), 0);
    ClickHeader(Sessions(), 0);  // descending: 5, 3, 2, 1
    SelectSessions({u"1", u"3"});
    window->Servers().SetText(u"other box");
    Command(kCmdShadow);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].file, u"mstsc");
    EXPECT_EQ(shell.calls[0].parameters, u"/shadow:3 /v:TS01 /control");
    EXPECT_EQ(shell.calls[0].show, 10);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(wts.calls, (Calls{"open TS01", "query 3 24 TS01"})) << "the session is checked first";

    Select(Sessions(), {});
    Command(kCmdShadow);
    EXPECT_EQ(shell.calls.size(), 1u) << "nothing selected: nothing started";
    EXPECT_TRUE(dialogs.messages.empty());

    shell.result = 2;  // the client cannot be found
    SelectSessions({u"5"});
    Command(kCmdShadow);
    EXPECT_EQ(shell.calls.back().parameters, u"/shadow:5 /v:TS01 /control");
    EXPECT_EQ(dialogs.messages,
              Texts{u"Не удалось запустить mstsc для подключения к сессии 5 на сервере TS01.\r\n" + SystemText(2)});
}

// --- Process panel ---

TEST_F(SessionActionsTest, PanelListsOneSessionOrAllWithModesAndLabels) {
    OpenWithFarm();
    SelectSessions({u"3", u"1"});  // topmost selected: session 3 (carol)
    window->Servers().SetText(u"TS02");  // the session rows still belong to TS01
    Command(kCmdSessionProcesses);
    EXPECT_TRUE(IsWindowVisible(window->Processes().Panel()));
    EXPECT_EQ(OuterWidth(), 900);
    EXPECT_EQ(window->Processes().ProcessListMode(), ProcessPanelMode::User);
    EXPECT_EQ(window->Processes().ListedProcessServer(), u"TS01");
    EXPECT_EQ(wts.calls, (Calls{"open TS01", "query 3 24 TS01", "processes TS01"}));
    EXPECT_EQ(ColumnTexts(Processes(), 0), (Texts{u"3", u"3", u"3"}));
    EXPECT_EQ(ColumnTexts(Processes(), 1), (Texts{u"word.exe", u"<неизвестно>", u"<неизвестно>"}));
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"300", u"301", u"302"}));
    EXPECT_EQ(GetText(window->Processes().UserLabel()), u"carol");
    EXPECT_EQ(GetText(window->Processes().CountLabel()), u"Кол-во процессов: 3");
    // The panel's controls are laid out at the right edge.
    RECT client;
    GetClientRect(window->Handle(), &client);
    const RECT panel = ChildRect(window->Processes().Panel());
    EXPECT_EQ(panel.right, client.right);
    EXPECT_EQ(panel.right - panel.left, kProcessPanelWidth);
    EXPECT_EQ(ChildRect(window->panels().sessionPart).right, panel.left);

    // All processes: the server in the box; the user label stays.
    wts.calls.clear();
    Command(kCmdAllProcesses);
    EXPECT_EQ(window->Processes().ProcessListMode(), ProcessPanelMode::Server);
    EXPECT_EQ(window->Processes().ListedProcessServer(), u"TS02");
    EXPECT_EQ(wts.calls, (Calls{"open TS02", "processes TS02"}));
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"700", u"800"}));
    EXPECT_EQ(GetText(window->Processes().UserLabel()), u"carol");
    EXPECT_EQ(GetText(window->Processes().CountLabel()), u"Кол-во процессов: 2");
    EXPECT_EQ(OuterWidth(), 900);

    // A session that owns no process: empty list, count 0.
    SelectSessions({u"2"});
    Command(kCmdSessionProcesses);
    EXPECT_EQ(ListView_GetItemCount(Processes()), 0);
    EXPECT_EQ(GetText(window->Processes().UserLabel()), u"bob");
    EXPECT_EQ(GetText(window->Processes().CountLabel()), u"Кол-во процессов: 0");

    // Close: hidden, narrowed within the minimum, user label emptied; the rest stays.
    Command(kCmdCloseProcessPanel);
    EXPECT_FALSE(IsWindowVisible(window->Processes().Panel()));
    EXPECT_EQ(OuterWidth(), 720);
    EXPECT_EQ(GetText(window->Processes().UserLabel()), u"");
    EXPECT_EQ(GetText(window->Processes().CountLabel()), u"Кол-во процессов: 0");
    EXPECT_EQ(window->Processes().ProcessListMode(), ProcessPanelMode::User);
    GetClientRect(window->Handle(), &client);
    EXPECT_EQ(ChildRect(window->panels().sessionPart).right, client.right);
}

TEST_F(SessionActionsTest, PanelWidthIsAbsoluteWhenOpenedAndNarrowsBy300WhenClosed) {
    OpenWithFarm();
    SelectSessions({u"1"});
    SetOuterWidth(1200);
    Command(kCmdSessionProcesses);
    EXPECT_EQ(OuterWidth(), 900);
    Command(kCmdSessionProcesses);  // opened twice: still 900
    EXPECT_EQ(OuterWidth(), 900);
    // Widened by hand to 1200 (the system keeps a window within the screen's
    // tracking size, so a small test display may allow less): closing takes 300 off.
    SetOuterWidth(1200);
    const int widened = OuterWidth();
    ASSERT_GT(widened, 1020);
    Command(kCmdCloseProcessPanel);
    EXPECT_EQ(OuterWidth(), widened - 300);
    Command(kCmdAllProcesses);
    Command(kCmdCloseProcessPanel);
    EXPECT_EQ(OuterWidth(), 720);
    SetOuterWidth(800);
    Command(kCmdCloseProcessPanel);  // closing again never goes below the minimum
    EXPECT_EQ(OuterWidth(), 720);
}

TEST_F(SessionActionsTest, ListingASessionNeedsASelectedRow) {
    OpenWithFarm();
    Command(kCmdSessionProcesses);
    EXPECT_FALSE(IsWindowVisible(window->Processes().Panel()));
    EXPECT_TRUE(wts.calls.empty());
    EXPECT_EQ(window->Processes().ProcessListMode(), ProcessPanelMode::None);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SessionActionsTest, RefreshRelistsTheSelectedSessionOrAllProcessesAgain) {
    OpenWithFarm();
    Command(kCmdRefreshProcesses);  // mode still empty
    EXPECT_TRUE(wts.calls.empty());
    EXPECT_FALSE(IsWindowVisible(window->Processes().Panel()));

    SelectSessions({u"3"});
    Command(kCmdSessionProcesses);
    ASSERT_EQ(ListView_GetItemCount(Processes()), 3);
    SelectSessions({u"1"});  // refresh lists the session selected now
    wts.servers[u"TS01"].processes.push_back({1, 102, u"new.exe"});
    wts.calls.clear();
    Command(kCmdRefreshProcesses);
    EXPECT_EQ(wts.calls, (Calls{"open TS01", "query 1 24 TS01", "processes TS01"}));
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"100", u"101", u"102"}));
    EXPECT_EQ(GetText(window->Processes().UserLabel()), u"alice");
    EXPECT_EQ(window->Processes().ProcessListMode(), ProcessPanelMode::User);

    window->Servers().SetText(u"TS02");
    Command(kCmdAllProcesses);
    wts.servers[u"TS02"].processes.clear();
    wts.calls.clear();
    Command(kCmdRefreshProcesses);
    EXPECT_EQ(wts.calls, (Calls{"open TS02", "processes TS02"})) << "all processes of the listed server again";
    EXPECT_TRUE(ColumnTexts(Processes(), 2).empty());
    EXPECT_EQ(window->Processes().ProcessListMode(), ProcessPanelMode::Server);
}

TEST_F(SessionActionsTest, ListingDropsTheOrderingOfTheProcessList) {
    OpenWithFarm();
    Command(kCmdAllProcesses);  // TS01 from the box
    ClickHeader(Processes(), 1);
    ASSERT_EQ(window->Processes().List().Rows().Mode(), SortType::Text);
    EXPECT_EQ(ColumnTexts(Processes(), 1)[0], u"<неизвестно>");
    Command(kCmdAllProcesses);
    EXPECT_EQ(window->Processes().List().Rows().Mode(), SortType::None);
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"4", u"300", u"100", u"301", u"302", u"101"}));
    EXPECT_EQ(ColumnTexts(Processes(), 1)[0], u"System");
}

TEST_F(SessionActionsTest, TerminateAddressesTheListedServerThenRelistsTheSelectedSession) {
    OpenWithFarm();
    SelectSessions({u"3"});
    Command(kCmdSessionProcesses);  // 300, 301, 302 of TS01
    ClickHeader(Processes(), 2);
    ClickHeader(Processes(), 2);  // by PID descending: 302, 301, 300
    ASSERT_EQ(ColumnTexts(Processes(), 2), (Texts{u"302", u"301", u"300"}));
    Select(Processes(), {1});
    window->Servers().SetText(u"TS02");
    wts.calls.clear();
    Command(kCmdTerminateProcess);
    // Checked against a fresh listing first; one process: no question beyond "Вы уверены?".
    EXPECT_EQ(wts.calls, (Calls{"open TS01", "processes TS01", "terminate 301 TS01", "open TS01", "query 3 24 TS01",
                                "processes TS01"}));
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"300", u"302"}));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.questions.empty());

    // From the list of all processes of TS02: terminated there, then the
    // panel shows the selected session of TS01 in "user" mode.
    Command(kCmdAllProcesses);
    Select(Processes(), {1});  // PID 800
    window->Servers().SetText(u"TS03");
    wts.calls.clear();
    Command(kCmdTerminateProcess);
    EXPECT_EQ(wts.calls, (Calls{"open TS02", "processes TS02", "terminate 800 TS02", "open TS01", "query 3 24 TS01",
                                "processes TS01"}));
    EXPECT_EQ(window->Processes().ProcessListMode(), ProcessPanelMode::User);
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"300", u"302"}));
    EXPECT_EQ(GetText(window->Processes().UserLabel()), u"carol");

    // No selected process: nothing.
    Select(Processes(), {});
    wts.calls.clear();
    Command(kCmdTerminateProcess);
    EXPECT_TRUE(wts.calls.empty());
    EXPECT_EQ(wts.opened, wts.closed);
}

TEST_F(SessionActionsTest, AllProcessesOfAnEmptyBoxAskForAServerAndOpenNothing) {
    OpenWithFarm();
    window->Servers().SetText(u"");
    Command(kCmdAllProcesses);
    EXPECT_EQ(dialogs.messages, (Texts{u"Вы не указали сервер!"}));
    EXPECT_TRUE(wts.calls.empty());
    EXPECT_FALSE(IsWindowVisible(window->Processes().Panel()));
    EXPECT_EQ(window->Processes().ProcessListMode(), ProcessPanelMode::None);
}

TEST_F(SessionActionsTest, TerminateWithoutASelectedSessionRelistsWhatThePanelShowed) {
    // All processes of TS02 with no session row selected: after the
    // termination the panel lists TS02 again, so the terminated PID is gone.
    OpenWithFarm();
    Select(Sessions(), {});
    window->Servers().SetText(u"TS02");
    Command(kCmdAllProcesses);
    ASSERT_EQ(ColumnTexts(Processes(), 2), (Texts{u"700", u"800"}));
    Select(Processes(), {0});
    wts.servers[u"TS02"].processes = {{8, 800, u"b.exe"}};  // 700 is gone
    window->Servers().SetText(u"TS03");  // the box changed since: the panel still shows TS02
    wts.calls.clear();
    Command(kCmdTerminateProcess);
    EXPECT_EQ(wts.calls, (Calls{"open TS02", "processes TS02", "open TS02", "processes TS02"}));
    EXPECT_EQ(dialogs.messages, (Texts{u"Процесс a.exe (PID 700) уже завершён."})) << "ended meanwhile: not terminated";
    dialogs.messages.clear();
    EXPECT_EQ(window->Processes().ProcessListMode(), ProcessPanelMode::Server);
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"800"}));

    // One session's processes, then the session row deselected: that
    // session's processes are listed again.
    SelectSessions({u"3"});
    Command(kCmdSessionProcesses);
    Select(Sessions(), {});
    Select(Processes(), {0});  // 300
    wts.servers[u"TS01"].processes.erase(wts.servers[u"TS01"].processes.begin() + 1);  // 300 is gone
    wts.calls.clear();
    Command(kCmdTerminateProcess);
    EXPECT_EQ(wts.calls, (Calls{"open TS01", "processes TS01", "open TS01", "query 3 24 TS01", "processes TS01"}));
    EXPECT_EQ(dialogs.messages, (Texts{u"Процесс word.exe (PID 300) уже завершён."}));
    EXPECT_EQ(window->Processes().ProcessListMode(), ProcessPanelMode::User);
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"301", u"302"}));
    EXPECT_EQ(GetText(window->Processes().UserLabel()), u"carol");
}

TEST_F(SessionActionsTest, FailedTerminationAndEnumerationAreReported) {
    OpenWithFarm();
    wts.servers[u"TS01"].terminateError = 5;
    SelectSessions({u"1"});
    Command(kCmdSessionProcesses);
    Select(Processes(), {0});
    wts.calls.clear();
    Command(kCmdTerminateProcess);
    EXPECT_EQ(wts.calls, (Calls{"open TS01", "processes TS01", "terminate 100 TS01", "open TS01", "query 1 24 TS01",
                                "processes TS01"}));
    EXPECT_EQ(dialogs.messages, Texts{u"Не удалось завершить процесс 100 на сервере TS01.\r\n" + SystemText(5)});
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"100", u"101"}));

    // The enumeration fails: the panel is open with an empty list, the labels
    // keep their texts, and the failure is said.
    dialogs.messages.clear();
    wts.servers[u"TS01"].processEnumerateError = 1722;
    SelectSessions({u"3"});
    Command(kCmdSessionProcesses);
    EXPECT_TRUE(IsWindowVisible(window->Processes().Panel()));
    EXPECT_EQ(ListView_GetItemCount(Processes()), 0);
    EXPECT_EQ(GetText(window->Processes().UserLabel()), u"alice");
    EXPECT_EQ(GetText(window->Processes().CountLabel()), u"Кол-во процессов: 2");
    EXPECT_EQ(dialogs.messages, Texts{u"Не удалось получить список процессов сервера TS01.\r\n" + SystemText(1722)});

    dialogs.messages.clear();
    window->Servers().SetText(u"NOWHERE");
    Command(kCmdAllProcesses);
    EXPECT_EQ(dialogs.messages, Texts{u"Не удалось получить список процессов сервера NOWHERE.\r\n" + SystemText(1722)});
}

}  // namespace
}  // namespace tarvenix::testing
