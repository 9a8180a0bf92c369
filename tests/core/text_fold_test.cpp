// Case-insensitive finding over Latin and Cyrillic.
#include <gtest/gtest.h>

#include "base/text.h"
#include "base/text_fold.h"
#include "sessions/farm_listing_run.h"

namespace tarvenix {
namespace {

TEST(TextFold, FindsWhateverTheCase) {
    const struct {
        const char16_t* text;
        const char16_t* needle;
        bool found;
    } cases[] = {
        {u"Петрова", u"петр", true},
        {u"ПЕТРОВ", u"петр", true},
        {u"Petra", u"petr", true},
        {u"PETROV-NB", u"petr", true},
        {u"petrov-nb", u"PETROV-NB", true},
        {u"Ёлкин", u"ёл", true},
        {u"ёлкин", u"ЁЛ", true},
        {u"Ålborg", u"åL", true},
        {u"Łukasz", u"ł", true},
        {u"Иванов", u"петр", false},
        {u"Пётр", u"петр", false},  // ё is not е
        {u"ab", u"abc", false},
        {u"anything", u"", true},
        {u"", u"", true},
        {u"", u"a", false},
        {u"x×y", u"×", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.text) + " / " + Utf16ToUtf8(c.needle));
        EXPECT_EQ(ContainsFolded(c.text, FoldCase(c.needle)), c.found);
    }
}

TEST(TextFold, EveryCapitalOfTheTwoAlphabetsFoldsToItsSmallLetter) {
    for (char16_t c = u'A'; c <= u'Z'; ++c) EXPECT_EQ(FoldLetter(c), c + 0x20);
    for (char16_t c = u'А'; c <= u'Я'; ++c) EXPECT_EQ(FoldLetter(c), c + 0x20);
    for (char16_t c = u'а'; c <= u'я'; ++c) EXPECT_EQ(FoldLetter(c), c);
    EXPECT_EQ(FoldLetter(u'Ё'), u'ё');
    EXPECT_EQ(FoldLetter(u'Ї'), u'ї');
    EXPECT_EQ(FoldLetter(u'Ґ'), u'ґ');
    EXPECT_EQ(FoldLetter(u'ß'), u'ß');
    EXPECT_EQ(FoldLetter(u'Ÿ'), u'ÿ');
    EXPECT_EQ(FoldLetter(u'Ź'), u'ź');
    // Folding twice changes nothing more.
    for (unsigned c = 0; c < 0x530; ++c)
        EXPECT_EQ(FoldLetter(FoldLetter(static_cast<char16_t>(c))), FoldLetter(static_cast<char16_t>(c))) << std::hex << c;
    EXPECT_EQ(FoldLetter(u'1'), u'1');
}

TEST(DistinctServers, EachServerOnceFirstSpellingKeptBlanksLeftOut) {
    EXPECT_EQ(DistinctServers({u"ts01", u"TS01", u" TS02\t", u"", u"   ", u"Сервер", u"СЕРВЕР", u"ts02"}),
              (std::vector<std::u16string>{u"ts01", u"TS02", u"Сервер"}));
}

}  // namespace
}  // namespace tarvenix
