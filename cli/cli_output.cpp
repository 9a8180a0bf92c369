#include "cli/cli_output.h"

#include <algorithm>
#include <cstdio>

#include "actions/session_actions.h"
#include "base/csv.h"
#include "base/text.h"
#include "base/text_fold.h"
#include "sessions/session_times.h"

namespace tarvenix {

namespace {

const std::vector<std::u16string> kSessionHeader = {u"ID",        u"Учетная запись", u"Имя компьютера",
                                                    u"IP адрес",  u"Состояние сессии", u"Сессия",
                                                    u"Сервер",    u"Бездействие",    u"Вход"};
const std::vector<std::u16string> kProcessHeader = {u"Сервер", u"ID сессии", u"Название процесса", u"PID"};
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

bool SessionPasses(const CliRequest& request, const SessionRow& row) {
    if (request.user && !ContainsFolded(row.user, FoldCase(*request.user))) return false;
    if (request.state && row.state != *request.state) return false;
    if (request.idleOverSeconds) {
        if (!row.idleTicks) return false;
        if (*row.idleTicks <= *request.idleOverSeconds * kTicksPerSecond) return false;
    }
    return true;
}

std::string IsoUtc(std::int64_t ticks) {
    if (ticks < 0) ticks = 0;
    const std::int64_t totalSeconds = ticks / kTicksPerSecond;
    std::int64_t days = totalSeconds / 86400;
    const std::int64_t secondOfDay = totalSeconds % 86400;
    // Days since 1601-01-01 to a civil date (proleptic Gregorian).
    days += 584694;  // days from 0000-03-01 to 1601-01-01: the count the civil-date arithmetic below starts from
    const std::int64_t era = days / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t year = yoe + era * 400;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    if (month <= 2) ++year;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day),
                  static_cast<long long>(secondOfDay / 3600), static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60));
    return buf;
}

std::string JsonString(std::u16string_view text) {
    std::string out = "\"";
    const std::string utf8 = Utf16ToUtf8(text);
    for (unsigned char c : utf8) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
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

std::u16string FormatSessions(const std::vector<CliSession>& sessions, OutputFormat format, char16_t separator) {
    if (format == OutputFormat::Json) {
        std::vector<std::string> objects;
        for (const CliSession& s : sessions) {
            const SessionRow& r = s.row;
            std::string o = "{\"server\": " + JsonString(s.server) + ", \"id\": " +
                            Number(static_cast<std::uint32_t>(StrToIntLike(r.id))) + ", \"user\": " + JsonString(r.user) +
                            ", \"client\": " + JsonString(r.clientName) + ", \"address\": " + JsonString(r.address) +
                            ", \"state\": " + JsonString(r.state) + ", \"winstation\": " + JsonString(r.winStation) +
                            ", \"idle_seconds\": " +
                            (r.idleTicks ? std::to_string(*r.idleTicks / kTicksPerSecond) : std::string("null")) +
                            ", \"idle\": " + JsonString(r.idle) + ", \"logon_time\": " +
                            (r.logonTicks ? "\"" + IsoUtc(*r.logonTicks) + "\"" : std::string("null")) + "}";
            objects.push_back(std::move(o));
        }
        return JsonArray(objects);
    }
    std::vector<std::vector<std::u16string>> rows = {kSessionHeader};
    for (const CliSession& s : sessions) {
        const SessionRow& r = s.row;
        rows.push_back({r.id, r.user, r.clientName, r.address, r.state, r.winStation, s.server, r.idle, s.logonText});
    }
    return Cells(rows, format, separator);
}

std::u16string FormatProcesses(const std::vector<CliProcess>& processes, OutputFormat format, char16_t separator) {
    if (format == OutputFormat::Json) {
        std::vector<std::string> objects;
        for (const CliProcess& p : processes) {
            objects.push_back("{\"server\": " + JsonString(p.server) + ", \"session\": " + Number(p.record.sessionId) +
                              ", \"pid\": " + Number(p.record.processId) + ", \"name\": " +
                              (p.record.name ? JsonString(*p.record.name) : std::string("null")) + "}");
        }
        return JsonArray(objects);
    }
    std::vector<std::vector<std::u16string>> rows = {kProcessHeader};
    for (const CliProcess& p : processes) {
        std::vector<std::u16string> row = ProcessRow(p.record);
        rows.push_back({p.server, row[0], row[1], row[2]});
    }
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
