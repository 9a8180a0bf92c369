#include "sessions/session_columns.h"

#include <algorithm>
#include <cstdio>

#include "base/list_ordering.h"
#include "base/text.h"
#include "sessions/session_details.h"
#include "sessions/session_queries.h"

namespace tarvenix {

namespace {

std::string Quoted(const char* key) { return std::string("\"") + key + "\": "; }

}  // namespace

const std::vector<SessionColumnSpec>& SessionColumnTable() {
    using S = const Session&;
    static const std::vector<SessionColumnSpec> kTable = {
        {SessionField::Id, u"ID", {0, 30, 30, true}, false, "id", ListedIn::Always,
         [](S s) { return DecimalU32(s.id); }, nullptr,  // IDs order as text: 10, 2, 9
         [](const char* key, S s) { return Quoted(key) + std::to_string(s.id); }},
        {SessionField::User, u"Учетная запись", {0, 150, 150, true}, false, "user", ListedIn::Always,
         [](S s) { return s.user; }},
        {SessionField::ClientName, u"Имя компьютера", {0, 120, 120, true}, false, "client", ListedIn::Always,
         [](S s) { return s.clientName; }},
        {SessionField::Address, u"IP адрес", {100, 100, 100, false}, false, "address", ListedIn::Always,
         [](S s) { return s.address; }},
        {SessionField::State, u"Состояние сессии", {0, 100, 120, true}, false, "state", ListedIn::Always,
         [](S s) { return ConnectStateName(s.state); }},
        {SessionField::WinStation, u"Сессия", {95, 95, 95, false}, false, "winstation", ListedIn::Always,
         [](S s) { return s.winStation; }},
        {SessionField::Server, u"Сервер", {110, 0, 0, false}, true, "server", ListedIn::FarmView,
         [](S s) { return s.server; }},
        {SessionField::Idle, u"Бездействие", {80, 0, 0, false}, true, "idle", ListedIn::Always,
         [](S s) { return s.timesKnown ? IdleText(s.idleTicks) : std::u16string(); },
         [](S a, S b, bool descending) { return CompareTimes(a.idleTicks, b.idleTicks, descending); },
         [](const char* key, S s) {
             return std::string("\"idle_seconds\": ") +
                    (s.idleTicks ? std::to_string(*s.idleTicks / kTicksPerSecond) : std::string("null")) + ", " +
                    Quoted(key) + JsonString(s.timesKnown ? IdleText(s.idleTicks) : std::u16string());
         }},
        {SessionField::Logon, u"Вход", {110, 0, 0, false}, true, "logon_time", ListedIn::Always,
         [](S s) { return s.logonText; },
         [](S a, S b, bool descending) { return CompareTimes(a.logonTicks, b.logonTicks, descending); },
         [](const char* key, S s) {
             return Quoted(key) + (s.logonTicks ? "\"" + IsoUtc(*s.logonTicks) + "\"" : std::string("null"));
         }},
        {SessionField::ClientBuild, u"Сборка клиента", {90, 0, 0, false}, true, "client_build", ListedIn::Chosen,
         [](S s) { return s.clientBuild ? DecimalU32(*s.clientBuild) : std::u16string(); },
         [](S a, S b, bool descending) {
             return CompareTimes(a.clientBuild ? std::optional<std::int64_t>(*a.clientBuild) : std::nullopt,
                                 b.clientBuild ? std::optional<std::int64_t>(*b.clientBuild) : std::nullopt, descending);
         }},
        {SessionField::ClientDisplay, u"Экран клиента", {120, 0, 0, false}, true, "client_display", ListedIn::Chosen,
         [](S s) { return DisplayText(s.clientDisplay); }},
        {SessionField::Protocol, u"Протокол", {70, 0, 0, false}, true, "protocol", ListedIn::Chosen,
         [](S s) { return ProtocolText(s.protocol); }},
    };
    return kTable;
}

const SessionColumnSpec& ColumnOf(SessionField field) { return SessionColumnTable()[static_cast<std::size_t>(field)]; }

std::vector<SessionField> ListedFields(bool farm, const std::vector<SessionField>& chosen) {
    std::vector<SessionField> fields;
    for (const SessionColumnSpec& column : SessionColumnTable()) {
        const bool listed = column.listed == ListedIn::Always || (column.listed == ListedIn::FarmView && farm) ||
                            (column.listed == ListedIn::Chosen &&
                             std::find(chosen.begin(), chosen.end(), column.field) != chosen.end());
        if (listed) fields.push_back(column.field);
    }
    return fields;
}

std::vector<SessionField> ChoosableFields() {
    std::vector<SessionField> fields;
    for (const SessionColumnSpec& column : SessionColumnTable())
        if (column.listed == ListedIn::Chosen) fields.push_back(column.field);
    return fields;
}

std::u16string CellText(SessionField field, const Session& session) { return ColumnOf(field).cell(session); }

std::int32_t CompareSessions(SessionField field, const Session& a, const Session& b, bool descending) {
    const SessionColumnSpec& column = ColumnOf(field);
    if (column.compare) return column.compare(a, b, descending);
    return CompareRowTextBy(column.cell(a), column.cell(b), descending);
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
    char buf[96];  // room for any year the arithmetic can give
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

namespace {

std::string JsonMember(SessionField field, const Session& s) {
    const SessionColumnSpec& column = ColumnOf(field);
    if (column.json) return column.json(column.jsonKey, s);
    return Quoted(column.jsonKey) + JsonString(column.cell(s));
}

}  // namespace

std::string SessionJson(const Session& session) {
    std::string out = "{" + JsonMember(SessionField::Server, session);
    for (const SessionColumnSpec& column : SessionColumnTable())
        if (column.field != SessionField::Server && column.listed != ListedIn::Chosen)
            out += ", " + JsonMember(column.field, session);
    return out + "}";
}

}  // namespace tarvenix
