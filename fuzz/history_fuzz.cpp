// The server history file: any bytes decode, and written entries read back
// unchanged in every encoding, surrogates included.
//
// Input: byte 0 picks the code page (bit 0: 1251 or 1252) and the encoding the
// history was loaded in (bits 1-3: unset, ANSI, UTF-8, UTF-16 LE, UTF-16 BE);
// the rest is read twice: as a history file, and as little-endian UTF-16
// entries separated by U+000A (CR, LF and NUL left out of them).
#include "base/ansi_tables.h"
#include "base/text.h"
#include "fuzz/fuzz_input.h"
#include "servers/history_codec.h"

#include <optional>

using namespace tarvenix;

namespace {

void CheckRoundTrip(const std::vector<std::u16string>& entries, std::optional<TextEncoding> encoding,
                    const AnsiCodePage& ansi) {
    TextEncoding written = TextEncoding::Ansi;
    const std::string bytes = EncodeHistory(entries, encoding, ansi, &written);
    const LoadedHistory back = DecodeHistory(bytes, ansi);
    FUZZ_CHECK(back.entries == entries);
    FUZZ_CHECK(back.encoding == written);
    // Text is never moved out of the encoding it was loaded in without need.
    if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE) FUZZ_CHECK(written == *encoding);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t selector = in.Byte();
    const auto ansi = MakeTableCodePage((selector & 1) ? 1252 : 1251);
    std::optional<TextEncoding> encoding;
    switch ((selector >> 1) % 5) {
        case 1: encoding = TextEncoding::Ansi; break;
        case 2: encoding = TextEncoding::Utf8; break;
        case 3: encoding = TextEncoding::Utf16LE; break;
        case 4: encoding = TextEncoding::Utf16BE; break;
        default: break;
    }
    const std::string_view rest = in.Rest();

    // As a file: whatever it holds, the entries it gives are written back
    // in the encoding it was read in and read again unchanged.
    const LoadedHistory loaded = DecodeHistory(rest, *ansi);
    for (const auto& entry : loaded.entries) {
        FUZZ_CHECK(entry.find_first_of(std::u16string_view(u"\r\n\0", 3)) == std::u16string::npos);
    }
    CheckRoundTrip(loaded.entries, loaded.encoding, *ansi);
    // As names piped in: the same guarantees, whichever way it was read.
    const LoadedHistory piped = DecodePipedNames(rest, *ansi);
    for (const auto& entry : piped.entries) {
        FUZZ_CHECK(entry.find_first_of(std::u16string_view(u"\r\n\0", 3)) == std::u16string::npos);
    }
    CheckRoundTrip(piped.entries, piped.encoding, *ansi);

    // As entries: any code units but line breaks and NUL, in any encoding.
    std::u16string units = fuzz::Units(rest);
    std::erase_if(units, [](char16_t c) { return c == u'\r' || c == 0; });
    std::vector<std::u16string> entries;
    if (!units.empty()) entries = fuzz::Split(units, u'\n');
    CheckRoundTrip(entries, encoding, *ansi);
    return 0;
}
