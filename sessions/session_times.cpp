#include "sessions/session_times.h"

#include "base/text.h"

namespace tarvenix {

namespace {

std::optional<std::int64_t> Known(FileTimeTicks ticks) {
    if (ticks <= 0) return std::nullopt;
    return ticks;
}

std::u16string Decimal(std::int64_t value) {
    return Ascii(std::to_string(value));
}

std::u16string TwoDigits(std::int64_t value) {
    std::u16string text = Decimal(value);
    if (text.size() < 2) text.insert(text.begin(), u'0');
    return text;
}

}  // namespace

std::optional<std::int64_t> IdleTicks(const SessionTimes& times, std::uint32_t state) {
    const auto now = Known(times.currentTime);
    const auto since = Known(state == kStateDisconnected ? times.disconnectTime : times.lastInputTime);
    if (!now || !since) return std::nullopt;
    // Both are positive, so the difference cannot overflow.
    return *since > *now ? 0 : *now - *since;
}

std::optional<std::int64_t> LogonTicks(const SessionTimes& times) {
    return Known(times.logonTime);
}

std::u16string IdleText(std::optional<std::int64_t> ticks) {
    if (!ticks || *ticks < kTicksPerMinute) return u".";
    const std::int64_t totalMinutes = *ticks / kTicksPerMinute;
    const std::int64_t minutes = totalMinutes % 60;
    const std::int64_t totalHours = totalMinutes / 60;
    if (totalHours == 0) return Decimal(minutes);
    const std::int64_t hours = totalHours % 24;
    const std::int64_t days = totalHours / 24;
    if (days == 0) return Decimal(hours) + u":" + TwoDigits(minutes);
    return Decimal(days) + u"+" + TwoDigits(hours) + u":" + TwoDigits(minutes);
}

int CompareTimes(std::optional<std::int64_t> a, std::optional<std::int64_t> b, bool descending) {
    if (!a || !b) return static_cast<int>(!a) - static_cast<int>(!b);
    const int ascending = (*a > *b) - (*a < *b);
    return descending ? -ascending : ascending;
}

}  // namespace tarvenix
