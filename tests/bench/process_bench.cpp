// What listing a big server's processes with their accounts costs, when every
// call to the server takes a while: the extended listing (one call) with each
// account looked up once per SID and kept, against looking up every process's
// account, side by side in one run. Portable; not a test.
//   process_bench [processes] [sessions] [ms per call]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

#include "actions/process_figures.h"
#include "base/text.h"
#include "tests/common/fake_terminal_services.h"

using namespace tarvenix;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::uint8_t> UserSid(std::uint32_t rid) {
    // S-1-5-21-1-2-3-<rid>
    std::vector<std::uint8_t> sid = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
    for (int k = 0; k < 4; ++k) sid.push_back(static_cast<std::uint8_t>(rid >> (8 * k)));
    return sid;
}

struct Row {
    const char* what;
    std::size_t calls = 0;
    double ms = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const std::uint32_t processes = argc > 1 ? static_cast<std::uint32_t>(std::atoi(argv[1])) : 2000;
    const std::uint32_t sessions = argc > 2 ? static_cast<std::uint32_t>(std::atoi(argv[2])) : 50;
    const int latencyMs = argc > 3 ? std::atoi(argv[3]) : 5;

    testing::FakeTerminalServices wts;
    testing::FakeServer& big = wts.servers[u"BIG"];
    const std::vector<std::uint8_t> system = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    for (std::uint32_t i = 0; i < processes; ++i) {
        ProcessFigures f;
        f.threads = 1 + i % 40;
        f.workingSet = (1ull + i % 400) << 20;
        // Every tenth process is the system's; the rest belong to the sessions' users.
        const std::uint32_t session = i % 10 == 0 ? 0 : 1 + i % sessions;
        f.sid = session == 0 ? system : UserSid(1000 + session);
        big.processes.push_back({session, 1000 + 4 * i, u"p.exe", f});
        big.accounts[SidText(f.sid)] = session == 0 ? u"NT AUTHORITY\\SYSTEM" : u"FARM\\user" + DecimalU32(session);
    }
    wts.beforeCall = [latencyMs](const std::string& call) {
        if (call.rfind("open ", 0) != 0) std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs));
    };
    const auto calls = [&wts] {
        std::lock_guard<std::recursive_mutex> lock(wts.mutex);
        std::size_t n = 0;
        for (const std::string& c : wts.calls) n += c.rfind("open ", 0) != 0 ? 1 : 0;
        wts.calls.clear();
        return n;
    };
    const auto timed = [&](const char* what, auto&& body) {
        calls();
        const auto start = Clock::now();
        body();
        Row r{what, calls(), std::chrono::duration<double, std::milli>(Clock::now() - start).count()};
        return r;
    };

    std::vector<Row> rows;
    AccountNames names;  // kept between the listings, as the panel keeps it
    rows.push_back(timed("extended listing, accounts once per SID (first listing)", [&] {
        auto open = wts.Open(u"BIG");
        ListProcessesWithAccounts(*open, u"BIG", names);
    }));
    rows.push_back(timed("extended listing, accounts kept (next listing)", [&] {
        auto open = wts.Open(u"BIG");
        ListProcessesWithAccounts(*open, u"BIG", names);
    }));
    rows.push_back(timed("extended listing, an account lookup per process", [&] {
        auto open = wts.Open(u"BIG");
        std::vector<ProcessRecord> records;
        open->EnumerateProcesses(records);
        for (const ProcessRecord& r : records) open->LookupAccount(r.figures->sid);
    }));

    std::printf("%u processes, %zu distinct SIDs, %d ms a call\n\n", processes, big.accounts.size(), latencyMs);
    std::printf("| listing | calls to the server | time, ms | time / ours |\n|---|---:|---:|---:|\n");
    for (const Row& r : rows)
        std::printf("| %s | %zu | %.0f | %.2f |\n", r.what, r.calls, r.ms, r.ms / rows[0].ms);
    return 0;
}
