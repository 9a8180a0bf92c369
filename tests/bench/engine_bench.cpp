// Get data against the farm double, on the engine and the old way (every call
// on the window thread, one after another), side by side in one run:
//
//   engine_bench [--no-slow]      (under Wine, with the farm double beside it)
//
// For N sessions and D ms a call it prints the wall time, the parallel bound
// (1 + ceil(4N/16))·D, their ratio, and the longest gap between two pings
// dispatched by the window thread while the run went on (a ping is posted
// every 2 ms from another thread: a long gap is a frozen window).
// --no-slow leaves out the sequential cells that take over 15 s.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/main_window.h"
#include "base/engine_win.h"
#include "base/text.h"
#include "tests/common/silent_dialogs.h"
#include "sessions/session_inventory.h"
#include "sessions/wts_terminal_services_win.h"

using namespace tarvenix;
using tarvenix::testing::SilentDialogs;
using Clock = std::chrono::steady_clock;

namespace {

constexpr UINT kPing = WM_APP + 7;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Pings the window thread every 2 ms and keeps the longest gap between two
// pings it dispatched.
class Heartbeat {
public:
    Heartbeat() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Heartbeat::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BenchHeartbeat";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowW(L"BenchHeartbeat", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Heartbeat() {
        Stop();
        DestroyWindow(hwnd_);
    }
    void Start() {
        longest_ = Clock::duration::zero();
        last_ = Clock::now();
        running_ = true;
        thread_ = std::thread([this] {
            while (running_) {
                PostMessageW(hwnd_, kPing, 0, 0);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    void Stop() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }
    double LongestMs() const { return Ms(longest_); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == kPing) {
            auto* self = reinterpret_cast<Heartbeat*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (self) {
                const auto now = Clock::now();
                if (now - self->last_ > self->longest_) self->longest_ = now - self->last_;
                self->last_ = now;
            }
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    HWND hwnd_ = nullptr;
    std::thread thread_;
    std::atomic<bool> running_{false};
    Clock::time_point last_;
    Clock::duration longest_{};
};

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool LoadFarm(const std::wstring& path, int sessions, int latency) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out << "{\"servers\":[{\"name\":\"BENCH\",\"latency_ms\":" << latency << ",\"sessions\":[";
    for (int i = 1; i <= sessions; ++i) {
        out << (i > 1 ? "," : "") << "{\"id\":" << i << ",\"state\":" << (i % 3 == 0 ? 4 : 0) << ",\"user\":\"user" << i
            << "\",\"client\":\"PC-" << i << "\",\"winstation\":\"RDP-Tcp#" << i << "\",\"ipv4\":\"10.0." << i / 256
            << "." << i % 256 << "\"}";
    }
    out << "]}]}";
    out.close();
    using LoadFn = BOOL(__stdcall*)(const wchar_t*, const wchar_t*);
    auto load = reinterpret_cast<LoadFn>(GetProcAddress(GetModuleHandleW(L"wtsapi32.dll"), "TarvenixFarmLoad"));
    return load && load(path.c_str(), (path + L".log").c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool noSlow = argc > 1 && std::wcscmp(argv[1], L"--no-slow") == 0;
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WtsTerminalServices wts;
    SilentDialogs dialogs;
    ThreadPoolExecutor executor(16 + 8 + 2);
    WindowDispatcher dispatcher;
    Services services;
    services.terminal = &wts;
    services.dialogs = &dialogs;
    services.executor = &executor;
    services.dispatcher = &dispatcher;
    MainWindow window(services);
    window.Create();
    ShowWindow(window.Handle(), SW_SHOWNORMAL);
    Pump();
    Heartbeat heartbeat;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring farm = std::wstring(temp) + L"engine-bench-farm.json";

    std::printf("%6s %4s | %10s %10s %6s %9s | %12s %12s\n", "N", "D", "engine ms", "bound ms", "ratio", "gap ms",
                "sequential", "seq gap ms");
    for (int n : {10, 250, 1000}) {
        for (int d : {0, 5, 20}) {
            if (!LoadFarm(farm, n, d)) {
                std::printf("the farm double is not loaded (WINEDLLOVERRIDES=wtsapi32=n,b)\n");
                return 1;
            }
            window.Servers().SetText(u"BENCH");
            Pump();
            heartbeat.Start();
            const auto start = Clock::now();
            window.Sessions().GetData();
            MSG msg;
            while (window.Sessions().Busy() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            const double wall = Ms(Clock::now() - start);
            Pump();
            heartbeat.Stop();
            const double gap = heartbeat.LongestMs();
            const std::size_t rows = window.Sessions().Rows().Size();
            const int boundCalls = 1 + (4 * n + 15) / 16;
            const double boundMs = static_cast<double>(boundCalls) * d;
            double seqWall = -1, seqGap = -1;
            const double seqEstimate = (4.0 * n + 2) * d;
            if (!(noSlow && seqEstimate > 15000)) {
                heartbeat.Start();
                const auto seqStart = Clock::now();
                const SessionInventory inv = ReadSessionInventory(wts, u"BENCH");
                seqWall = Ms(Clock::now() - seqStart);
                Pump();
                heartbeat.Stop();
                seqGap = heartbeat.LongestMs();
                if (inv.rows.size() != static_cast<std::size_t>(n)) std::printf("sequential rows: %zu\n", inv.rows.size());
            }
            std::printf("%6d %4d | %10.1f %10.1f %6.2f %9.1f | %12.1f %12.1f%s\n", n, d, wall, boundMs,
                        boundMs > 0 ? wall / boundMs : 0.0, gap, seqWall, seqGap,
                        rows == static_cast<std::size_t>(n) ? "" : "  (rows missing!)");
            std::fflush(stdout);
        }
    }
    return 0;
}
