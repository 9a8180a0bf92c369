#include "base/list_ordering.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tarvenix {
namespace {

int Sign(std::int32_t v) { return (v > 0) - (v < 0); }

TEST(CompareRowText, FoldsAsciiOnlyAndComparesByCodeUnit) {
    const struct { const char16_t* a; const char16_t* b; int sign; } cases[] = {
        {u"anna", u"ANNA", 0},
        {u"anna", u"ANNA2", -1},
        {u"ANNA2", u"Boris", -1},
        {u"10", u"2", -1},          // numbers as text
        {u"2", u"9", -1},
        {u"Анна", u"борис", -1},    // capital Cyrillic before small
        {u"анна", u"Анна", 1},      // no folding outside ASCII
        {u"Борис", u"анна", -1},
        {u"", u"a", -1},
        {u"Idle", u"Idle2", -1},    // prefix first
        {u"a_b", u"aAb", 1},        // '_' (95) against folded 'A' (65)
        {u"[", u"a", 1},            // '[' 91 > 'A' 65 after folding
        {u"ё", u"е", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Sign(CompareRowText(c.a, c.b)), c.sign) << Utf16ToUtf8(c.a) << " vs " << Utf16ToUtf8(c.b);
        EXPECT_EQ(Sign(CompareRowText(c.b, c.a)), -c.sign) << Utf16ToUtf8(c.b) << " vs " << Utf16ToUtf8(c.a);
    }
    EXPECT_EQ(CompareRowText(u"b", u"a"), 1);  // the difference of the folded code units
    EXPECT_EQ(CompareRowText(u"abc", u"a"), 2);  // the difference of the lengths
}

TEST(OrderingState, ClicksInvertOrMoveTheColumn) {
    OrderingState s;  // as the main window starts: column 0, ascending
    s.ColumnClicked(0);
    EXPECT_EQ(s.sortedColumn, 0);
    EXPECT_TRUE(s.descending);  // first click on the first column orders descending
    s.ColumnClicked(2);
    EXPECT_EQ(s.sortedColumn, 2);
    EXPECT_FALSE(s.descending);
    s.ColumnClicked(2);
    EXPECT_TRUE(s.descending);
    s.ColumnClicked(2);
    EXPECT_FALSE(s.descending);
    s.sortedColumn = -1;  // after Get data
    s.descending = true;
    s.ColumnClicked(3);
    EXPECT_EQ(s.sortedColumn, 3);
    EXPECT_FALSE(s.descending);
}

std::vector<std::u16string> Column(const ReportRows& rows, int column) {
    std::vector<std::u16string> out;
    for (std::size_t i = 0; i < rows.Size(); ++i) out.push_back(rows.Text(i, column));
    return out;
}

class ReportRowsTest : public ::testing::Test {
protected:
    OrderingState state;
    ReportRows rows{[this](const ReportRows::Row& a, const ReportRows::Row& b) { return CompareRowsBy(state, a, b); }};
    void Click(int column) {
        rows.SetMode(SortType::None);
        state.ColumnClicked(column);
        rows.SetMode(SortType::Text);
    }
};

TEST_F(ReportRowsTest, IdsOrderAsTextAndClicksAlternate) {
    state.sortedColumn = -1;
    for (const char16_t* id : {u"2", u"10", u"9"}) rows.Append({id, u"user"});
    EXPECT_EQ(Column(rows, 0), (std::vector<std::u16string>{u"2", u"10", u"9"}));
    Click(0);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::u16string>{u"10", u"2", u"9"}));
    Click(0);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::u16string>{u"9", u"2", u"10"}));
    Click(0);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::u16string>{u"10", u"2", u"9"}));
}

TEST_F(ReportRowsTest, EmptyCellsFirstAscendingLastDescending) {
    state.sortedColumn = -1;
    rows.Append({u"1", u"b"});
    rows.Append({u"2", u""});
    rows.Append({u"3", u"a"});
    Click(1);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::u16string>{u"2", u"3", u"1"}));
    Click(1);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::u16string>{u"1", u"3", u"2"}));
}

TEST_F(ReportRowsTest, AppendingInTextModeKeepsOrderWithoutOrderingColumn) {
    Click(1);
    ASSERT_EQ(rows.Mode(), SortType::Text);
    state.sortedColumn = -1;  // Get data
    rows.Clear();
    for (const char16_t* u : {u"c", u"a", u"b"}) rows.Append({u"1", u});
    EXPECT_EQ(Column(rows, 1), (std::vector<std::u16string>{u"c", u"a", u"b"}));
}

TEST_F(ReportRowsTest, AppendingAllAtOnceGivesTheOrderOfAppendingOneByOne) {
    // Equal texts, rows without a caption (they re-order nothing) at the
    // start, in the middle and at the end, in both directions.
    const std::vector<ReportRows::Row> batch = {{u"", u"m"}, {u"4", u"b"}, {u"2", u"a"}, {u"", u"a"}, {u"7", u"b"},
                                                {u"1", u"c"}, {u"", u"0"}, {u"", u"z"}};
    for (const bool descending : {false, true}) {
        SCOPED_TRACE(descending);
        std::vector<std::vector<std::u16string>> expected;
        for (const bool atOnce : {false, true}) {
            rows.Clear();
            rows.SetMode(SortType::None);
            state.sortedColumn = 1;
            state.descending = descending;
            rows.Append({u"5", u"b"});
            rows.SetMode(SortType::Text);
            if (atOnce) {
                rows.AppendAll(batch);
            } else {
                for (const ReportRows::Row& row : batch) rows.Append(row);
            }
            std::vector<std::u16string> ids = Column(rows, 0), users = Column(rows, 1);
            if (!atOnce) {
                expected = {ids, users};
            } else {
                EXPECT_EQ(ids, expected[0]);
                EXPECT_EQ(users, expected[1]);
            }
        }
        EXPECT_EQ(expected[1].back(), u"z") << "rows after the last caption stay where they came";
    }
}

TEST_F(ReportRowsTest, CaptionChangeReordersOnlyInTextMode) {
    rows.Append({u"5", u"x"});
    rows.Append({u"7", u"y"});
    state.sortedColumn = 0;
    state.descending = false;
    rows.SetCaption(1, u"1");  // None mode: stays put
    EXPECT_EQ(Column(rows, 1), (std::vector<std::u16string>{u"x", u"y"}));
    rows.SetMode(SortType::Text);
    EXPECT_EQ(Column(rows, 1), (std::vector<std::u16string>{u"y", u"x"}));
    std::vector<std::size_t> seen;
    rows.SetReorderListener([&](const std::vector<std::size_t>& order) { seen = order; });
    rows.SetCaption(0, u"9");  // "9" now after "5"
    EXPECT_EQ(Column(rows, 0), (std::vector<std::u16string>{u"5", u"9"}));
    EXPECT_EQ(seen, (std::vector<std::size_t>{1, 0}));
    seen.clear();
    rows.SetMode(SortType::Text);  // same mode: nothing happens
    rows.SetCaption(0, u"5");      // same caption: nothing happens
    EXPECT_TRUE(seen.empty());
}

}  // namespace
}  // namespace tarvenix
