#include "base/settings_options.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/text.h"

namespace tarvenix {
namespace {

TEST(SettingsOptions, NumbersAreWholeDecimalsAndAnythingElseIsNone) {
    const struct { const char16_t* text; std::optional<int> number; } cases[] = {
        {u"45", 45},
        {u"0", 0},
        {u"  15\t", 15},
        {u"+30", 30},
        {u"-5", -5},
        {u"-0", 0},
        {u"007", 7},
        {u"2147483647", INT_MAX},
        {u"2147483648", INT_MAX},
        {u"99999999999999999999999", INT_MAX},
        {u"-2147483648", INT_MIN},
        {u"-99999999999999999999999", INT_MIN},
        {u"", std::nullopt},
        {u"   ", std::nullopt},
        {u"-", std::nullopt},
        {u"+", std::nullopt},
        {u"abc", std::nullopt},
        {u"12abc", std::nullopt},
        {u"1 2", std::nullopt},
        {u"15 с", std::nullopt},
        {u"1.5", std::nullopt},
        {u"0x10", std::nullopt},
        {u"--5", std::nullopt},
        {u"\uFF11\uFF15", std::nullopt},  // full-width digits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseOptionNumber(c.text), c.number) << Utf16ToUtf8(c.text);
    }
}

TEST(SettingsOptions, EachOptionTakesTheNearestLimitOrItsDefault) {
    const struct { const char* option; OptionLimits limits; const char16_t* text; int value; } cases[] = {
        {"parallel sessions", kParallelSessionsLimits, u"32", 32},
        {"parallel sessions", kParallelSessionsLimits, u"0", 1},
        {"parallel sessions", kParallelSessionsLimits, u"-3", 1},
        {"parallel sessions", kParallelSessionsLimits, u"65", 64},
        {"parallel sessions", kParallelSessionsLimits, u"many", 16},
        {"parallel sessions", kParallelSessionsLimits, u"", 16},
        {"parallel calls", kParallelCallsLimits, u"1000", 64},
        {"parallel calls", kParallelCallsLimits, u"x", 8},
        {"parallel servers", kParallelServersLimits, u"99999999999", 64},
        {"parallel servers", kParallelServersLimits, u"1", 1},
        {"parallel servers", kParallelServersLimits, u"8 servers", 8},
        {"timeout seconds", kTimeoutSecondsLimits, u"900", 600},
        {"timeout seconds", kTimeoutSecondsLimits, u"0", 1},
        {"timeout seconds", kTimeoutSecondsLimits, u"600", 600},
        {"timeout seconds", kTimeoutSecondsLimits, u"15s", 15},
        {"all servers", kAllServersLimits, u"1", 1},
        {"all servers", kAllServersLimits, u"2", 1},
        {"all servers", kAllServersLimits, u"-1", 0},
        {"all servers", kAllServersLimits, u"yes", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OptionValue(c.text, c.limits), c.value) << c.option << "=" << Utf16ToUtf8(c.text);
    }
}

TEST(SettingsOptions, RefreshKeepsAnyPeriodInItsRange) {
    const struct { int seconds; int period; } cases[] = {
        {0, 0},   {15, 15},   {45, 45},   {90, 90},   {300, 300}, {301, 300},
        {900, 300}, {1, 15},  {14, 15},   {-5, 0},    {INT_MAX, 300}, {INT_MIN, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClampRefreshSeconds(c.seconds), c.period) << c.seconds;
    }
}

TEST(SettingsOptions, ChooserShowsARememberedPeriodOfItsOwn) {
    using Items = std::vector<std::pair<int, std::u16string>>;
    const Items fixed = {{0, u"выкл."}, {15, u"15 с"}, {30, u"30 с"}, {60, u"60 с"}, {300, u"5 мин"}};
    const struct { int remembered; Items items; int selected; } cases[] = {
        {0, fixed, 0},
        {15, fixed, 1},
        {60, fixed, 3},
        {300, fixed, 4},
        {45, {{0, u"выкл."}, {15, u"15 с"}, {30, u"30 с"}, {45, u"45 с"}, {60, u"60 с"}, {300, u"5 мин"}}, 3},
        {20, {{0, u"выкл."}, {15, u"15 с"}, {20, u"20 с"}, {30, u"30 с"}, {60, u"60 с"}, {300, u"5 мин"}}, 2},
        {90, {{0, u"выкл."}, {15, u"15 с"}, {30, u"30 с"}, {60, u"60 с"}, {90, u"90 с"}, {300, u"5 мин"}}, 4},
        {120, {{0, u"выкл."}, {15, u"15 с"}, {30, u"30 с"}, {60, u"60 с"}, {120, u"2 мин"}, {300, u"5 мин"}}, 4},
        // Out of range: the chooser gets the period the refresh will use.
        {5, fixed, 1},
        {900, fixed, 4},
        {-1, fixed, 0},
    };
    for (const auto& c : cases) {
        const RefreshChoices choices = RefreshChoicesFor(c.remembered);
        Items items;
        for (const RefreshChoice& item : choices.items) items.emplace_back(item.seconds, item.text);
        EXPECT_EQ(items, c.items) << c.remembered;
        EXPECT_EQ(choices.selected, c.selected) << c.remembered;
    }
}

TEST(SettingsOptions, FarmSessionQueriesAreCapped) {
    const struct { int sessions, servers, inFlight; } cases[] = {
        {16, 8, 128}, {16, 16, 256}, {32, 8, 256}, {64, 64, kFarmSessionQueryCap}, {1, 1, 1}, {64, 1, 64}, {0, 0, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FarmParallelSessions(c.sessions, c.servers), c.inFlight) << c.sessions << " x " << c.servers;
    }
}

}  // namespace
}  // namespace tarvenix
