// Scaling of the windows' figures, which are written in pixels at 96 DPI, to
// the DPI of the monitor a window stands on.
#pragma once

#include <cstdint>

namespace tarvenix {

inline constexpr int kDefaultDpi = 96;

// A rectangle in pixels: position relative to the parent, and size.
struct Box {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Box&) const = default;
};

// value96 * dpi / 96, rounded to the nearest pixel, halves away from zero (as
// MulDiv rounds): 1 px at 96 DPI stays at least 1 px at any higher DPI.
constexpr int Scale(int value96, int dpi) {
    const std::int64_t product = static_cast<std::int64_t>(value96) * dpi;
    const std::int64_t half = kDefaultDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kDefaultDpi : -((-product + half) / kDefaultDpi));
}

// Each edge scaled on its own, so that boxes that touch at 96 DPI still touch.
constexpr Box Scale(const Box& box96, int dpi) {
    const int left = Scale(box96.left, dpi), top = Scale(box96.top, dpi);
    return {left, top, Scale(box96.left + box96.width, dpi) - left, Scale(box96.top + box96.height, dpi) - top};
}

// A value at one DPI brought to another (fixed column widths the user may
// have dragged, when the window moves to another monitor).
constexpr int Rescale(int value, int fromDpi, int toDpi) {
    if (fromDpi <= 0 || fromDpi == toDpi) return value;
    const std::int64_t product = static_cast<std::int64_t>(value) * toDpi;
    return static_cast<int>(product >= 0 ? (product + fromDpi / 2) / fromDpi : -((-product + fromDpi / 2) / fromDpi));
}

}  // namespace tarvenix
