#include "base/picture_resources_win.h"

#include <cstdint>
#include <cstring>

#include "base/picture_pixels.h"
#include "base/resource_ids.h"

namespace tarvenix {
namespace {

// The pixels of a 32-bit DIB section, top row first, with the fourth byte as
// it is; an empty grid for any other kind of bitmap.
PixelGrid ReadPixels(HBITMAP bitmap) {
    DIBSECTION ds{};
    if (GetObjectW(bitmap, sizeof(ds), &ds) != sizeof(ds) || !ds.dsBm.bmBits || ds.dsBm.bmBitsPixel != 32) return {};
    const DWORD compression = ds.dsBmih.biCompression;
    const bool plain = compression == BI_RGB ||
                       (compression == BI_BITFIELDS && ds.dsBitfields[0] == 0xFF0000 && ds.dsBitfields[1] == 0xFF00 &&
                        ds.dsBitfields[2] == 0xFF);
    if (!plain || ds.dsBm.bmWidth <= 0 || ds.dsBm.bmHeight <= 0) return {};
    GdiFlush();
    PixelGrid grid;
    grid.width = ds.dsBm.bmWidth;
    grid.height = ds.dsBm.bmHeight;
    grid.pixels.resize(static_cast<std::size_t>(grid.width) * grid.height);
    const bool bottomUp = ds.dsBmih.biHeight > 0;
    const auto* bits = static_cast<const unsigned char*>(ds.dsBm.bmBits);
    for (int y = 0; y < grid.height; ++y) {
        const int row = bottomUp ? grid.height - 1 - y : y;
        std::memcpy(&grid.pixels[static_cast<std::size_t>(y) * grid.width],
                    bits + static_cast<std::size_t>(row) * ds.dsBm.bmWidthBytes,
                    static_cast<std::size_t>(grid.width) * 4);
    }
    return grid;
}

// A 32-bit top-down DIB section holding the grid.
HBITMAP MakeBitmap(const PixelGrid& grid) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = grid.width;
    bi.bmiHeader.biHeight = -grid.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp) return nullptr;
    std::memcpy(bits, grid.pixels.data(), grid.pixels.size() * sizeof(std::uint32_t));
    return bmp;
}

}  // namespace

HBITMAP LoadButtonPicture(int resourceId, COLORREF face, int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    HBITMAP loaded = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId),
                                                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!loaded) return nullptr;
    const PixelGrid picture = ReadPixels(loaded);
    DeleteObject(loaded);
    if (picture.pixels.empty()) return nullptr;
    const std::uint32_t faceRgb = (static_cast<std::uint32_t>(GetRValue(face)) << 16) |
                                  (static_cast<std::uint32_t>(GetGValue(face)) << 8) | GetBValue(face);
    const PixelGrid flat = ScaleBox(FlattenOntoFace(picture, faceRgb), width, height);
    return flat.pixels.empty() ? nullptr : MakeBitmap(flat);
}

HICON LoadAppIcon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, size, size, 0));
}

}  // namespace tarvenix
