// The server sources that read the platform: names piped to standard input
// (the command line's "--from-file -"), with the program's standard input
// put on a pipe for the test.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ansi_tables.h"
#include "servers/server_sources_win.h"

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;

// Standard input is a pipe holding `bytes` (its writer closed) while it lives.
class PipedInput {
public:
    explicit PipedInput(const std::string& bytes) : saved_(GetStdHandle(STD_INPUT_HANDLE)) {
        HANDLE write = nullptr;
        if (!CreatePipe(&read_, &write, nullptr, static_cast<DWORD>(bytes.size() + 1024))) return;
        DWORD written = 0;
        WriteFile(write, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(write);
        SetStdHandle(STD_INPUT_HANDLE, read_);
    }
    ~PipedInput() {
        SetStdHandle(STD_INPUT_HANDLE, saved_);
        if (read_) CloseHandle(read_);
    }
    bool Made() const { return read_ != nullptr; }

private:
    HANDLE saved_;
    HANDLE read_ = nullptr;
};

TEST(StandardInputServers, NamesPipedInAreDecodedAsATextFileOfNames) {
    const auto ansi = MakeTableCodePage(1251);
    struct Case {
        const char* what;
        std::string bytes;
        Texts names;
        TextEncoding encoding;
    } cases[] = {
        {"ANSI, CRLF", "TS01\r\n\xD1\xC5\xD0\xC2\xC5\xD0\r\n", {u"TS01", u"СЕРВЕР"}, TextEncoding::Ansi},
        {"UTF-8 with its mark", "\xEF\xBB\xBFTS01\r\n\xD0\xA1\xD0\x95\xD0\xA0\xD0\x92\r\n", {u"TS01", u"СЕРВ"},
         TextEncoding::Utf8},
        {"UTF-16 with its mark", std::string("\xFF\xFET\0S\0" "1\0\r\0\n\0", 12), {u"TS1"}, TextEncoding::Utf16LE},
        {"nothing", "", {}, TextEncoding::Ansi},
    };
    for (const Case& c : cases) {
        PipedInput input(c.bytes);
        ASSERT_TRUE(input.Made()) << c.what;
        StandardInputServers source(*ansi, nullptr);
        const ServerList list = source.Read();
        EXPECT_TRUE(list.Complete()) << c.what;
        EXPECT_EQ(list.names, c.names) << c.what;
        if (!c.names.empty()) {
            ASSERT_TRUE(list.encoding.has_value()) << c.what;
            EXPECT_EQ(*list.encoding, c.encoding) << c.what;
        }
    }
}

TEST(StandardInputServers, MoreThanTheLimitIsRefusedWithNothingRead) {
    const auto ansi = MakeTableCodePage(1251);
    // Written from a thread: the pipe holds less than the limit.
    HANDLE read = nullptr, write = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
    HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, read);
    HANDLE writer = CreateThread(
        nullptr, 0,
        [](void* handle) -> DWORD {
            const std::string chunk(1 << 20, 'A');
            for (int i = 0; i < 17; ++i) {
                DWORD written = 0;
                if (!WriteFile(static_cast<HANDLE>(handle), chunk.data(), static_cast<DWORD>(chunk.size()), &written,
                               nullptr))
                    break;
            }
            CloseHandle(static_cast<HANDLE>(handle));
            return 0;
        },
        write, 0, nullptr);
    ASSERT_TRUE(writer);
    StandardInputServers source(*ansi, nullptr);
    const ServerList list = source.Read();
    SetStdHandle(STD_INPUT_HANDLE, saved);
    CloseHandle(read);  // the writer's next write fails, and it ends
    WaitForSingleObject(writer, 10000);
    CloseHandle(writer);
    EXPECT_EQ(list.outcome, ServerList::Outcome::NotRead);
    EXPECT_TRUE(list.names.empty());
    EXPECT_NE(list.failure.find(u"16 МБ"), std::u16string::npos);
}

}  // namespace
}  // namespace tarvenix::testing
