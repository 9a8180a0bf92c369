#include "sessions/session_queries.h"

#include "base/text.h"
#include "base/text_fold.h"

namespace tarvenix {

std::u16string ConnectStateName(std::uint32_t state) {
    static const char16_t* const kNames[] = {
        u"Active", u"Connected", u"ConnectQuery", u"Shadow", u"Disconnected",
        u"Idle", u"Listen", u"Reset", u"Down", u"Init",
    };
    if (state < sizeof(kNames) / sizeof(kNames[0])) return kNames[state];
    return u"Unknown";
}

std::u16string ClientIPv4Text(const ClientAddress& address) {
    constexpr std::uint32_t kAfInet = 2;
    if (address.family != kAfInet) return {};
    return DecimalU32(address.bytes[2]) + u"." + DecimalU32(address.bytes[3]) + u"." +
           DecimalU32(address.bytes[4]) + u"." + DecimalU32(address.bytes[5]);
}

void QueryClientDetails(TerminalServer& server, Session& session) {
    session.clientBuild = server.QueryNumber(session.id, SessionInfoClass::ClientBuildNumber);
    session.clientDisplay = server.QueryClientDisplay(session.id);
    session.protocol = server.QueryNumber(session.id, SessionInfoClass::ClientProtocolType);
}

std::optional<Session> QuerySessionRow(TerminalServer& server, const std::u16string& serverName,
                                       const SessionRecord& record) {
    Session session;
    session.clientName = server.QueryString(record.sessionId, SessionInfoClass::ClientName).value_or(u"");
    session.user = server.QueryString(record.sessionId, SessionInfoClass::UserName).value_or(u"");
    session.winStation = server.QueryString(record.sessionId, SessionInfoClass::WinStationName).value_or(u"");
    if (auto address = server.QueryClientAddress(record.sessionId)) session.address = ClientIPv4Text(*address);
    if (session.user.empty()) return std::nullopt;
    SessionInfo info;
    // Asked after the user name: the times and the domain are this logon's
    // unless another user logged on in between (then they are left out).
    if (server.QuerySessionInfo(record.sessionId, info).ok && FoldCase(info.user) == FoldCase(session.user)) {
        session.timesKnown = true;
        session.idleTicks = IdleTicks(info.times, record.state);
        session.logonTicks = LogonTicks(info.times);
        session.domain = info.domain;
    }
    session.server = serverName;
    session.id = record.sessionId;
    session.state = record.state;
    return session;
}

SessionInventory AssembleInventory(std::vector<std::optional<Session>> rows) {
    SessionInventory result;
    for (std::optional<Session>& row : rows) {
        if (!row) continue;
        if (row->Active()) ++result.activeCount;
        result.rows.push_back(std::move(*row));
    }
    return result;
}

SessionConfirmation ConfirmSession(TerminalServer& server, const Session& seen) {
    constexpr std::uint32_t kNoSuchSession = 7022;  // ERROR_CTX_WINSTATION_NOT_FOUND
    SessionConfirmation out;
    SessionInfo info;
    SessionHolder holder;
    const CallResult asked = server.QuerySessionInfo(seen.id, info);
    if (asked.ok) {
        holder = {info.user, info.domain, LogonTicks(info.times)};
    } else if (asked.error == kNoSuchSession) {
        out.check = SessionCheck::Ended;
        return out;
    } else {
        std::optional<std::u16string> user = server.QueryString(seen.id, SessionInfoClass::UserName);
        if (!user) {
            out.failure = asked;
            return out;
        }
        holder.user = std::move(*user);
    }
    out.check = CheckHolder(seen, holder);
    if (out.check == SessionCheck::ChangedHands) out.holder = holder.user;
    return out;
}

SessionInventory ReadSessionInventory(TerminalServices& services, const std::u16string& serverName) {
    std::unique_ptr<TerminalServer> server = services.Open(serverName);
    std::vector<SessionRecord> sessions;
    const CallResult enumerated = server->EnumerateSessions(sessions);
    if (!enumerated.ok) {
        SessionInventory result;
        result.enumerationFailed = true;
        result.error = enumerated.error;
        return result;
    }
    std::vector<std::optional<Session>> rows;
    rows.reserve(sessions.size());
    for (const SessionRecord& session : sessions) rows.push_back(QuerySessionRow(*server, serverName, session));
    return AssembleInventory(std::move(rows));
}

}  // namespace tarvenix
