// Column widths of the report lists: limits and the sharing of the list's
// width among the auto-size columns.
#pragma once

#include <vector>

#include "base/dpi.h"

namespace tarvenix {

struct ColumnSpec {
    int width = 0;     // the width of a column that is not auto-sized
    int minWidth = 0;  // 0: no minimum
    int maxWidth = 0;  // 0: no maximum
    bool autoSize = false;
};

// The widths and limits of a column given at 96 DPI, at another DPI ("no
// limit", 0, stays 0).
constexpr ColumnSpec Scale(const ColumnSpec& spec96, int dpi) {
    return {Scale(spec96.width, dpi), Scale(spec96.minWidth, dpi), Scale(spec96.maxWidth, dpi), spec96.autoSize};
}

// The width kept within the column's limits.
int ClampColumnWidth(const ColumnSpec& column, int width);

// Widths of all columns for a list whose client area is clientWidth wide:
// fixed columns keep their width; the rest of the width is shared among the
// auto-size columns (integer quotient each, the remainder to the leftmost); a
// share outside a column's limits gives that column the nearest limit and takes
// it out of the group, and the rest is shared again until nothing changes.
std::vector<int> FitColumns(const std::vector<ColumnSpec>& columns, int clientWidth);

}  // namespace tarvenix
