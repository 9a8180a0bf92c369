#include "servers/history_codec.h"

#include "app/text.h"

namespace tarvenix {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

std::string_view UpToNul(std::string_view bytes) {
    const auto nul = bytes.find('\0');
    return nul == std::string_view::npos ? bytes : bytes.substr(0, nul);
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        const auto unit = static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
        if (unit == 0) break;
        text.push_back(unit);
    }
    return text;
}

void AppendUtf16(std::string& out, std::u16string_view text, bool bigEndian) {
    for (const char16_t unit : text) {
        const auto hi = static_cast<char>(unit >> 8);
        const auto lo = static_cast<char>(unit & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    }
}

std::vector<std::u16string> SplitLines(std::u16string_view text) {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::u16string JoinLines(const std::vector<std::u16string>& entries) {
    std::u16string text;
    for (const auto& entry : entries) {
        text += entry;
        text += u"\r\n";
    }
    return text;
}

}  // namespace

LoadedHistory DecodeHistory(std::string_view fileBytes, const AnsiCodePage& ansi) {
    LoadedHistory result;
    std::u16string text;
    if (StartsWith(fileBytes, kUtf8Mark)) {
        result.encoding = TextEncoding::Utf8;
        text = Utf8ToUtf16(UpToNul(fileBytes.substr(kUtf8Mark.size())));
    } else if (StartsWith(fileBytes, kUtf16LEMark)) {
        result.encoding = TextEncoding::Utf16LE;
        text = DecodeUtf16(fileBytes.substr(kUtf16LEMark.size()), false);
    } else if (StartsWith(fileBytes, kUtf16BEMark)) {
        result.encoding = TextEncoding::Utf16BE;
        text = DecodeUtf16(fileBytes.substr(kUtf16BEMark.size()), true);
    } else {
        result.encoding = TextEncoding::Ansi;
        text = ansi.Decode(UpToNul(fileBytes));
    }
    result.entries = SplitLines(text);
    return result;
}

std::string EncodeHistory(const std::vector<std::u16string>& entries, std::optional<TextEncoding> historyEncoding,
                          const AnsiCodePage& ansi, TextEncoding* written) {
    const std::u16string text = JoinLines(entries);
    TextEncoding encoding = historyEncoding.value_or(TextEncoding::Ansi);
    std::string bytes;
    if (encoding == TextEncoding::Ansi) {
        bool lossless = true;
        bytes = ansi.Encode(text, &lossless);
        const bool looksMarked =
            StartsWith(bytes, kUtf8Mark) || StartsWith(bytes, kUtf16LEMark) || StartsWith(bytes, kUtf16BEMark);
        if (lossless && !looksMarked) {
            if (written) *written = TextEncoding::Ansi;
            return bytes;
        }
        encoding = TextEncoding::Utf8;
        bytes.clear();
    }
    switch (encoding) {
    case TextEncoding::Utf8:
        bytes = std::string(kUtf8Mark) + Utf16ToUtf8(text);
        break;
    case TextEncoding::Utf16LE:
        bytes = std::string(kUtf16LEMark);
        AppendUtf16(bytes, text, false);
        break;
    case TextEncoding::Utf16BE:
        bytes = std::string(kUtf16BEMark);
        AppendUtf16(bytes, text, true);
        break;
    case TextEncoding::Ansi:
        break;
    }
    if (written) *written = encoding;
    return bytes;
}

}  // namespace tarvenix
