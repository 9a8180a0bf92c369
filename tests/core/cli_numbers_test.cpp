// Numbers on tarvenix-cli's command line: every one of them (time-out,
// parallel, session and process IDs, durations) is decimal as written, its
// range checked on the number written; and the bytes of an --output file.
#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "cli/cli_request.h"
#include "cli/cli_write.h"

namespace tarvenix {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    std::string word;
    for (char c : line) {
        if (c == ' ') {
            if (!word.empty()) out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) out.push_back(word);
    return out;
}

TEST(CliNumbers, DecimalAsWrittenWithinItsMaximum) {
    const struct {
        const char* text;
        std::uint64_t max;
        std::optional<std::uint64_t> value;
    } cases[] = {
        {"0", 64, 0},
        {"8", 64, 8},
        {"08", 64, 8},        // not a bad octal digit
        {"010", 600, 10},     // not octal eight
        {"0071", 64, std::nullopt},  // seventy-one, not octal fifty-seven
        {"64", 64, 64},
        {"65", 64, std::nullopt},
        {"000000000000000000000000064", 64, 64},  // any number of leading zeros
        {"4294967295", 0xFFFFFFFFull, 4294967295ull},
        {"4294967296", 0xFFFFFFFFull, std::nullopt},
        {"18446744073709551615", UINT64_MAX, UINT64_MAX},
        {"18446744073709551616", UINT64_MAX, std::nullopt},  // no wrap-around
        {"99999999999999999999999", UINT64_MAX, std::nullopt},
        {"7", 5, std::nullopt},  // one digit above a small maximum
        {"0", 0, 0},
        {"1", 0, std::nullopt},
        {"", 64, std::nullopt},
        {"0x10", 64, std::nullopt},
        {"0X1", 64, std::nullopt},
        {"+5", 64, std::nullopt},
        {"-5", 64, std::nullopt},
        {"-0", 64, std::nullopt},
        {" 5", 64, std::nullopt},
        {"5 ", 64, std::nullopt},
        {"5s", 64, std::nullopt},
        {"1e1", 64, std::nullopt},
        {"1.0", 64, std::nullopt},
        {"1_0", 64, std::nullopt},
        {"\xD9\xA3", 64, std::nullopt},  // an Arabic-Indic three
        {"\xEF\xBC\x95", 64, std::nullopt},  // a fullwidth five
    };
    for (const auto& c : cases) EXPECT_EQ(ParseDecimal(c.text, c.max), c.value) << '"' << c.text << '"';
}

// The numbers of a request that was accepted, in one line.
std::string Numbers(const CliRequest& r) {
    std::string out = "timeout " + std::to_string(r.timeoutSeconds) + ", parallel " + std::to_string(r.parallel);
    if (r.session) out += ", session " + std::to_string(*r.session);
    if (!r.ids.empty()) {
        out += ", ids";
        for (std::uint32_t id : r.ids) out += " " + std::to_string(id);
    }
    if (r.idleOverSeconds) out += ", idle over " + std::to_string(*r.idleOverSeconds);
    return out;
}

TEST(CliNumbers, EveryNumberOnTheCommandLineIsDecimalAndCheckedAsWritten) {
    // `want`: the numbers of the request, or the reason (the first line
    // after "tarvenix-cli: ") of a refusal with exit code 2.
    const struct {
        const char* line;
        const char* want;
    } cases[] = {
        // Found by fuzzing: octal, hex, and the range checked after them.
        {"sessions --parallel=0071 SRV", "неверное значение --parallel: 0071 (нужно целое от 1 до 64)"},
        {"sessions --parallel=08 SRV", "timeout 15, parallel 8"},
        {"processes SRV --timeout 010", "timeout 10, parallel 16"},
        {"processes SRV --session 010", "timeout 15, parallel 16, session 10"},
        {"processes SRV --timeout 010 --session 010", "timeout 10, parallel 16, session 10"},
        {"sessions SRV --timeout 0x10", "неверное значение --timeout: 0x10 (нужно целое от 1 до 600)"},
        {"sessions SRV --parallel 0x20", "неверное значение --parallel: 0x20 (нужно целое от 1 до 64)"},
        // The edges of each range, with and without leading zeros.
        {"sessions SRV --timeout 1 --parallel 1", "timeout 1, parallel 1"},
        {"sessions SRV --timeout 0600 --parallel 064", "timeout 600, parallel 64"},
        {"sessions SRV --timeout=00000000000000000000007", "timeout 7, parallel 16"},
        {"sessions SRV --timeout 0", "неверное значение --timeout: 0 (нужно целое от 1 до 600)"},
        {"sessions SRV --timeout 000", "неверное значение --timeout: 000 (нужно целое от 1 до 600)"},
        {"sessions SRV --timeout 601", "неверное значение --timeout: 601 (нужно целое от 1 до 600)"},
        {"sessions SRV --timeout 4294967311", "неверное значение --timeout: 4294967311 (нужно целое от 1 до 600)"},
        {"sessions SRV --parallel 0", "неверное значение --parallel: 0 (нужно целое от 1 до 64)"},
        {"sessions SRV --parallel 65", "неверное значение --parallel: 65 (нужно целое от 1 до 64)"},
        // No sign: a negative time-out or count is an error, and so is a plus.
        {"sessions SRV --timeout -5", "неверное значение --timeout: -5 (нужно целое от 1 до 600)"},
        {"sessions SRV --timeout=+5", "неверное значение --timeout: +5 (нужно целое от 1 до 600)"},
        {"sessions SRV --parallel=-1", "неверное значение --parallel: -1 (нужно целое от 1 до 64)"},
        // No trailing garbage, no other notation.
        {"sessions SRV --timeout 5s", "неверное значение --timeout: 5s (нужно целое от 1 до 600)"},
        {"sessions SRV --timeout 1e2", "неверное значение --timeout: 1e2 (нужно целое от 1 до 600)"},
        {"sessions SRV --parallel 4.0", "неверное значение --parallel: 4.0 (нужно целое от 1 до 64)"},
        // IDs: the same rule over 0..4294967295.
        {"logoff SRV 007 0010 --yes", "timeout 15, parallel 16, ids 7 10"},
        {"kill SRV 000000000004294967295 -y", "timeout 15, parallel 16, ids 4294967295"},
        {"kill SRV 0x10 -y", "неверный номер: 0x10 (нужно целое от 0 до 4294967295)"},
        {"message SRV +3 --title t --text x", "неверный номер: +3 (нужно целое от 0 до 4294967295)"},
        {"disconnect SRV 4294967296 -y", "неверный номер: 4294967296 (нужно целое от 0 до 4294967295)"},
        {"processes SRV --session 0x10",
         "неверный номер сессии: 0x10 (--session: нужно целое от 0 до 4294967295)"},
        {"processes SRV --session 4294967296",
         "неверный номер сессии: 4294967296 (--session: нужно целое от 0 до 4294967295)"},
        {"processes SRV --session -1", "неверный номер сессии: -1 (--session: нужно целое от 0 до 4294967295)"},
        // Durations: leading zeros are fine, signs and hex are not.
        {"sessions SRV --idle-over 0090s", "timeout 15, parallel 16, idle over 90"},
        {"sessions SRV --idle-over 010", "timeout 15, parallel 16, idle over 600"},
        {"sessions SRV --idle-over 01:05", "timeout 15, parallel 16, idle over 3900"},
        {"sessions SRV --idle-over +5m", "неверная длительность: +5m"},
        {"sessions SRV --idle-over 0x5m", "неверная длительность: 0x5m"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const CliParse p = ParseCommandLine(Words(c.line));
        if (std::string(c.want).rfind("timeout ", 0) == 0) {
            ASSERT_EQ(p.exitCode, -1) << p.output;
            EXPECT_EQ(Numbers(p.request), c.want);
        } else {
            EXPECT_EQ(p.exitCode, 2);
            EXPECT_EQ(p.output.substr(0, p.output.find('\n')), std::string("tarvenix-cli: ") + c.want);
            EXPECT_NE(p.output.find("Использование"), std::string::npos) << "the usage follows the reason";
        }
    }
}

TEST(CliNumbers, DurationDigitsAreDecimalWithoutASign) {
    const struct {
        const char* text;
        std::optional<std::int64_t> seconds;
    } cases[] = {
        {"0090s", 90},
        {"08m", 480},
        {"010", 600},  // minutes
        {"01d02h", 93600},
        {"0000000000000000000001d", 86400},  // a long run of zeros is still one day
        {"01:05", 3900},
        {"002+03:10", 184200},
        {"0d0h0m0s", 0},
        {"36600d", 36600LL * 86400},  // a hundred years
        {"36601d", std::nullopt},
        {"+5m", std::nullopt},
        {"-5", std::nullopt},
        {"0x5m", std::nullopt},
        {"5m-", std::nullopt},
        {"-1:05", std::nullopt},
        {"1:+5", std::nullopt},
        {"1:-5", std::nullopt},
        {"+1+01:00", std::nullopt},
        {"1:005", std::nullopt},  // minutes are the list's two digits
    };
    for (const auto& c : cases) EXPECT_EQ(ParseDuration(c.text), c.seconds) << c.text;
}

TEST(CliOutputFile, TheFileIsUtf8WithTheMarkForCsvAndTheTableButNotForJson) {
    const std::u16string text = u"Петрова;ТС\r\n";
    const std::string utf8 = "\xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2\xD0\xB0;\xD0\xA2\xD0\xA1\r\n";
    EXPECT_EQ(OutputFileBytes(text, OutputFormat::Csv), "\xEF\xBB\xBF" + utf8);
    EXPECT_EQ(OutputFileBytes(text, OutputFormat::Table), "\xEF\xBB\xBF" + utf8);
    EXPECT_EQ(OutputFileBytes(u"[{\"user\": \"Петрова;ТС\r\n\"}]", OutputFormat::Json),
              "[{\"user\": \"" + utf8 + "\"}]");
}

TEST(CliOutputFile, TheCommandLineNamesTheFileAndAFailureNamesItAgain) {
    CliParse p = ParseCommandLine({"sessions", "SRV", "--format", "json", "--output", "C:\\отчёты\\сессии.json"});
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_EQ(p.request.outputFile, std::u16string(u"C:\\отчёты\\сессии.json"));
    EXPECT_EQ(ParseCommandLine({"kill", "SRV", "5", "-y", "--output=r.csv"}).request.outputFile, std::u16string(u"r.csv"));
    EXPECT_FALSE(ParseCommandLine({"sessions", "SRV"}).request.outputFile) << "standard output unless asked";

    p = ParseCommandLine({"sessions", "SRV", "--output", ""});
    EXPECT_EQ(p.exitCode, 2);
    EXPECT_EQ(p.output.substr(0, p.output.find('\n')), "tarvenix-cli: не указан файл для --output");

    p = ParseCommandLine({"processes", "--help"});
    EXPECT_NE(p.output.find("--output"), std::string::npos) << "the help tells of --output";

    const DescribeError describe = [](std::uint32_t code) {
        return code == 3 ? std::u16string(u"Системе не удается найти указанный путь.") : std::u16string();
    };
    EXPECT_EQ(Utf16ToUtf8(OutputFileFailureText(u"C:\\нет\\s.json", 3, describe)),
              "Не удалось записать файл \"C:\\нет\\s.json\": Системе не удается найти указанный путь. (3)");
}

}  // namespace
}  // namespace tarvenix
