#include "servers/profile_text.h"

#include "base/ansi_tables.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvenix {
namespace {

using namespace std::string_literals;

// UTF-16 little-endian bytes of ASCII text, for readable expectations.
std::string Le(std::string_view ascii) {
    std::string out;
    for (const char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

TEST(ProfileText, TurnsEveryOtherLayoutIntoUnicodeKeepingItsText) {
    const auto cp1251 = MakeTableCodePage(1251);
    const struct { const char* name; std::string bytes; std::string expected; } cases[] = {
        {"missing file", "", "\xFF\xFE"s},
        {"ANSI sections and keys kept, Cyrillic decoded",
         "[other]\r\nk=v\r\n[server]\r\nserver name=\xC6\r\n"s,
         "\xFF\xFE"s + Le("[other]\r\nk=v\r\n[server]\r\nserver name=") + "\x16\x04"s + Le("\r\n")},
        {"UTF-8 with its mark", "\xEF\xBB\xBF[a]\nx=\xD0\x96"s, "\xFF\xFE"s + Le("[a]\nx=") + "\x16\x04"s},
        {"UTF-16 big-endian", "\xFE\xFF\x00[\x04\x16"s, "\xFF\xFE"s + Le("[") + "\x16\x04"s},
        {"ANSI bytes that are not a mark", "\xFF[a]"s, "\xFF\xFE\x4F\x04"s + Le("[a]")},
    };
    for (const auto& c : cases) {
        const auto converted = ProfileAsUnicode(c.bytes, *cp1251);
        ASSERT_TRUE(converted.has_value()) << c.name;
        EXPECT_EQ(*converted, c.expected) << c.name;
        EXPECT_TRUE(IsUnicodeProfile(*converted)) << c.name;
    }
}

TEST(ProfileText, LeavesUnicodeFilesAlone) {
    const auto cp1251 = MakeTableCodePage(1251);
    EXPECT_FALSE(ProfileAsUnicode("\xFF\xFE"s + Le("[server]\r\n"), *cp1251).has_value());
    EXPECT_FALSE(ProfileAsUnicode("\xFF\xFE"s, *cp1251).has_value());
    EXPECT_FALSE(IsUnicodeProfile("\xFE\xFF"s));
    EXPECT_FALSE(IsUnicodeProfile("\xFF"s));
}

}  // namespace
}  // namespace tarvenix
