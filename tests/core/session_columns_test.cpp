// The column table that every listing reads: complete and in field order,
// where the window lists each column, and how columns order.
#include "sessions/session_columns.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tarvenix {
namespace {

TEST(SessionColumns, TheTableHasEveryFieldOnceInOrderWithItsCellAndAKeyOfItsOwn) {
    const auto& table = SessionColumnTable();
    ASSERT_EQ(table.size(), static_cast<std::size_t>(kSessionFieldCount));
    std::set<std::string> keys;
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(table[i].field), i) << "row " << i << " out of field order";
        EXPECT_NE(table[i].cell, nullptr) << "row " << i;
        EXPECT_TRUE(keys.insert(table[i].jsonKey).second) << table[i].jsonKey << " twice";
        EXPECT_EQ(table[i].added, i >= 6) << "the list's own six first, the added columns after";
    }
}

TEST(SessionColumns, TheServerColumnIsListedInTheFarmViewOnlyRightAfterTheSix) {
    using F = SessionField;
    EXPECT_EQ(ListedFields(false), (std::vector<F>{F::Id, F::User, F::ClientName, F::Address, F::State, F::WinStation,
                                                   F::Idle, F::Logon}));
    EXPECT_EQ(ListedFields(true), (std::vector<F>{F::Id, F::User, F::ClientName, F::Address, F::State, F::WinStation,
                                                  F::Server, F::Idle, F::Logon}));
}

TEST(SessionColumns, IdsOrderAsTextAndUnknownTimesComeLastBothWays) {
    Session a, b;
    a.id = 10;
    b.id = 9;
    EXPECT_LT(CompareSessions(SessionField::Id, a, b, false), 0) << "\"10\" before \"9\"";
    a.idleTicks = 5;
    b.idleTicks.reset();
    EXPECT_LT(CompareSessions(SessionField::Idle, a, b, false), 0);
    EXPECT_LT(CompareSessions(SessionField::Idle, a, b, true), 0) << "unknown last descending too";
    a.user = u"b";
    b.user = u"a";
    EXPECT_GT(CompareSessions(SessionField::User, a, b, false), 0);
    EXPECT_LT(CompareSessions(SessionField::User, a, b, true), 0);
}

}  // namespace
}  // namespace tarvenix
