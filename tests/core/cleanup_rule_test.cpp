#include "actions/cleanup_rule.h"

#include <gtest/gtest.h>

#include "sessions/session_times.h"

namespace tarvenix {
namespace {

Session Make(std::uint32_t state, std::optional<std::int64_t> idleSeconds, const char16_t* user = u"ivanov") {
    Session s;
    s.server = u"TS01";
    s.id = 3;
    s.user = user;
    s.state = state;
    s.timesKnown = true;
    if (idleSeconds) s.idleTicks = *idleSeconds * kTicksPerSecond;
    return s;
}

TEST(CleanupRule, MatchesSessionsDisconnectedForLongerThanTheRule) {
    const std::int64_t eightHours = 8 * 3600;
    struct Case {
        const char* what;
        Session session;
        CleanupRule rule;
        bool matches;
    };
    const Case cases[] = {
        {"disconnected for exactly the time", Make(kStateDisconnected, eightHours), {eightHours, u""}, false},
        {"a second over", Make(kStateDisconnected, eightHours + 1), {eightHours, u""}, true},
        {"a day over", Make(kStateDisconnected, eightHours + 86400), {eightHours, u""}, true},
        {"not long enough", Make(kStateDisconnected, 3600), {eightHours, u""}, false},
        {"active and idle for longer", Make(kStateActive, eightHours * 3), {eightHours, u""}, false},
        {"idle state (5) for longer", Make(5, eightHours * 3), {eightHours, u""}, false},
        {"disconnected, no disconnect time", Make(kStateDisconnected, std::nullopt), {eightHours, u""}, false},
        {"user text, any case", Make(kStateDisconnected, eightHours + 1, u"Петрова.А"), {eightHours, u"петров"}, true},
        {"user text not contained", Make(kStateDisconnected, eightHours + 1, u"ivanov"), {eightHours, u"petr"}, false},
        {"a rule of minutes", Make(kStateDisconnected, 31 * 60), {30 * 60, u""}, true},
    };
    for (const Case& c : cases) EXPECT_EQ(RuleMatches(c.rule, c.session), c.matches) << c.what;

    const std::vector<Session> sessions = {Make(kStateDisconnected, eightHours + 5, u"a"), Make(kStateActive, 99999, u"b"),
                                           Make(kStateDisconnected, 10, u"c"), Make(kStateDisconnected, 86400, u"d")};
    const std::vector<Session> matched = MatchingSessions(CleanupRule{}, sessions);
    ASSERT_EQ(matched.size(), 2u);
    EXPECT_EQ(matched[0].user, u"a");
    EXPECT_EQ(matched[1].user, u"d");
}

TEST(CleanupRule, PreviewAndDryRun) {
    Session s = Make(kStateDisconnected, 2 * 86400 + 3 * 3600 + 10 * 60, u"Петрова");
    s.domain = u"BUH";
    EXPECT_EQ(CleanupPreviewRow(s), (std::vector<std::u16string>{u"TS01", u"3", u"Петрова", u"2+03:10"}));
    EXPECT_EQ(CleanupJson(s), "{\"server\": \"TS01\", \"id\": 3, \"user\": \"Петрова\", \"domain\": \"BUH\", "
                              "\"disconnected_seconds\": 184200}");
    EXPECT_EQ(CleanupQuestion(2, 5), u"Завершить отключённые сессии: серверов 2, сессий 5?");
    EXPECT_EQ(UnitSeconds(CleanupUnit::Days), 86400);
}

}  // namespace
}  // namespace tarvenix
