#include "tests/tools/pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>

namespace tarvenix {
namespace {

std::uint32_t Alpha(std::uint32_t px) { return px >> 24; }
int R(std::uint32_t px) { return static_cast<int>((px >> 16) & 0xFF); }
int G(std::uint32_t px) { return static_cast<int>((px >> 8) & 0xFF); }
int B(std::uint32_t px) { return static_cast<int>(px & 0xFF); }

bool IsDeepBlue(std::uint32_t px) { return Alpha(px) == 255 && B(px) >= 90 && R(px) < 60 && B(px) > 2 * G(px); }
bool IsBlue(std::uint32_t px) { return Alpha(px) == 255 && B(px) > R(px) + 50 && B(px) > G(px) + 30; }
bool IsInkBlue(std::uint32_t px) { return Alpha(px) == 255 && B(px) >= 150 && B(px) > R(px) + 80 && B(px) > G(px) + 40; }
bool IsLightBlue(std::uint32_t px) { return Alpha(px) >= 128 && B(px) >= 180 && G(px) >= 120 && B(px) > R(px) + 100; }
bool IsWhite(std::uint32_t px) { return Alpha(px) == 255 && R(px) >= 245 && G(px) >= 245 && B(px) >= 245; }
bool IsGreen(std::uint32_t px) { return Alpha(px) == 255 && G(px) > R(px) + 60 && G(px) > B(px) + 60; }
bool IsDark(std::uint32_t px) { return Alpha(px) == 255 && R(px) + G(px) + B(px) < 3 * 80; }
bool IsDarkGrey(std::uint32_t px) {
    return Alpha(px) >= 128 && R(px) < 110 && G(px) < 110 && B(px) < 110 && std::abs(R(px) - B(px)) < 30;
}
bool IsCream(std::uint32_t px) { return Alpha(px) == 255 && R(px) >= 240 && G(px) >= 225 && B(px) >= 190 && B(px) < R(px); }
bool IsYellow(std::uint32_t px) { return Alpha(px) == 255 && R(px) > 200 && G(px) > 140 && B(px) < 120; }

unsigned Byte(const std::string& bytes, std::size_t at) { return static_cast<unsigned char>(bytes.at(at)); }
unsigned Le16(const std::string& bytes, std::size_t at) { return Byte(bytes, at) | Byte(bytes, at + 1) << 8; }
std::uint32_t Le32(const std::string& bytes, std::size_t at) {
    return Le16(bytes, at) | static_cast<std::uint32_t>(Le16(bytes, at + 2)) << 16;
}

TEST(Pictures, SizesAndEveryPixelListed) {
    const struct { const char* name; Image image; int width, height; } cases[] = {
        {"icon", DrawAppIcon(), 64, 64},        {"txt", DrawTxtButtonPicture(), 24, 30},
        {"ldap", DrawLdapButtonPicture(), 24, 30}, {"refresh", DrawRefreshPicture(), 15, 15},
        {"save", DrawSavePicture(), 20, 20},    {"load", DrawLoadPicture(), 20, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.image.width, c.width);
        EXPECT_EQ(c.image.height, c.height);
        EXPECT_EQ(c.image.pixels.size(), static_cast<std::size_t>(c.width) * c.height);
        // Every picture leaves some background free and draws something.
        int clear = 0, solid = 0;
        for (const std::uint32_t px : c.image.pixels) {
            clear += Alpha(px) == 0;
            solid += Alpha(px) == 255;
        }
        EXPECT_GT(clear, 0);
        EXPECT_GT(solid, c.width * c.height / 4);
        for (const std::uint32_t px : c.image.pixels)
            ASSERT_TRUE(Alpha(px) != 0 || px == 0u) << "transparent pixels carry no colour";
    }
}

TEST(Pictures, AppIconShowsMonitorBadgeAndArrowsPointingAtEachOther) {
    const Image icon = DrawAppIcon();
    for (const auto& [x, y] : {std::pair{0, 0}, {63, 0}, {0, 63}, {63, 63}}) EXPECT_EQ(Alpha(icon.At(x, y)), 0u);
    EXPECT_EQ(Alpha(icon.At(32, 32)), 255u);
    // The screen fills the upper left of the monitor; the badge sits over its lower right.
    EXPECT_TRUE(IsDeepBlue(icon.At(20, 20)));
    EXPECT_TRUE(IsDeepBlue(icon.At(32, 28)));
    EXPECT_TRUE(IsWhite(icon.At(46, 34)));
    EXPECT_TRUE(IsWhite(icon.At(46, 56)));
    // Green arrows left and right of the badge's centre whose heads narrow
    // toward the centre: taller green columns near the outer ends of the heads.
    const auto green_in_column = [&](int x) {
        int n = 0;
        for (int y = 30; y < 61; ++y) n += IsGreen(icon.At(x, y));
        return n;
    };
    EXPECT_GT(green_in_column(36), 0);
    EXPECT_GT(green_in_column(56), 0);
    EXPECT_GT(green_in_column(39), green_in_column(43));
    EXPECT_GT(green_in_column(53), green_in_column(49));
    EXPECT_GT(green_in_column(39), green_in_column(36)) << "the head is wider than the shaft";
    EXPECT_EQ(green_in_column(46), 0) << "the tips do not meet";
}

TEST(Pictures, SheetsShareTheFoldedSheetAndTheBand) {
    const Image txt = DrawTxtButtonPicture();
    const Image ldap = DrawLdapButtonPicture();
    // The folded-down corner is cut out of the sheet; the flap lies on it.
    EXPECT_EQ(Alpha(txt.At(20, 2)), 0u);
    EXPECT_EQ(Alpha(txt.At(20, 10)), 255u);
    EXPECT_EQ(Alpha(txt.At(4, 2)), 255u);
    for (const Image* sheet : {&txt, &ldap}) {
        EXPECT_TRUE(IsCream(sheet->At(5, 2)));
        // The dark band runs across the foot, wider than the sheet.
        EXPECT_TRUE(IsDark(sheet->At(1, 26)));
        EXPECT_TRUE(IsDark(sheet->At(22, 26)));
        EXPECT_EQ(Alpha(sheet->At(1, 10)), 0u);
    }
    // Same sheet: the outline and band edges agree pixel for pixel.
    for (int x = 0; x < 24; ++x) {
        EXPECT_EQ(txt.At(x, 1), ldap.At(x, 1)) << x;
        EXPECT_EQ(txt.At(x, 19), ldap.At(x, 19)) << x;
        EXPECT_EQ(txt.At(x, 28), ldap.At(x, 28)) << x;
    }
}

// The white letters in the band, as a mask: one string per row, '#' white.
std::string BandLetters(const Image& sheet) {
    int left = 24, right = -1;
    for (int y = 19; y < 28; ++y)
        for (int x = 0; x < 24; ++x)
            if (IsWhite(sheet.At(x, y))) left = std::min(left, x), right = std::max(right, x);
    std::string rows;
    for (int y = 19; y < 28 && right >= left; ++y) {
        std::string row;
        for (int x = left; x <= right; ++x) row += IsWhite(sheet.At(x, y)) ? '#' : '.';
        if (row.find('#') != std::string::npos) rows += row + "\n";
    }
    return rows;
}

TEST(Pictures, BandsCarryTheirWhiteLetters) {
    EXPECT_EQ(BandLetters(DrawTxtButtonPicture()),
              "###.#.#.###\n"
              ".#..#.#..#.\n"
              ".#...#...#.\n"
              ".#..#.#..#.\n"
              ".#..#.#..#.\n");
    EXPECT_EQ(BandLetters(DrawLdapButtonPicture()),
              "#...##...#..##.\n"
              "#...#.#.#.#.#.#\n"
              "#...#.#.###.##.\n"
              "#...#.#.#.#.#..\n"
              "###.##..#.#.#..\n");
}

TEST(Pictures, TxtSheetHasBlueLinesAndLdapSheetATree) {
    const Image txt = DrawTxtButtonPicture();
    int blue_rows = 0;
    for (int y = 2; y < 19; ++y) {
        int run = 0;
        for (int x = 4; x < 20; ++x) run += IsInkBlue(txt.At(x, y));
        if (run >= 6) ++blue_rows;
    }
    EXPECT_GE(blue_rows, 5);

    // Nodes of the tree, level by level: one, two, three.
    const Image ldap = DrawLdapButtonPicture();
    const auto nodes_in_row = [&](int y) {
        int nodes = 0;
        for (int x = 4; x < 20; ++x)
            if (IsInkBlue(ldap.At(x, y)) && !IsInkBlue(ldap.At(x - 1, y))) ++nodes;
        return nodes;
    };
    EXPECT_EQ(nodes_in_row(4), 1);
    EXPECT_EQ(nodes_in_row(10), 2);
    EXPECT_EQ(nodes_in_row(16), 3);
    EXPECT_TRUE(IsInkBlue(ldap.At(11, 4)));
    // No lines of text on the tree sheet.
    EXPECT_TRUE(IsCream(ldap.At(18, 12)));
}

TEST(Pictures, RefreshArrowsLightBlueAboveDarkGreyBelow) {
    const Image img = DrawRefreshPicture();
    int upper_blue = 0, upper_grey = 0, lower_blue = 0, lower_grey = 0;
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 15; ++x) {
            const std::uint32_t px = img.At(x, y);
            if (y < 7) {
                upper_blue += IsLightBlue(px);
                upper_grey += IsDarkGrey(px);
            } else if (y > 7) {
                lower_blue += IsLightBlue(px);
                lower_grey += IsDarkGrey(px);
            }
        }
    }
    EXPECT_GT(upper_blue, 20);
    EXPECT_GT(lower_grey, 20);
    EXPECT_EQ(upper_grey, 0);
    EXPECT_EQ(lower_blue, 0);
    EXPECT_EQ(Alpha(img.At(7, 7)), 0u) << "the middle of the circle stays free";
}

TEST(Pictures, FloppyAndFolderPictures) {
    const Image save = DrawSavePicture();
    EXPECT_TRUE(IsBlue(save.At(3, 9)));        // the disk's body
    EXPECT_TRUE(IsWhite(save.At(7, 17)) || IsCream(save.At(7, 17)));  // its label
    EXPECT_EQ(Alpha(save.At(19, 0)), 0u);      // cut corner
    const Image load = DrawLoadPicture();
    EXPECT_TRUE(IsYellow(load.At(8, 15)));     // the folder
    EXPECT_TRUE(IsGreen(load.At(14, 9)));      // the arrow rising out of it
    EXPECT_EQ(Alpha(load.At(2, 1)), 0u);
}

TEST(Pictures, CompositeOverFlattensOntoTheBackground) {
    Image img;
    img.width = 3;
    img.height = 1;
    img.pixels = {0x00000000u, 0xFF102030u, 0x80FFFFFFu};
    const Image flat = CompositeOver(img, 0x12F0F0F0u);
    ASSERT_EQ(flat.pixels.size(), 3u);
    EXPECT_EQ(flat.pixels[0], 0xFFF0F0F0u);
    EXPECT_EQ(flat.pixels[1], 0xFF102030u);
    EXPECT_EQ(flat.pixels[2], 0xFFF8F8F8u);
    for (const std::uint32_t px : CompositeOver(DrawTxtButtonPicture(), 0xF0F0F0).pixels) EXPECT_EQ(Alpha(px), 255u);
}

TEST(Pictures, IcoFileHeaderPixelsAndMask) {
    const Image icon = DrawAppIcon();
    const std::string ico = EncodeIco(icon);
    ASSERT_EQ(ico.size(), 6u + 16 + 40 + 64 * 64 * 4 + 64 * 8);
    EXPECT_EQ(Le16(ico, 0), 0u);
    EXPECT_EQ(Le16(ico, 2), 1u);   // icon
    EXPECT_EQ(Le16(ico, 4), 1u);   // one image
    EXPECT_EQ(Byte(ico, 6), 64u);
    EXPECT_EQ(Byte(ico, 7), 64u);
    EXPECT_EQ(Le16(ico, 10), 1u);  // planes
    EXPECT_EQ(Le16(ico, 12), 32u); // bits per pixel
    EXPECT_EQ(Le32(ico, 14), ico.size() - 22);
    EXPECT_EQ(Le32(ico, 18), 22u);
    EXPECT_EQ(Le32(ico, 22), 40u);  // BITMAPINFOHEADER
    EXPECT_EQ(Le32(ico, 26), 64u);
    EXPECT_EQ(Le32(ico, 30), 128u); // colour rows and mask rows
    EXPECT_EQ(Le16(ico, 34), 1u);
    EXPECT_EQ(Le16(ico, 36), 32u);
    EXPECT_EQ(Le32(ico, 38), 0u);   // BI_RGB
    // Colour rows bottom-up as B G R A, which read back little-endian as 0xAARRGGBB.
    const std::size_t pixels = 62;
    EXPECT_EQ(Le32(ico, pixels + (0 * 64 + 20) * 4), icon.At(20, 63));
    EXPECT_EQ(Le32(ico, pixels + (63 * 64 + 20) * 4), icon.At(20, 0));
    EXPECT_EQ(Le32(ico, pixels + (44 * 64 + 20) * 4), icon.At(20, 19));
    EXPECT_EQ(Byte(ico, pixels + (44 * 64 + 20) * 4 + 3), 255u);
    // AND mask bottom-up, 8 bytes a row: corners set (transparent), centre clear.
    const std::size_t mask = pixels + 64 * 64 * 4;
    EXPECT_EQ(Byte(ico, mask + 0) & 0x80, 0x80u);                  // (0, 63)
    EXPECT_EQ(Byte(ico, mask + 63 * 8 + 7) & 0x01, 0x01u);         // (63, 0)
    EXPECT_EQ(Byte(ico, mask + (63 - 32) * 8 + 4) & 0x80, 0x00u);  // (32, 32)
}

TEST(Pictures, IcoMaskRowsArePaddedToFourBytes) {
    Image img;
    img.width = 3;
    img.height = 2;
    img.pixels = {0x00000000u, 0xFF0000FFu, 0x00000000u,   // top row
                  0xFFFFFFFFu, 0x00000000u, 0x7F00FF00u};  // bottom row
    const std::string ico = EncodeIco(img);
    ASSERT_EQ(ico.size(), 22u + 40 + 3 * 2 * 4 + 2 * 4);
    EXPECT_EQ(Byte(ico, 6), 3u);
    EXPECT_EQ(Le32(ico, 30), 4u);
    EXPECT_EQ(Le32(ico, 62), 0xFFFFFFFFu);  // bottom row first
    EXPECT_EQ(Le32(ico, 62 + 5 * 4), 0x00000000u);
    const std::size_t mask = 62 + 24;
    EXPECT_EQ(Byte(ico, mask), 0x40u);      // bottom row: only the middle pixel is transparent
    EXPECT_EQ(Byte(ico, mask + 4), 0xA0u);  // top row: first and last

    Image wide;
    wide.width = 256;
    wide.height = 1;
    wide.pixels.assign(256, 0xFF000000u);
    EXPECT_EQ(Byte(EncodeIco(wide), 6), 0u) << "256 is written as 0";
}

TEST(Pictures, BmpFileHeadersAndPixelsBottomRowFirst) {
    Image img;
    img.width = 3;
    img.height = 2;
    img.pixels = {0x00000000u, 0xFF0000FFu, 0x80123456u,   // top row
                  0xFFFFFFFFu, 0x01ABCDEFu, 0x7F00FF00u};  // bottom row
    const std::string bmp = EncodeBmp(img);
    ASSERT_EQ(bmp.size(), 14u + 40 + 3 * 2 * 4) << "32-bit rows need no padding";
    const struct { std::size_t at; int bytes; std::uint32_t value; const char* what; } fields[] = {
        {0, 1, 'B', "signature"},     {1, 1, 'M', "signature"},
        {2, 4, 78, "file size"},      {6, 4, 0, "reserved"},
        {10, 4, 54, "pixel offset"},  {14, 4, 40, "BITMAPINFOHEADER"},
        {18, 4, 3, "width"},          {22, 4, 2, "height: positive, bottom row first"},
        {26, 2, 1, "planes"},         {28, 2, 32, "bits per pixel"},
        {30, 4, 0, "BI_RGB"},         {34, 4, 24, "image size"},
        {46, 4, 0, "colours used"},   {50, 4, 0, "important colours"},
    };
    for (const auto& f : fields) {
        const std::uint32_t got = f.bytes == 1 ? Byte(bmp, f.at) : f.bytes == 2 ? Le16(bmp, f.at) : Le32(bmp, f.at);
        EXPECT_EQ(got, f.value) << f.what << " at " << f.at;
    }
    // Bottom row first; each pixel as B G R A with the straight alpha kept.
    const std::uint32_t rows[] = {0xFFFFFFFFu, 0x01ABCDEFu, 0x7F00FF00u, 0x00000000u, 0xFF0000FFu, 0x80123456u};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(Le32(bmp, 54 + 4 * i), rows[i]) << i;
    EXPECT_EQ(Byte(bmp, 54 + 20), 0x56u);
    EXPECT_EQ(Byte(bmp, 54 + 21), 0x34u);
    EXPECT_EQ(Byte(bmp, 54 + 22), 0x12u);
    EXPECT_EQ(Byte(bmp, 54 + 23), 0x80u);
}

TEST(Pictures, BmpOfEveryButtonPictureReadsBackPixelForPixel) {
    const struct { const char* name; Image image; } cases[] = {
        {"txt", DrawTxtButtonPicture()},  {"ldap", DrawLdapButtonPicture()}, {"refresh", DrawRefreshPicture()},
        {"save", DrawSavePicture()},      {"load", DrawLoadPicture()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bmp = EncodeBmp(c.image);
        const int w = c.image.width, h = c.image.height;
        ASSERT_EQ(bmp.size(), 54u + static_cast<std::size_t>(w) * h * 4);
        EXPECT_EQ(Le32(bmp, 18), static_cast<std::uint32_t>(w));
        EXPECT_EQ(Le32(bmp, 22), static_cast<std::uint32_t>(h));
        int mismatches = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                mismatches += Le32(bmp, 54 + (static_cast<std::size_t>(h - 1 - y) * w + x) * 4) != c.image.At(x, y);
        EXPECT_EQ(mismatches, 0);
    }
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Where two byte strings first differ, for a readable failure.
std::string FirstDifference(const std::string& got, const std::string& want) {
    const auto at = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    return "sizes " + std::to_string(got.size()) + " and " + std::to_string(want.size()) + ", first difference at byte " +
           std::to_string(at.first - got.begin());
}

constexpr char kRegenerate[] =
    "regenerate the resource files with\n"
    "  cmake --build build/native --target render_pictures && build/native/bin/render_pictures app/res\n"
    "and commit them";

TEST(Pictures, CommittedResourceFilesAreWhatTheRendererWrites) {
    const struct { const char* name; std::string bytes; } expected[] = {
        {"tarvenix.ico", EncodeIco(DrawAppIcon())},
        {"txt.bmp", EncodeBmp(DrawTxtButtonPicture())},
        {"ldap.bmp", EncodeBmp(DrawLdapButtonPicture())},
        {"refresh.bmp", EncodeBmp(DrawRefreshPicture())},
        {"save.bmp", EncodeBmp(DrawSavePicture())},
        {"load.bmp", EncodeBmp(DrawLoadPicture())},
    };
    // What render_pictures writes...
    const std::vector<ResourceFile> files = ResourceFiles();
    ASSERT_EQ(files.size(), std::size(expected));
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i].name, expected[i].name);
        EXPECT_TRUE(files[i].bytes == expected[i].bytes) << expected[i].name;
    }
    // ...is what is committed, byte for byte, and nothing else is there.
    const std::filesystem::path res = std::filesystem::path(TARVENIX_SOURCE_DIR) / "app" / "res";
    std::set<std::string> names;
    for (const auto& e : expected) {
        names.insert(e.name);
        const std::string file = ReadFile(res / e.name);
        EXPECT_TRUE(file == e.bytes) << "app/res/" << e.name << (file.empty() ? " is missing" : " is stale")
                                     << " (" << FirstDifference(file, e.bytes) << "): " << kRegenerate;
    }
    for (const auto& entry : std::filesystem::directory_iterator(res))
        EXPECT_EQ(names.count(entry.path().filename().string()), 1u)
            << "app/res/" << entry.path().filename().string() << " is not drawn by the renderer";
}

TEST(Pictures, ResourceScriptNamesEveryResourceFile) {
    const std::string rc = ReadFile(std::filesystem::path(TARVENIX_SOURCE_DIR) / "app" / "tarvenix.rc");
    ASSERT_FALSE(rc.empty());
    EXPECT_NE(rc.find("#pragma code_page(65001)"), std::string::npos);
    EXPECT_NE(rc.find("IDI_APP ICON \"res/tarvenix.ico\""), std::string::npos) << rc;
    for (const ResourceFile& file : ResourceFiles()) {
        if (file.name == "tarvenix.ico") continue;
        EXPECT_NE(rc.find(" BITMAP \"res/" + file.name + "\""), std::string::npos) << file.name << " is not linked in";
    }
}

}  // namespace
}  // namespace tarvenix
