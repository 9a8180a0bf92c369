#include "actions/process_figures.h"

#include <gtest/gtest.h>

#include "sessions/session_times.h"

namespace tarvenix {
namespace {

using Row = std::vector<std::u16string>;

constexpr std::int64_t kSecond = kTicksPerSecond;

const std::vector<std::uint8_t> kSidA = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 233, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                         0,  0, 0, 0};  // S-1-5-21-1001-0-0-0 (5 sub-authorities)
const std::vector<std::uint8_t> kSystem = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};  // S-1-5-18

ProcessRecord Proc(std::uint32_t session, std::uint32_t pid, const char16_t* name, std::uint64_t workingSet,
                   std::int64_t cpuSeconds, std::uint32_t threads = 1,
                   const std::vector<std::uint8_t>& sid = std::vector<std::uint8_t>{}) {
    ProcessFigures f;
    f.workingSet = workingSet;
    f.userTime = cpuSeconds * kSecond;  // all of it in user mode, or split: only the sum counts
    f.threads = threads;
    f.sid = sid;
    return {session, pid, std::u16string(name), f};
}

TEST(ProcessFigures, FiguresBecomeCellsOverTwoListings) {
    // The earlier listing, taken 10 s before the later one.
    ProcessSample before{u"TS01", 100 * kSecond,
                         {Proc(2, 100, u"excel.exe", 0, 30), Proc(2, 200, u"winword.exe", 0, 5),
                          Proc(3, 300, u"chrome.exe", 0, 50), Proc(2, 400, u"notepad.exe", 0, 1)}};
    const std::int64_t now = 110 * kSecond;
    struct Case {
        const char* what;
        ProcessRecord record;
        Row expected;  // memory, CPU, threads
    };
    ProcessRecord split = Proc(2, 100, u"excel.exe", 3 * 1024 * 1024 / 2, 0, 12);
    split.figures->userTime = 33 * kSecond;
    split.figures->kernelTime = 2 * kSecond;  // 35 s in all: 5 s over 10 s
    const Case cases[] = {
        {"user and kernel time spent between the listings", split, {u"1,5", u"50,0", u"12"}},
        {"an idle process", Proc(2, 200, u"winword.exe", 0, 5, 3), {u"0,0", u"0,0", u"3"}},
        {"more than one processor's worth", Proc(3, 300, u"chrome.exe", 1ull << 30, 75, 40),
         {u"1024,0", u"250,0", u"40"}},
        {"appeared between the listings: all its time is in between", Proc(2, 500, u"mstsc.exe", 1048576, 2),
         {u"1,0", u"20,0", u"1"}},
        {"reused PID, other program", Proc(2, 400, u"calc.exe", 0, 3), {u"0,0", u"30,0", u"1"}},
        {"reused PID, same program, less CPU than before", Proc(2, 400, u"notepad.exe", 0, 0), {u"0,0", u"0,0", u"1"}},
        {"reused PID, other session", Proc(4, 400, u"notepad.exe", 0, 4), {u"0,0", u"40,0", u"1"}},
        {"working set rounded to a tenth of a MB", Proc(2, 600, u"a.exe", 1048576 + 104858 * 5 - 1, 0),
         {u"1,5", u"0,0", u"1"}},
    };
    for (const Case& c : cases) {
        const std::vector<ProcessView> views = ViewProcesses({c.record}, &before, now, nullptr);
        const Row row = ProcessViewRow(views[0]);
        ASSERT_EQ(row.size(), 7u) << c.what;
        EXPECT_EQ(Row(row.begin() + 3, row.begin() + 6), c.expected) << c.what;
    }

    // The first listing: no load yet, the other figures already.
    const Row first = ProcessViewRow(ViewProcesses({Proc(2, 100, u"excel.exe", 2097152, 30, 7)}, nullptr, now, nullptr)[0]);
    EXPECT_EQ(first, (Row{u"2", u"excel.exe", u"100", u"2,0", u"—", u"7", u""}));
    // The fallback listing has no figures: the list's own three cells, the rest empty.
    const Row plain = ProcessViewRow(ViewProcesses({{2, 100, u"excel.exe"}}, &before, now, nullptr)[0]);
    EXPECT_EQ(plain, (Row{u"2", u"excel.exe", u"100", u"", u"", u"", u""}));
    // No time between the listings: no load.
    EXPECT_FALSE(CpuPercent(&before, split, before.takenTicks));
}

TEST(ProcessFigures, AddedColumnsOrderAsNumbers) {
    auto view = [](std::uint64_t ws, std::optional<double> cpu, std::uint32_t threads) {
        ProcessView v;
        v.record = Proc(1, 1, u"x", ws, 0, threads);
        v.cpuPercent = cpu;
        return v;
    };
    // As text "9,0" > "10,0" > "100,0"; as numbers the other way round.
    const ProcessView small = view(9u << 20, 9.0, 9), middle = view(10u << 20, 10.0, 10), big = view(100u << 20, 100.0, 100);
    for (ProcessColumn column : {ProcessColumn::Memory, ProcessColumn::Cpu, ProcessColumn::Threads}) {
        EXPECT_LT(CompareProcesses(column, small, middle, false), 0);
        EXPECT_LT(CompareProcesses(column, middle, big, false), 0);
        EXPECT_GT(CompareProcesses(column, small, big, true), 0);
        EXPECT_EQ(CompareProcesses(column, middle, middle, true), 0);
    }
    // Unknown load ("—") and a process without figures go last both ways.
    ProcessView noLoad = view(1, std::nullopt, 1), plain;
    plain.record = {1, 2, u"y"};
    EXPECT_GT(CompareProcesses(ProcessColumn::Cpu, noLoad, small, false), 0);
    EXPECT_GT(CompareProcesses(ProcessColumn::Cpu, noLoad, small, true), 0);
    EXPECT_GT(CompareProcesses(ProcessColumn::Memory, plain, small, false), 0);
    EXPECT_GT(CompareProcesses(ProcessColumn::Memory, plain, small, true), 0);
}

TEST(ProcessFigures, SidText) {
    EXPECT_EQ(SidText(kSystem), u"S-1-5-18");
    EXPECT_EQ(SidText(kSidA), u"S-1-5-21-1001-0-0-0");
    EXPECT_EQ(SidText({1, 1, 0, 0}), u"");                      // cut short
    EXPECT_EQ(SidText({1, 2, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0}), u"");  // claims two sub-authorities, has one
}

TEST(AccountNames, LookedUpOncePerSidPerServer) {
    AccountNames names;
    std::vector<std::string> asked;
    auto lookupOn = [&](const std::string& server) {
        return [&asked, server](const std::vector<std::uint8_t>& sid) -> std::optional<std::u16string> {
            asked.push_back(server + " " + std::to_string(sid.size()));
            if (sid == kSystem) return u"NT AUTHORITY\\SYSTEM";
            return std::nullopt;  // the server cannot name it
        };
    };
    EXPECT_EQ(names.Name(u"TS01", kSystem, lookupOn("TS01")), u"NT AUTHORITY\\SYSTEM");
    EXPECT_EQ(names.Name(u"ts01", kSystem, lookupOn("ts01")), u"NT AUTHORITY\\SYSTEM");  // the same server
    EXPECT_EQ(names.Name(u"TS01", kSidA, lookupOn("TS01")), u"S-1-5-21-1001-0-0-0");  // unnamed: its text
    EXPECT_EQ(names.Name(u"TS01", kSidA, lookupOn("TS01")), u"S-1-5-21-1001-0-0-0");  // and not asked again
    EXPECT_EQ(names.Name(u"TS02", kSystem, lookupOn("TS02")), u"NT AUTHORITY\\SYSTEM");  // another server asks again
    EXPECT_EQ(asked, (std::vector<std::string>{"TS01 12", "TS01 28", "TS02 12"}));
    EXPECT_EQ(names.Lookups(), 3u);

    // Through a listing: 2,000 processes of four accounts cost four lookups.
    std::vector<ProcessRecord> records;
    for (std::uint32_t i = 0; i < 2000; ++i) {
        std::vector<std::uint8_t> sid = kSidA;
        sid[16] = static_cast<std::uint8_t>(i % 4);
        records.push_back(Proc(i % 4, 1000 + 4 * i, u"p.exe", 0, 0, 1, sid));
    }
    asked.clear();
    const auto views = ViewProcesses(records, nullptr, 0, [&](const std::vector<std::uint8_t>& sid) {
        return names.Name(u"BIG", sid, lookupOn("BIG"));
    });
    EXPECT_EQ(asked.size(), 4u);
    EXPECT_EQ(views[1].account, u"S-1-5-21-1001-1-0-0");
}

TEST(ProcessFigures, JsonNumbersAsNumbers) {
    ProcessView v;
    v.record = Proc(2, 4120, u"excel.exe", 52428800, 0, 12, kSystem);
    v.record.figures->peakWorkingSet = 60000000;
    v.record.figures->pagefileUsage = 1000;
    v.record.figures->handles = 300;
    v.record.figures->userTime = 15 * kSecond + kSecond / 2;
    v.record.figures->kernelTime = 2 * kSecond;
    v.cpuPercent = 12.34;
    v.account = u"NT AUTHORITY\\SYSTEM";
    EXPECT_EQ(ProcessJson(u"TS01", v),
              "{\"server\": \"TS01\", \"session\": 2, \"pid\": 4120, \"name\": \"excel.exe\", "
              "\"working_set_bytes\": 52428800, \"peak_working_set_bytes\": 60000000, \"pagefile_bytes\": 1000, "
              "\"threads\": 12, \"handles\": 300, \"user_seconds\": 15.500, \"kernel_seconds\": 2.000, "
              "\"cpu_percent\": 12.3, \"sid\": \"S-1-5-18\", \"account\": \"NT AUTHORITY\\\\SYSTEM\"}");
    ProcessView plain;
    plain.record = {0, 4, std::nullopt};
    EXPECT_EQ(ProcessJson(u"TS01", plain),
              "{\"server\": \"TS01\", \"session\": 0, \"pid\": 4, \"name\": null, \"working_set_bytes\": null, "
              "\"peak_working_set_bytes\": null, \"pagefile_bytes\": null, \"threads\": null, \"handles\": null, "
              "\"user_seconds\": null, \"kernel_seconds\": null, \"cpu_percent\": null, \"sid\": null, "
              "\"account\": null}");
}

}  // namespace
}  // namespace tarvenix
