// Byte-order marks and UTF-16 byte layouts.
//
// Input: any bytes, as a file's start and as UTF-16 in both byte orders.
#include "base/byte_order_mark.h"
#include "fuzz/fuzz_input.h"

using namespace tarvenix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The mark and the body make up the bytes again; the body never starts
    // a mark the split tested before the one it found.
    const MarkedBytes marked = SplitByteOrderMark(bytes);
    FUZZ_CHECK(std::string(ByteOrderMark(marked.encoding)) + std::string(marked.body) == bytes);
    if (marked.encoding == TextEncoding::Ansi) {
        for (const TextEncoding e : {TextEncoding::Utf8, TextEncoding::Utf16LE, TextEncoding::Utf16BE}) {
            FUZZ_CHECK(bytes.substr(0, ByteOrderMark(e).size()) != ByteOrderMark(e));
        }
    }

    for (const bool bigEndian : {false, true}) {
        const std::u16string all = DecodeUtf16Bytes(bytes, bigEndian, false);
        FUZZ_CHECK(all.size() == bytes.size() / 2);
        std::string again;
        AppendUtf16Bytes(again, all, bigEndian);
        FUZZ_CHECK(again == bytes.substr(0, bytes.size() & ~std::size_t{1}));
        // The other byte order swaps every unit's bytes.
        const std::u16string swapped = DecodeUtf16Bytes(bytes, !bigEndian, false);
        for (std::size_t i = 0; i < all.size(); ++i) {
            FUZZ_CHECK(swapped[i] == static_cast<char16_t>((all[i] >> 8) | (all[i] << 8)));
        }
        // Stopping at NUL gives the text up to the first 0 unit.
        const std::u16string upToNul = DecodeUtf16Bytes(bytes, bigEndian, true);
        FUZZ_CHECK(upToNul == all.substr(0, all.find(u'\0')));
    }
    return 0;
}
