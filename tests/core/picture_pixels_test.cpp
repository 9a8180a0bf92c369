#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/picture_pixels.h"

namespace tarvenix {
namespace {

PixelGrid Grid(int width, int height, std::vector<std::uint32_t> pixels) {
    PixelGrid g;
    g.width = width;
    g.height = height;
    g.pixels = std::move(pixels);
    return g;
}

TEST(PicturePixels, FlattenOntoFaceUsesTheButtonFormulaRoundingDown) {
    const struct { std::uint32_t pixel, face, flat; const char* what; } cases[] = {
        {0x00000000u, 0x0012F0A0u, 0x0012F0A0u, "transparent: the face"},
        {0x00FFFFFFu, 0x00000000u, 0x00000000u, "transparent colour bits are ignored"},
        {0x00000000u, 0xFF12F0A0u, 0x0012F0A0u, "the face's top byte is ignored"},
        {0xFF102030u, 0x00F0F0F0u, 0x00102030u, "opaque: the pixel, alpha byte cleared"},
        {0x80FFFFFFu, 0x00F0F0F0u, 0x00F7F7F7u, "(255*128 + 240*127) / 255 = 247.5: down to 247"},
        {0x80FF0000u, 0x000000FFu, 0x0080007Fu, "red and blue stay in their bytes"},
        {0x01FFFFFFu, 0x00000000u, 0x00010101u, "the least alpha shows"},
        {0xFE000000u, 0x00FFFFFFu, 0x00010101u, "(0*254 + 255*1) / 255"},
    };
    for (const auto& c : cases) {
        const PixelGrid flat = FlattenOntoFace(Grid(1, 1, {c.pixel}), c.face);
        ASSERT_EQ(flat.pixels.size(), 1u) << c.what;
        EXPECT_EQ(flat.pixels[0], c.flat) << c.what;
    }
    const PixelGrid flat = FlattenOntoFace(Grid(3, 2, std::vector<std::uint32_t>(6, 0x80FFFFFFu)), 0xF0F0F0);
    EXPECT_EQ(flat.width, 3);
    EXPECT_EQ(flat.height, 2);
    EXPECT_EQ(flat.pixels, std::vector<std::uint32_t>(6, 0x00F7F7F7u));
}

TEST(PicturePixels, ScaleBoxKeepsTheOwnSizeAndRepeatsPixelsAtWholeMultiples) {
    const PixelGrid g = Grid(3, 2, {0x00010203u, 0x00A0B0C0u, 0x80FFFFFFu,  //
                                    0x00000000u, 0x00123456u, 0x00FF0000u});
    const PixelGrid same = ScaleBox(g, 3, 2);
    EXPECT_EQ(same.width, 3);
    EXPECT_EQ(same.height, 2);
    EXPECT_EQ(same.pixels, g.pixels);
    const struct { int fx, fy; } factors[] = {{2, 2}, {3, 3}, {2, 1}, {1, 4}};
    for (const auto& f : factors) {
        const PixelGrid big = ScaleBox(g, 3 * f.fx, 2 * f.fy);
        ASSERT_EQ(big.width, 3 * f.fx);
        ASSERT_EQ(big.height, 2 * f.fy);
        ASSERT_EQ(big.pixels.size(), static_cast<std::size_t>(6 * f.fx * f.fy));
        for (int y = 0; y < big.height; ++y)
            for (int x = 0; x < big.width; ++x)
                EXPECT_EQ(big.pixels[static_cast<std::size_t>(y) * big.width + x], g.pixels[(y / f.fy) * 3 + x / f.fx])
                    << f.fx << "x" << f.fy << " at " << x << "," << y;
    }
}

TEST(PicturePixels, ScaleBoxAveragesTheCoveredArea) {
    const struct {
        PixelGrid from;
        int width, height;
        std::vector<std::uint32_t> to;
        const char* what;
    } cases[] = {
        // Halving: each channel the mean of a 2 x 2 block, halves rounded up.
        {Grid(4, 2, {0x00000000u, 0x00000001u, 0x00C80000u, 0x0000C8FFu,  //
                     0x00000101u, 0x00000101u, 0x00C80000u, 0x0000C8FFu}),
         2, 1, {0x00000101u, 0x00646480u}, "2:1"},
        // 2 -> 3 (150%): the middle target pixel lies half on each source pixel.
        {Grid(2, 1, {0x00000000u, 0x00C8C8C8u}), 3, 1, {0x00000000u, 0x00646464u, 0x00C8C8C8u}, "2:3"},
        // 3 -> 2: a target pixel is one whole source pixel and half of the next.
        {Grid(3, 1, {0x00000000u, 0x005A5A5Au, 0x00FFFFFFu}), 2, 1, {0x001E1E1Eu, 0x00C8C8C8u}, "3:2"},
        // 2 x 2 -> 3 x 3: the centre is a quarter of each source pixel.
        {Grid(2, 2, {0x00000000u, 0x00640000u, 0x00006400u, 0x00000064u}), 3, 3,
         {0x00000000u, 0x00320000u, 0x00640000u,  //
          0x00003200u, 0x00191919u, 0x00320032u,  //
          0x00006400u, 0x00003232u, 0x00000064u},
         "2x2:3x3"},
    };
    for (const auto& c : cases) {
        const PixelGrid scaled = ScaleBox(c.from, c.width, c.height);
        EXPECT_EQ(scaled.width, c.width) << c.what;
        EXPECT_EQ(scaled.height, c.height) << c.what;
        EXPECT_EQ(scaled.pixels, c.to) << c.what;
    }
}

TEST(PicturePixels, ScaleBoxToTheDpiSizesKeepsAPlainPicturePlain) {
    // The weights of every target pixel add up to the whole: a one-colour
    // picture stays that colour at every size, and nothing runs off the edges.
    const PixelGrid plain = Grid(24, 30, std::vector<std::uint32_t>(24 * 30, 0x00F0A05Au));
    const struct { int width, height; } sizes[] = {{30, 38}, {36, 45}, {48, 60}, {19, 19}, {7, 31}, {1, 1}};
    for (const auto& s : sizes) {
        const PixelGrid scaled = ScaleBox(plain, s.width, s.height);
        EXPECT_EQ(scaled.width, s.width);
        EXPECT_EQ(scaled.height, s.height);
        EXPECT_EQ(scaled.pixels, std::vector<std::uint32_t>(static_cast<std::size_t>(s.width) * s.height, 0x00F0A05Au))
            << s.width << "x" << s.height;
    }
}

TEST(PicturePixels, ScaleBoxGivesNothingForSizesThatAreNotPositive) {
    const PixelGrid g = Grid(2, 2, {1, 2, 3, 4});
    EXPECT_TRUE(ScaleBox(g, 0, 2).pixels.empty());
    EXPECT_TRUE(ScaleBox(g, 2, -1).pixels.empty());
    EXPECT_TRUE(ScaleBox(PixelGrid{}, 4, 4).pixels.empty());
    EXPECT_TRUE(ScaleBox(Grid(2, 2, {1, 2, 3}), 4, 4).pixels.empty()) << "pixels missing";
}

}  // namespace
}  // namespace tarvenix
