#include "base/byte_order_mark.h"

namespace tarvenix {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

bool StartsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

}  // namespace

std::string_view ByteOrderMark(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8: return kUtf8Mark;
        case TextEncoding::Utf16LE: return kUtf16LEMark;
        case TextEncoding::Utf16BE: return kUtf16BEMark;
        case TextEncoding::Ansi: break;
    }
    return {};
}

MarkedBytes SplitByteOrderMark(std::string_view bytes) {
    for (const TextEncoding e : {TextEncoding::Utf8, TextEncoding::Utf16LE, TextEncoding::Utf16BE}) {
        const std::string_view mark = ByteOrderMark(e);
        if (StartsWith(bytes, mark)) return {e, bytes.substr(mark.size())};
    }
    return {TextEncoding::Ansi, bytes};
}

std::u16string DecodeUtf16Bytes(std::string_view bytes, bool bigEndian, bool stopAtNul) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        const auto unit = static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
        if (stopAtNul && unit == 0) break;
        text.push_back(unit);
    }
    return text;
}

void AppendUtf16Bytes(std::string& out, std::u16string_view text, bool bigEndian) {
    out.reserve(out.size() + text.size() * 2);
    for (const char16_t unit : text) {
        const auto hi = static_cast<char>(unit >> 8);
        const auto lo = static_cast<char>(unit & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    }
}

}  // namespace tarvenix
