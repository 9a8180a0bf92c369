#include "servers/profile_text.h"

#include "base/byte_order_mark.h"
#include "base/text.h"

namespace tarvenix {

bool IsUnicodeProfile(std::string_view fileBytes) {
    return SplitByteOrderMark(fileBytes).encoding == TextEncoding::Utf16LE;
}

std::optional<std::string> ProfileAsUnicode(std::string_view fileBytes, const AnsiCodePage& ansi) {
    const MarkedBytes marked = SplitByteOrderMark(fileBytes);
    std::u16string text;
    switch (marked.encoding) {
        case TextEncoding::Utf16LE: return std::nullopt;
        case TextEncoding::Utf8: text = Utf8ToUtf16(marked.body); break;
        case TextEncoding::Utf16BE: text = DecodeUtf16Bytes(marked.body, true, false); break;
        case TextEncoding::Ansi: text = ansi.Decode(marked.body); break;
    }
    std::string out(ByteOrderMark(TextEncoding::Utf16LE));
    AppendUtf16Bytes(out, text, false);
    return out;
}

}  // namespace tarvenix
