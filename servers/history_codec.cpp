#include "servers/history_codec.h"

#include "base/byte_order_mark.h"
#include "base/text.h"

namespace tarvenix {

namespace {

std::string_view UpToNul(std::string_view bytes) {
    const auto nul = bytes.find('\0');
    return nul == std::string_view::npos ? bytes : bytes.substr(0, nul);
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
    const MarkedBytes marked = SplitByteOrderMark(fileBytes);
    result.encoding = marked.encoding;
    std::u16string text;
    switch (marked.encoding) {
        case TextEncoding::Utf8: text = Utf8ToUtf16(UpToNul(marked.body)); break;
        case TextEncoding::Utf16LE: text = DecodeUtf16Bytes(marked.body, false, true); break;
        case TextEncoding::Utf16BE: text = DecodeUtf16Bytes(marked.body, true, true); break;
        case TextEncoding::Ansi: text = ansi.Decode(UpToNul(marked.body)); break;
    }
    result.entries = SplitLines(text);
    return result;
}

namespace {

// Well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF) with at least one character outside ASCII.
bool NonAsciiUtf8(std::string_view bytes) {
    bool nonAscii = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        nonAscii = true;
        int length = 0;
        std::uint32_t lowest = 0, cp = 0;
        if ((b & 0xE0) == 0xC0) {
            length = 2, lowest = 0x80, cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3, lowest = 0x800, cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4, lowest = 0x10000, cp = b & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(length) > bytes.size()) return false;
        for (int k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += static_cast<std::size_t>(length);
    }
    return nonAscii;
}

}  // namespace

LoadedHistory DecodePipedNames(std::string_view bytes, const AnsiCodePage& ansi) {
    if (SplitByteOrderMark(bytes).encoding == TextEncoding::Ansi && NonAsciiUtf8(UpToNul(bytes))) {
        LoadedHistory result;
        result.encoding = TextEncoding::Utf8;
        result.entries = SplitLines(Utf8ToUtf16(UpToNul(bytes)));
        return result;
    }
    return DecodeHistory(bytes, ansi);
}

std::string EncodeHistory(const std::vector<std::u16string>& entries, std::optional<TextEncoding> historyEncoding,
                          const AnsiCodePage& ansi, TextEncoding* written) {
    const std::u16string text = JoinLines(entries);
    TextEncoding encoding = historyEncoding.value_or(TextEncoding::Ansi);
    // Only UTF-16 carries a surrogate without its partner.
    if ((encoding == TextEncoding::Ansi || encoding == TextEncoding::Utf8) && HasUnpairedSurrogate(text))
        encoding = TextEncoding::Utf16LE;
    std::string bytes;
    if (encoding == TextEncoding::Ansi) {
        bool lossless = true;
        bytes = ansi.Encode(text, &lossless);
        const bool looksMarked = SplitByteOrderMark(bytes).encoding != TextEncoding::Ansi;
        if (lossless && !looksMarked) {
            if (written) *written = TextEncoding::Ansi;
            return bytes;
        }
        encoding = TextEncoding::Utf8;
        bytes.clear();
    }
    bytes = std::string(ByteOrderMark(encoding));
    if (encoding == TextEncoding::Utf8) {
        bytes += Utf16ToUtf8(text);
    } else {
        AppendUtf16Bytes(bytes, text, encoding == TextEncoding::Utf16BE);
    }
    if (written) *written = encoding;
    return bytes;
}

}  // namespace tarvenix
