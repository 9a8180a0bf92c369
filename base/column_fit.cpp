#include "base/column_fit.h"

namespace tarvenix {

int ClampColumnWidth(const ColumnSpec& column, int width) {
    if (column.maxWidth > 0 && width > column.maxWidth) width = column.maxWidth;
    if (column.minWidth > 0 && width < column.minWidth) width = column.minWidth;
    return width;
}

std::vector<int> FitColumns(const std::vector<ColumnSpec>& columns, int clientWidth) {
    std::vector<int> widths(columns.size(), 0);
    std::vector<std::size_t> group;
    int remaining = clientWidth;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].autoSize) {
            group.push_back(i);
        } else {
            widths[i] = ClampColumnWidth(columns[i], columns[i].width);
            remaining -= widths[i];
        }
    }
    while (!group.empty()) {
        const int count = static_cast<int>(group.size());
        // Floor division, so that a negative width to share still splits evenly.
        int share = remaining / count;
        int remainder = remaining - share * count;
        if (remainder < 0) {
            share -= 1;
            remainder += count;
        }
        std::vector<std::size_t> kept;
        bool tookOut = false;
        for (std::size_t g = 0; g < group.size(); ++g) {
            const std::size_t i = group[g];
            const int proposed = share + (g == 0 ? remainder : 0);
            const int clamped = ClampColumnWidth(columns[i], proposed);
            if (clamped != proposed) {
                widths[i] = clamped;
                remaining -= clamped;
                tookOut = true;
            } else {
                widths[i] = proposed;
                kept.push_back(i);
            }
        }
        if (!tookOut) break;
        group = std::move(kept);
    }
    return widths;
}

}  // namespace tarvenix
