#include "actions/session_actions.h"

#include <algorithm>

#include "base/text.h"

namespace tarvenix {

std::u16string LogoffSentMessage(std::int32_t sent) { return sent < 2 ? kLogoffSentOne : kLogoffSentMany; }

std::u16string LogoffAllQuestion(const std::u16string& listedServer) {
    return u"Подтвердите завершение всех сессий сервера " + listedServer;
}

std::u16string LogoffListedQuestion(std::size_t servers, std::size_t sessions) {
    return u"Подтвердите завершение показанных сессий: серверов " + DecimalU32(static_cast<std::uint32_t>(servers)) +
           u", сессий " + DecimalU32(static_cast<std::uint32_t>(sessions));
}

std::u16string PerServerReport(const std::u16string& heading,
                               const std::vector<std::pair<std::u16string, std::int32_t>>& counts) {
    if (counts.size() < 2) return heading;
    std::u16string text = heading;
    if (!text.empty() && text.back() == u'.') text.pop_back();
    text += u":";
    for (const auto& [server, n] : counts) text += u"\r\n" + server + u": " + DecimalI32(n);
    return text;
}

std::u16string LogoffAllReport(std::int32_t loggedOff) {
    return u"Было завершено " + DecimalI32(loggedOff) + u" сессий.";
}

std::u16string ShadowParameters(std::uint32_t sessionId, const std::u16string& server) {
    return u"/shadow:" + DecimalU32(sessionId) + u" /v:" + server + u" /control";
}

std::vector<std::u16string> ProcessRow(const ProcessRecord& record) {
    const bool named = record.name.has_value() && !record.name->empty();
    return {DecimalU32(record.sessionId), named ? *record.name : std::u16string(kUnknownProcessName),
            DecimalU32(record.processId)};
}

std::u16string ProcessCountText(std::size_t count) {
    return u"Кол-во процессов: " + DecimalU32(static_cast<std::uint32_t>(count));
}

std::vector<ProcessRecord> SessionProcesses(std::vector<ProcessRecord> records, std::optional<std::uint32_t> sessionId) {
    if (sessionId)
        records.erase(std::remove_if(records.begin(), records.end(),
                                     [&](const ProcessRecord& r) { return r.sessionId != *sessionId; }),
                      records.end());
    return records;
}

namespace {

std::u16string JoinIds(const std::vector<std::uint32_t>& ids) {
    std::u16string out;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i) out += u", ";
        out += DecimalU32(ids[i]);
    }
    return out;
}

}  // namespace

namespace {

// "Не удалось <verb> сессию 5 на сервере X." (or "сессии 5, 6"), then the
// system's text of each distinct error.
std::u16string SessionFailureText(const std::u16string& verb, const std::u16string& server,
                                  const std::vector<SessionFailure>& failures, const DescribeError& describe) {
    if (failures.empty()) return {};
    std::vector<std::uint32_t> ids;
    // Distinct error codes in the order they first occurred, with their sessions.
    std::vector<std::pair<std::uint32_t, std::vector<std::uint32_t>>> byCode;
    for (const SessionFailure& f : failures) {
        ids.push_back(f.sessionId);
        auto it = byCode.begin();
        while (it != byCode.end() && it->first != f.error) ++it;
        if (it == byCode.end()) {
            byCode.push_back({f.error, {f.sessionId}});
        } else {
            it->second.push_back(f.sessionId);
        }
    }
    std::u16string text = u"Не удалось " + verb + (ids.size() == 1 ? u" сессию " : u" сессии ");
    text += JoinIds(ids) + u" на сервере " + server + u".";
    for (const auto& [code, sessions] : byCode) {
        text += u"\r\n";
        if (byCode.size() > 1) text += JoinIds(sessions) + u": ";
        text += SystemErrorLine(code, describe);
    }
    return text;
}

}  // namespace

std::u16string LogoffFailureText(const std::u16string& server, const std::vector<SessionFailure>& failures,
                                 const DescribeError& describe) {
    return SessionFailureText(u"завершить", server, failures, describe);
}

std::u16string DisconnectSentMessage(std::int32_t sent) {
    return sent < 2 ? kDisconnectSentOne : kDisconnectSentMany;
}

std::u16string DisconnectFailureText(const std::u16string& server, const std::vector<SessionFailure>& failures,
                                     const DescribeError& describe) {
    return SessionFailureText(u"отключить", server, failures, describe);
}

std::u16string TerminateFailureHeading(const std::u16string& server, std::uint32_t processId) {
    return u"Не удалось завершить процесс " + DecimalU32(processId) + u" на сервере " + server + u".";
}

std::u16string ProcessListFailureHeading(const std::u16string& server) {
    return u"Не удалось получить список процессов сервера " + server + u".";
}

std::u16string ShadowFailureHeading(std::uint32_t sessionId, const std::u16string& server) {
    return u"Не удалось запустить mstsc для подключения к сессии " + DecimalU32(sessionId) + u" на сервере " + server +
           u".";
}

std::u16string NotActedLine(const Session& session, const ItemResult& result) {
    const std::u16string which = u"Сессия " + DecimalU32(session.id) + u" на сервере " + session.server;
    switch (result.state) {
        case ItemState::Ended: return which + u" уже завершена.";
        case ItemState::ChangedHands: return which + u" теперь у " + result.holder + u": команда не отправлена.";
        case ItemState::NotStarted: return which + u": команда не отправлена, время ожидания истекло.";
        case ItemState::NoAnswer: return which + u": нет ответа, команда могла быть выполнена.";
        case ItemState::Answered: break;
    }
    return {};
}

std::u16string SessionCheckFailureText(const Session& session, const ItemResult& checked,
                                       std::chrono::milliseconds timeout, const DescribeError& describe) {
    if (checked.Untouched()) return NotActedLine(session, checked);
    const std::u16string heading =
        u"Не удалось проверить сессию " + DecimalU32(session.id) + u" на сервере " + session.server + u".";
    if (checked.state == ItemState::Answered) return SystemErrorReport(heading, checked.error, describe);
    return heading + u"\r\n" + ServerTimeoutText(session.server, static_cast<std::uint32_t>(timeout.count()));
}

CommandSummary SummariseCommand(const std::vector<ServerResults>& servers, const FailureReport& failureText) {
    CommandSummary summary;
    std::u16string notActed;
    for (const ServerResults& server : servers) {
        std::int32_t here = 0;
        std::vector<SessionFailure> failures;
        for (std::size_t i = 0; i < server.results.size() && i < server.sessions.size(); ++i) {
            const ItemResult& r = server.results[i];
            if (r.ok) {
                ++here;
                continue;
            }
            ++summary.notDone;
            if (r.state == ItemState::Answered) {
                failures.push_back({server.sessions[i].id, r.error});
            } else {
                notActed += (notActed.empty() ? u"" : u"\r\n") + NotActedLine(server.sessions[i], r);
            }
        }
        summary.done += here;
        summary.counts.push_back({server.server, here});
        if (failures.empty()) continue;
        if (!summary.problems.empty()) summary.problems += u"\r\n\r\n";
        summary.problems += failureText(server.server, failures);
    }
    if (!notActed.empty()) summary.problems += (summary.problems.empty() ? u"" : u"\r\n\r\n") + notActed;
    return summary;
}

}  // namespace tarvenix
