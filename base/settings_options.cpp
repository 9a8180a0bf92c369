#include "base/settings_options.h"

#include <algorithm>
#include <climits>

#include "base/text.h"

namespace tarvenix {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

struct FixedChoice {
    int seconds;
    const char16_t* text;
};
constexpr FixedChoice kFixedChoices[] = {{0, u"выкл."}, {15, u"15 с"}, {30, u"30 с"}, {60, u"60 с"}, {300, u"5 мин"}};

std::u16string PeriodText(int seconds) {
    if (seconds >= 60 && seconds % 60 == 0) return DecimalI32(seconds / 60) + u" мин";
    return DecimalI32(seconds) + u" с";
}

}  // namespace

std::optional<int> ParseOptionNumber(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    long long magnitude = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        // Past INT_MAX the exact size no longer matters: it is above every limit.
        magnitude = std::min<long long>(magnitude * 10 + (c - u'0'), static_cast<long long>(INT_MAX) + 1);
    }
    const long long value = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int OptionValue(std::u16string_view text, const OptionLimits& limits) {
    const std::optional<int> number = ParseOptionNumber(text);
    if (!number) return limits.fallback;
    return std::clamp(*number, limits.low, limits.high);
}

int ClampRefreshSeconds(int seconds) {
    const int period = std::clamp(seconds, kRefreshSecondsLimits.low, kRefreshSecondsLimits.high);
    return period == 0 ? 0 : std::max(period, kShortestRefreshSeconds);
}

int FarmParallelSessions(int parallelSessions, int parallelServers) {
    const long long wanted = static_cast<long long>(std::max(parallelSessions, 1)) * std::max(parallelServers, 1);
    return static_cast<int>(std::min<long long>(wanted, kFarmSessionQueryCap));
}

RefreshChoices RefreshChoicesFor(int rememberedSeconds) {
    const int remembered = ClampRefreshSeconds(rememberedSeconds);
    RefreshChoices choices;
    bool placed = false;
    for (const FixedChoice& fixed : kFixedChoices) {
        if (!placed && remembered < fixed.seconds) {
            choices.selected = static_cast<int>(choices.items.size());
            choices.items.push_back({remembered, PeriodText(remembered)});
            placed = true;
        }
        if (fixed.seconds == remembered) {
            choices.selected = static_cast<int>(choices.items.size());
            placed = true;
        }
        choices.items.push_back({fixed.seconds, fixed.text});
    }
    if (!placed) {
        choices.selected = static_cast<int>(choices.items.size());
        choices.items.push_back({remembered, PeriodText(remembered)});
    }
    return choices;
}

}  // namespace tarvenix
