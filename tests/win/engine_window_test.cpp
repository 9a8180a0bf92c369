// The window while remote work runs on worker threads: it stays live, shows
// progress and the wait cursor, Esc cancels, Get data again supersedes, a
// server that does not answer ends the run with a message, and closing the
// window during work closes it at once.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>

#include "base/win_text.h"
#include "tests/engine/engine_test_support.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;

class EngineWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        services.executor = &threads;
        for (std::uint32_t id : {1u, 2u, 3u}) {
            FakeSession s;
            s.id = id;
            s.user = u"user" + DecimalU32(id);
            wts.servers[u"TS01"].sessions.push_back(s);
            wts.servers[u"STUCK"].sessions.push_back(s);
        }
        wts.servers[u"TS02"].sessions = {wts.servers[u"TS01"].sessions[0]};
        wts.beforeCall = [this](const std::string& call) {
            if (call != "enumerate STUCK") return;
            stuckReached = true;
            stuck.Wait();
        };
    }
    void TearDown() override {
        stuck.Open();  // whatever still hangs answers now
        hang.Open();
        threads.Join();
        PumpMessages();
        MainWindowTest::TearDown();
        EXPECT_EQ(wts.opened, wts.closed) << "every handle is closed, abandoned ones too";
    }
    std::u16string Progress() { return GetText(window->Sessions().ProgressLabel()); }
    int Rows() { return ListView_GetItemCount(window->Sessions().List().Handle()); }
    void StartGetData(const std::u16string& server) {
        window->Servers().SetText(server);
        SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kCmdGetData, 0), 0);
    }

    ThreadExecutor threads;
    Gate stuck;
    std::atomic<bool> stuckReached{false};  // a worker waits in "enumerate STUCK"
    // For a test's own hang; a member, so that it outlives every worker waiting
    // in it (TearDown opens it and joins them).
    Gate hang;
};

TEST_F(EngineWindowTest, GetDataRunsOffTheWindowThreadWithProgressAndTheWaitCursor) {
    Open();
    StartGetData(u"STUCK");
    // The window answers while the server does not.
    EXPECT_TRUE(window->Sessions().Busy());
    EXPECT_EQ(Progress(), u"Получение данных...");
    EXPECT_EQ(SendMessageW(window->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window->Handle()),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    // A command on the rows waits for them: nothing is called (counted once
    // the worker sits in the enumeration, so its own calls are all logged).
    ASSERT_TRUE(PumpUntil([&] { return stuckReached.load(); }));
    const std::size_t calls = [&] {
        std::lock_guard<std::recursive_mutex> lock(wts.mutex);
        return wts.calls.size();
    }();
    Command(kCmdLogoffSelected);
    {
        std::lock_guard<std::recursive_mutex> lock(wts.mutex);
        EXPECT_EQ(wts.calls.size(), calls);
    }
    EXPECT_TRUE(dialogs.messages.empty());
    stuck.Open();
    ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"3");
    EXPECT_EQ(Progress(), u"");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(EngineWindowTest, APeriodChosenWhileListingIsThePeriodInForce) {
    Open();
    StartGetData(u"STUCK");
    ASSERT_TRUE(window->Sessions().Busy());
    // The chooser shows the choice at once: the setting must be the same
    // (it was held back with a beep before, and the chooser showed a period
    // that was not in force and was not saved).
    HWND chooser = window->Sessions().RefreshChooser();
    SendMessageW(chooser, CB_SETCURSEL, 2, 0);  // off, 15 s, 30 s, ...
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdRefreshChooser, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(chooser));
    EXPECT_EQ(window->Sessions().AutoRefreshSeconds(), 30);
    EXPECT_TRUE(window->Sessions().Busy()) << "the listing goes on";
    window->Sessions().SetAutoRefresh(0);
    stuck.Open();
    ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    EXPECT_EQ(Rows(), 3);
}

TEST_F(EngineWindowTest, AFarmServerOutOfTimeOnARefreshKeepsTheRowsItHadOnce) {
    services.serverTimeout = std::chrono::milliseconds(300);
    services.refreshSecond = std::chrono::milliseconds(2);
    Open();
    window->Servers().SetHistory({u"TS01", u"TS02"});
    window->Sessions().SetAllServers(true);
    ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    ASSERT_EQ(Rows(), 4);
    // On the refresh TS01 answers for session 1, then hangs in session 2's
    // queries past its time-out.
    wts.beforeCall = [&](const std::string& call) {
        if (call == "query 2 10 TS01") hang.Wait();
    };
    window->Sessions().SetAutoRefresh(15);
    ASSERT_TRUE(PumpUntil([&] { return window->Sessions().ServerFailures().size() == 1; }, 5000));
    window->Sessions().SetAutoRefresh(0);
    EXPECT_EQ(Rows(), 4) << "TS01 keeps the three rows it had, none of them twice, and TS02 its one";
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"4");
}

TEST_F(EngineWindowTest, EscCancelsAndTheCancelledRunNeverWrites) {
    Open();
    GetData(u"TS02");
    ASSERT_TRUE(PumpUntil([&] { return Rows() == 1; }));
    StartGetData(u"STUCK");
    ASSERT_TRUE(window->Sessions().Busy());
    MSG esc{window->Sessions().List().Handle(), WM_KEYDOWN, VK_ESCAPE, 0x00010001, 0, {}};
    EXPECT_TRUE(window->PreTranslateMessage(esc));
    EXPECT_FALSE(window->Sessions().Busy());
    EXPECT_EQ(Progress(), u"Отменено.");
    stuck.Open();
    threads.Join();
    PumpMessages();
    EXPECT_EQ(Rows(), 0) << "the list was emptied by Get data and stays so";
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"0") << "the counters describe the empty list";
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(EngineWindowTest, GetDataAgainSupersedesTheRunGoing) {
    Open();
    StartGetData(u"STUCK");
    StartGetData(u"TS02");
    ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(window->Sessions().ListedServer(), u"TS02");
    stuck.Open();
    threads.Join();
    PumpMessages();
    EXPECT_EQ(Rows(), 1) << "the superseded run's three rows never come";
    EXPECT_EQ(window->Sessions().ListedServer(), u"TS02");
}

TEST_F(EngineWindowTest, AServerThatDoesNotAnswerInTimeEndsTheRunWithAMessage) {
    services.serverTimeout = std::chrono::milliseconds(300);
    Open();
    StartGetData(u"STUCK");
    ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    EXPECT_EQ(dialogs.messages, (Texts{u"Сервер STUCK не ответил за 1 с. Список сессий не получен."}));
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"0");
    EXPECT_EQ(GetText(window->Sessions().ActiveCountLabel()), u"0");
    // The late answer is dropped.
    stuck.Open();
    threads.Join();
    PumpMessages();
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(EngineWindowTest, ClosingDuringWorkClosesAtOnceAndWritesTheSettings) {
    Open();
    StartGetData(u"STUCK");
    SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window->Handle())) << "closed without waiting for the server";
    EXPECT_TRUE(std::filesystem::exists(appDir.Path() / "settings.ini"));
    stuck.Open();
    threads.Join();
    PumpMessages();  // the late answer reaches no window
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(EngineWindowTest, LogoffOfManySessionsRunsOffTheThreadAndReportsOnce) {
    Open();
    GetData(u"TS01");
    ASSERT_TRUE(PumpUntil([&] { return Rows() == 3; }));
    wts.servers[u"TS01"].sessions[1].logoffError = 5;
    SetFocus(window->Sessions().List().Handle());
    Select(window->Sessions().List().Handle(), {0, 1, 2});
    Command(kCmdLogoffSelected);
    ASSERT_TRUE(PumpUntil([&] { return dialogs.messages.size() == 2; }));
    EXPECT_EQ(dialogs.messages[0], u"Команды на завершение сессий отправлены");
    EXPECT_EQ(dialogs.messages[1], u"Не удалось завершить сессию 2 на сервере TS01.\r\nСистемная ошибка 5. (5)");
}

}  // namespace
}  // namespace tarvenix::testing
