#include "actions/template_codec.h"

#include "base/ansi_tables.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvenix {
namespace {

using namespace std::string_literals;

const std::string kMark = "\xEF\xBB\xBF";

class TemplateCodec : public ::testing::Test {
protected:
    std::unique_ptr<AnsiCodePage> cp1251 = MakeTableCodePage(1251);
};

TEST_F(TemplateCodec, WritesAnsiBytesWhenTheCodePageHoldsEverything) {
    const std::u16string line100(100, u'ж');
    const struct { std::u16string subject; std::u16string text; std::string bytes; } cases[] = {
        {u"", u"", "\r\n"},
        {u"Тема", u"Строка 1\r\nEnd", "\xD2\xE5\xEC\xE0\r\n\xD1\xF2\xF0\xEE\xEA\xE0 1\r\nEnd"},
        {u"S", u"a\r\n", "S\r\na\r\n"},
        {u"S", u"\r\n\r\n", "S\r\n\r\n\r\n"},
        {u"", line100, "\r\n" + std::string(100, '\xE6')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeTemplate(c.subject, c.text, *cp1251), c.bytes) << Utf16ToUtf8(c.text);
    }
}

TEST_F(TemplateCodec, WritesUtf8WithMarkWhenAnsiWouldChangeTheText) {
    const struct { const char* name; std::u16string subject; std::u16string text; std::string bytes; } cases[] = {
        {"characters outside 1251", u"Привет", u"é 中", kMark + "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\r\n\xC3\xA9 \xE4\xB8\xAD"},
        {"0x1A at a line start", u"S", u"a\r\n\x1A" u"b", kMark + "S\r\na\r\n\x1A" "b"},
        {"0x1A inside a line", u"S", u"a\x1A" u"b", kMark + "S\r\na\x1A" "b"},
        {"0x1A in the subject", u"\x1A", u"", kMark + "\x1A\r\n"},
        {"lone CR", u"S", u"a\rb", kMark + "S\r\na\rb"},
        {"lone LF", u"S", u"a\nb", kMark + "S\r\na\nb"},
        {"CR in the subject", u"S\r", u"", kMark + "S\r\r\n"},
        // "п»ї" is EF BB BF in 1251, which would read back as a mark.
        {"ANSI bytes that look like a mark", u"п»ї", u"", kMark + "\xD0\xBF\xC2\xBB\xD1\x97\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeTemplate(c.subject, c.text, *cp1251), c.bytes) << c.name;
}

TEST_F(TemplateCodec, ReadsAnsiFilesLineByLine) {
    const std::string line100(100, 'x');
    const struct { const char* name; std::string bytes; bool hasSubject; std::u16string subject; std::u16string text; } cases[] = {
        {"empty file", "", false, u"", u""},
        {"CR LF only", "\r\n", true, u"", u""},
        {"subject only, no break", "Subj", true, u"Subj", u""},
        {"multi-line text, final break", "S\r\na\r\n\r\nb\r\n", true, u"S", u"a\r\n\r\nb\r\n"},
        {"no final line break", "S\r\na\r\nb", true, u"S", u"a\r\nb"},
        {"LF line ends", "S\na\nb\n", true, u"S", u"a\r\nb\r\n"},
        {"lone CR left out", "S\r\na\rb\r\r\nc\r", true, u"S", u"ab\r\nc"},
        {"0x1A where a line begins ends the file", "S\r\na\r\n\x1A" "b\r\nc\r\n", true, u"S", u"a\r\n"},
        {"0x1A first", "\x1A" "S\r\na\r\n", false, u"", u""},
        {"0x1A inside a line ends that line", "S\r\nab\x1A" "cd\r\nnext\r\n", true, u"S", u"ab\r\nnext\r\n"},
        {"0x1A inside the subject", "Su\x1A" "bj\r\nt", true, u"Su", u"t"},
        {"0x1A inside the last line", "S\r\nab\x1A" "cd", true, u"S", u"ab"},
        {"long lines are not cut", "S\r\n" + line100 + "\r\nnext", true, u"S", std::u16string(100, u'x') + u"\r\nnext"},
        {"Cyrillic", "\xD2\xE5\xEC\xE0\r\n\xF2\xE5\xEA\xF1\xF2", true, u"Тема", u"текст"},
        {"NUL is text", "S\0\r\na\0"s, true, std::u16string(u"S\0", 2), std::u16string(u"a\0", 2)},
    };
    for (const auto& c : cases) {
        const LoadedTemplate loaded = DecodeTemplate(c.bytes, *cp1251);
        EXPECT_EQ(loaded.hasSubject, c.hasSubject) << c.name;
        EXPECT_EQ(loaded.subject, c.subject) << c.name << ": " << Utf16ToUtf8(loaded.subject);
        EXPECT_EQ(loaded.text, c.text) << c.name << ": " << Utf16ToUtf8(loaded.text);
    }
}

TEST_F(TemplateCodec, ReadsUtf8FilesWithoutLineRules) {
    const struct { const char* name; std::string bytes; bool hasSubject; std::u16string subject; std::u16string text; } cases[] = {
        {"mark only", kMark, false, u"", u""},
        {"subject and text", kMark + "\xD0\xA2\r\na\x1A\rb\nc\r\n", true, u"Т", u"a\x1A\rb\nc\r\n"},
        {"LF after the subject", kMark + "S\nt", true, u"S", u"t"},
        {"no line break", kMark + "S\r", true, u"S\r", u""},
        {"invalid UTF-8", kMark + "S\xFF\r\n\xC0", true, u"S\uFFFD", u"\uFFFD"},
    };
    for (const auto& c : cases) {
        const LoadedTemplate loaded = DecodeTemplate(c.bytes, *cp1251);
        EXPECT_EQ(loaded.hasSubject, c.hasSubject) << c.name;
        EXPECT_EQ(loaded.subject, c.subject) << c.name;
        EXPECT_EQ(loaded.text, c.text) << c.name;
    }
}

TEST_F(TemplateCodec, SaveThenLoadGivesBackExactlyTheSubjectAndText) {
    const auto cp1252 = MakeTableCodePage(1252);
    const std::u16string line100(100, u'ы');
    const std::u16string line10000(10000, u'q');
    const struct { const char* name; const AnsiCodePage* ansi; std::u16string subject; std::u16string text; bool ansiBytes; } cases[] = {
        {"empty", cp1251.get(), u"", u"", true},
        {"multi-line", cp1251.get(), u"Тема", u"Строка 1\r\nСтрока 2", true},
        {"text ending in CR LF", cp1251.get(), u"Тема", u"a\r\n", true},
        {"only line breaks", cp1251.get(), u"", u"\r\n\r\n", true},
        {"100 characters", cp1251.get(), line100, line100 + u"\r\n" + line100, true},
        {"10,000 characters", cp1251.get(), line10000, line10000 + u"\r\nnext", true},
        {"outside 1251", cp1251.get(), u"中文", u"é\r\n\U0001F600", false},
        {"Cyrillic in 1252", cp1252.get(), u"Тема", u"текст", false},
        {"0x1A at a line start", cp1251.get(), u"S", u"a\r\n\x1A" u"b\r\n", false},
        {"0x1A inside a line", cp1251.get(), u"S\x1A", u"a\x1A" u"b", false},
        {"lone CR", cp1251.get(), u"S", u"a\rb\r", false},
        {"lone LF", cp1251.get(), u"S", u"\na\n", false},
        {"CR in the subject", cp1251.get(), u"\rS\r", u"t", false},
        {"no final line break", cp1251.get(), u"S", u"last", true},
        {"look-alike mark", cp1251.get(), u"п»ї", u"x", false},
    };
    for (const auto& c : cases) {
        const std::string bytes = EncodeTemplate(c.subject, c.text, *c.ansi);
        EXPECT_EQ(bytes.rfind(kMark, 0) != 0, c.ansiBytes) << c.name;
        const LoadedTemplate back = DecodeTemplate(bytes, *c.ansi);
        EXPECT_TRUE(back.hasSubject) << c.name;
        EXPECT_EQ(back.subject, c.subject) << c.name;
        EXPECT_EQ(back.text, c.text) << c.name;
    }
}

}  // namespace
}  // namespace tarvenix
