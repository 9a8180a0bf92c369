// Changes between two listings of a server, found by session identity, and
// the lines they make.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sessions/session_changes.h"

namespace tarvenix {
namespace {

Session S(std::uint32_t id, const std::u16string& user, std::uint32_t state, std::int64_t logon = 100) {
    Session s;
    s.server = u"TS03";
    s.id = id;
    s.user = user;
    s.state = state;
    s.logonTicks = logon;
    return s;
}

std::string Events(const std::vector<SessionChange>& changes) {
    std::string out;
    for (const SessionChange& c : changes) {
        if (!out.empty()) out += ' ';
        out += ChangeEventName(c.kind) + std::string(":") + std::to_string(c.session.id);
    }
    return out;
}

TEST(SessionChanges, FoundByIdentityNotById) {
    constexpr std::uint32_t kActive = 0, kConnected = 1, kDisconnected = 4;
    struct Case {
        const char* what;
        std::vector<Session> before, after;
        std::string events;
    } cases[] = {
        {"nothing changed", {S(2, u"a", kActive)}, {S(2, u"A", kActive)}, ""},
        {"a logon", {S(2, u"a", kActive)}, {S(2, u"a", kActive), S(3, u"b", kActive)}, "logon:3"},
        {"a logoff", {S(2, u"a", kActive), S(3, u"b", kActive)}, {S(3, u"b", kActive)}, "logoff:2"},
        {"a disconnect", {S(2, u"a", kActive)}, {S(2, u"a", kDisconnected)}, "disconnect:2"},
        {"a reconnect", {S(2, u"a", kDisconnected)}, {S(2, u"a", kActive)}, "reconnect:2"},
        {"another state", {S(2, u"a", kConnected)}, {S(2, u"a", kActive)}, "state:2"},
        {"the ID given to another user", {S(2, u"a", kActive)}, {S(2, u"b", kActive)}, "logoff:2 logon:2"},
        {"the same user logged on again", {S(2, u"a", kActive, 100)}, {S(2, u"a", kActive, 200)},
         "logoff:2 logon:2"},
        {"logoffs first, then in the new order", {S(5, u"e", kActive), S(2, u"a", kActive)},
         {S(7, u"g", kActive), S(2, u"a", kDisconnected)}, "logoff:5 logon:7 disconnect:2"},
    };
    for (const Case& c : cases) EXPECT_EQ(Events(CompareListings(c.before, c.after)), c.events) << c.what;
}

TEST(SessionChanges, JsonLineCarriesTheStatesBeforeAndAfter) {
    const Session before = S(5, u"иванов", 0);
    Session after = before;
    after.state = 4;
    const auto changes = CompareListings({before}, {after});
    ASSERT_EQ(changes.size(), 1u);
    // 2026-12-11T10:00:00Z in FILETIME ticks.
    const std::int64_t when = 134414568000000000;
    EXPECT_EQ(ChangeJson(changes[0], when),
              "{\"time\": \"2026-12-11T10:00:00Z\", \"server\": \"TS03\", \"event\": \"disconnect\", \"id\": 5, "
              "\"user\": \"иванов\", \"state\": \"Disconnected\", \"previous_state\": \"Active\"}");
    const auto logoff = CompareListings({before}, {});
    EXPECT_NE(ChangeJson(logoff[0], when).find("\"state\": null, \"previous_state\": \"Active\""), std::string::npos);
    EXPECT_NE(ChangeJson({ChangeKind::Current, before, std::nullopt}, when).find("\"event\": \"current\""),
              std::string::npos);
    const auto logon = CompareListings({}, {before});
    EXPECT_NE(ChangeJson(logon[0], when).find("\"state\": \"Active\", \"previous_state\": null"), std::string::npos);
    EXPECT_EQ(ChangeLine(changes[0], u"2026-12-11 13:00:00"),
              u"2026-12-11 13:00:00  TS03  отключение  5  иванов  Disconnected (было: Active)");
}

}  // namespace
}  // namespace tarvenix
