// The process panel while a termination is slow, on worker threads: a
// listing started meanwhile does not swallow the termination's report, and a
// closed window gets no report at all.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "base/win_text.h"
#include "tests/engine/engine_test_support.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;

class SlowTerminationTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        services.executor = &threads;
        FakeSession alice;
        alice.id = 1;
        alice.user = u"alice";
        alice.winStation = u"RDP-Tcp#1";
        wts.servers[u"TS01"].sessions = {alice};
        wts.servers[u"TS01"].processes = {{1, 100, u"explorer.exe"}, {1, 101, u"mail.exe"}};
        wts.servers[u"TS01"].terminateError = 5;
        // The termination waits at the gate until the test opens it.
        wts.beforeCall = [this](const std::string& call) {
            if (call.rfind("terminate ", 0) != 0) return;
            terminateReached = true;
            slow.Wait();
        };
    }
    void TearDown() override {
        slow.Open();
        threads.Join();
        PumpMessages();
        MainWindowTest::TearDown();
    }
    HWND Processes() { return window->Processes().List().Handle(); }
    int ProcessRows() { return ListView_GetItemCount(Processes()); }

    // alice's processes listed, PID 100 selected, its termination sent and
    // held at the gate.
    void TerminateAndHold() {
        Open();
        GetData(u"TS01");
        ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(window->Sessions().List().Handle()) == 1; }));
        Select(window->Sessions().List().Handle(), {0});
        Command(kCmdSessionProcesses);
        ASSERT_TRUE(PumpUntil([&] { return ProcessRows() == 2 && !window->Processes().Busy(); }));
        Select(Processes(), {0});
        Command(kCmdTerminateProcess);
        ASSERT_TRUE(PumpUntil([&] { return terminateReached.load(); }));
        EXPECT_TRUE(window->Processes().Busy());
    }

    ThreadExecutor threads;
    Gate slow;
    std::atomic<bool> terminateReached{false};
};

TEST_F(SlowTerminationTest, AFailureIsReportedThoughTheListWasRefreshedMeanwhile) {
    TerminateAndHold();
    // The user refreshes the list while the termination is on its way; the
    // new listing ends first.
    Command(kCmdRefreshProcesses);
    ASSERT_TRUE(PumpUntil([&] { return ProcessRows() == 2; }));
    EXPECT_TRUE(window->Processes().Busy()) << "the termination is still going";
    EXPECT_TRUE(dialogs.messages.empty());

    slow.Open();
    ASSERT_TRUE(PumpUntil([&] { return !dialogs.messages.empty(); }, 5000)) << "the termination's report never came";
    EXPECT_EQ(dialogs.messages,
              Texts{u"Не удалось завершить процесс 100 на сервере TS01.\r\n" + errorTexts.Describe(5) + u" (5)"});
    // Then the list is made again, as after any termination.
    ASSERT_TRUE(PumpUntil([&] { return !window->Processes().Busy(); }));
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"100", u"101"}));
}

TEST_F(SlowTerminationTest, AClosedWindowGetsNoReport) {
    TerminateAndHold();
    DestroyWindow(window->Handle());
    PumpMessages();
    slow.Open();
    threads.Join();
    PumpFor(200);
    EXPECT_TRUE(dialogs.messages.empty());
    std::lock_guard<std::recursive_mutex> lock(wts.mutex);
    EXPECT_EQ(wts.calls.back(), "terminate 100 TS01") << "nothing is listed after the window went";
}

TEST_F(SlowTerminationTest, NoTerminationStartsAfterTheTimeOutsReport) {
    services.serverTimeout = std::chrono::milliseconds(300);
    Open();
    GetData(u"TS01");
    ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(window->Sessions().List().Handle()) == 1; }));
    Select(window->Sessions().List().Handle(), {0});
    Command(kCmdSessionProcesses);
    ASSERT_TRUE(PumpUntil([&] { return ProcessRows() == 2 && !window->Processes().Busy(); }));
    Select(Processes(), {0, 1});
    Command(kCmdTerminateProcess);  // one question (Yes), then 100 is held at the gate
    ASSERT_TRUE(PumpUntil([&] { return terminateReached.load(); }));
    ASSERT_TRUE(PumpUntil([&] { return !dialogs.messages.empty(); }, 5000)) << "no time-out report";
    slow.Open();
    threads.Join();
    PumpFor(200);
    std::lock_guard<std::recursive_mutex> lock(wts.mutex);
    EXPECT_EQ(std::count(wts.calls.begin(), wts.calls.end(), "terminate 101 TS01"), 0) << "101 was not sent after the report";
    EXPECT_EQ(std::count(wts.calls.begin(), wts.calls.end(), "terminate 100 TS01"), 1);
}

}  // namespace
}  // namespace tarvenix::testing
