// The idle and logon columns and the find box: idle time from any four times
// the server may send, its text read back to the same whole minutes, the
// ordering by time a consistent order, and finding whatever the case.
//
// Input: four 8-byte times and a state byte, then text for the find box (the
// first byte splits it into a text and a part to look for).
#include <cstring>

#include "base/text.h"
#include "base/text_fold.h"
#include "fuzz/fuzz_input.h"
#include "sessions/session_times.h"

using namespace tarvenix;

namespace {

std::int64_t Ticks(fuzz::Input& in) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(in.Byte()) << (8 * i);
    std::int64_t t;
    std::memcpy(&t, &v, sizeof t);
    return t;
}

int Sign(int v) { return (v > 0) - (v < 0); }

// The minutes a non-"." idle text stands for: "M", "H:MM" or "D+HH:MM".
std::int64_t MinutesOf(const std::u16string& text) {
    std::int64_t days = 0, hours = 0, minutes = 0, number = 0;
    bool sawColon = false, sawPlus = false;
    for (char16_t c : text) {
        if (c >= u'0' && c <= u'9') {
            number = number * 10 + (c - u'0');
        } else if (c == u'+') {
            FUZZ_CHECK(!sawPlus && !sawColon);
            sawPlus = true;
            days = number;
            number = 0;
        } else {
            FUZZ_CHECK(c == u':' && !sawColon);
            sawColon = true;
            hours = number;
            number = 0;
        }
    }
    FUZZ_CHECK(!sawPlus || sawColon);
    minutes = number;
    if (sawColon) FUZZ_CHECK(minutes < 60 && text.size() >= 3 && text[text.size() - 3] == u':');
    if (sawPlus) FUZZ_CHECK(hours < 24);
    return (days * 24 + hours) * 60 + minutes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    SessionTimes times;
    times.lastInputTime = Ticks(in);
    times.disconnectTime = Ticks(in);
    times.logonTime = Ticks(in);
    times.currentTime = Ticks(in);
    const std::uint32_t state = in.Byte() % 11;

    const std::optional<std::int64_t> idle = IdleTicks(times, state);
    if (idle) FUZZ_CHECK(*idle >= 0);
    const std::u16string text = IdleText(idle);
    FUZZ_CHECK(!text.empty());
    if (!idle || *idle < kTicksPerMinute) {
        FUZZ_CHECK(text == u".");
    } else {
        FUZZ_CHECK(MinutesOf(text) == *idle / kTicksPerMinute);
    }

    // Ordering by time: antisymmetric, reflexive, unknown last both ways.
    const std::optional<std::int64_t> other = LogonTicks(times);
    for (const bool descending : {false, true}) {
        FUZZ_CHECK(Sign(CompareTimes(idle, other, descending)) == -Sign(CompareTimes(other, idle, descending)));
        FUZZ_CHECK(CompareTimes(idle, idle, descending) == 0);
        if (idle) FUZZ_CHECK(CompareTimes(idle, std::nullopt, descending) < 0);
    }

    // Finding: a piece of a text is found in it whatever the case of either.
    const std::uint8_t cut = in.Byte();
    const std::u16string units = fuzz::Units(in.Rest());
    const std::size_t start = units.empty() ? 0 : cut % (units.size() + 1);
    const std::u16string piece = units.substr(start, cut / 16);
    FUZZ_CHECK(ContainsFolded(units, FoldCase(piece)));
    FUZZ_CHECK(ContainsFolded(FoldCase(units), FoldCase(piece)));
    for (char16_t c : units) FUZZ_CHECK(FoldLetter(FoldLetter(c)) == FoldLetter(c));
    return 0;
}
