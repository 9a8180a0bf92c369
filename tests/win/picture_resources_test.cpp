// The pictures linked into the program as resources: the button bitmaps
// flattened onto the face and scaled as the buttons ask, the application icon,
// and the main window's buttons and icons showing them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/picture_pixels.h"
#include "base/picture_resources_win.h"
#include "base/resource_ids.h"
#include "tests/tools/pictures.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

// A bitmap's pixels as 0x00RRGGBB, top row first (through GetDIBits, whatever
// kind of bitmap it is); empty when it cannot be read.
PixelGrid ReadBitmap(HBITMAP bitmap) {
    BITMAP bm{};
    if (!bitmap || !GetObjectW(bitmap, sizeof(bm), &bm)) return {};
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    PixelGrid grid;
    grid.width = bm.bmWidth;
    grid.height = bm.bmHeight;
    grid.pixels.resize(static_cast<std::size_t>(bm.bmWidth) * bm.bmHeight);
    HDC dc = GetDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, 0, static_cast<UINT>(bm.bmHeight), grid.pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (rows != bm.bmHeight) return {};
    for (std::uint32_t& px : grid.pixels) px &= 0xFFFFFF;
    return grid;
}

PixelGrid Straight(const Image& image) { return {image.width, image.height, image.pixels}; }

std::uint32_t Rgb(COLORREF c) {
    return (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (static_cast<std::uint32_t>(GetGValue(c)) << 8) |
           GetBValue(c);
}

struct ButtonPicture {
    int id;
    const char* name;
    Image (*draw)();
};

const ButtonPicture kButtonPictures[] = {
    {IDB_TXT, "txt", DrawTxtButtonPicture},    {IDB_LDAP, "ldap", DrawLdapButtonPicture},
    {IDB_REFRESH, "refresh", DrawRefreshPicture}, {IDB_SAVE, "save", DrawSavePicture},
    {IDB_LOAD, "load", DrawLoadPicture},
};

TEST(PictureResources, ButtonPicturesAtTheirOwnSizeAreTheDrawnOnesOnTheFace) {
    // A face whose three channels differ, to catch swapped bytes, and the system's own.
    for (const COLORREF face : {RGB(0x12, 0x80, 0xF0), GetSysColor(COLOR_BTNFACE)}) {
        for (const ButtonPicture& p : kButtonPictures) {
            SCOPED_TRACE(p.name);
            const Image drawn = p.draw();
            HBITMAP bitmap = LoadButtonPicture(p.id, face, drawn.width, drawn.height);
            ASSERT_NE(bitmap, nullptr);
            const PixelGrid got = ReadBitmap(bitmap);
            DeleteObject(bitmap);
            ASSERT_EQ(got.width, drawn.width);
            ASSERT_EQ(got.height, drawn.height);
            // Exactly the button formula (rounding down), as the buttons drew
            // their pictures before they came from resources...
            EXPECT_EQ(got.pixels, FlattenOntoFace(Straight(drawn), Rgb(face)).pixels);
            // ...which is the renderer's own flattening up to its rounding:
            // equal where a pixel is opaque or clear, at most one off elsewhere.
            const Image composited = CompositeOver(drawn, Rgb(face));
            int partly = 0, off = 0;
            for (std::size_t i = 0; i < drawn.pixels.size(); ++i) {
                const unsigned alpha = drawn.pixels[i] >> 24;
                const bool partial = alpha != 0 && alpha != 255;
                partly += partial;
                for (int shift = 0; shift < 24; shift += 8) {
                    const int a = static_cast<int>((got.pixels[i] >> shift) & 0xFF);
                    const int b = static_cast<int>((composited.pixels[i] >> shift) & 0xFF);
                    off += partial ? std::abs(a - b) > 1 : a != b;
                }
            }
            EXPECT_EQ(off, 0);
            if (p.id == IDB_REFRESH) {
                EXPECT_GT(partly, 10) << "the refresh arrows have half-covered edge pixels";
            }
        }
    }
}

TEST(PictureResources, ButtonPicturesScaleToTheSizeAsked) {
    const COLORREF face = RGB(0xF0, 0xF0, 0xF0);
    for (const ButtonPicture& p : kButtonPictures) {
        SCOPED_TRACE(p.name);
        const Image drawn = p.draw();
        const PixelGrid own = FlattenOntoFace(Straight(drawn), Rgb(face));
        // 192 DPI: every pixel doubled.
        HBITMAP bitmap = LoadButtonPicture(p.id, face, drawn.width * 2, drawn.height * 2);
        const PixelGrid doubled = ReadBitmap(bitmap);
        DeleteObject(bitmap);
        ASSERT_EQ(doubled.width, drawn.width * 2);
        ASSERT_EQ(doubled.height, drawn.height * 2);
        int mismatches = 0;
        for (int y = 0; y < doubled.height; ++y)
            for (int x = 0; x < doubled.width; ++x)
                mismatches += doubled.pixels[static_cast<std::size_t>(y) * doubled.width + x] !=
                              own.pixels[static_cast<std::size_t>(y / 2) * own.width + x / 2];
        EXPECT_EQ(mismatches, 0);
        // 120 and 144 DPI: the box filter's sizes and pixels.
        for (const int percent : {125, 150}) {
            const int w = drawn.width * percent / 100, h = drawn.height * percent / 100;
            bitmap = LoadButtonPicture(p.id, face, w, h);
            const PixelGrid scaled = ReadBitmap(bitmap);
            DeleteObject(bitmap);
            EXPECT_EQ(scaled.width, w) << percent;
            EXPECT_EQ(scaled.height, h) << percent;
            EXPECT_EQ(scaled.pixels, ScaleBox(own, w, h).pixels) << percent;
        }
    }
}

TEST(PictureResources, UnknownOrWrongResourcesGiveNothing) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(LoadButtonPicture(9999, face, 15, 15), nullptr) << "no such resource";
    EXPECT_EQ(LoadButtonPicture(IDI_APP, face, 15, 15), nullptr) << "an icon, not a bitmap";
    EXPECT_EQ(LoadButtonPicture(IDB_REFRESH, face, 0, 15), nullptr);
    EXPECT_EQ(LoadButtonPicture(IDB_REFRESH, face, 15, -1), nullptr);
}

TEST(PictureResources, AppIconAtTheSizesAsked) {
    const Image drawn = DrawAppIcon();
    for (const int size : {16, 32, 48, 64}) {
        SCOPED_TRACE(size);
        HICON icon = LoadAppIcon(size);
        ASSERT_NE(icon, nullptr);
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(icon, &ii));
        const PixelGrid colour = ReadBitmap(ii.hbmColor);
        if (ii.hbmColor) DeleteObject(ii.hbmColor);
        if (ii.hbmMask) DeleteObject(ii.hbmMask);
        DestroyIcon(icon);
        ASSERT_EQ(colour.width, size);
        ASSERT_EQ(colour.height, size);
        if (size == 64) {
            // The drawn icon itself: the colour of every opaque pixel.
            int mismatches = 0;
            for (std::size_t i = 0; i < drawn.pixels.size(); ++i)
                if (drawn.pixels[i] >> 24 == 255) mismatches += colour.pixels[i] != (drawn.pixels[i] & 0xFFFFFF);
            EXPECT_EQ(mismatches, 0);
        }
    }
}

TEST_F(MainWindowTest, ButtonsAndWindowShowTheResourcePictures) {
    Open();
    // The TXT button paints its picture centred on the face.
    HWND button = window->Servers().FromFileButton();
    InvalidateRect(button, nullptr, TRUE);
    UpdateWindow(button);
    const Image drawn = DrawTxtButtonPicture();
    const PixelGrid expected = FlattenOntoFace(Straight(drawn), Rgb(GetSysColor(COLOR_BTNFACE)));
    RECT rc;
    GetClientRect(button, &rc);
    const int left = (rc.right - drawn.width) / 2, top = (rc.bottom - drawn.height) / 2;
    HDC dc = GetDC(button);
    int mismatches = 0;
    for (int y = 0; y < drawn.height; ++y)
        for (int x = 0; x < drawn.width; ++x)
            mismatches += Rgb(GetPixel(dc, left + x, top + y)) != expected.pixels[static_cast<std::size_t>(y) * drawn.width + x];
    const COLORREF corner = GetPixel(dc, 0, 0);
    ReleaseDC(button, dc);
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(corner, GetSysColor(COLOR_BTNFACE));
    // The window's icons at the system's sizes.
    const struct { WPARAM which; int metric; } icons[] = {{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}};
    for (const auto& i : icons) {
        HICON icon = reinterpret_cast<HICON>(SendMessageW(window->Handle(), WM_GETICON, i.which, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(icon, &ii));
        BITMAP bm{};
        GetObjectW(ii.hbmColor, sizeof(bm), &bm);
        if (ii.hbmColor) DeleteObject(ii.hbmColor);
        if (ii.hbmMask) DeleteObject(ii.hbmMask);
        EXPECT_EQ(bm.bmWidth, GetSystemMetrics(i.metric));
    }
}

}  // namespace
}  // namespace tarvenix::testing
