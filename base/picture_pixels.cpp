#include "base/picture_pixels.h"

#include <algorithm>
#include <cstddef>

namespace tarvenix {
namespace {

// How much of target pixel t each source pixel covers along one axis, with
// `from` source pixels spread over `to` target pixels. Measured in 1/to of a
// source pixel, so the weights of one target pixel add up to `from`.
struct Span {
    int first = 0;             // first source pixel under the target pixel
    std::vector<int> weights;  // of source pixels first, first + 1, ...
};

std::vector<Span> Spans(int from, int to) {
    std::vector<Span> spans(static_cast<std::size_t>(to));
    for (int t = 0; t < to; ++t) {
        // Target pixel t covers [t * from, (t + 1) * from) in these units; source
        // pixel s covers [s * to, (s + 1) * to).
        const long long begin = static_cast<long long>(t) * from, end = begin + from;
        Span& span = spans[static_cast<std::size_t>(t)];
        span.first = static_cast<int>(begin / to);
        for (int s = span.first; s < from && static_cast<long long>(s) * to < end; ++s) {
            const long long lo = std::max(begin, static_cast<long long>(s) * to);
            const long long hi = std::min(end, static_cast<long long>(s + 1) * to);
            span.weights.push_back(static_cast<int>(hi - lo));
        }
    }
    return spans;
}

}  // namespace

PixelGrid FlattenOntoFace(const PixelGrid& picture, std::uint32_t faceRgb) {
    const unsigned fr = (faceRgb >> 16) & 0xFF, fg = (faceRgb >> 8) & 0xFF, fb = faceRgb & 0xFF;
    PixelGrid out;
    out.width = picture.width;
    out.height = picture.height;
    out.pixels.reserve(picture.pixels.size());
    for (const std::uint32_t p : picture.pixels) {
        const unsigned a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        const unsigned rr = (r * a + fr * (255 - a)) / 255;
        const unsigned gg = (g * a + fg * (255 - a)) / 255;
        const unsigned bb = (b * a + fb * (255 - a)) / 255;
        out.pixels.push_back((rr << 16) | (gg << 8) | bb);
    }
    return out;
}

PixelGrid ScaleBox(const PixelGrid& picture, int width, int height) {
    if (width <= 0 || height <= 0 || picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height)
        return {};
    if (width == picture.width && height == picture.height) return picture;
    const std::vector<Span> xs = Spans(picture.width, width);
    const std::vector<Span> ys = Spans(picture.height, height);
    // The weights of one target pixel add up to picture.width * picture.height.
    const std::uint64_t total = static_cast<std::uint64_t>(picture.width) * picture.height;
    PixelGrid out;
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<std::size_t>(width) * height);
    for (int ty = 0; ty < height; ++ty) {
        const Span& sy = ys[static_cast<std::size_t>(ty)];
        for (int tx = 0; tx < width; ++tx) {
            const Span& sx = xs[static_cast<std::size_t>(tx)];
            std::uint64_t sum[4] = {0, 0, 0, 0};
            for (std::size_t j = 0; j < sy.weights.size(); ++j) {
                const std::uint32_t* row =
                    &picture.pixels[(static_cast<std::size_t>(sy.first) + j) * picture.width + sx.first];
                for (std::size_t i = 0; i < sx.weights.size(); ++i) {
                    const std::uint64_t w = static_cast<std::uint64_t>(sy.weights[j]) * sx.weights[i];
                    for (int c = 0; c < 4; ++c) sum[c] += w * ((row[i] >> (8 * c)) & 0xFF);
                }
            }
            std::uint32_t px = 0;
            for (int c = 0; c < 4; ++c) px |= static_cast<std::uint32_t>((sum[c] + total / 2) / total) << (8 * c);
            out.pixels[static_cast<std::size_t>(ty) * width + tx] = px;
        }
    }
    return out;
}

}  // namespace tarvenix
