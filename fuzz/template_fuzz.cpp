// The message template file: any bytes decode, and a saved subject and text
// load back unchanged (unpaired surrogates excepted: they come back as U+FFFD
// when the file has to be UTF-8).
//
// Input: byte 0 picks the code page (bit 0: 1251 or 1252); the rest is read
// twice: as a template file, and as little-endian UTF-16 whose first U+000A
// ends the subject (the subject is one line).
#include "actions/template_codec.h"
#include "base/ansi_tables.h"
#include "base/byte_order_mark.h"
#include "base/text.h"
#include "fuzz/fuzz_input.h"

using namespace tarvenix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const auto ansi = MakeTableCodePage((in.Byte() & 1) ? 1252 : 1251);
    const std::string_view rest = in.Rest();

    const LoadedTemplate loaded = DecodeTemplate(rest, *ansi);
    if (!loaded.hasSubject) FUZZ_CHECK(loaded.subject.empty() && loaded.text.empty());

    const std::u16string units = fuzz::Units(rest);
    const auto lf = units.find(u'\n');
    const std::u16string subject = units.substr(0, lf);
    const std::u16string text = lf == std::u16string::npos ? std::u16string() : units.substr(lf + 1);

    const std::string bytes = EncodeTemplate(subject, text, *ansi);
    const LoadedTemplate back = DecodeTemplate(bytes, *ansi);
    FUZZ_CHECK(back.hasSubject);
    const bool utf8 = SplitByteOrderMark(bytes).encoding == TextEncoding::Utf8;
    if (!utf8) {
        FUZZ_CHECK(back.subject == subject);
        FUZZ_CHECK(back.text == text);
    } else {
        FUZZ_CHECK(back.subject == fuzz::WithoutUnpairedSurrogates(subject));
        FUZZ_CHECK(back.text == fuzz::WithoutUnpairedSurrogates(text));
    }
    return 0;
}
