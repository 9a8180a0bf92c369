#include "sessions/session_inventory.h"

#include "base/text.h"

namespace tarvenix {

const std::u16string& SessionRow::Text(int column) const {
    switch (column) {
        case kColId: return id;
        case kColUser: return user;
        case kColClientName: return clientName;
        case kColAddress: return address;
        case kColState: return state;
        default: return winStation;
    }
}

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

std::optional<SessionRow> QuerySessionRow(TerminalServer& server, const SessionRecord& session) {
    SessionRow row;
    row.clientName = server.QueryString(session.sessionId, SessionInfoClass::ClientName).value_or(u"");
    row.user = server.QueryString(session.sessionId, SessionInfoClass::UserName).value_or(u"");
    row.winStation = server.QueryString(session.sessionId, SessionInfoClass::WinStationName).value_or(u"");
    if (auto address = server.QueryClientAddress(session.sessionId)) row.address = ClientIPv4Text(*address);
    if (row.user.empty()) return std::nullopt;
    if (const std::optional<SessionTimes> times = server.QuerySessionTimes(session.sessionId)) {
        row.idleTicks = IdleTicks(*times, session.state);
        row.logonTicks = LogonTicks(*times);
        row.idle = IdleText(row.idleTicks);
    }
    row.id = DecimalU32(session.sessionId);
    row.state = ConnectStateName(session.state);
    return row;
}

SessionInventory AssembleInventory(std::vector<std::optional<SessionRow>> rows) {
    SessionInventory result;
    for (std::optional<SessionRow>& row : rows) {
        if (!row) continue;
        if (row->state == u"Active") ++result.activeCount;
        result.rows.push_back(std::move(*row));
    }
    return result;
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
    std::vector<std::optional<SessionRow>> rows;
    rows.reserve(sessions.size());
    for (const SessionRecord& session : sessions) rows.push_back(QuerySessionRow(*server, session));
    return AssembleInventory(std::move(rows));
}

}  // namespace tarvenix
