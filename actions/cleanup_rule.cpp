#include "actions/cleanup_rule.h"

#include "actions/session_actions.h"
#include "base/text.h"
#include "base/text_fold.h"
#include "sessions/session_columns.h"
#include "sessions/session_times.h"

namespace tarvenix {

std::optional<std::int64_t> DisconnectedTicks(const Session& session) {
    // For a disconnected session the idle time runs from its disconnect.
    if (session.state != kStateDisconnected) return std::nullopt;
    return session.idleTicks;
}

bool RuleMatches(const CleanupRule& rule, const Session& session) {
    const std::optional<std::int64_t> ticks = DisconnectedTicks(session);
    if (!ticks || *ticks <= rule.overSeconds * kTicksPerSecond) return false;
    return rule.userText.empty() || ContainsFolded(session.user, FoldCase(rule.userText));
}

std::vector<Session> MatchingSessions(const CleanupRule& rule, const std::vector<Session>& sessions) {
    std::vector<Session> out;
    for (const Session& s : sessions)
        if (RuleMatches(rule, s)) out.push_back(s);
    return out;
}

std::int64_t UnitSeconds(CleanupUnit unit) {
    switch (unit) {
        case CleanupUnit::Minutes: return 60;
        case CleanupUnit::Hours: return 3600;
        case CleanupUnit::Days: return 86400;
    }
    return 3600;
}

std::vector<std::u16string> CleanupPreviewHeader() { return {u"Сервер", u"ID", u"Учетная запись", u"Отключена"}; }

std::vector<std::u16string> CleanupPreviewRow(const Session& session) {
    return {session.server, DecimalU32(session.id), session.user, IdleText(DisconnectedTicks(session))};
}

std::u16string CleanupFoundText(std::size_t count) {
    return u"Найдено сессий: " + DecimalU32(static_cast<std::uint32_t>(count));
}

std::u16string CleanupQuestion(std::size_t servers, std::size_t sessions) {
    return u"Завершить отключённые сессии: серверов " + DecimalU32(static_cast<std::uint32_t>(servers)) +
           u", сессий " + DecimalU32(static_cast<std::uint32_t>(sessions)) + u"?";
}

CallResult LogoffIfStillDisconnected(TerminalServer& server, std::uint32_t sessionId) {
    SessionInfo info;
    const CallResult asked = server.QuerySessionInfo(sessionId, info);
    if (!asked.ok) return asked;
    if (info.state != kStateDisconnected) return CallResult::Failure(kSessionReconnected);
    return server.Logoff(sessionId);
}

std::u16string CleanupReport(const std::vector<ServerResults>& servers, const DescribeError& describe) {
    std::u16string text;
    for (const ServerResults& server : servers) {
        std::size_t done = 0;
        std::u16string lines;
        for (std::size_t i = 0; i < server.sessions.size() && i < server.results.size(); ++i) {
            const Session& s = server.sessions[i];
            const ItemResult& r = server.results[i];
            if (r.ok) {
                ++done;
                continue;
            }
            std::u16string line;
            if (r.state != ItemState::Answered) {
                line = NotActedLine(s, r);
            } else if (r.error == kSessionReconnected) {
                line = u"Сессия " + DecimalU32(s.id) + u" (" + s.user + u") снова подключена: не завершена.";
            } else {
                line = u"Сессия " + DecimalU32(s.id) + u" (" + s.user + u"): " + SystemErrorLine(r.error, describe);
            }
            lines += u"\r\n  " + line;
        }
        if (!text.empty()) text += u"\r\n";
        text += server.server + u": завершено " + DecimalU32(static_cast<std::uint32_t>(done)) + u" из " +
                DecimalU32(static_cast<std::uint32_t>(server.sessions.size())) + lines;
    }
    return text;
}

std::string CleanupJson(const Session& session) {
    const std::optional<std::int64_t> ticks = DisconnectedTicks(session);
    return "{\"server\": " + JsonString(session.server) + ", \"id\": " + std::to_string(session.id) +
           ", \"user\": " + JsonString(session.user) + ", \"domain\": " + JsonString(session.domain) +
           ", \"disconnected_seconds\": " + (ticks ? std::to_string(*ticks / kTicksPerSecond) : std::string("null")) +
           "}";
}

}  // namespace tarvenix
