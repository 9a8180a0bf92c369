#include "base/ansi_code_page_win.h"
#include "base/ansi_tables.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace tarvenix {
namespace {

class SystemAnsiCodePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetACP() != 1251) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", these checks need 1251 (run with LC_ALL=ru_RU.UTF-8)";
    }
    SystemAnsiCodePage system;
    std::unique_ptr<AnsiCodePage> table = MakeTableCodePage(1251);
};

TEST_F(SystemAnsiCodePageTest, AgreesWithThe1251TableOnEveryByte) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::u16string text = system.Decode(byte);
        EXPECT_EQ(text, table->Decode(byte)) << "byte " << b;
        bool lossless = false;
        EXPECT_EQ(system.Encode(text, &lossless), byte) << "byte " << b;
        EXPECT_TRUE(lossless) << "byte " << b;
    }
}

TEST_F(SystemAnsiCodePageTest, ReportsMissingCharactersWithoutBestFit) {
    const struct { std::u16string text; std::string bytes; bool lossless; } cases[] = {
        {u"Сервер-01 №5 ё", "\xD1\xE5\xF0\xE2\xE5\xF0-01 \xB9" "5 \xB8", true},
        {u"", "", true},
        {u"a中b", "a?b", false},
        {u"é", "?", false},  // would be 'e' with best fit
    };
    for (const auto& c : cases) {
        bool lossless = !c.lossless;
        EXPECT_EQ(system.Encode(c.text, &lossless), c.bytes) << c.bytes;
        EXPECT_EQ(lossless, c.lossless) << c.bytes;
    }
}

}  // namespace
}  // namespace tarvenix
