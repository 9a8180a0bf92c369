#include "base/command_ids.h"

#include <gtest/gtest.h>

namespace tarvenix {
namespace {

TEST(CommandIds, RangesThatShareAnIdOrAreNoRangeAreRefused) {
    constexpr CommandRange apart[] = {{100, 119}, {120, 139}, {200, 219}};
    constexpr CommandRange sharedEnd[] = {{100, 120}, {120, 139}};
    constexpr CommandRange inside[] = {{100, 139}, {120, 121}};
    constexpr CommandRange laterFirst[] = {{200, 219}, {100, 200}};
    constexpr CommandRange reversed[] = {{119, 100}};
    static_assert(RangesApart(apart));
    static_assert(!RangesApart(sharedEnd));
    static_assert(!RangesApart(inside));
    static_assert(!RangesApart(laterFirst));
    static_assert(!RangesApart(reversed));
    EXPECT_TRUE(RangesApart(command_ranges::kAll));
    EXPECT_FALSE(RangesApart(sharedEnd));
}

TEST(CommandIds, AFeaturesIdsFitItsRange) {
    EXPECT_TRUE(FitsIn({120, 139}, 120));
    EXPECT_TRUE(FitsIn({120, 139}, 139));
    EXPECT_FALSE(FitsIn({120, 139}, 140));
    EXPECT_FALSE(FitsIn({120, 139}, 119));
}

}  // namespace
}  // namespace tarvenix
