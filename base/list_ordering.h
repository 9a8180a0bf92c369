// Ordering of the report lists: the text comparison, the shared ordering state
// of both lists, and the row model behind a list with its automatic-ordering mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvenix {

// Ordinal comparison of UTF-16 code units, ASCII letters folded to capitals;
// no locale, so numbers order as text. Negative, 0 or positive.
std::int32_t CompareRowText(std::u16string_view s1, std::u16string_view s2);
// The same, reversed when descending.
inline std::int32_t CompareRowTextBy(std::u16string_view s1, std::u16string_view s2, bool descending) {
    const std::int32_t result = CompareRowText(s1, s2);
    return descending ? -result : result;
}

// The one ordering state shared by the session and the process list.
struct OrderingState {
    std::int32_t sortedColumn = 0;  // -1: no ordering column
    bool descending = false;

    // A click on column k: same column inverts the direction, another column
    // becomes the ordering column, ascending.
    void ColumnClicked(std::int32_t column);
};

// Automatic ordering mode of a list.
enum class SortType { None, Text };

// The rows of one report list (texts by column number, 0 = caption) with the
// list's automatic-ordering mode. In Text mode the rows are re-ordered when the
// mode is switched on and whenever a row's caption changes.
class ReportRows {
public:
    // A row's texts (caption first), and which item of the list's owner it
    // shows: a list over typed items keeps the item's index here, so that
    // ordering and commands read the item, never the texts back.
    struct Row : std::vector<std::u16string> {
        using std::vector<std::u16string>::vector;
        Row() = default;
        Row(std::vector<std::u16string> cells, std::size_t itemIndex = 0)
            : std::vector<std::u16string>(std::move(cells)), item(itemIndex) {}
        std::size_t item = 0;
    };
    using Compare = std::function<std::int32_t(const Row&, const Row&)>;
    // Called after every re-order with the permutation: order[new] = old index.
    using ReorderListener = std::function<void(const std::vector<std::size_t>& order)>;

    explicit ReportRows(Compare compare) : compare_(std::move(compare)) {}

    void SetReorderListener(ReorderListener listener) { listener_ = std::move(listener); }

    std::size_t Size() const { return rows_.size(); }
    const Row& At(std::size_t index) const { return rows_[index]; }
    const std::u16string& Text(std::size_t index, int column) const;

    void Clear() { rows_.clear(); }
    // Appends a row at the end: caption first, then its cells. Setting the
    // caption of the new row counts as a caption change in Text mode.
    void Append(Row row);
    // Appends the rows in order and re-orders once at the end: the same rows
    // in the same order as appending them one by one (the ordering is
    // stable), without a re-order per row.
    void AppendAll(std::vector<Row> rows);
    // Removes the rows the predicate picks; the others keep their order.
    void RemoveIf(const std::function<bool(const Row&)>& remove);
    void SetCaption(std::size_t index, std::u16string caption);

    SortType Mode() const { return mode_; }
    void SetMode(SortType mode);

    // Re-orders all rows now (stable: rows that compare equal keep their places).
    void Reorder();

private:
    Compare compare_;
    ReorderListener listener_;
    std::vector<Row> rows_;
    SortType mode_ = SortType::None;
};

// The comparison a list uses: the texts of the ordering column, negated when
// descending; every pair is equal while there is no ordering column.
std::int32_t CompareRowsBy(const OrderingState& state, const ReportRows::Row& a, const ReportRows::Row& b);

}  // namespace tarvenix
