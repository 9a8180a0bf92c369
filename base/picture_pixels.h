// The pixel work behind the button pictures: flattening a straight-alpha
// picture onto the button face and resampling it to the size a button asks
// for (its own size at 96 DPI, larger at higher DPI). Portable; the window
// side (picture_resources_win.h) reads the bitmap resource and makes the bitmap.
#pragma once

#include <cstdint>
#include <vector>

namespace tarvenix {

// width x height pixels, row-major, top row first.
struct PixelGrid {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

// Straight-alpha pixels 0xAARRGGBB laid over the opaque face colour 0xRRGGBB
// (its top byte is ignored). Per channel (c * a + face * (255 - a)) / 255,
// rounded down; the alpha byte of the result is 0, as a 32-bit BI_RGB bitmap
// for BitBlt has it.
PixelGrid FlattenOntoFace(const PixelGrid& picture, std::uint32_t faceRgb);

// The picture resampled to width x height by a box filter: each target pixel
// is the mean of the source area it covers, every source pixel weighted by the
// share of that area it takes, per channel (all four bytes), rounded to the
// nearest value. The same size gives the picture unchanged and a whole
// multiple repeats every pixel, so a 192-DPI picture is the 96-DPI one with
// doubled pixels; between whole multiples the pixels on a boundary blend
// their neighbours. Meant for opaque pixels (after FlattenOntoFace). An empty
// grid when either size is not positive or the picture is empty.
PixelGrid ScaleBox(const PixelGrid& picture, int width, int height);

}  // namespace tarvenix
