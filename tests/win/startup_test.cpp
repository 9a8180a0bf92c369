// What the programs build at their start (startup/): the window program's
// options in the features' fields, and the command line's services whole,
// its workers' results coming back on the thread that waits for them.
#include <windows.h>

#include <atomic>
#include <chrono>

#include <gtest/gtest.h>

#include "base/win_text.h"
#include "startup/program_services_win.h"

namespace tarvenix {
namespace {

TEST(ProgramStart, EachWindowOptionLandsInItsOwnField) {
    // Every value different, so that two fields swapped show.
    EngineSettings settings;
    settings.parallelSessions = 3;
    settings.parallelCalls = 5;
    settings.parallelServers = 7;
    settings.timeoutSeconds = 11;
    settings.refreshSeconds = 45;
    settings.allServers = true;
    settings.farmParallelSessions = 21;
    Services services;
    ApplySettings(settings, services);
    EXPECT_EQ(services.parallelSessions, 3u);
    EXPECT_EQ(services.parallelCalls, 5u);
    EXPECT_EQ(services.parallelServers, 7u);
    EXPECT_EQ(services.serverTimeout, std::chrono::milliseconds(11000));
    EXPECT_EQ(services.refreshSeconds, 45);
    EXPECT_TRUE(services.allServers);
    EXPECT_EQ(services.farmParallelSessions, 21u);
}

TEST(ProgramStart, TheCommandLineGetsEveryServiceAndItsResultsOnTheWaitingThread) {
    ProgramServices& program = ProgramServices::StartCommandLine(2);
    const Services& services = program.Base();
    EXPECT_NE(services.dialogs, nullptr);
    EXPECT_NE(services.shell, nullptr);
    EXPECT_NE(services.errors, nullptr);
    EXPECT_EQ(services.ansi, &program.Ansi());
    EXPECT_EQ(services.executor, &program.Workers());
    EXPECT_EQ(services.dispatcher, &program.Queue());

    // The application directory: the running program's, with its separator.
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(n, 0u);
    const std::u16string exe = U16(path, n);
    EXPECT_EQ(program.AppDirectory(), exe.substr(0, exe.find_last_of(u"\\/") + 1));

    // Work runs on a worker; what it posts runs here, while the queue is run.
    const DWORD self = GetCurrentThreadId();
    std::atomic<DWORD> workerThread{0};
    DWORD resultThread = 0;
    bool done = false;
    services.executor->Submit([&] {
        workerThread = GetCurrentThreadId();
        services.dispatcher->Post([&] {
            resultThread = GetCurrentThreadId();
            done = true;
        });
    });
    program.Queue().RunUntil([&] { return done; });
    EXPECT_NE(workerThread.load(), self);
    EXPECT_EQ(resultThread, self);
}

}  // namespace
}  // namespace tarvenix
