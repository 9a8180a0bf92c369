// Closing the main window while Get data runs against the farm double.
#include <windows.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/main_window.h"
#include "base/controls_win.h"
#include "base/engine_win.h"
#include "tests/win/farm_test_support.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using WindowClosingTest = FarmTest;

// Closing the window while Get data runs on the thread pool: the window goes
// at once with its settings written, the work still under way ends on its
// own, and the farm double's handles and buffers all come back.
TEST_F(WindowClosingTest, ClosingTheWindowDuringGetDataClosesAtOnceAndLeavesNothingOpen) {
    LoadFarm(FarmWith(R"({"name":"GEN","latency_ms":5,"generate":{"sessions":400}})"));
    TempDirectory appDir;
    FakeDialogs dialogs;
    ThreadPoolExecutor executor(16);
    WindowDispatcher dispatcher;
    Services services;
    services.dialogs = &dialogs;
    services.executor = &executor;
    services.dispatcher = &dispatcher;
    services.appDirectory = appDir.WithSeparator();
    auto ansi = MakeTableCodePage(1251);
    services.ansi = ansi.get();
    {
        TypedServers noDirectory({});
        MainWindow window(services, wts, noDirectory);
        window.Create();
        window.Servers().SetText(u"GEN");
        window.Sessions().GetData();
        // Some sessions have been queried: the run is well under way.
        PumpUntil([&] { return GetText(window.Sessions().ProgressLabel()).rfind(u"Получено", 0) == 0; }, 20000);
        ASSERT_TRUE(window.Sessions().Busy());
        const DWORD closing = GetTickCount();
        SendMessageW(window.Handle(), WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window.Handle()));
        EXPECT_LT(GetTickCount() - closing, 1000u) << "closing does not wait for the server";
        EXPECT_TRUE(std::filesystem::exists(appDir.Path() / "settings.ini"));
    }
    executor.Shutdown(true);  // the test, unlike the program, waits for the workers
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_LT(CallsOf("WTSQuerySessionInformationW").size(), 400u * 4) << "sessions not yet started were not queried";
    ExpectNothingLeftOpen();
}

}  // namespace
}  // namespace tarvenix::testing
