// The command and control IDs of the main window, one range a feature, in
// one place: a feature numbers its IDs from the start of its range, and the
// compiler refuses ranges that overlap (a command would reach two features,
// or the wrong one). Portable.
#pragma once

#include <cstddef>

namespace tarvenix {

// A range of command IDs owned by one feature of a window.
struct CommandRange {
    int first = 0;
    int last = 0;
    constexpr bool Contains(int id) const { return id >= first && id <= last; }
};

namespace command_ranges {
inline constexpr CommandRange kMainWindow{100, 119};
inline constexpr CommandRange kSessionList{120, 139};
inline constexpr CommandRange kServerBox{140, 159};
inline constexpr CommandRange kLogoff{160, 169};
inline constexpr CommandRange kShadow{170, 179};
inline constexpr CommandRange kMessage{180, 189};
inline constexpr CommandRange kProcessPanel{200, 219};
inline constexpr CommandRange kSessionDetails{220, 229};  // "Сведения о сессии…", Enter on a row
inline constexpr CommandRange kCleanup{230, 239};         // "Завершить отключённые сессии…"
// The message window's own controls (its own window, kept apart all the same;
// never IDOK or IDCANCEL, which its dialog keys send).
inline constexpr CommandRange kMessageWindow{300, 319};
// The controls of the clean-up dialog and of the session details window.
inline constexpr CommandRange kCleanupWindow{320, 339};
inline constexpr CommandRange kDetailsWindow{340, 359};

inline constexpr CommandRange kAll[] = {kMainWindow,     kSessionList, kServerBox,     kLogoff,
                                        kShadow,         kMessage,     kProcessPanel,  kMessageWindow,
                                        kSessionDetails, kCleanup,     kCleanupWindow, kDetailsWindow};
}  // namespace command_ranges

// Every range is a range (first <= last) and no two share an ID.
template <std::size_t N>
constexpr bool RangesApart(const CommandRange (&ranges)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (ranges[i].first > ranges[i].last) return false;
        for (std::size_t j = i + 1; j < N; ++j)
            if (ranges[i].first <= ranges[j].last && ranges[j].first <= ranges[i].last) return false;
    }
    return true;
}
static_assert(RangesApart(command_ranges::kAll), "two features of the main window share command IDs");

// A feature's IDs, from the start of its range to the last one it uses.
constexpr bool FitsIn(CommandRange range, int lastUsed) { return range.first <= lastUsed && lastUsed <= range.last; }

}  // namespace tarvenix
