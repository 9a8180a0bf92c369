#include "base/text.h"

#include <gtest/gtest.h>

namespace tarvenix {
namespace {

TEST(Text, DecimalFormatting) {
    EXPECT_EQ(DecimalU32(0), u"0");
    EXPECT_EQ(DecimalU32(4294967295u), u"4294967295");
    EXPECT_EQ(DecimalI32(-2147483647 - 1), u"-2147483648");
    EXPECT_EQ(DecimalI32(42), u"42");
}

TEST(Text, StrToIntReadsLeadingDigitsAndWraps) {
    const struct { const char16_t* text; std::int32_t value; } cases[] = {
        {u"17", 17}, {u"", 0}, {u"abc", 0}, {u"12abc", 12}, {u"-5", -5}, {u"+8", 8},
        {u" 3", 0}, {u"4294967295", -1}, {u"65536", 65536}, {u"-", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(StrToIntLike(c.text), c.value) << Utf16ToUtf8(c.text);
    EXPECT_EQ(static_cast<std::uint32_t>(StrToIntLike(u"4294967295")), 4294967295u);
}

TEST(Text, Utf8RoundTripAndInvalidInput) {
    const std::u16string s = u"Сервер-01 \U0001F600 ё";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(s)), s);
    EXPECT_EQ(Utf8ToUtf16("\xD0\x90"), u"А");
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xD0"), u"\uFFFD");               // truncated sequence
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");     // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
}

TEST(Text, FindsUnpairedSurrogates) {
    const auto units = [](std::initializer_list<char16_t> u) { return std::u16string(u); };
    const struct { const char* name; std::u16string text; bool unpaired; } cases[] = {
        {"empty", u"", false},
        {"plain", u"Сервер", false},
        {"pair", u"a\U0001F600b", false},
        {"two pairs back to back", u"\U0001F600\U00010000", false},
        {"lone high", units({u'a', 0xD83D, u'b'}), true},
        {"lone high at the end", units({u'a', 0xD83D}), true},
        {"lone low", units({0xDE00}), true},
        {"reversed pair", units({0xDE00, 0xD83D}), true},
        {"two highs then a low", units({0xD83D, 0xD83D, 0xDE00}), true},
        {"pair then lone low", units({0xD83D, 0xDE00, 0xDE00}), true},
    };
    for (const auto& c : cases) EXPECT_EQ(HasUnpairedSurrogate(c.text), c.unpaired) << c.name;
}

}  // namespace
}  // namespace tarvenix
