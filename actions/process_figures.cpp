#include "actions/process_figures.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "actions/session_actions.h"
#include "base/list_ordering.h"
#include "base/text.h"
#include "base/text_fold.h"
#include "sessions/session_columns.h"

namespace tarvenix {
namespace {

std::int64_t CpuTicks(const ProcessFigures& f) { return f.userTime + f.kernelTime; }

// One decimal, a decimal comma, as the Russian system writes numbers.
std::u16string OneDecimal(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f", value);
    std::u16string text = Ascii(buf);
    for (char16_t& c : text)
        if (c == u'.') c = u',';
    return text;
}

// Known values before unknown ones, in both directions.
template <typename T>
std::int32_t CompareKnown(const std::optional<T>& a, const std::optional<T>& b, bool descending) {
    if (!a || !b) return a ? -1 : (b ? 1 : 0);
    if (*a == *b) return 0;
    const std::int32_t result = *a < *b ? -1 : 1;
    return descending ? -result : result;
}

std::string SecondsJson(std::int64_t ticks) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(ticks) / kTicksPerSecond);
    return buf;
}

}  // namespace

bool SameProcess(const ProcessRecord& before, const ProcessRecord& now) {
    if (before.processId != now.processId || before.sessionId != now.sessionId || before.name != now.name) return false;
    if (!before.figures || !now.figures) return false;
    return before.figures->sid == now.figures->sid && CpuTicks(*now.figures) >= CpuTicks(*before.figures);
}

std::optional<double> CpuPercent(const ProcessSample* before, const ProcessRecord& now, std::int64_t nowTicks) {
    if (!before || !now.figures) return std::nullopt;
    const std::int64_t wall = nowTicks - before->takenTicks;
    if (wall <= 0) return std::nullopt;
    std::int64_t spent = CpuTicks(*now.figures);
    for (const ProcessRecord& earlier : before->records) {
        if (earlier.processId != now.processId) continue;
        if (SameProcess(earlier, now)) spent -= CpuTicks(*earlier.figures);
        break;
    }
    if (spent < 0) spent = 0;
    return 100.0 * static_cast<double>(spent) / static_cast<double>(wall);
}

std::vector<ProcessView> ViewProcesses(std::vector<ProcessRecord> records, const ProcessSample* before,
                                       std::int64_t nowTicks,
                                       const std::function<std::u16string(const std::vector<std::uint8_t>&)>& account) {
    std::vector<ProcessView> views;
    views.reserve(records.size());
    for (ProcessRecord& record : records) {
        ProcessView view;
        view.cpuPercent = CpuPercent(before, record, nowTicks);
        if (record.figures && !record.figures->sid.empty() && account) view.account = account(record.figures->sid);
        view.record = std::move(record);
        views.push_back(std::move(view));
    }
    return views;
}

std::u16string MemoryText(std::uint64_t bytes) { return OneDecimal(static_cast<double>(bytes) / (1024.0 * 1024.0)); }

std::u16string PercentText(std::optional<double> percent) { return percent ? OneDecimal(*percent) : kNoFigure; }

std::vector<std::u16string> ProcessViewRow(const ProcessView& view) {
    std::vector<std::u16string> row = ProcessRow(view.record);
    if (!view.record.figures) {
        row.resize(7);
        return row;
    }
    const ProcessFigures& f = *view.record.figures;
    row.push_back(MemoryText(f.workingSet));
    row.push_back(PercentText(view.cpuPercent));
    row.push_back(DecimalU32(f.threads));
    row.push_back(view.account);
    return row;
}

std::int32_t CompareProcesses(ProcessColumn column, const ProcessView& a, const ProcessView& b, bool descending) {
    const auto figure = [](const ProcessView& v, auto get) {
        using T = decltype(get(*v.record.figures));
        return v.record.figures ? std::optional<T>(get(*v.record.figures)) : std::nullopt;
    };
    switch (column) {
        case ProcessColumn::Memory:
            return CompareKnown(figure(a, [](const ProcessFigures& f) { return f.workingSet; }),
                                figure(b, [](const ProcessFigures& f) { return f.workingSet; }), descending);
        case ProcessColumn::Cpu: return CompareKnown(a.cpuPercent, b.cpuPercent, descending);
        case ProcessColumn::Threads:
            return CompareKnown(figure(a, [](const ProcessFigures& f) { return f.threads; }),
                                figure(b, [](const ProcessFigures& f) { return f.threads; }), descending);
        case ProcessColumn::Account: return CompareRowTextBy(a.account, b.account, descending);
    }
    return 0;
}

std::u16string SidText(const std::vector<std::uint8_t>& sid) {
    // Revision, the count of sub-authorities, a 48-bit big-endian authority,
    // then the sub-authorities, 32-bit little-endian.
    if (sid.size() < 8) return {};
    const std::size_t count = sid[1];
    if (sid.size() < 8 + 4 * count) return {};
    std::uint64_t authority = 0;
    for (int i = 2; i < 8; ++i) authority = (authority << 8) | sid[static_cast<std::size_t>(i)];
    std::string text = "S-" + std::to_string(sid[0]) + "-" + std::to_string(authority);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 8 + 4 * i;
        const std::uint32_t sub = static_cast<std::uint32_t>(sid[at]) | (static_cast<std::uint32_t>(sid[at + 1]) << 8) |
                                  (static_cast<std::uint32_t>(sid[at + 2]) << 16) |
                                  (static_cast<std::uint32_t>(sid[at + 3]) << 24);
        text += "-" + std::to_string(sub);
    }
    return Ascii(text);
}

std::u16string AccountNames::Name(const std::u16string& server, const std::vector<std::uint8_t>& sid,
                                  const Lookup& lookup) {
    const std::u16string key = FoldCase(server);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto s = names_.find(key);
        if (s != names_.end()) {
            auto n = s->second.find(sid);
            if (n != s->second.end()) return n->second;
        }
        ++lookups_;
    }
    // The lookup is a call to the server: made outside the lock.
    std::optional<std::u16string> name = lookup ? lookup(sid) : std::nullopt;
    std::u16string shown = name && !name->empty() ? *name : SidText(sid);
    std::lock_guard<std::mutex> lock(mutex_);
    return names_[key].emplace(sid, std::move(shown)).first->second;
}

std::size_t AccountNames::Lookups() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lookups_;
}

std::int64_t SteadyTicks() {
    using namespace std::chrono;
    return duration_cast<duration<std::int64_t, std::ratio<1, 10'000'000>>>(steady_clock::now().time_since_epoch())
        .count();
}

ListedProcesses ListProcessesWithAccounts(TerminalServer& open, const std::u16string& server, AccountNames& names,
                                          std::optional<std::uint32_t> session) {
    ListedProcesses listed;
    listed.result = open.EnumerateProcesses(listed.records);
    listed.takenTicks = SteadyTicks();
    if (!listed.result.ok) return listed;
    for (const ProcessRecord& r : listed.records) {
        if (!r.figures || r.figures->sid.empty() || listed.accounts.count(r.figures->sid)) continue;
        if (session && r.sessionId != *session) continue;
        listed.accounts[r.figures->sid] =
            names.Name(server, r.figures->sid, [&open](const std::vector<std::uint8_t>& sid) { return open.LookupAccount(sid); });
    }
    return listed;
}

std::string ProcessJson(const std::u16string& server, const ProcessView& view, bool withCpu) {
    const ProcessRecord& r = view.record;
    std::string out = "{\"server\": " + JsonString(server) + ", \"session\": " + std::to_string(r.sessionId) +
                      ", \"pid\": " + std::to_string(r.processId) +
                      ", \"name\": " + (r.name ? JsonString(*r.name) : std::string("null"));
    if (!r.figures) {
        return out + ", \"working_set_bytes\": null, \"peak_working_set_bytes\": null, \"pagefile_bytes\": null"
                     ", \"threads\": null, \"handles\": null, \"user_seconds\": null, \"kernel_seconds\": null" +
               std::string(withCpu ? ", \"cpu_percent\": null" : "") + ", \"sid\": null, \"account\": null}";
    }
    const ProcessFigures& f = *r.figures;
    char cpu[32] = "null";
    if (view.cpuPercent) std::snprintf(cpu, sizeof cpu, "%.1f", *view.cpuPercent);
    const std::u16string sid = SidText(f.sid);
    out += ", \"working_set_bytes\": " + std::to_string(f.workingSet) +
           ", \"peak_working_set_bytes\": " + std::to_string(f.peakWorkingSet) +
           ", \"pagefile_bytes\": " + std::to_string(f.pagefileUsage) + ", \"threads\": " + std::to_string(f.threads) +
           ", \"handles\": " + std::to_string(f.handles) + ", \"user_seconds\": " + SecondsJson(f.userTime) +
           ", \"kernel_seconds\": " + SecondsJson(f.kernelTime) + (withCpu ? std::string(", \"cpu_percent\": ") + cpu : "") +
           ", \"sid\": " + (sid.empty() ? std::string("null") : JsonString(sid)) +
           ", \"account\": " + (f.sid.empty() ? std::string("null") : JsonString(view.account)) + "}";
    return out;
}

}  // namespace tarvenix

namespace tarvenix {

ProcessCheck CheckProcess(const ProcessRecord& seen, const std::vector<ProcessRecord>& now) {
    for (const ProcessRecord& r : now) {
        if (r.processId != seen.processId) continue;
        if (seen.figures && r.figures) return SameProcess(seen, r) ? ProcessCheck::Same : ProcessCheck::Replaced;
        // Without figures: the same session and name.
        return r.sessionId == seen.sessionId && r.name == seen.name ? ProcessCheck::Same : ProcessCheck::Replaced;
    }
    return ProcessCheck::Ended;
}

std::u16string TerminateQuestion(std::size_t count, const std::u16string& server) {
    return u"Завершить процессы (" + DecimalU32(static_cast<std::uint32_t>(count)) + u") на сервере " + server + u"?";
}

std::u16string TerminatedReport(std::size_t done, std::size_t asked) {
    return u"Завершено процессов: " + DecimalU32(static_cast<std::uint32_t>(done)) + u" из " +
           DecimalU32(static_cast<std::uint32_t>(asked)) + u".";
}

std::u16string ProcessNotActedLine(const ProcessRecord& seen, ProcessCheck check) {
    const std::u16string name = seen.name && !seen.name->empty() ? *seen.name : std::u16string(kUnknownProcessName);
    const std::u16string what = u"Процесс " + name + u" (PID " + DecimalU32(seen.processId) + u")";
    if (check == ProcessCheck::Ended) return what + u" уже завершён.";
    if (check == ProcessCheck::Replaced) return what + u" завершился, его PID теперь у другого процесса: не завершён.";
    return {};
}

}  // namespace tarvenix
