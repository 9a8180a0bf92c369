// Live mode in the window: the farm view's servers watched for session
// events, a changed server's rows updated in place with the selection, the
// order and the find text kept, a server that cannot be watched named on the
// line under the counters, and every wait ended and handle closed when live
// mode is left or the window closed; the choice remembered.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "base/win_text.h"
#include "servers/settings_file_win.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;

FakeSession User(std::uint32_t id, std::u16string user, std::uint32_t state = 0) {
    FakeSession s;
    s.id = id;
    s.state = state;
    s.user = std::move(user);
    s.clientName = u"PC-" + DecimalU32(id);
    s.winStation = u"RDP-Tcp#" + DecimalU32(id);
    return s;
}

class LiveModeTest : public MainWindowTest {
protected:
    void OpenFarm() {
        wts.servers[u"TS01"].sessions = {User(2, u"Петрова"), User(1, u"ivanov", 4)};
        wts.servers[u"TS02"].sessions = {User(5, u"kozlov"), User(3, u"admin")};
        wts.servers[u"TS03"].sessions = {User(4, u"sidorov")};
        Open();
        window->Servers().SetHistory({u"TS01", u"TS02", u"TS03"});
        SendMessageW(window->Sessions().AllServersButton(), BM_SETCHECK, BST_CHECKED, 0);
        Command(kCmdAllServers);
        ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    }
    void Choose(int item) {
        HWND chooser = window->Sessions().RefreshChooser();
        SendMessageW(chooser, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
        SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdRefreshChooser, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(chooser));
    }
    void ChooseLive() {
        const int count = static_cast<int>(SendMessageW(window->Sessions().RefreshChooser(), CB_GETCOUNT, 0, 0));
        Choose(count - 1);
    }
    HWND List() { return window->Sessions().List().Handle(); }
    int Count(const std::string& call) { return wts.CallCount(call); }
    int Closed() { return wts.ClosedCount(); }
    int Opened() { return wts.OpenedCount(); }
    Texts SelectedUsers() {
        Texts users;
        for (const Session& s : window->Sessions().SelectedSessions()) users.push_back(s.user);
        return users;
    }
};

TEST_F(LiveModeTest, AChangedServersRowsAreUpdatedInPlaceKeepingTheSelectionAndTheFindText) {
    OpenFarm();
    EXPECT_EQ(ColumnTexts(List(), 1), (Texts{u"Петрова", u"ivanov", u"kozlov", u"admin", u"sidorov"}));
    Select(List(), {3});  // admin on TS02
    ChooseLive();
    EXPECT_TRUE(window->Sessions().Live());
    ASSERT_TRUE(PumpUntil([&] { return wts.WaitsGoing() == 3; }));

    // On TS02 kozlov logs off and Орлов logs on; on TS01 Петрова disconnects.
    {
        std::lock_guard<std::recursive_mutex> lock(wts.mutex);
        wts.servers[u"TS02"].sessions = {User(3, u"admin"), User(8, u"Орлов")};
        wts.servers[u"TS01"].sessions[0].state = 4;
    }
    wts.SignalEvents(u"TS02", session_events::kLogon | session_events::kLogoff);
    wts.SignalEvents(u"TS01", session_events::kDisconnect);
    ASSERT_TRUE(PumpUntil([&] { return ColumnTexts(List(), 1).size() == 5 && CellText(List(), 3, 1) == u"Орлов"; }));
    PumpUntil([&] { return CellText(List(), 0, 4) == u"Disconnected"; });
    EXPECT_EQ(ColumnTexts(List(), 1), (Texts{u"Петрова", u"ivanov", u"admin", u"Орлов", u"sidorov"}));
    EXPECT_EQ(CellText(List(), 0, 4), u"Disconnected");
    EXPECT_EQ(SelectedUsers(), (Texts{u"admin"})) << "the selection stays on the same session";
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"5");
    EXPECT_EQ(Count("enumerate TS03"), 1) << "a server without events is not listed again";
    EXPECT_EQ(Count("enumerate TS02"), 2);

    // The find text stays in force for what comes later.
    SetWindowTextW(window->Sessions().FindBox(), L"ов");
    PumpMessages();
    {
        std::lock_guard<std::recursive_mutex> lock(wts.mutex);
        wts.servers[u"TS03"].sessions.push_back(User(9, u"Белов"));
        wts.servers[u"TS03"].sessions.push_back(User(10, u"guest"));
    }
    wts.SignalEvents(u"TS03", session_events::kLogon);
    ASSERT_TRUE(PumpUntil([&] { return Count("enumerate TS03") == 2 && ColumnTexts(List(), 1).size() == 3; }));
    EXPECT_EQ(ColumnTexts(List(), 1), (Texts{u"Петрова", u"Орлов", u"Белов"}));
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"7");
    EXPECT_TRUE(dialogs.messages.empty());

    // Leaving live mode ends every wait and closes every handle.
    Choose(0);
    EXPECT_FALSE(window->Sessions().Live());
    ASSERT_TRUE(PumpUntil([&] { return wts.WaitsGoing() == 0 && Closed() == Opened(); }));
}

TEST_F(LiveModeTest, AServerThatCannotBeWatchedIsPolledAndNamedUnderTheCounters) {
    wts.servers[u"TS03"].waitError = 50;
    OpenFarm();
    ChooseLive();
    ASSERT_TRUE(PumpUntil([&] { return window->Sessions().PolledServers().size() == 1; }));
    EXPECT_EQ(window->Sessions().PolledServers()[0].server, u"TS03");
    const std::u16string line = GetText(window->Sessions().ProgressLabel());
    EXPECT_NE(line.find(u"Без уведомлений, опрашиваются: TS03 ("), std::u16string::npos) << Utf16ToUtf8(line);
    EXPECT_NE(line.find(u"(50)"), std::u16string::npos) << Utf16ToUtf8(line);
    EXPECT_TRUE(dialogs.messages.empty());
    // A click on the line (as on the failures of the farm) lists why.
    window->Sessions().ShowServerFailures();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].rfind(u"Без уведомлений об изменениях, опрашиваются:\r\nTS03: ", 0), 0u)
        << Utf16ToUtf8(dialogs.messages[0]);
}

TEST_F(LiveModeTest, ClosingTheWindowInLiveModeEndsEveryWaitAndRemembersTheMode) {
    OpenFarm();
    ChooseLive();
    ASSERT_TRUE(PumpUntil([&] { return wts.WaitsGoing() == 3; }));
    SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return Closed() == Opened(); }));
    EXPECT_EQ(wts.WaitsGoing(), 0);
    EXPECT_EQ(Count("flush TS01") + Count("flush TS02") + Count("flush TS03"), 3);
    EXPECT_TRUE(ReadEngineSettings(appDir.WithSeparator() + u"settings.ini").live);
}

TEST_F(LiveModeTest, TheIdlePassUpdatesIdleTimesWithoutListingAndListsASessionThatChangedHands) {
    services.refreshSecond = std::chrono::milliseconds(2);  // the idle pass's 60 s are 120 ms here
    constexpr FileTimeTicks kNow = 134414568000000000;     // 2026-12-11 10:00 UTC on the servers' clock
    const auto idleFor = [&](int minutes) {
        SessionTimes times;
        times.currentTime = kNow;
        times.lastInputTime = kNow - minutes * kTicksPerMinute;
        times.logonTime = kNow - 600 * kTicksPerMinute;
        return times;
    };
    wts.servers[u"TS01"].sessions = {User(2, u"Петрова"), User(3, u"ivanov")};
    wts.servers[u"TS01"].sessions[0].times = idleFor(5);
    wts.servers[u"TS01"].sessions[1].times = idleFor(7);
    Open();
    GetData(u"TS01");
    ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    ChooseLive();
    ASSERT_TRUE(PumpUntil([&] { return wts.WaitsGoing() == 1; }));
    const int idleColumn = 6;
    EXPECT_EQ(CellText(List(), 0, idleColumn), u"5");
    {
        std::lock_guard<std::recursive_mutex> lock(wts.mutex);
        wts.servers[u"TS01"].sessions[0].times = idleFor(65);
    }
    ASSERT_TRUE(PumpUntil([&] { return CellText(List(), 0, idleColumn) == u"1:05"; }));
    EXPECT_EQ(Count("enumerate TS01"), 1) << "idle times come without a listing";
    EXPECT_GE(Count("query 2 24 TS01"), 2);

    // Session 3 now holds another logon, and no event came: the pass lists the server.
    {
        std::lock_guard<std::recursive_mutex> lock(wts.mutex);
        wts.servers[u"TS01"].sessions[1].user = u"sidorov";
    }
    ASSERT_TRUE(PumpUntil([&] { return CellText(List(), 1, 1) == u"sidorov"; }));
    EXPECT_EQ(Count("enumerate TS01"), 2);
}

}  // namespace
}  // namespace tarvenix::testing
