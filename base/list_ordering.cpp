#include "base/list_ordering.h"

#include <algorithm>
#include <numeric>

namespace tarvenix {

std::int32_t CompareRowText(std::u16string_view s1, std::u16string_view s2) {
    const auto fold = [](char16_t c) -> std::int32_t { return (c >= u'a' && c <= u'z') ? c - 32 : c; };
    const std::size_t n = std::min(s1.size(), s2.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t a = fold(s1[i]);
        const std::int32_t b = fold(s2[i]);
        if (a != b) return a - b;
    }
    return static_cast<std::int32_t>(s1.size()) - static_cast<std::int32_t>(s2.size());
}

void OrderingState::ColumnClicked(std::int32_t column) {
    if (column == sortedColumn) {
        descending = !descending;
    } else {
        sortedColumn = column;
        descending = false;
    }
}

std::int32_t CompareRowsBy(const OrderingState& state, const ReportRows::Row& a, const ReportRows::Row& b) {
    if (state.sortedColumn < 0) return 0;
    static const std::u16string kEmpty;
    const auto text = [&](const ReportRows::Row& r) -> const std::u16string& {
        const auto k = static_cast<std::size_t>(state.sortedColumn);
        return k < r.size() ? r[k] : kEmpty;
    };
    std::int32_t result = CompareRowText(text(a), text(b));
    if (state.descending) result = -result;
    return result;
}

const std::u16string& ReportRows::Text(std::size_t index, int column) const {
    static const std::u16string kEmpty;
    const Row& r = rows_[index];
    return column >= 0 && static_cast<std::size_t>(column) < r.size() ? r[static_cast<std::size_t>(column)] : kEmpty;
}

void ReportRows::Append(Row row) {
    const bool captionChanges = !row.empty() && !row[0].empty();
    rows_.push_back(std::move(row));
    if (captionChanges && mode_ == SortType::Text) Reorder();
}

void ReportRows::AppendAll(std::vector<Row> rows) {
    // One by one, each row with a caption re-orders all rows so far: the
    // rows up to the last captioned one end up in one stable order, the rest
    // after them as they came.
    std::size_t lastCaptioned = rows.size();
    for (std::size_t i = rows.size(); i-- > 0;) {
        if (!rows[i].empty() && !rows[i][0].empty()) {
            lastCaptioned = i;
            break;
        }
    }
    rows_.reserve(rows_.size() + rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows_.push_back(std::move(rows[i]));
        if (i == lastCaptioned && mode_ == SortType::Text) Reorder();
    }
}

void ReportRows::RemoveIf(const std::function<bool(const Row&)>& remove) {
    rows_.erase(std::remove_if(rows_.begin(), rows_.end(), remove), rows_.end());
}

void ReportRows::SetCaption(std::size_t index, std::u16string caption) {
    if (rows_[index].empty()) rows_[index].emplace_back();
    if (rows_[index][0] == caption) return;
    rows_[index][0] = std::move(caption);
    if (mode_ == SortType::Text) Reorder();
}

void ReportRows::SetMode(SortType mode) {
    if (mode == mode_) return;
    mode_ = mode;
    if (mode_ == SortType::Text) Reorder();
}

void ReportRows::Reorder() {
    std::vector<std::size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return compare_(rows_[a], rows_[b]) < 0; });
    bool moved = false;
    for (std::size_t i = 0; i < order.size(); ++i) moved = moved || order[i] != i;
    if (!moved) return;
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    for (std::size_t i : order) sorted.push_back(std::move(rows_[i]));
    rows_ = std::move(sorted);
    if (listener_) listener_(order);
}

}  // namespace tarvenix
