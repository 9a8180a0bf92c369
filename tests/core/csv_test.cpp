#include "base/csv.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tarvenix {
namespace {

using Rows = std::vector<std::vector<std::u16string>>;

std::string Printable(const Rows& rows) {
    std::string out;
    for (const auto& row : rows) {
        out += "[";
        for (const auto& cell : row) out += "<" + Utf16ToUtf8(cell) + ">";
        out += "]";
    }
    return out;
}

TEST(Csv, LineQuotesOnlyWhatNeedsIt) {
    const struct { std::vector<std::u16string> fields; char16_t separator; const char16_t* line; } cases[] = {
        {{u"a", u"b", u"c"}, u';', u"a;b;c\r\n"},
        {{u"a", u"b", u"c"}, u',', u"a,b,c\r\n"},
        {{u"1,5", u"x;y"}, u';', u"1,5;\"x;y\"\r\n"},
        {{u"1,5", u"x;y"}, u',', u"\"1,5\",x;y\r\n"},
        {{u"say \"hi\"", u"\""}, u';', u"\"say \"\"hi\"\"\";\"\"\"\"\r\n"},
        {{u"two\r\nlines", u"cr\r", u"lf\n"}, u';', u"\"two\r\nlines\";\"cr\r\";\"lf\n\"\r\n"},
        {{u" lead", u"trail ", u"in side", u"\ttab"}, u';', u"\" lead\";\"trail \";in side;\"\ttab\"\r\n"},
        {{u"", u"", u""}, u';', u";;\r\n"},
        {{u""}, u';', u"\r\n"},
        {{}, u';', u"\r\n"},
        {{u"Иванов И.И.", u"Сервер-01"}, u';', u"Иванов И.И.;Сервер-01\r\n"},
        {{u"a\tb"}, u'\t', u"\"a\tb\"\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(CsvLine(c.fields, c.separator)), Utf16ToUtf8(c.line));
    }
}

TEST(Csv, FileIsUtf8WithMarkAndAllLines) {
    const Rows rows = {{u"Пользователь", u"Простой"}, {u"анна", u"1:05"}};
    EXPECT_EQ(CsvFile(rows, u';'),
              "\xEF\xBB\xBF"
              "\xD0\x9F\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB7\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8C;"
              "\xD0\x9F\xD1\x80\xD0\xBE\xD1\x81\xD1\x82\xD0\xBE\xD0\xB9\r\n"
              "\xD0\xB0\xD0\xBD\xD0\xBD\xD0\xB0;1:05\r\n");
    EXPECT_EQ(CsvFile({}, u';'), "\xEF\xBB\xBF");
}

TEST(Csv, NastyCellsRoundTrip) {
    const std::u16string nasty[] = {
        u"plain", u"", u";", u",", u"a;b,c", u"\"", u"\"\"", u"say \"hi\"", u"\"quoted\"",
        u"\r", u"\n", u"\r\n", u"line1\r\nline2", u"line1\nline2", u"ends\r\n", u"\r\n\r\n",
        u" ", u"  lead", u"trail  ", u" both ", u"\t", u"Иванов Иван", u"ёЁ \U0001F600",
        u"\";\r\n,\"",
    };
    for (const char16_t separator : {u';', u',', u'\t'}) {
        Rows rows;
        for (const auto& cell : nasty) {
            rows.push_back({cell});                      // alone in its row
            rows.push_back({u"x", cell, u"y"});          // between neighbours
            rows.push_back({cell, cell});                // next to itself
        }
        rows.push_back({std::begin(nasty), std::end(nasty)});
        rows.push_back({u""});                           // an empty row in the middle
        rows.push_back({u"", u""});
        rows.push_back({u"last", u""});                  // empty last field
        rows.push_back({u""});                           // an empty last row
        const auto read = ReadCsv(CsvFile(rows, separator), separator);
        ASSERT_TRUE(read.has_value()) << "separator " << static_cast<int>(separator);
        EXPECT_EQ(*read, rows) << "separator " << static_cast<int>(separator) << ": " << Printable(*read);
    }
}

TEST(Csv, SpreadsheetModeDefusesCellsThatStartLikeAFormula) {
    const struct { std::vector<std::u16string> fields; char16_t separator; const char16_t* line; } cases[] = {
        {{u"=1+2", u"+7", u"-5", u"@user"}, u';', u"'=1+2;'+7;'-5;'@user\r\n"},
        {{u"=HYPERLINK(\"x\";\"y\")"}, u';', u"\"'=HYPERLINK(\"\"x\"\";\"\"y\"\")\"\r\n"},
        {{u"-5;6", u"@a,b"}, u';', u"\"'-5;6\";'@a,b\r\n"},
        {{u"-5;6", u"@a,b"}, u',', u"'-5;6,\"'@a,b\"\r\n"},
        {{u"\tcmd", u"\rcmd"}, u';', u"'\tcmd;\"'\rcmd\"\r\n"},
        {{u"=a "}, u';', u"\"'=a \"\r\n"},
        {{u"'=already"}, u';', u"'=already\r\n"},
        {{u"a=b", u"5-3", u"user@corp", u" =x", u"", u"Иванов"}, u';', u"a=b;5-3;user@corp;\" =x\";;Иванов\r\n"},
        {{u"-"}, u'\t', u"'-\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(CsvLine(c.fields, c.separator, CsvCells::Spreadsheet)), Utf16ToUtf8(c.line));
        // Raw (the clipboard, the command line) leaves every cell as it is.
        const auto raw = ReadCsv(Utf16ToUtf8(CsvLine(c.fields, c.separator)), c.separator);
        ASSERT_TRUE(raw.has_value());
        EXPECT_EQ(raw->front(), c.fields);
    }
    const Rows rows = {{u"Пользователь", u"Клиент"}, {u"=cmd|' /C calc'!A0", u"-x"}};
    const auto read = ReadCsv(CsvFileForSpreadsheet(rows, u';'), u';');
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, (Rows{{u"Пользователь", u"Клиент"}, {u"'=cmd|' /C calc'!A0", u"'-x"}}));
}

TEST(Csv, ReadsWhatOtherProgramsWrite) {
    const struct { const char* name; std::string bytes; char16_t separator; Rows rows; } cases[] = {
        {"empty file", "", u';', {}},
        {"mark only", "\xEF\xBB\xBF", u';', {}},
        {"LF lines", "a;b\nc;d\n", u';', {{u"a", u"b"}, {u"c", u"d"}}},
        {"CR LF lines", "a;b\r\nc;d\r\n", u';', {{u"a", u"b"}, {u"c", u"d"}}},
        {"mixed line ends", "a\r\nb\nc", u';', {{u"a"}, {u"b"}, {u"c"}}},
        {"last line without line end", "\xEF\xBB\xBF" "a;b\r\nc;d", u';', {{u"a", u"b"}, {u"c", u"d"}}},
        {"last quoted field without line end", "a;\"b\"", u';', {{u"a", u"b"}}},
        {"other separator is text", "1,5;2,5\n", u';', {{u"1,5", u"2,5"}}},
        {"comma separator", "1;5,\"2,5\"\n", u',', {{u"1;5", u"2,5"}}},
        {"quoted separator and quotes", "\"a;b\";\"x \"\"y\"\"\"\n", u';', {{u"a;b", u"x \"y\""}}},
        {"line breaks in quotes", "\"1\n2\";\"3\r\n4\"\r\nz", u';', {{u"1\n2", u"3\r\n4"}, {u"z"}}},
        {"empty quoted field", "\"\";\"\"\n", u';', {{u"", u""}}},
        {"empty lines", "\n\r\na\n", u';', {{u""}, {u""}, {u"a"}}},
        {"separator at the end", "a;", u';', {{u"a", u""}}},
        {"separator only", ";", u';', {{u"", u""}}},
        {"unquoted spaces kept", " a ; b \n", u';', {{u" a ", u" b "}}},
        {"rows of different lengths", "a\nb;c;d\n", u';', {{u"a"}, {u"b", u"c", u"d"}}},
        {"Cyrillic", "\xD0\xB0\xD0\xBD\xD0\xBD\xD0\xB0;\"\xD0\x91;\"\n", u';', {{u"анна", u"Б;"}}},
        {"mark not at the start is text", "a\n\xEF\xBB\xBF" "b", u';', {{u"a"}, {u"\uFEFFb"}}},
    };
    for (const auto& c : cases) {
        const auto rows = ReadCsv(c.bytes, c.separator);
        ASSERT_TRUE(rows.has_value()) << c.name;
        EXPECT_EQ(*rows, c.rows) << c.name << ": " << Printable(*rows);
    }
}

TEST(Csv, RefusesMalformedInput) {
    const struct { const char* name; std::string bytes; char16_t separator; } cases[] = {
        {"unterminated quote", "\"abc", u';'},
        {"unterminated quote after a line", "a;b\r\n\"c;d\r\n", u';'},
        {"closing quote doubled at the end", "\"abc\"\"", u';'},
        {"quote in an unquoted field", "ab\"c\";d", u';'},
        {"quote at the end of an unquoted field", "ab\"", u';'},
        {"space before an opening quote", "a; \"b\"", u';'},
        {"text after a closing quote", "\"ab\"c;d", u';'},
        {"space after a closing quote", "\"ab\" ;d", u';'},
        {"lone CR after a field", "a\rb", u';'},
        {"lone CR at the end", "a\r", u';'},
        {"lone CR after a closing quote", "\"a\"\r", u';'},
        {"quote as separator", "a\"b", u'"'},
        {"LF as separator", "a\nb", u'\n'},
        {"CR as separator", "a\rb", u'\r'},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ReadCsv(c.bytes, c.separator).has_value()) << c.name;
    }
}

}  // namespace
}  // namespace tarvenix
