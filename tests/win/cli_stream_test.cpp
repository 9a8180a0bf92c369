// tarvenix-cli's output stream on real handles: what it writes to a file, and
// which failures it remembers (a reader that went away, a handle that cannot
// be written).
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "cli/cli_stream_win.h"
#include "cli/cli_write.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

std::string Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(CliStream, WritesUtf8ToAFileWithTheMarkBeforeCsv) {
    TempDirectory dir;
    const std::filesystem::path path = dir.Path() / "out.csv";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    {
        CliStream out(file);
        EXPECT_FALSE(out.Console());
        out.Output(u"Сервер;ID\r\n", OutputFormat::Csv);
        out.Line(u"TS01;5");
        EXPECT_EQ(out.Error(), 0u);
    }
    CloseHandle(file);
    EXPECT_EQ(Bytes(path), "\xEF\xBB\xBF\xD0\xA1\xD0\xB5\xD1\x80\xD0\xB2\xD0\xB5\xD1\x80;ID\r\nTS01;5\r\n");
}

TEST(CliStream, APipeWhoseReaderWentAwayFailsSilently) {
    HANDLE read = nullptr, write = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
    CloseHandle(read);
    CliStream out(write);
    out.Write(u"строка\r\n");
    const std::uint32_t error = out.Error();
    EXPECT_TRUE(ReaderWentAway(error)) << error;
    EXPECT_EQ(ExitCodeAfterOutput(0, error), 0);
    CloseHandle(write);
}

TEST(CliStream, AHandleThatRefusesWritesIsAFailureToReport) {
    TempDirectory dir;
    const std::filesystem::path path = dir.Path() / "in.txt";
    std::ofstream(path) << "before";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CliStream out(file);
    out.Write(u"text");
    const std::uint32_t error = out.Error();
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(ReaderWentAway(error));
    EXPECT_EQ(ExitCodeAfterOutput(0, error), 1);
    // The first failure is the one kept; nothing more is tried.
    out.Write(u"more");
    EXPECT_EQ(out.Error(), error);
    CloseHandle(file);
    EXPECT_EQ(Bytes(path), "before");
}

}  // namespace
}  // namespace tarvenix::testing
