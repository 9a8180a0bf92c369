// Row ordering: the text comparison is a total order (antisymmetric and
// transitive), and re-ordering a list keeps every row, sorts it and keeps
// equal rows in their places.
//
// Input: byte 0 picks the ordering column (-1 to 2) and the direction; the
// rest is little-endian UTF-16: rows separated by U+000A, cells by U+0009.
#include "base/list_ordering.h"
#include "fuzz/fuzz_input.h"

#include <algorithm>

using namespace tarvenix;

namespace {

int Sign(std::int32_t v) { return (v > 0) - (v < 0); }

std::u16string Folded(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t selector = in.Byte();
    OrderingState state;
    state.sortedColumn = static_cast<std::int32_t>(selector % 4) - 1;
    state.descending = (selector & 4) != 0;

    std::vector<ReportRows::Row> rows;
    for (const auto& line : fuzz::Split(fuzz::Units(in.Rest()), u'\n')) rows.push_back(fuzz::Split(line, u'\t'));

    // Every pair and, on the first rows, every triple of cell texts.
    std::vector<std::u16string> texts;
    for (const auto& row : rows) texts.insert(texts.end(), row.begin(), row.end());
    const std::size_t n = std::min<std::size_t>(texts.size(), 8);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            const std::int32_t ij = CompareRowText(texts[i], texts[j]);
            FUZZ_CHECK(Sign(ij) == -Sign(CompareRowText(texts[j], texts[i])));
            FUZZ_CHECK((ij == 0) == (Folded(texts[i]) == Folded(texts[j])));
            for (std::size_t k = 0; k < n; ++k) {
                const std::int32_t jk = CompareRowText(texts[j], texts[k]);
                const std::int32_t ik = CompareRowText(texts[i], texts[k]);
                if (ij <= 0 && jk <= 0) FUZZ_CHECK(ik <= 0);
                if (ij == 0 && jk == 0) FUZZ_CHECK(ik == 0);
            }
        }
    }

    ReportRows list([&state](const ReportRows::Row& a, const ReportRows::Row& b) { return CompareRowsBy(state, a, b); });
    std::vector<std::size_t> order;
    bool reordered = false;
    list.SetReorderListener([&](const std::vector<std::size_t>& o) {
        order = o;
        reordered = true;
    });
    for (const auto& row : rows) list.Append(row);
    list.SetMode(SortType::Text);
    if (!reordered) {
        order.resize(rows.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    }
    FUZZ_CHECK(list.Size() == rows.size());
    FUZZ_CHECK(order.size() == rows.size());
    std::vector<bool> seen(rows.size(), false);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        FUZZ_CHECK(order[i] < rows.size() && !seen[order[i]]);
        seen[order[i]] = true;
        FUZZ_CHECK(list.At(i) == rows[order[i]]);
        if (i > 0) {
            const std::int32_t c = CompareRowsBy(state, list.At(i - 1), list.At(i));
            FUZZ_CHECK(c <= 0);
            if (c == 0) FUZZ_CHECK(order[i - 1] < order[i]);
        }
    }
    return 0;
}
