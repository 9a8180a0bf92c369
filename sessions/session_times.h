// The times a server reports for a session (the idle and logon columns):
// how long a session has been idle, its text in the list, and the ordering of
// sessions by a time. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarvenix {

// A FILETIME as the server gives it: UTC in 100-ns ticks since 1601-01-01.
// 0 means the server did not report the time.
using FileTimeTicks = std::int64_t;

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerMinute = 60 * kTicksPerSecond;

// Connection state of a disconnected session (WTSDisconnected).
constexpr std::uint32_t kStateDisconnected = 4;

// The four times of the session information (WTSINFOW), all on the server's clock.
struct SessionTimes {
    FileTimeTicks lastInputTime = 0;
    FileTimeTicks disconnectTime = 0;
    FileTimeTicks logonTime = 0;
    FileTimeTicks currentTime = 0;  // the server's clock when it answered
    FileTimeTicks connectTime = 0;  // when the client last connected
};

// How long the session has been idle: for a disconnected session since it was
// disconnected, for any other since its last input, both measured to the
// server's current time. Nothing when one of the two times is missing (a
// negative value counts as missing too: it is no time a FILETIME can hold).
// A time after the current time (clock skew) gives 0.
std::optional<std::int64_t> IdleTicks(const SessionTimes& times, std::uint32_t state);

// The logon time, or nothing when the server did not report it.
std::optional<std::int64_t> LogonTicks(const SessionTimes& times);

// Idle time as the list shows it, truncated to whole minutes: "." when unknown
// or under a minute, "5" (minutes), "1:05" (hours:minutes),
// "2+03:10" (days+hours:minutes).
std::u16string IdleText(std::optional<std::int64_t> ticks);

// Ordering by a time: negative, 0 or positive as a goes before, with or after
// b. Known times order ascending, or descending when asked; a missing time
// goes after every known one in both directions, and two missing times are equal.
int CompareTimes(std::optional<std::int64_t> a, std::optional<std::int64_t> b, bool descending);

}  // namespace tarvenix
