// settings.ini turned into UTF-16: the new bytes hold the same text the old
// ones read as, and a file that is UTF-16 already is left alone.
//
// Input: byte 0 picks the code page (bit 0: 1251 or 1252); the rest is the file.
#include "base/ansi_tables.h"
#include "base/byte_order_mark.h"
#include "base/text.h"
#include "fuzz/fuzz_input.h"
#include "servers/profile_text.h"

using namespace tarvenix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const auto ansi = MakeTableCodePage((in.Byte() & 1) ? 1252 : 1251);
    const std::string_view file = in.Rest();

    const auto unicode = ProfileAsUnicode(file, *ansi);
    if (!unicode) {
        FUZZ_CHECK(IsUnicodeProfile(file));
        return 0;
    }
    FUZZ_CHECK(!IsUnicodeProfile(file));
    FUZZ_CHECK(IsUnicodeProfile(*unicode));
    FUZZ_CHECK(unicode->size() % 2 == 0);
    FUZZ_CHECK(!ProfileAsUnicode(*unicode, *ansi));

    const MarkedBytes before = SplitByteOrderMark(file);
    const std::u16string text = DecodeUtf16Bytes(SplitByteOrderMark(*unicode).body, false, false);
    switch (before.encoding) {
        case TextEncoding::Ansi: {
            // Every byte of a table code page decodes, and encodes back.
            bool lossless = false;
            FUZZ_CHECK(ansi->Encode(text, &lossless) == before.body);
            FUZZ_CHECK(lossless);
            break;
        }
        case TextEncoding::Utf8:
            FUZZ_CHECK(text == Utf8ToUtf16(before.body));
            break;
        case TextEncoding::Utf16BE: {
            std::string again;
            AppendUtf16Bytes(again, text, true);
            FUZZ_CHECK(again == before.body.substr(0, before.body.size() & ~std::size_t{1}));
            break;
        }
        case TextEncoding::Utf16LE:
            FUZZ_CHECK(false);
    }
    return 0;
}
