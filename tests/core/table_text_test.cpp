#include "base/table_text.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tarvenix {
namespace {

TEST(TableText, HeaderThenRowsTabSeparated) {
    EXPECT_EQ(TabSeparatedText({u"ID", u"Пользователь", u"Простой"},
                               {{u"2", u"анна", u"1:05"}, {u"3", u"борис", u"."}}),
              u"ID\tПользователь\tПростой\r\n2\tанна\t1:05\r\n3\tборис\t.\r\n");
}

TEST(TableText, CellsNeverSplitTheGrid) {
    const struct { const char16_t* cell; const char16_t* shown; } cases[] = {
        {u"a\tb", u"a b"},
        {u"a\rb", u"a b"},
        {u"a\nb", u"a b"},
        {u"a\r\nb", u"a  b"},
        {u"\t\r\n", u"   "},
        {u" kept ", u" kept "},
        {u"\"quoted\";x", u"\"quoted\";x"},  // no quoting on the clipboard
        {u"", u""},
    };
    for (const auto& c : cases) {
        const std::u16string text = TabSeparatedText({u"h1", u"h2", u"h3"}, {{u"x", c.cell, u"y"}});
        EXPECT_EQ(text, u"h1\th2\th3\r\nx\t" + std::u16string(c.shown) + u"\ty\r\n") << Utf16ToUtf8(c.cell);
    }
    // The header is cleaned alike.
    EXPECT_EQ(TabSeparatedText({u"Имя\tклиента", u"Адрес\r\n"}, {}), u"Имя клиента\tАдрес  \r\n");
}

TEST(TableText, EmptyPieces) {
    EXPECT_EQ(TabSeparatedText({}, {}), u"");
    EXPECT_EQ(TabSeparatedText({}, {{u"a", u"b"}}), u"a\tb\r\n");  // no header line without a header
    EXPECT_EQ(TabSeparatedText({u"h"}, {}), u"h\r\n");
    EXPECT_EQ(TabSeparatedText({u"h1", u"h2"}, {{u"", u""}, {}}), u"h1\th2\r\n\t\r\n\r\n");
}

}  // namespace
}  // namespace tarvenix
