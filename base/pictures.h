// The program's pictures: the application icon and the pictures of the image
// buttons, drawn by a small rasteriser of our own. Portable: no platform headers.
//
// Every picture is an RGBA image with straight (not premultiplied) alpha.
// Where a picture has nothing, its pixels are fully transparent (0x00000000);
// edges of round and slanted shapes are anti-aliased with partial alpha. The
// button pictures are 24-bit bitmaps on the window side: flatten them with
// CompositeOver onto the button-face colour (GetSysColor(COLOR_BTNFACE)) before
// making the bitmap, so they sit on whatever face colour the system uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvenix {

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, row-major, top row first

    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// 64x64: a computer monitor with a deep-blue screen and, over its lower right
// corner, a circular white badge holding two green arrows that point at each other.
Image DrawAppIcon();
// 24x30: a sheet of paper with its top right corner folded down, blue lines of
// text on a cream ground, a dark band across its foot bearing white "TXT".
Image DrawTxtButtonPicture();
// 24x30: the same sheet bearing a blue tree diagram (one node linked to two,
// linked to three) and the dark band with white "LDAP".
Image DrawLdapButtonPicture();
// 15x15: two curved arrows chasing each other around a circle, the upper one
// light blue, the lower one dark grey.
Image DrawRefreshPicture();
// 20x20: a floppy disk.
Image DrawSavePicture();
// 20x20: an open folder with an arrow leaving it.
Image DrawLoadPicture();

// The image flattened onto an opaque background colour (0xRRGGBB; the alpha
// byte of `background` is ignored). Every pixel of the result is opaque.
Image CompositeOver(const Image& image, std::uint32_t background);

// The bytes of an ICO file holding this one image as a 32-bit BGRA bitmap
// (BITMAPINFOHEADER form, height doubled, followed by the AND mask in which
// fully transparent pixels are set). Sizes from 1 to 256 pixels.
std::string EncodeIco(const Image& image);

}  // namespace tarvenix
