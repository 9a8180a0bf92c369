// The values of settings.ini's [options] section: how a value's text is read,
// the limits of each option, the automatic refresh's choices and the bound on
// the farm view's session queries. Portable.
//
// A value is a whole number in decimal (blanks around it and a sign allowed).
// A number outside an option's limits takes the nearest limit; text that is
// not a number leaves the option at its default.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvenix {

struct OptionLimits {
    int low;
    int high;
    int fallback;  // the default, for a missing value or one that is not a number
};

inline constexpr OptionLimits kParallelSessionsLimits{1, 64, 16};
inline constexpr OptionLimits kParallelCallsLimits{1, 64, 8};
inline constexpr OptionLimits kParallelServersLimits{1, 64, 8};
inline constexpr OptionLimits kTimeoutSecondsLimits{1, 600, 15};
inline constexpr OptionLimits kAllServersLimits{0, 1, 0};
// The session list's chosen columns, one bit each: 1 client build, 2 client
// display, 4 protocol.
inline constexpr OptionLimits kClientColumnsLimits{0, 7, 0};
// The automatic refresh: 0 is off, any other value is a period of 15 to 300
// seconds (a value of 1 to 14 takes 15).
inline constexpr OptionLimits kRefreshSecondsLimits{0, 300, 0};
// Live mode: the listed servers watched for session events (1) instead of
// re-listed on the refresh timer.
inline constexpr OptionLimits kLiveLimits{0, 1, 0};
// Live mode's idle pass: the idle times asked again every so many seconds
// (0: never; a value of 1 to 14 takes 15).
inline constexpr OptionLimits kIdleSecondsLimits{0, 3600, 60};
inline constexpr int kShortestRefreshSeconds = 15;

// At most this many session queries are in flight over the whole farm, however
// many sessions per server and servers at once the options ask for (64 x 64
// would otherwise be 4,096 calls, and as many pool threads).
inline constexpr int kFarmSessionQueryCap = 256;

// The whole number the text holds, or nothing when it holds anything else.
// A number too large for an int comes back as INT_MAX (INT_MIN when negative).
std::optional<int> ParseOptionNumber(std::u16string_view text);

// The value an option takes from its text: the default when the text is not a
// number, else the number brought within the limits.
int OptionValue(std::u16string_view text, const OptionLimits& limits);

// The refresh period a number gives: within 0 to 300, and 1 to 14 taken as 15.
int ClampRefreshSeconds(int seconds);

// Session queries in flight over the farm: sessions per server times servers
// at once, at most kFarmSessionQueryCap.
int FarmParallelSessions(int parallelSessions, int parallelServers);

// The items of the refresh chooser for the remembered period: off, 15 s, 30 s,
// 60 s and 5 min, with a period that is none of them (45 s, say) as an item
// of its own in its place by length. `selected` is the remembered period's
// item.
struct RefreshChoice {
    int seconds;
    std::u16string text;  // "выкл.", "15 с", "5 мин", ...
};
// The chooser's item of live mode (not a period).
inline constexpr int kLiveChoice = -1;
struct RefreshChoices {
    std::vector<RefreshChoice> items;
    int selected = 0;
};
RefreshChoices RefreshChoicesFor(int rememberedSeconds);

}  // namespace tarvenix
