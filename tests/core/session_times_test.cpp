#include "sessions/session_times.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/text.h"

namespace tarvenix {
namespace {

constexpr std::int64_t kSecond = 10'000'000;
constexpr std::int64_t kMinute = 60 * kSecond;
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kDay = 24 * kHour;
// 2024-01-01 00:00 UTC as a FILETIME.
constexpr std::int64_t kNow = 133'485'408'000'000'000;

TEST(SessionTimes, IdleTextOfDurations) {
    const struct { std::int64_t ticks; const char* text; } cases[] = {
        {0, "."},
        {1, "."},
        {30 * kSecond, "."},
        {59 * kSecond, "."},
        {kMinute - 1, "."},
        {kMinute, "1"},
        {kMinute + 59 * kSecond, "1"},            // truncated, not rounded
        {5 * kMinute, "5"},
        {59 * kMinute + 59 * kSecond, "59"},
        {kHour, "1:00"},
        {kHour + 5 * kMinute, "1:05"},
        {10 * kHour + 30 * kMinute, "10:30"},
        {23 * kHour + 59 * kMinute + 59 * kSecond, "23:59"},
        {kDay, "1+00:00"},
        {kDay + 9 * kMinute, "1+00:09"},
        {2 * kDay + 3 * kHour + 10 * kMinute, "2+03:10"},
        {2 * kDay + 23 * kHour + 59 * kMinute + 59 * kSecond, "2+23:59"},
        {400 * kDay + 13 * kHour + 7 * kMinute, "400+13:07"},
        {-kHour, "."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(IdleText(c.ticks)), c.text) << c.ticks;
    }
    EXPECT_EQ(IdleText(std::nullopt), u".");
}

TEST(SessionTimes, IdleTicksPicksTheTimeByState) {
    const struct {
        const char* name;
        SessionTimes times;
        std::uint32_t state;
        std::optional<std::int64_t> idle;
    } cases[] = {
        {"active: since last input", {kNow - 5 * kMinute, kNow - kDay, kNow - 2 * kDay, kNow}, 0, 5 * kMinute},
        {"connected: since last input", {kNow - kHour, 0, kNow - kDay, kNow}, 1, kHour},
        {"shadow: since last input", {kNow - 7, kNow - 9, 0, kNow}, 3, 7},
        {"disconnected: since the disconnect, though input is newer",
         {kNow - kMinute, kNow - 3 * kHour, kNow - kDay, kNow}, kStateDisconnected, 3 * kHour},
        {"disconnected: since the disconnect, input older", {kNow - kDay, kNow - kHour, kNow - 2 * kDay, kNow},
         kStateDisconnected, kHour},
        {"no current time", {kNow - kMinute, kNow - kHour, kNow - kDay, 0}, 0, std::nullopt},
        {"no current time, disconnected", {kNow - kMinute, kNow - kHour, kNow - kDay, 0}, kStateDisconnected,
         std::nullopt},
        {"no last input", {0, kNow - kHour, kNow - kDay, kNow}, 0, std::nullopt},
        {"no disconnect time of a disconnected session", {kNow - kMinute, 0, kNow - kDay, kNow}, kStateDisconnected,
         std::nullopt},
        {"no disconnect time, active session", {kNow - kMinute, 0, kNow - kDay, kNow}, 0, kMinute},
        {"no logon time does not matter", {kNow - kMinute, 0, 0, kNow}, 0, kMinute},
        {"negative time is no time", {-kMinute, 0, 0, kNow}, 0, std::nullopt},
        {"input after the current time", {kNow + 10 * kSecond, 0, 0, kNow}, 0, 0},
        {"disconnect after the current time", {kNow - kHour, kNow + kDay, 0, kNow}, kStateDisconnected, 0},
        {"input exactly now", {kNow, 0, 0, kNow}, 0, 0},
        {"since the first tick", {1, 0, 0, kNow}, 0, kNow - 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IdleTicks(c.times, c.state), c.idle) << c.name;
    }
}

TEST(SessionTimes, IdleTextOfServerTimes) {
    // The two steps as the list uses them.
    const struct { SessionTimes times; std::uint32_t state; const char* text; } cases[] = {
        {{kNow - 2 * kDay - 3 * kHour - 10 * kMinute - 30 * kSecond, 0, 0, kNow}, 0, "2+03:10"},
        {{kNow - kMinute, kNow - kHour - 5 * kMinute, 0, kNow}, kStateDisconnected, "1:05"},
        {{kNow + kHour, 0, 0, kNow}, 0, "."},   // skew: no huge or negative idle
        {{kNow - kHour, 0, 0, 0}, 0, "."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(IdleText(IdleTicks(c.times, c.state))), c.text);
    }
}

TEST(SessionTimes, LogonTicksIsMissingWhenZero) {
    EXPECT_EQ(LogonTicks({0, 0, kNow - kDay, kNow}), kNow - kDay);
    EXPECT_EQ(LogonTicks({kNow, kNow, 0, kNow}), std::nullopt);
}

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(SessionTimes, CompareTimesPutsMissingTimesLast) {
    using T = std::optional<std::int64_t>;
    const struct { T a; T b; int ascending; int descending; } cases[] = {
        {1, 2, -1, 1},
        {2, 1, 1, -1},
        {5, 5, 0, 0},
        {0, kNow, -1, 1},
        {std::nullopt, 1, 1, 1},   // missing after a known time both ways
        {1, std::nullopt, -1, -1},
        {std::nullopt, 0, 1, 1},
        {std::nullopt, std::nullopt, 0, 0},
        {INT64_MIN, INT64_MAX, -1, 1},  // no overflow of a difference
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Sign(CompareTimes(c.a, c.b, false)), c.ascending)
            << c.a.value_or(-1) << " vs " << c.b.value_or(-1) << " ascending";
        EXPECT_EQ(Sign(CompareTimes(c.a, c.b, true)), c.descending)
            << c.a.value_or(-1) << " vs " << c.b.value_or(-1) << " descending";
    }
}

TEST(SessionTimes, SortingByIdleBothWays) {
    using T = std::optional<std::int64_t>;
    std::vector<T> times = {3 * kMinute, std::nullopt, kHour, 0, std::nullopt, kMinute};
    const auto sorted = [&](bool descending) {
        std::vector<T> v = times;
        std::stable_sort(v.begin(), v.end(), [&](T a, T b) { return CompareTimes(a, b, descending) < 0; });
        return v;
    };
    EXPECT_EQ(sorted(false), (std::vector<T>{0, kMinute, 3 * kMinute, kHour, std::nullopt, std::nullopt}));
    EXPECT_EQ(sorted(true), (std::vector<T>{kHour, 3 * kMinute, kMinute, 0, std::nullopt, std::nullopt}));
}

}  // namespace
}  // namespace tarvenix
