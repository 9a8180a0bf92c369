#include "sessions/session_details.h"

#include "base/text.h"
#include "sessions/session_columns.h"
#include "sessions/session_queries.h"
#include "sessions/session_times.h"

namespace tarvenix {
namespace {

constexpr std::uint32_t kNoSuchSession = 7022;  // ERROR_CTX_WINSTATION_NOT_FOUND

std::u16string TimeText(std::int64_t ticks, const FormatTime& format) {
    if (ticks <= 0 || !format) return {};
    return format(ticks);
}

std::string TimeJson(std::int64_t ticks) { return ticks > 0 ? "\"" + IsoUtc(ticks) + "\"" : std::string("null"); }

template <typename T>
std::string NumberJson(const std::optional<T>& v) {
    return v ? std::to_string(*v) : std::string("null");
}

}  // namespace

SessionDetails ReadSessionDetails(TerminalServer& server, const Session& session) {
    SessionDetails d;
    d.session = session;
    SessionInfo info;
    if (server.QuerySessionInfo(session.id, info).ok) {
        d.timesKnown = true;
        d.times = info.times;
    }
    d.clientBuild = server.QueryNumber(session.id, SessionInfoClass::ClientBuildNumber);
    d.clientDirectory = server.QueryString(session.id, SessionInfoClass::ClientDirectory);
    d.display = server.QueryClientDisplay(session.id);
    d.protocol = server.QueryNumber(session.id, SessionInfoClass::ClientProtocolType);
    std::vector<ProcessRecord> processes;
    if (server.EnumerateProcesses(processes).ok) {
        std::size_t count = 0;
        for (const ProcessRecord& p : processes) count += p.sessionId == session.id ? 1 : 0;
        d.processCount = count;
    }
    return d;
}

CallResult FindSessionDetails(TerminalServer& server, const std::u16string& serverName, std::uint32_t id,
                              SessionDetails& details) {
    std::vector<SessionRecord> records;
    const CallResult listed = server.EnumerateSessions(records);
    if (!listed.ok) return listed;
    for (const SessionRecord& record : records) {
        if (record.sessionId != id) continue;
        const std::optional<Session> row = QuerySessionRow(server, serverName, record);
        if (!row) break;
        details = ReadSessionDetails(server, *row);
        return CallResult::Success();
    }
    return CallResult::Failure(kNoSuchSession);
}

std::uint32_t ColorDepthBits(std::uint32_t code) {
    switch (code) {
        case 1: return 4;
        case 2: return 8;
        case 4: return 16;
        case 8: return 24;
        case 16: return 15;
        case 24: return 24;
        case 32: return 32;
        default: return 0;
    }
}

std::u16string DisplayText(const std::optional<ClientDisplay>& display) {
    if (!display || (display->width == 0 && display->height == 0)) return {};
    // A plain "x": the window's bitmap font has no multiplication sign.
    std::u16string text = DecimalU32(display->width) + u" x " + DecimalU32(display->height);
    const std::uint32_t bits = ColorDepthBits(display->colorDepth);
    if (bits) text += u", " + DecimalU32(bits) + u" бит";
    return text;
}

std::u16string ProtocolText(const std::optional<std::uint32_t>& protocol) {
    if (!protocol) return {};
    switch (*protocol) {
        case 0: return u"Консоль";
        case 1: return u"ICA";
        case 2: return u"RDP";
        default: return DecimalU32(*protocol);
    }
}

std::vector<std::pair<std::u16string, std::u16string>> DetailLines(const SessionDetails& d, const FormatTime& format) {
    std::vector<std::pair<std::u16string, std::u16string>> lines;
    // The six columns of the list, with their captions.
    for (SessionField field : {SessionField::Id, SessionField::User, SessionField::ClientName, SessionField::Address,
                               SessionField::State, SessionField::WinStation})
        lines.emplace_back(ColumnOf(field).caption, CellText(field, d.session));
    lines.emplace_back(u"Сервер", d.session.server);
    const SessionTimes& t = d.times;
    lines.emplace_back(u"Вход", d.timesKnown ? TimeText(t.logonTime, format) : std::u16string());
    lines.emplace_back(u"Подключение", d.timesKnown ? TimeText(t.connectTime, format) : std::u16string());
    lines.emplace_back(u"Отключение", d.timesKnown ? TimeText(t.disconnectTime, format) : std::u16string());
    lines.emplace_back(u"Последний ввод", d.timesKnown ? TimeText(t.lastInputTime, format) : std::u16string());
    lines.emplace_back(u"Сборка клиента", d.clientBuild ? DecimalU32(*d.clientBuild) : std::u16string());
    lines.emplace_back(u"Экран клиента", DisplayText(d.display));
    lines.emplace_back(u"Протокол", ProtocolText(d.protocol));
    lines.emplace_back(u"Папка клиента", d.clientDirectory.value_or(u""));
    lines.emplace_back(u"Процессов", d.processCount ? DecimalU32(static_cast<std::uint32_t>(*d.processCount))
                                                    : std::u16string());
    return lines;
}

std::u16string DetailsText(const std::vector<std::pair<std::u16string, std::u16string>>& lines) {
    std::u16string text;
    for (const auto& [caption, value] : lines) text += caption + u"\t" + value + u"\r\n";
    return text;
}

std::string DetailsJson(const SessionDetails& d) {
    std::string out = SessionJson(d.session);
    out.pop_back();  // the closing brace: the details follow
    const SessionTimes& t = d.times;
    const auto time = [&](std::int64_t ticks) { return d.timesKnown ? TimeJson(ticks) : std::string("null"); };
    out += ", \"connect_time\": " + time(t.connectTime) + ", \"disconnect_time\": " + time(t.disconnectTime) +
           ", \"last_input_time\": " + time(t.lastInputTime) + ", \"client_build\": " + NumberJson(d.clientBuild) +
           ", \"display\": ";
    if (d.display)
        out += "{\"width\": " + std::to_string(d.display->width) + ", \"height\": " + std::to_string(d.display->height) +
               ", \"color_depth_bits\": " + std::to_string(ColorDepthBits(d.display->colorDepth)) + "}";
    else
        out += "null";
    out += ", \"protocol\": " + NumberJson(d.protocol) + ", \"protocol_name\": " +
           (d.protocol ? JsonString(ProtocolText(d.protocol)) : std::string("null")) +
           ", \"client_directory\": " + (d.clientDirectory ? JsonString(*d.clientDirectory) : std::string("null")) +
           ", \"process_count\": " + NumberJson(d.processCount) + "}";
    return out;
}

}  // namespace tarvenix
