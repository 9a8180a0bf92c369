#include "cli/cli_write.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tarvenix {
namespace {

TEST(CliWrite, OnlyAReaderThatWentAwayIsSilentAndKeepsTheExitCode) {
    const struct { const char* what; std::uint32_t error; int exitCode; bool silent; int finalCode; } cases[] = {
        {"all written", 0, 0, true, 0},
        {"all written, a server failed", 0, 1, true, 1},
        {"pipe closed by the reader", 109, 0, true, 0},
        {"pipe being closed", 232, 0, true, 0},
        {"pipe closed, a server failed", 109, 1, true, 1},
        {"disk full", 112, 0, false, 1},
        {"handle disk full", 39, 0, false, 1},
        {"access denied", 5, 0, false, 1},
        {"invalid handle", 6, 0, false, 1},
        {"write fault", 29, 0, false, 1},
        {"disk full, a server failed", 112, 1, false, 1},
        {"disk full after a wrong command line", 112, 2, false, 2},
    };
    for (const auto& c : cases) {
        if (c.error != 0) {
            EXPECT_EQ(ReaderWentAway(c.error), c.silent) << c.what;
        }
        EXPECT_EQ(ExitCodeAfterOutput(c.exitCode, c.error), c.finalCode) << c.what;
    }
}

TEST(CliWrite, FailureTextNamesTheSystemTextAndTheCode) {
    const DescribeError describe = [](std::uint32_t code) {
        return code == 112 ? std::u16string(u"Недостаточно места на диске.") : std::u16string();
    };
    EXPECT_EQ(Utf16ToUtf8(OutputWriteFailureText(112, describe)),
              "Не удалось записать вывод: Недостаточно места на диске. (112)");
    EXPECT_EQ(Utf16ToUtf8(OutputWriteFailureText(1117, describe)), "Не удалось записать вывод: Код ошибки 1117 (1117)");
}

}  // namespace
}  // namespace tarvenix
