// Byte-order marks and UTF-16 byte layouts, shared by every text file the
// program reads or writes. Portable.
#pragma once

#include <string>
#include <string_view>

namespace tarvenix {

enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

// The mark that starts a file in the encoding; empty for ANSI.
std::string_view ByteOrderMark(TextEncoding encoding);

// The encoding a file's mark names, tested in the order UTF-8 (EF BB BF),
// UTF-16 LE (FF FE), UTF-16 BE (FE FF); ANSI without a mark. `body` is what
// follows the mark.
struct MarkedBytes {
    TextEncoding encoding = TextEncoding::Ansi;
    std::string_view body;
};
MarkedBytes SplitByteOrderMark(std::string_view bytes);

// UTF-16 code units from bytes (an odd byte left at the end is ignored). With
// stopAtNul, the first 0 code unit ends the text.
std::u16string DecodeUtf16Bytes(std::string_view bytes, bool bigEndian, bool stopAtNul);
// Appends the code units as bytes in the given byte order.
void AppendUtf16Bytes(std::string& out, std::u16string_view text, bool bigEndian);

}  // namespace tarvenix
