// The program's pictures: the application icon and the pictures of the image
// buttons, drawn by a small rasteriser of our own, and the encoders that turn
// them into the resource files committed in app/res (render_pictures writes
// them; picture_tests checks that the committed files are what is drawn now).
// The program itself only loads those resources. Portable: no platform headers.
//
// Every picture is an RGBA image with straight (not premultiplied) alpha.
// Where a picture has nothing, its pixels are fully transparent (0x00000000);
// edges of round and slanted shapes are anti-aliased with partial alpha. On
// the window side a button picture is flattened onto the button-face colour
// (base/picture_resources_win.h) before it is drawn.
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
// byte of `background` is ignored). Every pixel of the result is opaque. Each
// channel is rounded to the nearest value; the program's FlattenOntoFace
// (base/picture_pixels.h) rounds down, so where a pixel is partly transparent
// the two may differ by one.
Image CompositeOver(const Image& image, std::uint32_t background);

// The bytes of an ICO file holding this one image as a 32-bit BGRA bitmap
// (BITMAPINFOHEADER form, height doubled, followed by the AND mask in which
// fully transparent pixels are set). Sizes from 1 to 256 pixels.
std::string EncodeIco(const Image& image);

// The bytes of a BMP file holding the image as a 32-bit bitmap: file header,
// BITMAPINFOHEADER (BI_RGB, 32 bits per pixel, positive height, so the bottom
// row comes first), then the pixels as B G R A with the straight alpha in the
// fourth byte. Resource compilers take such a file as it is, and
// LoadImageW(LR_CREATEDIBSECTION) makes a 32-bit DIB section of it that keeps
// the fourth byte.
std::string EncodeBmp(const Image& image);

// One file of app/res: its name there and its bytes.
struct ResourceFile {
    std::string name;
    std::string bytes;
};

// Every file of app/res, as the renderer draws it now: tarvenix.ico and one
// BMP per button picture (txt, ldap, refresh, save, load).
std::vector<ResourceFile> ResourceFiles();

}  // namespace tarvenix
