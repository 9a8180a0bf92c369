#include "servers/history_codec.h"

#include "base/ansi_tables.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvenix {
namespace {

using namespace std::string_literals;
using Entries = std::vector<std::u16string>;

const char* Name(TextEncoding e) {
    switch (e) {
    case TextEncoding::Ansi: return "Ansi";
    case TextEncoding::Utf8: return "Utf8";
    case TextEncoding::Utf16LE: return "Utf16LE";
    case TextEncoding::Utf16BE: return "Utf16BE";
    }
    return "?";
}

std::string Printable(const Entries& entries) {
    std::string s;
    for (const auto& e : entries) s += "[" + Utf16ToUtf8(e) + "]";
    return s;
}

class HistoryCodec : public ::testing::Test {
protected:
    std::unique_ptr<AnsiCodePage> cp1251 = MakeTableCodePage(1251);
};

TEST_F(HistoryCodec, DecodesMarksLineEndsAndEndOfText) {
    const struct { const char* name; std::string bytes; Entries entries; TextEncoding encoding; } cases[] = {
        {"ansi CR LF, empty line, final break", "a\r\n\r\nb\r\n", {u"a", u"", u"b"}, TextEncoding::Ansi},
        {"ansi LF only", "a\n\nb\n", {u"a", u"", u"b"}, TextEncoding::Ansi},
        {"ansi CR only", "a\r\rb\r", {u"a", u"", u"b"}, TextEncoding::Ansi},
        {"mixed line ends", "a\r\n\rb\nc\n\r", {u"a", u"", u"b", u"c", u""}, TextEncoding::Ansi},
        {"no final break", "a\r\nb", {u"a", u"b"}, TextEncoding::Ansi},
        {"only line breaks", "\r\n\r\n", {u"", u""}, TextEncoding::Ansi},
        {"ansi Cyrillic", "\xD1\xE5\xF0\xE2\xE5\xF0\r\n", {u"Сервер"}, TextEncoding::Ansi},
        {"NUL in the middle", "a\r\nb\0c\r\nd"s, {u"a", u"b"}, TextEncoding::Ansi},
        {"NUL first", "\0a\r\n"s, {}, TextEncoding::Ansi},
        {"UTF-16 LE without a mark", "s\0r\0v\0\r\0\n\0"s, {u"s"}, TextEncoding::Ansi},
        {"empty file", "", {}, TextEncoding::Ansi},
        {"UTF-8 mark", "\xEF\xBB\xBF" "\xD0\xA1\xD0\xB5\xD1\x80\r\nb\n", {u"Сер", u"b"}, TextEncoding::Utf8},
        {"UTF-8 mark only", "\xEF\xBB\xBF", {}, TextEncoding::Utf8},
        {"invalid UTF-8", "\xEF\xBB\xBF" "a\xFF" "b\r\n\xD0", {u"a\uFFFDb", u"\uFFFD"}, TextEncoding::Utf8},
        {"UTF-8 NUL", "\xEF\xBB\xBF" "a\nb\0c"s, {u"a", u"b"}, TextEncoding::Utf8},
        {"UTF-16 LE", "\xFF\xFE" "a\0\r\0\n\0\x21\x04\r\0"s, {u"a", u"С"}, TextEncoding::Utf16LE},
        {"UTF-16 LE odd length", "\xFF\xFE" "a\0\n\0b"s, {u"a"}, TextEncoding::Utf16LE},
        {"UTF-16 LE NUL unit", "\xFF\xFE" "a\0\0\0b\0"s, {u"a"}, TextEncoding::Utf16LE},
        {"UTF-16 LE mark only", "\xFF\xFE", {}, TextEncoding::Utf16LE},
        {"UTF-16 BE", "\xFE\xFF" "\0a\0\n\x04\x21\0\r\0\n"s, {u"a", u"С"}, TextEncoding::Utf16BE},
        {"UTF-16 BE odd length", "\xFE\xFF" "\0a\0"s, {u"a"}, TextEncoding::Utf16BE},
        {"UTF-16 BE keeps a surrogate pair", "\xFE\xFF" "\xD8\x3D\xDE\x00"s, {u"\U0001F600"}, TextEncoding::Utf16BE},
    };
    for (const auto& c : cases) {
        const LoadedHistory loaded = DecodeHistory(c.bytes, *cp1251);
        EXPECT_EQ(loaded.entries, c.entries) << c.name << ": " << Printable(loaded.entries);
        EXPECT_EQ(loaded.encoding, c.encoding) << c.name << ": " << Name(loaded.encoding);
    }
}

TEST_F(HistoryCodec, WritesEachEncodingByteForByte) {
    const Entries entries = {u"a", u"", u"Сер"};
    const struct { std::optional<TextEncoding> encoding; std::string bytes; TextEncoding written; } cases[] = {
        {std::nullopt, "a\r\n\r\n\xD1\xE5\xF0\r\n", TextEncoding::Ansi},
        {TextEncoding::Ansi, "a\r\n\r\n\xD1\xE5\xF0\r\n", TextEncoding::Ansi},
        {TextEncoding::Utf8, "\xEF\xBB\xBF" "a\r\n\r\n\xD0\xA1\xD0\xB5\xD1\x80\r\n", TextEncoding::Utf8},
        {TextEncoding::Utf16LE, "\xFF\xFE" "a\0\r\0\n\0\r\0\n\0\x21\x04\x35\x04\x40\x04\r\0\n\0"s, TextEncoding::Utf16LE},
        {TextEncoding::Utf16BE, "\xFE\xFF" "\0a\0\r\0\n\0\r\0\n\x04\x21\x04\x35\x04\x40\0\r\0\n"s, TextEncoding::Utf16BE},
    };
    for (const auto& c : cases) {
        const char* name = c.encoding ? Name(*c.encoding) : "unset";
        TextEncoding written = TextEncoding::Utf16BE;
        EXPECT_EQ(EncodeHistory(entries, c.encoding, *cp1251, &written), c.bytes) << name;
        EXPECT_EQ(written, c.written) << name;
        const LoadedHistory back = DecodeHistory(c.bytes, *cp1251);
        EXPECT_EQ(back.entries, entries) << name;
        EXPECT_EQ(back.encoding, c.written) << name;
    }
}

TEST_F(HistoryCodec, EmptyHistoryWritesOnlyTheMark) {
    const struct { std::optional<TextEncoding> encoding; std::string bytes; } cases[] = {
        {std::nullopt, ""},
        {TextEncoding::Ansi, ""},
        {TextEncoding::Utf8, "\xEF\xBB\xBF"},
        {TextEncoding::Utf16LE, "\xFF\xFE"},
        {TextEncoding::Utf16BE, "\xFE\xFF"},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeHistory({}, c.encoding, *cp1251), c.bytes);
}

TEST_F(HistoryCodec, ReadsLineEndsOfAnyKindAndWritesCrLf) {
    const LoadedHistory loaded = DecodeHistory("a\n\nb", *cp1251);
    EXPECT_EQ(EncodeHistory(loaded.entries, loaded.encoding, *cp1251), "a\r\n\r\nb\r\n");
}

TEST_F(HistoryCodec, AnsiFallsBackToUtf8WhenTextWouldBeLost) {
    const auto cp1252 = MakeTableCodePage(1252);
    const struct { const char* name; const AnsiCodePage* ansi; std::optional<TextEncoding> encoding; Entries entries; std::string bytes; } cases[] = {
        {"character outside 1251", cp1251.get(), TextEncoding::Ansi, {u"srv", u"中"}, "\xEF\xBB\xBF" "srv\r\n\xE4\xB8\xAD\r\n"},
        {"never loaded", cp1251.get(), std::nullopt, {u"Café"}, "\xEF\xBB\xBF" "Caf\xC3\xA9\r\n"},
        {"no best fit for ё in 1252", cp1252.get(), TextEncoding::Ansi, {u"ё"}, "\xEF\xBB\xBF" "\xD1\x91\r\n"},
        // "яю" is FF FE in 1251: written as ANSI it would read back as UTF-16.
        {"ANSI bytes that look like a mark", cp1251.get(), TextEncoding::Ansi, {u"яю1"}, "\xEF\xBB\xBF" "\xD1\x8F\xD1\x8E" "1\r\n"},
    };
    for (const auto& c : cases) {
        TextEncoding written = TextEncoding::Ansi;
        const std::string bytes = EncodeHistory(c.entries, c.encoding, *c.ansi, &written);
        EXPECT_EQ(bytes, c.bytes) << c.name;
        EXPECT_EQ(written, TextEncoding::Utf8) << c.name;
        const LoadedHistory back = DecodeHistory(bytes, *c.ansi);
        EXPECT_EQ(back.entries, c.entries) << c.name;
        EXPECT_EQ(back.encoding, TextEncoding::Utf8) << c.name;
    }
    // The same characters in an encoding that holds them are not touched.
    EXPECT_EQ(EncodeHistory({u"Café"}, TextEncoding::Ansi, *cp1252), "Caf\xE9\r\n");
    EXPECT_EQ(EncodeHistory({u"中"}, TextEncoding::Utf16LE, *cp1251), "\xFF\xFE\x2D\x4E\r\0\n\0"s);
}

TEST_F(HistoryCodec, UnpairedSurrogatesSwitchAnsiAndUtf8ToUtf16LE) {
    const std::u16string loneHigh = u"a" + std::u16string(1, char16_t(0xD83D)) + u"b";
    const std::u16string loneLow = std::u16string(1, char16_t(0xDE00)) + u"b";
    const std::u16string reversed = u"x" + std::u16string{char16_t(0xDE00), char16_t(0xD83D)};
    const std::u16string endsHigh = u"srv" + std::u16string(1, char16_t(0xD83D));
    const std::u16string startsLow = std::u16string(1, char16_t(0xDE00)) + u"srv";
    const struct {
        const char* name;
        std::optional<TextEncoding> encoding;
        Entries entries;
        std::string bytes;
        TextEncoding written;
    } cases[] = {
        {"lone high in UTF-8", TextEncoding::Utf8, {loneHigh}, "\xFF\xFE" "a\0\x3D\xD8" "b\0\r\0\n\0"s, TextEncoding::Utf16LE},
        {"lone low in ANSI", TextEncoding::Ansi, {loneLow}, "\xFF\xFE" "\x00\xDE" "b\0\r\0\n\0"s, TextEncoding::Utf16LE},
        {"reversed pair, never loaded", std::nullopt, {reversed}, "\xFF\xFE" "x\0\x00\xDE\x3D\xD8\r\0\n\0"s, TextEncoding::Utf16LE},
        // The line break between them keeps the halves apart: no pair forms.
        {"halves in two entries", TextEncoding::Utf8, {endsHigh, startsLow},
         "\xFF\xFE" "s\0r\0v\0\x3D\xD8\r\0\n\0\x00\xDEs\0r\0v\0\r\0\n\0"s, TextEncoding::Utf16LE},
        {"lone high stays UTF-16 BE", TextEncoding::Utf16BE, {loneHigh}, "\xFE\xFF" "\0a\xD8\x3D\0b\0\r\0\n"s, TextEncoding::Utf16BE},
        {"valid pair stays UTF-8", TextEncoding::Utf8, {u"a\U0001F600"}, "\xEF\xBB\xBF" "a\xF0\x9F\x98\x80\r\n", TextEncoding::Utf8},
        {"valid pair from ANSI goes to UTF-8", TextEncoding::Ansi, {u"\U0001F600"}, "\xEF\xBB\xBF" "\xF0\x9F\x98\x80\r\n", TextEncoding::Utf8},
    };
    for (const auto& c : cases) {
        TextEncoding written = TextEncoding::Ansi;
        const std::string bytes = EncodeHistory(c.entries, c.encoding, *cp1251, &written);
        EXPECT_EQ(bytes, c.bytes) << c.name;
        EXPECT_EQ(written, c.written) << c.name << ": " << Name(written);
        const LoadedHistory back = DecodeHistory(bytes, *cp1251);
        EXPECT_EQ(back.entries, c.entries) << c.name;
        EXPECT_EQ(back.encoding, c.written) << c.name;
    }
}

TEST_F(HistoryCodec, PipedNamesWithoutAMarkAreUtf8WhenTheyAreValidUtf8) {
    const struct {
        const char* name;
        std::string bytes;
        Entries entries;
        TextEncoding encoding;
    } cases[] = {
        {"UTF-8 Cyrillic", "\xD0\xA1\xD0\x95\xD0\xA0\r\nTS01\n", {u"СЕР", u"TS01"}, TextEncoding::Utf8},
        {"cp1251 Cyrillic (not valid UTF-8)", "\xD1\xC5\xD0\r\n", {u"СЕР"}, TextEncoding::Ansi},
        {"plain ASCII", "TS01\r\nTS02\r\n", {u"TS01", u"TS02"}, TextEncoding::Ansi},
        {"overlong form is not UTF-8", "\xC0\xAFx\r\n", {u"\u0410\u0407x"}, TextEncoding::Ansi},
        {"cut short at the end", "ab\xD0", {u"ab\u0420"}, TextEncoding::Ansi},
        {"marked UTF-16 as a file", "\xFF\xFE" "A\0\r\0\n\0"s, {u"A"}, TextEncoding::Utf16LE},
    };
    for (const auto& c : cases) {
        const LoadedHistory loaded = DecodePipedNames(c.bytes, *cp1251);
        EXPECT_EQ(loaded.entries, c.entries) << c.name;
        EXPECT_EQ(loaded.encoding, c.encoding) << c.name;
    }
}

}  // namespace
}  // namespace tarvenix
