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
