#include "sessions/session_changes.h"

#include "base/text.h"
#include "sessions/session_columns.h"
#include "sessions/session_queries.h"

namespace tarvenix {

namespace {

const Session* Find(const std::vector<Session>& sessions, const Session& wanted) {
    for (const Session& s : sessions)
        if (s.id == wanted.id && SameSession(s, wanted)) return &s;
    return nullptr;
}

ChangeKind StateChange(std::uint32_t from, std::uint32_t to) {
    if (to == kStateDisconnected) return ChangeKind::Disconnect;
    if (from == kStateDisconnected && to == kStateActive) return ChangeKind::Reconnect;
    return ChangeKind::State;
}

const char16_t* ChangeWord(ChangeKind kind) {
    switch (kind) {
        case ChangeKind::Logon: return u"вход";
        case ChangeKind::Logoff: return u"выход";
        case ChangeKind::Disconnect: return u"отключение";
        case ChangeKind::Reconnect: return u"подключение";
        case ChangeKind::State: return u"состояние";
        case ChangeKind::Current: return u"сессия";
    }
    return u"";
}

}  // namespace

std::vector<SessionChange> CompareListings(const std::vector<Session>& before, const std::vector<Session>& after) {
    std::vector<SessionChange> changes;
    for (const Session& old : before)
        if (!Find(after, old)) changes.push_back({ChangeKind::Logoff, old, old.state});
    for (const Session& now : after) {
        const Session* old = Find(before, now);
        if (!old) {
            changes.push_back({ChangeKind::Logon, now, std::nullopt});
        } else if (old->state != now.state) {
            changes.push_back({StateChange(old->state, now.state), now, old->state});
        }
    }
    return changes;
}

const char* ChangeEventName(ChangeKind kind) {
    switch (kind) {
        case ChangeKind::Logon: return "logon";
        case ChangeKind::Logoff: return "logoff";
        case ChangeKind::Disconnect: return "disconnect";
        case ChangeKind::Reconnect: return "reconnect";
        case ChangeKind::State: return "state";
        case ChangeKind::Current: return "current";
    }
    return "";
}

std::string ChangeJson(const SessionChange& change, std::int64_t timeTicks) {
    const Session& s = change.session;
    std::string out = "{\"time\": \"" + IsoUtc(timeTicks) + "\", \"server\": " + JsonString(s.server) +
                      ", \"event\": \"" + ChangeEventName(change.kind) + "\", \"id\": " + std::to_string(s.id) +
                      ", \"user\": " + JsonString(s.user) + ", \"state\": ";
    // A session logged off has no state any more: the one it had is the previous.
    out += change.kind == ChangeKind::Logoff ? std::string("null") : JsonString(ConnectStateName(s.state));
    out += ", \"previous_state\": ";
    out += change.previousState ? JsonString(ConnectStateName(*change.previousState)) : std::string("null");
    return out + "}";
}

std::u16string ChangeLine(const SessionChange& change, const std::u16string& localTime) {
    const Session& s = change.session;
    std::u16string line = localTime + u"  " + s.server + u"  " + ChangeWord(change.kind) + u"  " + DecimalU32(s.id) +
                          u"  " + s.user + u"  " + ConnectStateName(s.state);
    if (change.previousState && *change.previousState != s.state && change.kind != ChangeKind::Logoff)
        line += u" (было: " + ConnectStateName(*change.previousState) + u")";
    return line;
}

}  // namespace tarvenix
