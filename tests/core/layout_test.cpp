#include <gtest/gtest.h>

#include "app/main_layout.h"
#include "base/column_fit.h"

namespace tarvenix {
namespace {

TEST(MainLayout, InitialClientAreaWithPanelHidden) {
    MainLayout l = ComputeMainLayout(720, 519, false);
    EXPECT_EQ(l.serverStrip, (Box{0, 0, 720, 80}));
    EXPECT_EQ(l.sessionPart, (Box{0, 80, 720, 411}));
    EXPECT_EQ(l.footer, (Box{0, 491, 720, 28}));
    EXPECT_EQ(l.sessionFrame, (Box{1, 1, 718, 409}));
    EXPECT_EQ(l.sessionHeader, (Box{0, 0, 718, 42}));
    EXPECT_EQ(l.sessionButtons, (Box{416, 0, 302, 42}));
    EXPECT_EQ(l.sessionList, (Box{0, 42, 718, 367}));
    EXPECT_EQ(l.footerRight, (Box{584, 0, 136, 28}));
    EXPECT_EQ(l.processPanel, Box{}) << "a hidden process panel takes no room";
}

TEST(MainLayout, ProcessPanelTakesTheRightEdgeBetweenStripAndFooter) {
    MainLayout l = ComputeMainLayout(884, 519, true);
    EXPECT_EQ(l.processPanel, (Box{608, 80, 276, 411}));
    EXPECT_EQ(l.sessionPart, (Box{0, 80, 608, 411}));
    EXPECT_EQ(l.processHeader, (Box{0, 0, 276, 43}));
    EXPECT_EQ(l.processFooter, (Box{0, 386, 276, 25}));
    EXPECT_EQ(l.processList, (Box{0, 43, 276, 343}));
}

const std::vector<ColumnSpec> kSessionColumns = {
    {0, 30, 30, true}, {0, 150, 150, true}, {0, 120, 120, true},
    {100, 100, 100, false}, {0, 100, 120, true}, {95, 95, 95, false},
};

TEST(FitColumns, SessionListOnlyStateColumnVaries) {
    const struct { int client; std::vector<int> widths; } cases[] = {
        {714, {30, 150, 120, 100, 120, 95}},   // wide: state column at its maximum
        {2000, {30, 150, 120, 100, 120, 95}},
        {600, {30, 150, 120, 100, 105, 95}},   // 600-195 = 405; 405-300 = 105
        {500, {30, 150, 120, 100, 100, 95}},   // narrow: minimums
        {0, {30, 150, 120, 100, 100, 95}},
    };
    for (const auto& c : cases) EXPECT_EQ(FitColumns(kSessionColumns, c.client), c.widths) << c.client;
}

TEST(FitColumns, RemainderGoesToTheLeftmostAndSharingRepeats) {
    const std::vector<ColumnSpec> cols = {{0, 0, 0, true}, {0, 0, 0, true}, {0, 0, 0, true}};
    EXPECT_EQ(FitColumns(cols, 10), (std::vector<int>{4, 3, 3}));
    // The middle column leaves the group at its maximum; the rest is shared again.
    const std::vector<ColumnSpec> capped = {{0, 0, 0, true}, {0, 0, 10, true}, {0, 0, 0, true}};
    EXPECT_EQ(FitColumns(capped, 91), (std::vector<int>{41, 10, 40}));
    // Process list: no auto-size column, widths as given, minimums kept.
    const std::vector<ColumnSpec> processes = {{65, 65, 0, false}, {140, 140, 0, false}, {50, 0, 0, false}};
    EXPECT_EQ(FitColumns(processes, 100), (std::vector<int>{65, 140, 50}));
}

TEST(ClampColumnWidth, KeepsLimits) {
    EXPECT_EQ(ClampColumnWidth({0, 100, 120, true}, 130), 120);
    EXPECT_EQ(ClampColumnWidth({0, 100, 120, true}, 90), 100);
    EXPECT_EQ(ClampColumnWidth({0, 100, 120, true}, 110), 110);
    EXPECT_EQ(ClampColumnWidth({65, 65, 0, false}, 900), 900);
    EXPECT_EQ(ClampColumnWidth({65, 65, 0, false}, 20), 65);
    EXPECT_EQ(ClampColumnWidth({50, 0, 0, false}, 1), 1);
}

}  // namespace
}  // namespace tarvenix
