#include "actions/session_actions.h"

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

std::u16string ShadowParameters(const std::u16string& sessionIdText, const std::u16string& server) {
    return u"/shadow:" + sessionIdText + u" /v:" + server + u" /control";
}

std::vector<std::u16string> ProcessRow(const ProcessRecord& record) {
    const bool named = record.name.has_value() && !record.name->empty();
    return {DecimalU32(record.sessionId), named ? *record.name : std::u16string(kUnknownProcessName),
            DecimalU32(record.processId)};
}

std::u16string ProcessCountText(std::size_t count) {
    return u"Кол-во процессов: " + DecimalU32(static_cast<std::uint32_t>(count));
}

std::vector<std::vector<std::u16string>> ProcessRows(const std::vector<ProcessRecord>& records,
                                                     const std::optional<std::u16string>& sessionCaption) {
    std::vector<std::vector<std::u16string>> rows;
    // The caption reads back the way every command reads a session ID, so the
    // IDs from 2^31 up, which read as negative numbers, find their processes too.
    std::optional<std::uint32_t> wanted;
    if (sessionCaption) wanted = static_cast<std::uint32_t>(StrToIntLike(*sessionCaption));
    for (const ProcessRecord& record : records) {
        if (wanted && *wanted != record.sessionId) continue;
        rows.push_back(ProcessRow(record));
    }
    return rows;
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

std::u16string ShadowFailureHeading(const std::u16string& sessionIdText, const std::u16string& server) {
    return u"Не удалось запустить mstsc для подключения к сессии " + sessionIdText + u" на сервере " + server + u".";
}

}  // namespace tarvenix
