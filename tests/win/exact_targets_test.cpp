// Commands reach only the sessions the user saw: a session ID that the server
// gave to another logon is never acted on, whether the list was refreshed
// meanwhile or not, and a question fixes its targets when it is asked.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "actions/logoff_commands_win.h"
#include "actions/message_window.h"
#include "actions/process_panel_win.h"
#include "actions/shadow_command_win.h"
#include "base/win_text.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;
using Calls = std::vector<std::string>;

constexpr std::int64_t kNow = 134'000'000'000'000'000;

FakeSession Logon(std::uint32_t id, std::u16string user, std::int64_t logonMinutesAgo) {
    FakeSession s;
    s.id = id;
    s.user = std::move(user);
    s.clientName = u"PC-" + DecimalU32(id);
    s.winStation = u"RDP-Tcp#" + DecimalU32(id);
    s.domain = u"CORP";
    s.times = SessionTimes{kNow, 0, kNow - logonMinutesAgo * kTicksPerMinute, kNow};
    return s;
}

class ExactTargetsTest : public MainWindowTest {
protected:
    // TS01: petrova in 3, ivanov in 1, sidorov in 2.
    void OpenAndList() {
        wts.servers[u"TS01"].sessions = {Logon(3, u"petrova", 60), Logon(1, u"ivanov", 50), Logon(2, u"sidorov", 40)};
        wts.servers[u"TS01"].processes = {{3, 300, u"word.exe"}, {2, 200, u"excel.exe"}};
        Open();
        GetData(u"TS01");
        ASSERT_EQ(ColumnTexts(List(), 1), (Texts{u"petrova", u"ivanov", u"sidorov"}));
    }
    HWND List() { return window->Sessions().List().Handle(); }
    // What the server did, of the calls that change a session.
    Calls Actions() {
        Calls out;
        for (const std::string& c : wts.calls)
            if (c.rfind("logoff", 0) == 0 || c.rfind("disconnect", 0) == 0 || c.rfind("message", 0) == 0 ||
                c.rfind("processes", 0) == 0)
                out.push_back(c);
        return out;
    }
    // petrova's session 3 ended and the server gave its ID to kozlov.
    void ReuseThree() {
        auto& sessions = wts.servers[u"TS01"].sessions;
        sessions[0] = Logon(3, u"kozlov", 1);
    }
    bool AnyMessageHas(const std::u16string& part) {
        return std::any_of(dialogs.messages.begin(), dialogs.messages.end(),
                           [&](const std::u16string& m) { return m.find(part) != std::u16string::npos; });
    }
};

TEST_F(ExactTargetsTest, EveryCommandChecksTheSessionFirstAndLeavesAnIdGivenToAnotherLogon) {
    const struct {
        const char* name;
        int command;
        Calls acted;  // what reaches the server, with sessions 3 and 2 selected
    } cases[] = {
        {"log off", kCmdLogoffSelected, {"logoff 2 TS01"}},
        {"log off all (every row)", kCmdLogoffAll, {"logoff 1 TS01", "logoff 2 TS01"}},
        {"disconnect", kCmdDisconnectSelected, {"disconnect 2 TS01"}},
        {"message", kIdSendButton, {"message 2 TS01"}},
        {"shadow", kCmdShadow, {}},
        {"processes", kCmdSessionProcesses, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenAndList();
        Select(List(), {0, 2});  // petrova (3) and sidorov (2)
        ReuseThree();
        wts.calls.clear();
        dialogs.messages.clear();
        if (c.command == kIdSendButton) {
            SendMessageW(window->Messages().Handle(), WM_COMMAND, MAKEWPARAM(kIdSendButton, BN_CLICKED), 0);
            PumpMessages();
            ASSERT_TRUE(PumpUntil([&] { return !window->Messages().Sending(); }));
        } else {
            Command(c.command);
        }
        PumpMessages();
        EXPECT_EQ(Actions(), c.acted);
        EXPECT_EQ(std::count(wts.calls.begin(), wts.calls.end(), "query 3 24 TS01"), 1) << "one check of session 3";
        EXPECT_TRUE(shell.calls.empty()) << "no client started for a session that changed hands";
        EXPECT_TRUE(AnyMessageHas(u"Сессия 3 на сервере TS01 теперь у kozlov: команда не отправлена."));
        window.reset();
        shell.calls.clear();
    }
}

TEST_F(ExactTargetsTest, TheSameLogonIsActedOnAndAnEndedSessionIsNamed) {
    OpenAndList();
    Select(List(), {0, 1});  // petrova (3), ivanov (1)
    auto& sessions = wts.servers[u"TS01"].sessions;
    sessions.erase(sessions.begin() + 1);  // ivanov has logged off
    wts.calls.clear();
    Command(kCmdLogoffSelected);
    EXPECT_EQ(Actions(), (Calls{"logoff 3 TS01"}));
    EXPECT_EQ(dialogs.messages, (Texts{u"Команда на завершение сессии отправлена",
                                       u"Сессия 1 на сервере TS01 уже завершена."}));
}

TEST_F(ExactTargetsTest, ShadowAndProcessesGoAheadForTheSameLogon) {
    OpenAndList();
    Select(List(), {0});
    Command(kCmdShadow);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].parameters, u"/shadow:3 /v:TS01 /control");
    Command(kCmdSessionProcesses);
    EXPECT_EQ(ColumnTexts(window->Processes().List().Handle(), 1), (Texts{u"word.exe"}));
}

TEST_F(ExactTargetsTest, RefreshKeepsTheSelectionOnlyOnTheSameSession) {
    services.refreshSecond = std::chrono::milliseconds(2);
    const struct {
        const char* name;
        FakeSession now;  // what holds ID 3 at the refresh
        bool kept;
    } cases[] = {
        {"same ID and user", Logon(3, u"petrova", 60), true},
        {"ID reused by another user", Logon(3, u"kozlov", 1), false},
        {"same user, another logon", Logon(3, u"petrova", 1), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenAndList();
        Select(List(), {0});
        ListView_SetItemState(List(), 0, LVIS_FOCUSED, LVIS_FOCUSED);
        wts.servers[u"TS01"].sessions[0] = c.now;
        wts.calls.clear();
        window->Sessions().SetAutoRefresh(15);
        ASSERT_TRUE(PumpUntil([&] { return std::count(wts.calls.begin(), wts.calls.end(), "enumerate TS01") > 0; }));
        PumpFor(100);
        window->Sessions().SetAutoRefresh(0);
        ASSERT_EQ(CellText(List(), 0, 1), *c.now.user);
        EXPECT_EQ(window->Sessions().SelectedIndices(), c.kept ? std::vector<int>{0} : std::vector<int>{});
        EXPECT_EQ(ListView_GetNextItem(List(), -1, LVNI_FOCUSED), c.kept ? 0 : -1);
        wts.calls.clear();
        Command(kCmdLogoffSelected);
        EXPECT_EQ(Actions(), c.kept ? Calls{"logoff 3 TS01"} : Calls{});
        window.reset();
    }
}

TEST_F(ExactTargetsTest, AQuestionFixesItsTargetsWhateverARefreshDoesWhileItIsOpen) {
    services.refreshSecond = std::chrono::milliseconds(2);
    OpenAndList();
    window->Sessions().SetAutoRefresh(15);
    // While "Вы уверены?" is open the list is refreshed: sidorov has gone and
    // two new sessions came; the rows shown when asked are still the targets.
    dialogs.whileAsking = [&] {
        auto& sessions = wts.servers[u"TS01"].sessions;
        sessions = {Logon(7, u"anna", 1), Logon(3, u"petrova", 60), Logon(1, u"ivanov", 50), Logon(8, u"boris", 1)};
        ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(List()) == 4; }));
        window->Sessions().SetAutoRefresh(0);
    };
    wts.calls.clear();
    Command(kCmdLogoffAll);
    ASSERT_EQ(dialogs.questions, (Texts{u"Подтвердите завершение всех сессий сервера TS01"}));
    EXPECT_EQ(Actions(), (Calls{"logoff 3 TS01", "logoff 1 TS01"})) << "never 7 or 8; 2 has ended";
    EXPECT_TRUE(AnyMessageHas(u"Было завершено 2 сессий."));
    EXPECT_TRUE(AnyMessageHas(u"Сессия 2 на сервере TS01 уже завершена."));
}

TEST_F(ExactTargetsTest, CancelledListingLeavesListAndCountersEmptyTogether) {
    OpenAndList();
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"3");
    // Get data again, and Esc before its result is taken from the queue.
    window->Sessions().GetData();
    window->Sessions().Cancel();
    PumpMessages();
    EXPECT_EQ(ListView_GetItemCount(List()), 0);
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"0");
    EXPECT_EQ(GetText(window->Sessions().ActiveCountLabel()), u"0");
}

}  // namespace
}  // namespace tarvenix::testing
