#include "cli/cli_output.h"

#include <algorithm>
#include <cstdio>

#include "actions/cleanup_rule.h"
#include "actions/process_figures.h"
#include "actions/session_actions.h"
#include "base/csv.h"
#include "base/text.h"
#include "base/text_fold.h"
#include "sessions/session_queries.h"
#include "sessions/session_times.h"

namespace tarvenix {

namespace {

const std::vector<std::u16string> kProcessHeader = {u"Сервер", u"ID сессии", u"Название процесса", u"PID",
                                                    kMemoryCaption, kThreadsCaption, kAccountCaption};
// CSV is for scripts: the figures as plain numbers (bytes, seconds).
const std::vector<std::u16string> kProcessCsvHeader = {
    u"Сервер", u"ID сессии", u"Название процесса", u"PID", u"Память, байт", u"Пик памяти, байт", u"Подкачка, байт",
    u"Потоки", u"Дескрипторы", u"Время пользователя, с", u"Время ядра, с", u"SID", u"Пользователь"};
const std::vector<std::u16string> kResultHeader = {u"Сервер", u"ID", u"Результат"};

std::u16string Cells(const std::vector<std::vector<std::u16string>>& rows, OutputFormat format, char16_t separator) {
    if (format == OutputFormat::Table) return AlignedTable(rows);
    std::u16string out;
    for (const auto& row : rows) out += CsvLine(row, separator);
    return out;
}

std::u16string JsonArray(const std::vector<std::string>& objects) {
    std::string out = "[";
    for (std::size_t i = 0; i < objects.size(); ++i) out += (i ? ",\n  " : "\n  ") + objects[i];
    out += objects.empty() ? "]\n" : "\n]\n";
    return Utf8ToUtf16(out);
}

std::string Number(std::uint64_t v) { return std::to_string(v); }

}  // namespace

bool SessionPasses(const CliRequest& request, const Session& row) {
    if (request.user && !ContainsFolded(row.user, FoldCase(*request.user))) return false;
    if (request.state && ConnectStateName(row.state) != *request.state) return false;
    if (request.idleOverSeconds) {
        if (!row.idleTicks) return false;
        if (*row.idleTicks <= *request.idleOverSeconds * kTicksPerSecond) return false;
    }
    return true;
}

std::u16string AlignedTable(const std::vector<std::vector<std::u16string>>& rows) {
    std::vector<std::size_t> widths;
    const auto width = [](const std::u16string& s) {
        // Code points, not code units: a pair of surrogates is one character.
        std::size_t n = 0;
        for (char16_t c : s) n += (c < 0xDC00 || c > 0xDFFF) ? 1 : 0;
        return n;
    };
    for (const auto& row : rows) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], width(row[i]));
    }
    std::u16string out;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::u16string line;
        for (std::size_t i = 0; i < rows[r].size(); ++i) {
            // Line breaks inside a cell would break the table: shown as spaces.
            std::u16string cell = rows[r][i];
            std::replace(cell.begin(), cell.end(), u'\r', u' ');
            std::replace(cell.begin(), cell.end(), u'\n', u' ');
            line += cell;
            if (i + 1 < rows[r].size()) line += std::u16string(widths[i] - width(rows[r][i]) + 2, u' ');
        }
        while (!line.empty() && line.back() == u' ') line.pop_back();
        out += line + u"\r\n";
        if (r == 0) {
            std::size_t total = 0;
            for (std::size_t i = 0; i < widths.size(); ++i) total += widths[i] + (i + 1 < widths.size() ? 2 : 0);
            out += std::u16string(total, u'-') + u"\r\n";
        }
    }
    return out;
}

std::u16string FormatSessions(const std::vector<Session>& sessions, OutputFormat format, char16_t separator) {
    if (format == OutputFormat::Json) {
        std::vector<std::string> objects;
        for (const Session& s : sessions) objects.push_back(SessionJson(s));
        return JsonArray(objects);
    }
    // The window's chosen columns are not asked for here.
    std::vector<std::vector<std::u16string>> rows(1);
    for (const SessionColumnSpec& column : SessionColumnTable())
        if (column.listed != ListedIn::Chosen) rows[0].push_back(column.caption);
    for (const Session& s : sessions) {
        std::vector<std::u16string>& row = rows.emplace_back();
        for (const SessionColumnSpec& column : SessionColumnTable())
            if (column.listed != ListedIn::Chosen) row.push_back(CellText(column.field, s));
    }
    return Cells(rows, format, separator);
}

std::u16string FormatProcesses(const std::vector<CliProcess>& processes, OutputFormat format, char16_t separator) {
    const auto viewOf = [](const CliProcess& p) {
        ProcessView v;
        v.record = p.record;
        v.account = p.account;
        return v;
    };
    if (format == OutputFormat::Json) {
        std::vector<std::string> objects;
        for (const CliProcess& p : processes) objects.push_back(ProcessJson(p.server, viewOf(p), false));
        return JsonArray(objects);
    }
    const auto seconds = [](std::int64_t ticks) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(ticks) / kTicksPerSecond);
        return Ascii(buf);
    };
    std::vector<std::vector<std::u16string>> rows = {format == OutputFormat::Csv ? kProcessCsvHeader : kProcessHeader};
    for (const CliProcess& p : processes) {
        std::vector<std::u16string> row = ProcessRow(p.record);
        row.insert(row.begin(), p.server);
        const ProcessFigures* f = p.record.figures ? &*p.record.figures : nullptr;
        if (format == OutputFormat::Csv) {
            if (f) {
                for (std::u16string cell :
                     {Ascii(std::to_string(f->workingSet)), Ascii(std::to_string(f->peakWorkingSet)),
                      Ascii(std::to_string(f->pagefileUsage)), DecimalU32(f->threads), DecimalU32(f->handles),
                      seconds(f->userTime), seconds(f->kernelTime), SidText(f->sid), p.account})
                    row.push_back(std::move(cell));
            } else {
                row.resize(kProcessCsvHeader.size());
            }
        } else if (f) {
            row.push_back(MemoryText(f->workingSet));
            row.push_back(DecimalU32(f->threads));
            row.push_back(p.account);
        } else {
            row.resize(kProcessHeader.size());
        }
        rows.push_back(std::move(row));
    }
    return Cells(rows, format, separator);
}

std::u16string FormatCleanup(const std::vector<Session>& sessions, OutputFormat format, char16_t separator) {
    if (format == OutputFormat::Json) {
        std::vector<std::string> objects;
        for (const Session& s : sessions) objects.push_back(CleanupJson(s));
        return JsonArray(objects);
    }
    std::vector<std::vector<std::u16string>> rows = {CleanupPreviewHeader()};
    for (const Session& s : sessions) rows.push_back(CleanupPreviewRow(s));
    return Cells(rows, format, separator);
}

std::u16string FormatDetails(const SessionDetails& details, OutputFormat format, char16_t separator,
                             const FormatTime& formatTime) {
    if (format == OutputFormat::Json) return Utf8ToUtf16(DetailsJson(details) + "\n");
    std::vector<std::vector<std::u16string>> rows = {{u"Сведения", u"Значение"}};
    for (auto& [caption, value] : DetailLines(details, formatTime)) rows.push_back({caption, value});
    return Cells(rows, format, separator);
}

std::u16string FormatResults(const std::vector<CliResult>& results, OutputFormat format, char16_t separator) {
    if (format == OutputFormat::Json) {
        std::vector<std::string> objects;
        for (const CliResult& r : results) {
            objects.push_back("{\"server\": " + JsonString(r.server) + ", \"id\": " + Number(r.id) +
                              ", \"ok\": " + (r.ok ? "true" : "false") + ", \"error\": " + Number(r.error) +
                              ", \"message\": " + JsonString(r.errorText) + "}");
        }
        return JsonArray(objects);
    }
    std::vector<std::vector<std::u16string>> rows = {kResultHeader};
    for (const CliResult& r : results)
        rows.push_back({r.server, DecimalU32(r.id), r.ok ? u"выполнено" : r.errorText});
    return Cells(rows, format, separator);
}

}  // namespace tarvenix
