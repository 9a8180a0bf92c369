// Text conversions: UTF-8 <-> UTF-16 and the table code pages 1251 and 1252.
//
// Input: the bytes are used as UTF-8, as little-endian UTF-16 code units and
// as code-page bytes.
#include "base/ansi_tables.h"
#include "base/text.h"
#include "fuzz/fuzz_input.h"

using namespace tarvenix;

namespace {

// Strict UTF-8 (shortest form, no surrogates, at most U+10FFFF), written
// apart from the decoder under test.
bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n;
        std::uint32_t cp;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) { n = 1; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { n = 2; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { n = 3; cp = c & 0x07; }
        else return false;
        if (s.size() - i <= n) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        static constexpr std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // UTF-8 in: the result is well-formed UTF-16; valid input comes back
    // byte for byte, invalid input leaves a U+FFFD.
    const std::u16string decoded = Utf8ToUtf16(bytes);
    FUZZ_CHECK(!HasUnpairedSurrogate(decoded));
    FUZZ_CHECK(decoded.size() <= bytes.size());
    const std::string encoded = Utf16ToUtf8(decoded);
    if (IsValidUtf8(bytes)) {
        FUZZ_CHECK(encoded == bytes);
    } else {
        FUZZ_CHECK(decoded.find(u'\uFFFD') != std::u16string::npos);
    }
    FUZZ_CHECK(IsValidUtf8(encoded));
    FUZZ_CHECK(Utf8ToUtf16(encoded) == decoded);

    // UTF-16 in: any code units; only the unpaired surrogates change.
    const std::u16string units = fuzz::Units(bytes);
    const std::string utf8 = Utf16ToUtf8(units);
    FUZZ_CHECK(IsValidUtf8(utf8));
    FUZZ_CHECK(Utf8ToUtf16(utf8) == fuzz::WithoutUnpairedSurrogates(units));
    FUZZ_CHECK(HasUnpairedSurrogate(units) == (fuzz::WithoutUnpairedSurrogates(units) != units));

    for (const int codePage : {1251, 1252}) {
        const auto ansi = MakeTableCodePage(codePage);
        // Every byte decodes to one unit and encodes back.
        const std::u16string text = ansi->Decode(bytes);
        FUZZ_CHECK(text.size() == bytes.size());
        bool lossless = false;
        FUZZ_CHECK(ansi->Encode(text, &lossless) == bytes);
        FUZZ_CHECK(lossless);
        // Text that encodes without loss decodes back to itself; other text
        // holds '?' where characters were lost.
        const std::string out = ansi->Encode(units, &lossless);
        FUZZ_CHECK(out.size() <= units.size());
        if (lossless) {
            FUZZ_CHECK(ansi->Decode(out) == units);
        } else {
            FUZZ_CHECK(out.find('?') != std::string::npos);
        }
    }
    return 0;
}
