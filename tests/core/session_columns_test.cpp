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

TEST(SessionColumns, ChosenColumnsComeAfterTheListedOnesAndStayOutOfTheCommandLine) {
    using F = SessionField;
    EXPECT_EQ(ChoosableFields(), (std::vector<F>{F::ClientBuild, F::ClientDisplay, F::Protocol}));
    EXPECT_EQ(ListedFields(false, {F::Protocol, F::ClientBuild}),
              (std::vector<F>{F::Id, F::User, F::ClientName, F::Address, F::State, F::WinStation, F::Idle, F::Logon,
                              F::ClientBuild, F::Protocol}));
    EXPECT_EQ(ListedFields(true, {F::Id}), ListedFields(true)) << "choosing a column of the list's own adds nothing";
    Session s;
    s.clientBuild = 9200;
    s.clientDisplay = ClientDisplay{1280, 1024, 32};
    s.protocol = 2;
    EXPECT_EQ(CellText(F::ClientBuild, s), u"9200");
    EXPECT_EQ(CellText(F::ClientDisplay, s), u"1280 x 1024, 32 бит");
    EXPECT_EQ(CellText(F::Protocol, s), u"RDP");
    EXPECT_EQ(CellText(F::ClientBuild, Session{}), u"");
    // Builds order as numbers (unknown last): 9200 before 19045.
    Session newer;
    newer.clientBuild = 19045;
    EXPECT_LT(CompareSessions(F::ClientBuild, s, newer, false), 0);
    EXPECT_EQ(SessionJson(s).find("client_build"), std::string::npos) << "the command line does not ask for them";
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
