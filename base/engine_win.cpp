#include "base/engine_win.h"

#include <memory>

namespace tarvenix {

namespace {

constexpr UINT kRunCallback = WM_APP + 1;
constexpr wchar_t kDispatcherClass[] = L"TarvenixDispatcher";

}  // namespace

// --- ThreadPoolExecutor ---

ThreadPoolExecutor::ThreadPoolExecutor(int maxThreads) {
    InitializeThreadpoolEnvironment(&environment_);
    pool_ = CreateThreadpool(nullptr);
    if (pool_) {
        SetThreadpoolThreadMaximum(pool_, static_cast<DWORD>(maxThreads));
        SetThreadpoolThreadMinimum(pool_, 1);
        SetThreadpoolCallbackPool(&environment_, pool_);
    }
    group_ = CreateThreadpoolCleanupGroup();
    if (group_) SetThreadpoolCallbackCleanupGroup(&environment_, group_, nullptr);
}

ThreadPoolExecutor::~ThreadPoolExecutor() {
    if (!shutDown_) Shutdown(true);
    DestroyThreadpoolEnvironment(&environment_);
}

void ThreadPoolExecutor::Shutdown(bool waitForRunning) {
    if (shutDown_) return;
    shutDown_ = true;
    if (waitForRunning) {
        // Queued and running work is waited for.
        if (group_) CloseThreadpoolCleanupGroupMembers(group_, FALSE, nullptr);
        if (group_) CloseThreadpoolCleanupGroup(group_);
        if (pool_) CloseThreadpool(pool_);
    }
    // Without waiting, the pool stays: its threads end with the process.
}

void CALLBACK ThreadPoolExecutor::RunWork(PTP_CALLBACK_INSTANCE, PVOID context, PTP_WORK work) {
    std::unique_ptr<std::function<void()>> job(static_cast<std::function<void()>*>(context));
    CloseThreadpoolWork(work);  // allowed from its own callback; the work object is done
    if (*job) (*job)();
}

void ThreadPoolExecutor::Submit(std::function<void()> work) {
    auto* job = new std::function<void()>(std::move(work));
    PTP_WORK item = (pool_ && !shutDown_) ? CreateThreadpoolWork(&ThreadPoolExecutor::RunWork, job, &environment_) : nullptr;
    if (!item) {
        // No pool: the work runs here rather than never.
        std::unique_ptr<std::function<void()>> owned(job);
        (*owned)();
        return;
    }
    SubmitThreadpoolWork(item);
}

// --- WindowDispatcher ---

WindowDispatcher::WindowDispatcher() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(instance, kDispatcherClass, &wc)) {
        wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &WindowDispatcher::WndProc;
        wc.hInstance = instance;
        wc.lpszClassName = kDispatcherClass;
        RegisterClassExW(&wc);
    }
    hwnd_ = CreateWindowExW(0, kDispatcherClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
}

WindowDispatcher::~WindowDispatcher() {
    if (hwnd_) {
        // Callbacks still queued are dropped with their messages.
        MSG msg;
        while (PeekMessageW(&msg, hwnd_, kRunCallback, kRunCallback, PM_REMOVE))
            delete reinterpret_cast<std::function<void()>*>(msg.lParam);
        for (const auto& [id, callback] : timers_) KillTimer(hwnd_, id);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void WindowDispatcher::Post(std::function<void()> callback) {
    auto* posted = new std::function<void()>(std::move(callback));
    if (!hwnd_ || !PostMessageW(hwnd_, kRunCallback, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

void WindowDispatcher::PostAfter(std::chrono::milliseconds delay, std::function<void()> callback) {
    // Window timers belong to the window's thread: set them there.
    Post([this, delay, callback = std::move(callback)]() mutable {
        const UINT_PTR id = nextTimer_++;
        timers_[id] = std::move(callback);
        SetTimer(hwnd_, id, static_cast<UINT>(delay.count() > 0 ? delay.count() : 1), nullptr);
    });
}

LRESULT CALLBACK WindowDispatcher::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    }
    auto* self = reinterpret_cast<WindowDispatcher*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == kRunCallback) {
        std::unique_ptr<std::function<void()>> callback(reinterpret_cast<std::function<void()>*>(lp));
        if (self && *callback) (*callback)();
        return 0;
    }
    if (msg == WM_TIMER && self) {
        KillTimer(hwnd, wp);
        auto it = self->timers_.find(wp);
        if (it == self->timers_.end()) return 0;
        std::function<void()> callback = std::move(it->second);
        self->timers_.erase(it);
        if (callback) callback();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tarvenix
