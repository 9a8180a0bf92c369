#include <gtest/gtest.h>

#include "app/main_layout.h"
#include "base/column_fit.h"
#include "base/dpi.h"

namespace tarvenix {
namespace {

TEST(Dpi, ScaleRoundsToTheNearestPixelHalvesAwayFromZero) {
    const struct { int value, dpi, expected; } cases[] = {
        {0, 144, 0},     {1, 96, 1},      {1, 120, 1},     {1, 144, 2},     {1, 192, 2},
        {11, 96, 11},    {11, 120, 14},   {11, 144, 17},   {11, 192, 22},   // 13.75, 16.5
        {105, 120, 131}, {105, 144, 158}, {289, 144, 434}, {289, 120, 361}, // 131.25, 157.5, 433.5, 361.25
        {519, 120, 649}, {519, 144, 779}, {720, 144, 1080}, {720, 192, 1440},
        {-11, 144, -17}, {-11, 120, -14}, {-1, 144, -2},
        {3, 72, 2},      {2, 72, 2},      // 2.25, 1.5 below 96 DPI
    };
    for (const auto& c : cases) EXPECT_EQ(Scale(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
}

TEST(Dpi, BoxesScaleByTheirEdgesSoNeighboursStillTouch) {
    // The two image buttons of the server strip and the Get data button.
    const struct { Box box96; int dpi; Box expected; } cases[] = {
        {{289, 16, 105, 49}, 96, {289, 16, 105, 49}},
        {{289, 16, 105, 49}, 120, {361, 20, 132, 61}},  // right 492.5 -> 493, bottom 81.25 -> 81
        {{289, 16, 105, 49}, 144, {434, 24, 157, 74}},  // right 591, bottom 97.5 -> 98
        {{289, 16, 105, 49}, 192, {578, 32, 210, 98}},
        {{169, 31, 32, 34}, 144, {254, 47, 48, 51}},
    };
    for (const auto& c : cases) EXPECT_EQ(Scale(c.box96, c.dpi), c.expected) << c.dpi;
    for (int dpi : {96, 120, 144, 168, 192}) {
        const Box a = Scale(Box{5, 8, 137, 25}, dpi), b = Scale(Box{142, 8, 7, 25}, dpi);
        EXPECT_EQ(a.left + a.width, b.left) << dpi;
    }
}

TEST(Dpi, RescaleMovesAValueBetweenTwoDpis) {
    const struct { int value, from, to, expected; } cases[] = {
        {150, 96, 144, 225}, {225, 144, 96, 150}, {95, 96, 120, 119}, {119, 120, 96, 95},
        {143, 144, 192, 191}, {77, 144, 144, 77}, {77, 0, 144, 77},
    };
    for (const auto& c : cases) EXPECT_EQ(Rescale(c.value, c.from, c.to), c.expected) << c.value << " " << c.from << "->" << c.to;
}

TEST(Dpi, ColumnLimitsScaleAndNoLimitStaysNone) {
    const ColumnSpec spec{0, 100, 120, true};
    EXPECT_EQ(Scale(spec, 144).minWidth, 150);
    EXPECT_EQ(Scale(spec, 144).maxWidth, 180);
    EXPECT_EQ(Scale(spec, 144).width, 0);
    EXPECT_TRUE(Scale(spec, 144).autoSize);
    const ColumnSpec fixed{95, 0, 0, false};
    EXPECT_EQ(Scale(fixed, 120).width, 119);
    EXPECT_EQ(Scale(fixed, 120).maxWidth, 0);
    EXPECT_FALSE(Scale(fixed, 120).autoSize);
}

TEST(Dpi, MainLayoutScalesItsFixedBandsAndKeepsTheBevel) {
    const struct { int dpi; int strip, footer, header, rightWidth, footerRight; } cases[] = {
        {96, 80, 28, 42, 276, 136},
        {120, 100, 35, 53, 345, 170},
        {144, 120, 42, 63, 414, 204},
        {192, 160, 56, 84, 552, 272},
    };
    for (const auto& c : cases) {
        const int w = Scale(900, c.dpi), h = Scale(519, c.dpi);
        const MainLayout l = ComputeMainLayout(w, h, true, c.dpi);
        EXPECT_EQ(l.serverStrip, (Box{0, 0, w, c.strip})) << c.dpi;
        EXPECT_EQ(l.footer, (Box{0, h - c.footer, w, c.footer})) << c.dpi;
        EXPECT_EQ(l.processPanel, (Box{w - c.rightWidth, c.strip, c.rightWidth, h - c.strip - c.footer})) << c.dpi;
        EXPECT_EQ(l.sessionFrame, (Box{1, 1, w - c.rightWidth - 2, h - c.strip - c.footer - 2})) << c.dpi;
        EXPECT_EQ(l.sessionList.top, c.header) << c.dpi;
        EXPECT_EQ(l.sessionList.top + l.sessionList.height, l.sessionFrame.height) << c.dpi;
        EXPECT_EQ(l.footerRight, (Box{w - c.footerRight, 0, c.footerRight, c.footer})) << c.dpi;
        EXPECT_EQ(l.processList.top + l.processList.height, l.processFooter.top) << c.dpi;
    }
    const MainLayout byDefault = ComputeMainLayout(884, 519, true), at96 = ComputeMainLayout(884, 519, true, 96);
    EXPECT_EQ(byDefault.sessionButtons, at96.sessionButtons);
    EXPECT_EQ(byDefault.processPanel, at96.processPanel);
    EXPECT_EQ(byDefault.footerRight, (Box{748, 0, 136, 28}));
}

}  // namespace
}  // namespace tarvenix
