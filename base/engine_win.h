// The engine on Windows: work on the system thread pool, results posted to a
// message-only window on the window thread.
#pragma once

#include <windows.h>

#include <functional>
#include <map>

#include "base/engine.h"

namespace tarvenix {

// A private thread pool of at most maxThreads workers, with a cleanup group.
// Shutdown(false) cancels the work not yet started and leaves running work to
// finish on its own (a call stuck on a dead server is never waited for); the
// destructor waits for running work only when Shutdown(true) was asked for.
class ThreadPoolExecutor final : public Executor {
public:
    explicit ThreadPoolExecutor(int maxThreads);
    ~ThreadPoolExecutor() override;
    ThreadPoolExecutor(const ThreadPoolExecutor&) = delete;
    ThreadPoolExecutor& operator=(const ThreadPoolExecutor&) = delete;

    void Submit(std::function<void()> work) override;
    void Shutdown(bool waitForRunning);

private:
    static void CALLBACK RunWork(PTP_CALLBACK_INSTANCE, PVOID context, PTP_WORK work);
    PTP_POOL pool_ = nullptr;
    PTP_CLEANUP_GROUP group_ = nullptr;
    TP_CALLBACK_ENVIRON environment_{};
    bool shutDown_ = false;
};

// Posts callbacks to the thread that made it (a message-only window of its
// own); PostAfter uses a window timer.
class WindowDispatcher final : public Dispatcher {
public:
    WindowDispatcher();
    ~WindowDispatcher() override;
    WindowDispatcher(const WindowDispatcher&) = delete;
    WindowDispatcher& operator=(const WindowDispatcher&) = delete;

    void Post(std::function<void()> callback) override;
    void PostAfter(std::chrono::milliseconds delay, std::function<void()> callback) override;

private:
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
    std::map<UINT_PTR, std::function<void()>> timers_;
    UINT_PTR nextTimer_ = 1;
};

}  // namespace tarvenix
