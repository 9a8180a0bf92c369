// What the process panel and the command line show of a process beyond its
// session, name and PID: memory, CPU load over two listings, threads and the
// account it runs as. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sessions/terminal_services.h"

namespace tarvenix {

inline constexpr char16_t kNoFigure[] = u"—";  // CPU load before a second listing

// The captions of the columns added after the list's own three.
inline constexpr char16_t kMemoryCaption[] = u"Память, МБ";
inline constexpr char16_t kCpuCaption[] = u"ЦП, %";
inline constexpr char16_t kThreadsCaption[] = u"Потоки";
inline constexpr char16_t kAccountCaption[] = u"Пользователь";

// A listing of every process of a server and when it was taken (in 100-ns
// ticks of a steady clock).
struct ProcessSample {
    std::u16string server;
    std::int64_t takenTicks = 0;
    std::vector<ProcessRecord> records;
};

// The same process in two listings: same PID, session, name and SID, and
// CPU time that did not go down (a PID the server gave to a later process
// usually differs in one of them, and always starts its CPU time afresh).
bool SameProcess(const ProcessRecord& before, const ProcessRecord& now);

// CPU load in per cent of one processor over the time between two listings:
// the process's CPU time (user and kernel) spent between them over the wall
// time between them. A process that was not in the earlier listing started
// after it, so all its CPU time was spent in between. Nothing without an
// earlier listing of the same server, without figures, or when no time passed.
std::optional<double> CpuPercent(const ProcessSample* before, const ProcessRecord& now, std::int64_t nowTicks);

// A process as the lists show it: the record, its CPU load and its account.
struct ProcessView {
    ProcessRecord record;
    std::optional<double> cpuPercent;
    std::u16string account;  // the account's name, else the SID as text; empty without a SID
};

// The views of a listing: CPU loads against the earlier sample (of the same
// server, else none) and accounts from `account` (called once per process
// that has a SID).
std::vector<ProcessView> ViewProcesses(std::vector<ProcessRecord> records, const ProcessSample* before,
                                       std::int64_t nowTicks,
                                       const std::function<std::u16string(const std::vector<std::uint8_t>&)>& account);

// Cells: the working set in MB with one decimal ("12,3"); the load with one
// decimal ("3,5"), "—" when unknown; empty texts for a process without figures.
std::u16string MemoryText(std::uint64_t bytes);
std::u16string PercentText(std::optional<double> percent);

// The row of the process list: the three cells of the list's own columns,
// then memory, CPU, threads and account.
std::vector<std::u16string> ProcessViewRow(const ProcessView& view);

// The added columns, in order after the list's own three.
enum class ProcessColumn : int { Memory = 3, Cpu, Threads, Account };
// Ordering by an added column: numbers as numbers (unknown after every known
// one, in both directions), the account by its text.
std::int32_t CompareProcesses(ProcessColumn column, const ProcessView& a, const ProcessView& b, bool descending);

// "S-1-5-21-…" for a SID's bytes; empty for bytes that are no SID.
std::u16string SidText(const std::vector<std::uint8_t>& sid);

// Account names by SID, looked up once per SID per server (the server is
// named in any case) and kept: a SID the server could not name is kept as its
// text. Safe to use from several threads.
class AccountNames {
public:
    using Lookup = std::function<std::optional<std::u16string>(const std::vector<std::uint8_t>& sid)>;
    std::u16string Name(const std::u16string& server, const std::vector<std::uint8_t>& sid, const Lookup& lookup);
    std::size_t Lookups() const;

private:
    mutable std::mutex mutex_;
    std::map<std::u16string, std::map<std::vector<std::uint8_t>, std::u16string>> names_;
    std::size_t lookups_ = 0;
};

// One listing of a server's processes with the accounts of their SIDs: the
// extended listing is one call; each SID not named yet costs one lookup on
// the server (`names` keeps them for the next listing). With a session,
// only its processes' SIDs are named.
struct ListedProcesses {
    CallResult result;
    std::vector<ProcessRecord> records;  // every process of the server
    std::int64_t takenTicks = 0;         // SteadyTicks right after the listing answered (not after the lookups)
    std::map<std::vector<std::uint8_t>, std::u16string> accounts;
};
// A steady clock in 100-ns ticks: the wall time between two listings.
std::int64_t SteadyTicks();
ListedProcesses ListProcessesWithAccounts(TerminalServer& open, const std::u16string& server, AccountNames& names,
                                          std::optional<std::uint32_t> session = std::nullopt);

// The JSON object of a process for the command line: numbers as numbers,
// memory in bytes, CPU times in seconds; the figures null when the server
// gave none.
// withCpu: the CPU load is known (two listings were taken).
std::string ProcessJson(const std::u16string& server, const ProcessView& view, bool withCpu = true);

}  // namespace tarvenix

namespace tarvenix {

// How a listed process stands in a later listing, checked before it is
// terminated: a PID is given to the next process as soon as one ends.
enum class ProcessCheck { Same, Ended, Replaced };
ProcessCheck CheckProcess(const ProcessRecord& seen, const std::vector<ProcessRecord>& now);

// The question before terminating several processes.
std::u16string TerminateQuestion(std::size_t count, const std::u16string& server);
// The report after several: "Завершено процессов: N из M."
std::u16string TerminatedReport(std::size_t done, std::size_t asked);
// Why a process was not terminated: it ended, or its PID went to another process.
std::u16string ProcessNotActedLine(const ProcessRecord& seen, ProcessCheck check);

}  // namespace tarvenix
