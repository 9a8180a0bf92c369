// Get data against the farm double, on the engine and the old way (every call
// on the window thread, one after another), side by side in one run:
//
//   engine_bench [--no-slow]      (under Wine, with the farm double beside it)
//
// For N sessions and D ms a call it prints the wall time, the parallel bound
// (1 + ceil(5N/16))·D (open + enumerate, then five queries a session, 16
// sessions at once), their ratio, and the longest gap between two pings
// dispatched by the window thread while the run went on (a ping is posted
// every 2 ms from another thread: a long gap is a frozen window).
// --no-slow leaves out the sequential cells that take over 15 s.
//
// Then the farm view ("Все серверы"): 20 servers x 50 sessions at 5 ms a call
// against one such server in the same run; the same farm with two servers
// that do not answer for 5 s (time-out 2 s here), when the other 18 are done
// and when the run ends; and 100 generated servers x 100 sessions, with the
// time each keystroke of the find box takes over the 10,000 rows.
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
#include <vector>
#include <functional>
#include <algorithm>

#include "app/main_window.h"
#include "base/engine_win.h"
#include "base/text.h"
#include "base/controls_win.h"
#include "tests/common/silent_dialogs.h"
#include "sessions/session_queries.h"
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

bool LoadFarmText(const std::wstring& path, const std::string& json) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out << json;
    out.close();
    using LoadFn = BOOL(__stdcall*)(const wchar_t*, const wchar_t*);
    auto load = reinterpret_cast<LoadFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"wtsapi32.dll"), "TarvenixFarmLoad")));
    return load && load(path.c_str(), (path + L".log").c_str());
}

// `servers` servers FARM01.. with `sessions` generated sessions each; the
// first `unreachable` of them (counted from the third) fail after 5 s.
std::string FarmJson(int servers, int sessions, int latency, int unreachable = 0) {
    std::string json = "{\"servers\":[";
    for (int i = 1; i <= servers; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "FARM%02d", i);
        json += std::string(i > 1 ? "," : "") + "{\"name\":\"" + name + "\",\"latency_ms\":" + std::to_string(latency);
        if (i >= 3 && i < 3 + unreachable) json += ",\"unreachable\":true,\"unreachable_delay_ms\":5000";
        json += ",\"generate\":{\"sessions\":" + std::to_string(sessions) + ",\"processes_per_session\":0}}";
    }
    return json + "]}";
}

std::vector<std::u16string> FarmNames(int servers) {
    std::vector<std::u16string> names;
    for (int i = 1; i <= servers; ++i) names.push_back(Ascii(i < 10 ? "FARM0" + std::to_string(i) : "FARM" + std::to_string(i)));
    return names;
}

// Runs the window's message loop until Get data (of either view) has ended;
// `onMessage` sees the window after every message.
// Returns the longest time one message took to handle (the window thread's
// own work, as against waiting for the processor).
double RunUntilListed(MainWindow& window, const std::function<void()>& onMessage = {}) {
    MSG msg;
    double longest = 0;
    while (window.Sessions().Busy() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        const auto t0 = Clock::now();
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        longest = std::max(longest, Ms(Clock::now() - t0));
        if (onMessage) onMessage();
    }
    return longest;
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
    auto load = reinterpret_cast<LoadFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"wtsapi32.dll"), "TarvenixFarmLoad")));
    return load && load(path.c_str(), (path + L".log").c_str());
}

void RunFarmCells(Services services, TerminalServices& terminal, ServerSource& directory, const std::wstring& farm,
                  Heartbeat& heartbeat) {
    std::printf("\nfarm view (5 ms a call)\n");
    // One server of 50 sessions, then 20 of them, in one window.
    MainWindow window(services, terminal, directory);
    window.Create();
    ShowWindow(window.Handle(), SW_SHOWNORMAL);
    Pump();
    LoadFarmText(farm, FarmJson(20, 50, 5));
    window.Servers().SetHistory(FarmNames(20));
    window.Servers().SetText(u"FARM01");
    heartbeat.Start();
    auto start = Clock::now();
    window.Sessions().GetData();
    RunUntilListed(window);
    const double one = Ms(Clock::now() - start);
    heartbeat.Stop();
    const double oneGap = heartbeat.LongestMs();
    const std::size_t oneRows = window.Sessions().Rows().Size();
    // The first farm listing also starts the pool's threads; the second
    // finds them.
    double handler = 0;
    std::printf("%-34s %8s %8s %8s %7s %9s\n", "cell", "rows", "wall ms", "gap ms", "ratio", "handler");
    std::printf("%-34s %8zu %8.1f %8.1f %7s\n", "one server x 50", oneRows, one, oneGap, "1.00");
    for (const char* label : {"20 servers x 50, first", "20 servers x 50, again"}) {
        window.Sessions().SetAllServers(false);
        RunUntilListed(window);
        heartbeat.Start();
        start = Clock::now();
        window.Sessions().SetAllServers(true);
        handler = RunUntilListed(window);
        const double all = Ms(Clock::now() - start);
        heartbeat.Stop();
        std::printf("%-34s %8zu %8.1f %8.1f %7.2f %9.1f\n", label, window.Sessions().Rows().Size(), all,
                    heartbeat.LongestMs(), all / one, handler);
    }
    window.Sessions().SetAllServers(false);
    RunUntilListed(window);

    // Two servers that do not answer for 5 s; the time-out is 2 s.
    {
        Services slow = services;
        slow.serverTimeout = std::chrono::seconds(2);
        slow.allServers = true;
        MainWindow w(slow, terminal, directory);
        w.Create();
        ShowWindow(w.Handle(), SW_SHOWNORMAL);
        Pump();
        LoadFarmText(farm, FarmJson(20, 50, 5, 2));
        w.Servers().SetHistory(FarmNames(20));
        heartbeat.Start();
        start = Clock::now();
        double othersDone = -1;
        w.Sessions().GetData();
        handler = RunUntilListed(w, [&] {
            if (othersDone < 0 && GetText(w.Sessions().ProgressLabel()) == u"Серверов 18 из 20")
                othersDone = Ms(Clock::now() - start);
        });
        const double wall = Ms(Clock::now() - start);
        heartbeat.Stop();
        std::printf("%-34s %8zu %8.1f %8.1f %7.2f %9.1f\n", "20 x 50, 2 silent: other 18 done",
                    w.Sessions().Rows().Size(), othersDone, heartbeat.LongestMs(), othersDone / one, handler);
        std::printf("%-34s %8s %8.1f %8s %7.2f  (%s)\n", "20 x 50, 2 silent: run ends", "", wall, "", wall / one,
                    Utf16ToUtf8(GetText(w.Sessions().ProgressLabel())).c_str());
        DestroyWindow(w.Handle());
        Pump();
    }

    // 100 generated servers x 100 sessions (no latency): the fill, then the
    // find box typed into over 10,000 rows, unordered and ordered by user.
    LoadFarmText(farm, FarmJson(100, 100, 0));
    window.Servers().SetHistory(FarmNames(100));
    heartbeat.Start();
    start = Clock::now();
    window.Sessions().SetAllServers(true);
    handler = RunUntilListed(window);
    const double big = Ms(Clock::now() - start);
    Pump();
    heartbeat.Stop();
    std::printf("%-34s %8zu %8.1f %8.1f %7s %9.1f\n", "100 servers x 100", window.Sessions().Rows().Size(), big,
                heartbeat.LongestMs(), "", handler);
    for (const bool ordered : {false, true}) {
        if (ordered) window.Sessions().List().ColumnClicked(1);
        // Each keystroke: the filter itself (the find box's change handled,
        // rows in the list), then the list painted.
        double longestFilter = 0, totalFilter = 0, longestPaint = 0, totalPaint = 0;
        const std::u16string typed = u"user005";
        std::size_t shown = 0;
        for (std::size_t k = 0; k <= typed.size(); ++k) {
            // Each keystroke, then the whole text taken back at once.
            const std::u16string text = k < typed.size() ? typed.substr(0, k + 1) : std::u16string();
            const auto t0 = Clock::now();
            SetWindowTextW(window.Sessions().FindBox(), reinterpret_cast<const wchar_t*>(text.c_str()));
            const auto t1 = Clock::now();
            Pump();
            UpdateWindow(window.Sessions().List().Handle());
            const double filter = Ms(t1 - t0), paint = Ms(Clock::now() - t1);
            longestFilter = std::max(longestFilter, filter);
            totalFilter += filter;
            longestPaint = std::max(longestPaint, paint);
            totalPaint += paint;
            if (k + 1 == typed.size()) shown = static_cast<std::size_t>(ListView_GetItemCount(window.Sessions().List().Handle()));
        }
        const double n = static_cast<double>(typed.size() + 1);
        std::printf("%-34s %8zu %8.1f %8s  (filter longest %.1f ms; painting mean %.1f, longest %.1f ms)\n",
                    ordered ? "find keystroke, ordered by user" : "find keystroke, listing order", shown,
                    totalFilter / n, "", longestFilter, totalPaint / n, longestPaint);
    }
    std::fflush(stdout);
    DestroyWindow(window.Handle());
    Pump();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool noSlow = false, noFarm = false;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--no-slow") == 0) noSlow = true;
        if (std::wcscmp(argv[i], L"--no-farm") == 0) noFarm = true;
    }
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WtsTerminalServices wts;
    SilentDialogs dialogs;
    ThreadPoolExecutor executor(16 * 8 + 8 + 8 + 2);
    WindowDispatcher dispatcher;
    Services services;
    services.dialogs = &dialogs;
    services.executor = &executor;
    services.dispatcher = &dispatcher;
    TypedServers noDirectory({});
    MainWindow window(services, wts, noDirectory);
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
            const int boundCalls = 1 + (5 * n + 15) / 16;
            const double boundMs = static_cast<double>(boundCalls) * d;
            double seqWall = -1, seqGap = -1;
            const double seqEstimate = (5.0 * n + 2) * d;
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
    if (!noFarm) {
        heartbeat.Stop();
        RunFarmCells(services, wts, noDirectory, farm, heartbeat);
    }
    return 0;
}
