// What carrying accounts costs a farm listing, side by side in one run
// against the farm double (20 servers x 50 sessions, no latency: the worst
// case for any per-call overhead):
//
//   accounts_bench [ROUNDS]       (under Wine, with the farm double beside it)
//
//   plain      the terminal services as they are
//   no entry   through ServerAccounts: every open looks for the server's
//              Credential Manager entries (there are none) and goes on
//   carried    every server signed in: each call enters and leaves the
//              account (the tests' fake carrier, which tells the double)
//
// Each cell is the median of ROUNDS listings (default 15), with its ratio to
// plain.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/credentials_win.h"
#include "base/engine.h"
#include "base/engine_win.h"
#include "base/text.h"
#include "sessions/farm_listing_run.h"
#include "sessions/server_accounts.h"
#include "sessions/wts_terminal_services_win.h"
#include "tests/common/fake_accounts.h"

using namespace tarvenix;
using Clock = std::chrono::steady_clock;

namespace {

using CarryFn = BOOL(__stdcall*)(const wchar_t*, const wchar_t*);
using LoadFn = BOOL(__stdcall*)(const wchar_t*, const wchar_t*);

double ListOnce(TerminalServices& services, Executor& executor, const std::vector<std::u16string>& servers,
                std::size_t* rows) {
    QueueDispatcher dispatcher;
    FarmOptions options;
    bool done = false;
    FarmOutcome outcome;
    FarmCallbacks callbacks;
    callbacks.finished = [&](FarmOutcome o) {
        outcome = std::move(o);
        done = true;
    };
    const auto start = Clock::now();
    StartFarmInventory(services, executor, dispatcher, servers, options, CancelToken(), std::move(callbacks));
    dispatcher.RunUntil([&] { return done; });
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    *rows = 0;
    for (const ServerOutcome& s : outcome.servers) *rows += s.outcome.inventory.rows.size();
    return ms;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 15;
    HMODULE double_ = GetModuleHandleW(L"wtsapi32.dll");
    auto load = reinterpret_cast<LoadFn>(reinterpret_cast<void*>(GetProcAddress(double_, "TarvenixFarmLoad")));
    auto carry = reinterpret_cast<CarryFn>(reinterpret_cast<void*>(GetProcAddress(double_, "TarvenixFarmCarryAccount")));
    if (!load || !carry) {
        std::fprintf(stderr, "the farm double is not loaded (WINEDLLOVERRIDES=wtsapi32=n,b)\n");
        return 1;
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring farm = std::wstring(temp) + L"accounts-bench-farm.json";
    const std::wstring log = std::wstring(temp) + L"accounts-bench.log";
    std::string json = R"({"servers":[)";
    std::vector<std::u16string> servers;
    for (int i = 0; i < 20; ++i) {
        const std::string name = "BENCH" + std::to_string(i);
        json += (i ? "," : "") + std::string(R"({"name":")") + name + R"(","generate":{"sessions":50}})";
        servers.push_back(Utf8ToUtf16(name));
    }
    json += "]}";
    HANDLE f = CreateFileW(farm.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, json.data(), static_cast<DWORD>(json.size()), &written, nullptr);
    CloseHandle(f);
    if (!load(farm.c_str(), log.c_str())) return 1;

    ThreadPoolExecutor executor(8 + 128 + 2);
    WtsTerminalServices wts;
    WinCredentialStore store;
    LogonCarrier systemCarrier;
    ServerAccounts noEntry(wts, systemCarrier, &store);
    testing::FakeCarrier fakeCarrier;
    fakeCarrier.onChange = [carry](const testing::CarriedNow& now) {
        const std::wstring account(now.account.begin(), now.account.end());
        const std::wstring password(now.password.begin(), now.password.end());
        carry(now.account.empty() ? nullptr : account.c_str(), password.c_str());
    };
    ServerAccounts carried(wts, fakeCarrier, nullptr);
    for (const std::u16string& s : servers) carried.SignIn(s, testing::MakeCredential(u"BENCH\\admin", u"x"), false);

    struct Cell {
        const char* name;
        TerminalServices* services;
        std::vector<double> times;
        std::size_t rows = 0;
    } cells[] = {{"plain", &wts, {}, 0}, {"no entry", &noEntry, {}, 0}, {"carried", &carried, {}, 0}};
    for (Cell& c : cells) ListOnce(*c.services, executor, servers, &c.rows);  // warm-up
    for (int r = 0; r < rounds; ++r)
        for (Cell& c : cells) c.times.push_back(ListOnce(*c.services, executor, servers, &c.rows));
    const double plain = Median(cells[0].times);
    std::printf("20 servers x 50 sessions, no latency, median of %d listings\n", rounds);
    std::printf("%-10s %10s %8s %6s\n", "", "ms", "ratio", "rows");
    for (const Cell& c : cells)
        std::printf("%-10s %10.1f %8.2f %6zu\n", c.name, Median(c.times), Median(c.times) / plain, c.rows);
    executor.Shutdown(true);  // every handle released before the services go
    DeleteFileW(farm.c_str());
    DeleteFileW(log.c_str());
    return 0;
}
