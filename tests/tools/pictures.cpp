#include "tests/tools/pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string_view>
#include <utility>

namespace tarvenix {
namespace {

// A point of the drawing plane. Pixel (x, y) covers [x, x+1) x [y, y+1).
struct Pt {
    float x, y;
};

// A shape is the set of plane points for which it answers true; a paint gives
// the straight-alpha colour 0xAARRGGBB at a plane point.
using Shape = std::function<bool(float, float)>;
using Paint = std::function<std::uint32_t(float, float)>;

Shape Rect(float x0, float y0, float x1, float y1) {
    return [=](float x, float y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

Shape RoundRect(float x0, float y0, float x1, float y1, float r) {
    return [=](float x, float y) {
        if (x < x0 || x >= x1 || y < y0 || y >= y1) return false;
        const float cx = std::clamp(x, x0 + r, x1 - r);
        const float cy = std::clamp(y, y0 + r, y1 - r);
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
    };
}

Shape Circle(float cx, float cy, float r) {
    return [=](float x, float y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

Shape Polygon(std::vector<Pt> points) {
    return [points = std::move(points)](float x, float y) {
        bool inside = false;
        for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const Pt& a = points[i];
            const Pt& b = points[j];
            if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
        }
        return inside;
    };
}

Paint Solid(std::uint32_t argb) {
    return [argb](float, float) { return argb; };
}

std::uint32_t Mix(std::uint32_t c0, std::uint32_t c1, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const float a = static_cast<float>((c0 >> shift) & 0xFF);
        const float b = static_cast<float>((c1 >> shift) & 0xFF);
        out |= static_cast<std::uint32_t>(std::lround(a + (b - a) * t)) << shift;
    }
    return out;
}

// Colour c0 at y0 turning into c1 at y1.
Paint VerticalGradient(float y0, std::uint32_t c0, float y1, std::uint32_t c1) {
    return [=](float, float y) { return Mix(c0, c1, (y - y0) / (y1 - y0)); };
}

// Premultiplied float canvas; shapes are sampled on a 4 x 4 grid per pixel and
// laid over what is already there.
class Canvas {
public:
    Canvas(int width, int height)
        : width_(width), height_(height), px_(static_cast<std::size_t>(width) * height * 4, 0.0f) {}

    void Fill(const Shape& shape, const Paint& paint) {
        constexpr int kSub = 4;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                int hits = 0;
                for (int sy = 0; sy < kSub; ++sy)
                    for (int sx = 0; sx < kSub; ++sx)
                        if (shape(x + (sx + 0.5f) / kSub, y + (sy + 0.5f) / kSub)) ++hits;
                if (hits == 0) continue;
                Blend(x, y, paint(x + 0.5f, y + 0.5f), static_cast<float>(hits) / (kSub * kSub));
            }
        }
    }
    void Fill(const Shape& shape, std::uint32_t argb) { Fill(shape, Solid(argb)); }

    // A whole-pixel rectangle: w x h pixels from pixel (x, y).
    void Box(int x, int y, int w, int h, std::uint32_t argb) {
        for (int py = std::max(y, 0); py < std::min(y + h, height_); ++py)
            for (int px = std::max(x, 0); px < std::min(x + w, width_); ++px) Blend(px, py, argb, 1.0f);
    }

    Image ToImage() const {
        Image image;
        image.width = width_;
        image.height = height_;
        image.pixels.resize(static_cast<std::size_t>(width_) * height_);
        for (std::size_t i = 0; i < image.pixels.size(); ++i) {
            const float* p = &px_[i * 4];
            const float a = std::clamp(p[3], 0.0f, 1.0f);
            const auto byte = [a](float premultiplied) {
                return static_cast<std::uint32_t>(
                    std::lround(std::clamp(a > 0 ? premultiplied / a : 0.0f, 0.0f, 1.0f) * 255.0f));
            };
            const std::uint32_t alpha = static_cast<std::uint32_t>(std::lround(a * 255.0f));
            image.pixels[i] = alpha == 0 ? 0u : (alpha << 24) | (byte(p[0]) << 16) | (byte(p[1]) << 8) | byte(p[2]);
        }
        return image;
    }

private:
    // Lays the colour over pixel (x, y) with the given share of the pixel covered.
    void Blend(int x, int y, std::uint32_t c, float coverage) {
        const float a = static_cast<float>(c >> 24) / 255.0f * coverage;
        float* p = &px_[(static_cast<std::size_t>(y) * width_ + x) * 4];
        p[0] = static_cast<float>((c >> 16) & 0xFF) / 255.0f * a + p[0] * (1 - a);
        p[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f * a + p[1] * (1 - a);
        p[2] = static_cast<float>(c & 0xFF) / 255.0f * a + p[2] * (1 - a);
        p[3] = a + p[3] * (1 - a);
    }

    int width_, height_;
    std::vector<float> px_;
};

// --- A 3 x 5 pixel font for the labels of the sheets ---------------------

struct Glyph {
    char letter;
    std::array<const char*, 5> rows;
};

constexpr Glyph kFont[] = {
    {'A', {".#.", "#.#", "###", "#.#", "#.#"}},
    {'D', {"##.", "#.#", "#.#", "#.#", "##."}},
    {'L', {"#..", "#..", "#..", "#..", "###"}},
    {'P', {"##.", "#.#", "##.", "#..", "#.."}},
    {'T', {"###", ".#.", ".#.", ".#.", ".#."}},
    {'X', {"#.#", "#.#", ".#.", "#.#", "#.#"}},
};

constexpr int kGlyphWidth = 3;
constexpr int kGlyphGap = 1;

int TextWidth(std::string_view text) {
    return text.empty() ? 0 : static_cast<int>(text.size()) * (kGlyphWidth + kGlyphGap) - kGlyphGap;
}

void DrawLabel(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t argb) {
    for (const char ch : text) {
        for (const Glyph& g : kFont) {
            if (g.letter != ch) continue;
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < kGlyphWidth; ++col)
                    if (g.rows[row][col] == '#') canvas.Box(x + col, y + row, 1, 1, argb);
        }
        x += kGlyphWidth + kGlyphGap;
    }
}

// --- The sheet of the two list-source buttons -----------------------------

constexpr std::uint32_t kSheetEdge = 0xFF8A7F6A;
constexpr std::uint32_t kSheetCream = 0xFFFFF7DC;
constexpr std::uint32_t kFlapCream = 0xFFE9DFC0;
constexpr std::uint32_t kInkBlue = 0xFF2F67C8;
constexpr std::uint32_t kBandDark = 0xFF28323E;
constexpr std::uint32_t kLetterWhite = 0xFFFFFFFF;

// The sheet covers pixels 3..20 x 1..28 with its top right corner folded down
// along a 45-degree pixel staircase; the band, wider than the sheet, covers
// rows 19..27. Drawn pixel by pixel so that every edge is crisp at 1x.
constexpr int kSheetL = 3, kSheetT = 1, kSheetR = 20, kSheetB = 28, kFold = 5;
constexpr int kBandTop = 19, kBandHeight = 9, kBandLeft = 1, kBandWidth = 22;

Canvas Sheet(std::string_view label) {
    Canvas c(24, 30);
    const int fold_x = kSheetR - kFold;  // the corner is cut from (fold_x, T) to (R, T + kFold)
    for (int y = kSheetT; y <= kSheetB; ++y) {
        for (int x = kSheetL; x <= kSheetR; ++x) {
            const int along = (x - fold_x) - (y - kSheetT);  // > 0: cut away; 0: the fold line
            const bool in_corner = x >= fold_x && y <= kSheetT + kFold;
            if (in_corner && along > 0) continue;
            std::uint32_t colour = kSheetCream;
            if (x == kSheetL || x == kSheetR || y == kSheetT || y == kSheetB || (in_corner && along == 0))
                colour = kSheetEdge;
            else if (in_corner)
                colour = (x == fold_x || y == kSheetT + kFold) ? kSheetEdge : kFlapCream;
            c.Box(x, y, 1, 1, colour);
        }
    }
    // The band and its letters.
    c.Box(kBandLeft, kBandTop, kBandWidth, kBandHeight, kBandDark);
    c.Box(kBandLeft, kBandTop, kBandWidth, 1, 0xFF3E4B5B);
    const int text_x = kBandLeft + (kBandWidth - TextWidth(label)) / 2;
    DrawLabel(c, text_x, kBandTop + 2, label, kLetterWhite);
    return c;
}

// --- Arrow heads --------------------------------------------------------------

// A triangular head whose base is centred at `base`, pointing along the unit
// direction (dx, dy), `length` long and `width` wide at the base.
Shape ArrowHead(Pt base, float dx, float dy, float length, float width) {
    const float nx = -dy, ny = dx;
    return Polygon({{base.x + nx * width / 2, base.y + ny * width / 2},
                    {base.x + dx * length, base.y + dy * length},
                    {base.x - nx * width / 2, base.y - ny * width / 2}});
}

}  // namespace

Image DrawTxtButtonPicture() {
    Canvas c = Sheet("TXT");
    // Lines of text; the two top lines stop short of the folded corner.
    const int ends[] = {13, 13, 18, 16, 18, 17, 12};
    for (int i = 0; i < 7; ++i) c.Box(5, 4 + 2 * i, ends[i] - 5 + 1, 1, kInkBlue);
    return c.ToImage();
}

Image DrawLdapButtonPicture() {
    Canvas c = Sheet("LDAP");
    const std::uint32_t link = 0xFF5A86D6;
    // Root node, linked to two nodes, which are linked to three.
    c.Box(10, 3, 3, 3, kInkBlue);
    c.Box(11, 6, 1, 1, link);
    c.Box(7, 7, 9, 1, link);
    c.Box(7, 8, 1, 1, link);
    c.Box(15, 8, 1, 1, link);
    c.Box(6, 9, 3, 3, kInkBlue);
    c.Box(14, 9, 3, 3, kInkBlue);
    c.Box(7, 12, 1, 1, link);
    c.Box(5, 13, 5, 1, link);
    c.Box(5, 14, 1, 1, link);
    c.Box(9, 14, 1, 1, link);
    c.Box(15, 12, 1, 3, link);
    c.Box(4, 15, 3, 3, kInkBlue);
    c.Box(8, 15, 3, 3, kInkBlue);
    c.Box(14, 15, 3, 3, kInkBlue);
    return c.ToImage();
}

Image DrawRefreshPicture() {
    // Drawn pixel by pixel: at 15 x 15 a hand-placed ring reads better than a
    // smoothed one. The upper arrow runs clockwise from the left over the top
    // and points down; the lower one is the same arrow turned half round.
    // '#' full colour, '+' half-covered edge pixel.
    static constexpr const char* kUpper[8] = {
        "...............",
        "....+#####+....",
        "...#########...",
        "..###+...+###..",
        "..##+.....+##..",
        "..##.....######",
        "..........####.",
        "...........##..",
    };
    const std::uint32_t upper = 0xFF3C9BE6;
    const std::uint32_t lower = 0xFF4A4F57;
    Canvas c(15, 15);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 15; ++x) {
            const char p = kUpper[y][x];
            if (p == '.') continue;
            const std::uint32_t alpha = p == '#' ? 0xFF000000u : 0x80000000u;
            c.Box(x, y, 1, 1, (upper & 0xFFFFFF) | alpha);
            c.Box(14 - x, 14 - y, 1, 1, (lower & 0xFFFFFF) | alpha);
        }
    }
    return c.ToImage();
}

Image DrawSavePicture() {
    Canvas c(20, 20);
    const std::uint32_t edge = 0xFF1E2F4A;
    // Body with the top right corner cut off.
    c.Fill(Polygon({{1, 1}, {16, 1}, {19, 4}, {19, 19}, {1, 19}}), edge);
    c.Fill(Polygon({{2, 2}, {15.6f, 2}, {18, 4.4f}, {18, 18}, {2, 18}}),
           VerticalGradient(2, 0xFF4571B5, 18, 0xFF2D4F88));
    // Metal shutter with its window.
    c.Box(5, 1, 9, 7, 0xFF9AA3AE);
    c.Box(6, 2, 7, 5, 0xFFD7DCE2);
    c.Box(10, 2, 2, 4, 0xFF3A4656);
    // Label.
    c.Box(4, 10, 12, 9, edge);
    c.Box(5, 11, 10, 8, 0xFFF7F7F2);
    c.Box(6, 13, 8, 1, 0xFF9DB0CC);
    c.Box(6, 15, 8, 1, 0xFF9DB0CC);
    return c.ToImage();
}

Image DrawLoadPicture() {
    Canvas c(20, 20);
    const std::uint32_t edge = 0xFF8E6412;
    // Back of the folder with its tab.
    c.Fill(Polygon({{1, 6}, {6, 6}, {7.5f, 7.5f}, {16, 7.5f}, {16, 18}, {1, 18}}), edge);
    c.Fill(Polygon({{2, 7}, {5.6f, 7}, {7.1f, 8.5f}, {15, 8.5f}, {15, 17}, {2, 17}}), 0xFFE0AE3C);
    // The arrow rising out of the folder.
    const std::uint32_t green = 0xFF2E9A3A;
    const std::uint32_t green_edge = 0xFF1C6E27;
    c.Fill(Rect(12, 6.5f, 17, 13), green_edge);
    c.Fill(ArrowHead({14.5f, 8}, 0, -1, 7, 10.5f), green_edge);
    c.Fill(Rect(13, 7, 16, 13), green);
    c.Fill(ArrowHead({14.5f, 7.5f}, 0, -1, 5.1f, 7.6f), green);
    // Front flap of the open folder, tilted back.
    c.Fill(Polygon({{4, 11}, {19.5f, 11}, {16, 18}, {1, 18}}), edge);
    c.Fill(Polygon({{4.6f, 12}, {18, 12}, {15.4f, 17}, {2.6f, 17}}),
           VerticalGradient(12, 0xFFFFE28A, 17, 0xFFF2C250));
    return c.ToImage();
}

Image DrawAppIcon() {
    Canvas c(64, 64);
    // Monitor: frame, deep-blue screen with a faint glare, neck and foot.
    c.Fill(Polygon({{26, 46}, {38, 46}, {40, 55}, {24, 55}}), 0xFF6B7380);
    c.Fill(Polygon({{27, 46}, {37, 46}, {38.8f, 54}, {25.2f, 54}}), VerticalGradient(46, 0xFF9CA3AD, 54, 0xFFC3C8CF));
    c.Fill(RoundRect(14, 53, 50, 60, 2.5f), 0xFF5E6673);
    c.Fill(RoundRect(15, 54, 49, 59, 1.8f), VerticalGradient(54, 0xFFD5D9DE, 59, 0xFFA9AFB8));
    c.Fill(RoundRect(2, 4, 62, 48, 4.5f), 0xFF4F5662);
    c.Fill(RoundRect(3, 5, 61, 47, 3.6f), VerticalGradient(5, 0xFFE8EBEF, 47, 0xFFB6BCC5));
    c.Fill(Rect(7, 9, 57, 43), 0xFF39414D);
    c.Fill(Rect(8, 10, 56, 42), VerticalGradient(10, 0xFF1848C0, 42, 0xFF0A2470));
    c.Fill(Polygon({{8, 10}, {40, 10}, {18, 42}, {8, 42}}), 0x18FFFFFF);
    // The badge: a soft shadow, a grey rim, a white disc.
    const float bx = 46, by = 45;
    c.Fill(Circle(bx + 0.8f, by + 1.2f, 16.5f), 0x40000000);
    c.Fill(Circle(bx, by, 16), 0xFF8C959F);
    c.Fill(Circle(bx, by, 15), 0xFFFFFFFF);
    // Two green arrows pointing at each other, their tips close to the centre.
    const auto arrow = [&](float dir, float grow) {
        const float tip = bx - dir * (1.3f - grow * 1.4f);
        const float neck = tip - dir * (6.5f + grow * 0.2f);
        const float tail = bx - dir * (11.3f + grow);
        const float shaft = 2.4f + grow, head = 6.4f + grow * 1.6f;
        return Polygon({{tail, by - shaft}, {neck, by - shaft}, {neck, by - head}, {tip, by},
                        {neck, by + head}, {neck, by + shaft}, {tail, by + shaft}});
    };
    for (const float dir : {1.0f, -1.0f}) {
        c.Fill(arrow(dir, 0.9f), 0xFF1B7A2E);
        c.Fill(arrow(dir, 0.0f), VerticalGradient(by - 6, 0xFF5CCB62, by + 6, 0xFF23962F));
    }
    return c.ToImage();
}

Image CompositeOver(const Image& image, std::uint32_t background) {
    Image out = image;
    for (std::uint32_t& px : out.pixels) {
        const float a = static_cast<float>(px >> 24) / 255.0f;
        const std::uint32_t opaque = Mix(background | 0xFF000000u, px | 0xFF000000u, a);
        px = opaque | 0xFF000000u;
    }
    return out;
}

std::string EncodeIco(const Image& image) {
    const int w = image.width, h = image.height;
    const int mask_stride = ((w + 31) / 32) * 4;
    const std::uint32_t pixel_bytes = static_cast<std::uint32_t>(w) * h * 4;
    const std::uint32_t mask_bytes = static_cast<std::uint32_t>(mask_stride) * h;
    const std::uint32_t header_bytes = 40;
    std::string out;
    const auto u8 = [&out](unsigned v) { out.push_back(static_cast<char>(v & 0xFF)); };
    const auto u16 = [&](unsigned v) { u8(v); u8(v >> 8); };
    const auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    // ICONDIR
    u16(0);  // reserved
    u16(1);  // type: icon
    u16(1);  // one image
    // ICONDIRENTRY
    u8(w >= 256 ? 0 : w);
    u8(h >= 256 ? 0 : h);
    u8(0);   // no palette
    u8(0);   // reserved
    u16(1);  // planes
    u16(32); // bits per pixel
    u32(header_bytes + pixel_bytes + mask_bytes);
    u32(6 + 16);
    // BITMAPINFOHEADER; the height counts the colour rows and the mask rows.
    u32(header_bytes);
    u32(static_cast<std::uint32_t>(w));
    u32(static_cast<std::uint32_t>(h) * 2);
    u16(1);
    u16(32);
    u32(0);  // BI_RGB
    u32(pixel_bytes + mask_bytes);
    u32(0);
    u32(0);
    u32(0);
    u32(0);
    // Colour rows, bottom row first, as B G R A.
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) u32(image.At(x, y));
    // AND mask, bottom row first: a set bit marks a fully transparent pixel.
    for (int y = h - 1; y >= 0; --y) {
        std::string row(static_cast<std::size_t>(mask_stride), '\0');
        for (int x = 0; x < w; ++x)
            if ((image.At(x, y) >> 24) == 0) row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
        out += row;
    }
    return out;
}

std::string EncodeBmp(const Image& image) {
    const std::uint32_t pixel_bytes = static_cast<std::uint32_t>(image.width) * image.height * 4;
    const std::uint32_t headers = 14 + 40;
    std::string out;
    const auto u8 = [&out](unsigned v) { out.push_back(static_cast<char>(v & 0xFF)); };
    const auto u16 = [&](unsigned v) { u8(v); u8(v >> 8); };
    const auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    // BITMAPFILEHEADER
    u8('B');
    u8('M');
    u32(headers + pixel_bytes);
    u16(0);
    u16(0);
    u32(headers);  // where the pixels start
    // BITMAPINFOHEADER
    u32(40);
    u32(static_cast<std::uint32_t>(image.width));
    u32(static_cast<std::uint32_t>(image.height));  // positive: bottom row first
    u16(1);   // planes
    u16(32);  // bits per pixel
    u32(0);   // BI_RGB
    u32(pixel_bytes);
    u32(3780);  // 96 dots per inch, the size the pictures are drawn for
    u32(3780);
    u32(0);  // no colour table
    u32(0);
    // Rows of 32-bit pixels need no padding.
    for (int y = image.height - 1; y >= 0; --y)
        for (int x = 0; x < image.width; ++x) u32(image.At(x, y));
    return out;
}

std::vector<ResourceFile> ResourceFiles() {
    return {
        {"tarvenix.ico", EncodeIco(DrawAppIcon())},
        {"txt.bmp", EncodeBmp(DrawTxtButtonPicture())},
        {"ldap.bmp", EncodeBmp(DrawLdapButtonPicture())},
        {"refresh.bmp", EncodeBmp(DrawRefreshPicture())},
        {"save.bmp", EncodeBmp(DrawSavePicture())},
        {"load.bmp", EncodeBmp(DrawLoadPicture())},
    };
}

}  // namespace tarvenix
