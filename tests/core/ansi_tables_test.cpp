#include "base/ansi_tables.h"

#include <gtest/gtest.h>

namespace tarvenix {
namespace {

TEST(AnsiTables, SpotChecksOfBothCodePages) {
    const auto cp1251 = MakeTableCodePage(1251);
    const auto cp1252 = MakeTableCodePage(1252);
    ASSERT_TRUE(cp1251 && cp1252);
    EXPECT_EQ(cp1251->Decode("\xC0\xFF\xB8\xA8\x88\xB9"), u"Ая\u0451\u0401€№");
    EXPECT_EQ(cp1251->Decode("\x98"), u"\u0098");
    EXPECT_EQ(cp1252->Decode("\x80\xE9\x81\x8D\x8F\x90\x9D\x9F"), u"€é\u0081\u008D\u008F\u0090\u009D\u0178");
    EXPECT_EQ(cp1251->Decode(std::string("a\0\x1A\r\n", 5)), std::u16string(u"a\0\x1A\r\n", 5));
    EXPECT_EQ(MakeTableCodePage(866), nullptr);
}

TEST(AnsiTables, EveryByteDecodesAndEncodesBack) {
    for (const int codePage : {1251, 1252}) {
        const auto ansi = MakeTableCodePage(codePage);
        for (int b = 0; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const std::u16string text = ansi->Decode(byte);
            ASSERT_EQ(text.size(), 1u);
            bool lossless = false;
            EXPECT_EQ(ansi->Encode(text, &lossless), byte) << codePage << " byte " << b;
            EXPECT_TRUE(lossless) << codePage << " byte " << b;
        }
    }
}

TEST(AnsiTables, MissingCharactersBecomeQuestionMarksWithoutBestFit) {
    const auto cp1251 = MakeTableCodePage(1251);
    const auto cp1252 = MakeTableCodePage(1252);
    const struct { const AnsiCodePage* ansi; std::u16string text; std::string bytes; bool lossless; } cases[] = {
        {cp1251.get(), u"Сервер-01", "\xD1\xE5\xF0\xE2\xE5\xF0-01", true},
        {cp1251.get(), u"", "", true},
        {cp1251.get(), u"aé中b", "a??b", false},
        {cp1251.get(), u"x\U0001F600y", "x?y", false},       // a surrogate pair is one character
        {cp1251.get(), u"x\xD800y", "x?y", false},           // unpaired surrogate
        {cp1252.get(), u"\u0451", "?", false},               // ё is not written as e
        {cp1252.get(), u"Café €", "Caf\xE9 \x80", true},
    };
    for (const auto& c : cases) {
        bool lossless = !c.lossless;
        EXPECT_EQ(c.ansi->Encode(c.text, &lossless), c.bytes);
        EXPECT_EQ(lossless, c.lossless) << c.bytes;
        EXPECT_EQ(c.ansi->Encode(c.text), c.bytes);  // the flag is optional
    }
}

}  // namespace
}  // namespace tarvenix
