// The atomic write on the real file system: the temporary file is a new name
// of its own, the replaced file keeps its attributes, and a failure leaves the
// target as it was with no temporary file behind.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "base/files_win.h"
#include "base/win_text.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

class AtomicWriteTest : public ::testing::Test {
protected:
    void TearDown() override {
        // Read-only files would outlive the directory's removal.
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::path File(const char* name) const { return dir.Path() / name; }
    std::u16string PathOf(const char* name) const { return U16(File(name).c_str()); }
    void Put(const char* name, const std::string& bytes) const {
        std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::string Bytes(const char* name) const {
        std::ifstream in(File(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Every name in the folder, in order.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    DWORD Attributes(const char* name) const { return GetFileAttributesW(File(name).c_str()); }
    bool Write(const char* name, const std::string& bytes) {
        return WriteFileAtomically(PathOf(name), bytes, &error, &step);
    }

    TempDirectory dir;
    DWORD error = 0;
    WriteStep step = WriteStep::Create;
};

TEST_F(AtomicWriteTest, WritesNewAndExistingFilesThroughATemporaryNameOfItsOwn) {
    // Files of the user's that the old scheme's name would have hit.
    Put("list.txt.tmp", "the user's own");
    Put("other.txt.tmp", "x");
    ASSERT_TRUE(Write("list.txt", "first")) << error;
    EXPECT_EQ(Bytes("list.txt"), "first");
    ASSERT_TRUE(Write("list.txt", "second, longer")) << error;
    EXPECT_EQ(Bytes("list.txt"), "second, longer");
    ASSERT_TRUE(Write("list.txt", "")) << error;
    EXPECT_EQ(Bytes("list.txt"), "");
    EXPECT_EQ(Bytes("list.txt.tmp"), "the user's own");
    EXPECT_EQ(Names(), (std::vector<std::string>{"list.txt", "list.txt.tmp", "other.txt.tmp"}));
}

TEST_F(AtomicWriteTest, TemporaryNamesAreNewEachTimeAndSkipTakenOnes) {
    std::u16string first, second;
    {
        FileHandle a = CreateTemporaryBeside(PathOf("list.txt"), &first, &error);
        FileHandle b = CreateTemporaryBeside(PathOf("list.txt"), &second, &error);
        ASSERT_TRUE(a && b);
    }
    EXPECT_NE(first, second);
    EXPECT_EQ(first.rfind(PathOf("list.txt") + u".", 0), 0u) << Utf16ToUtf8(first);
    EXPECT_EQ(first.substr(first.size() - 4), u".tmp");
    // A taken name is passed over, its file left alone: the next names of
    // this process are taken by someone else's files.
    const std::string prefix = "list.txt." + std::to_string(GetCurrentProcessId()) + "-";
    const std::string secondName = Utf16ToUtf8(second.substr(second.find_last_of(u'\\') + 1));
    ASSERT_EQ(secondName.rfind(prefix, 0), 0u) << secondName;
    const unsigned long next = std::stoul(secondName.substr(prefix.size())) + 1;
    for (unsigned long n = next; n < next + 3; ++n) Put((prefix + std::to_string(n) + ".tmp").c_str(), "taken");
    std::u16string third;
    ASSERT_TRUE(CreateTemporaryBeside(PathOf("list.txt"), &third, &error));
    EXPECT_EQ(third, PathOf((prefix + std::to_string(next + 3) + ".tmp").c_str()));
    EXPECT_EQ(Bytes((prefix + std::to_string(next) + ".tmp").c_str()), "taken");
}

TEST_F(AtomicWriteTest, AReplacedFileKeepsItsHiddenAndSystemAttributes) {
    const struct { const char* name; DWORD attributes; } cases[] = {
        {"hidden.ini", FILE_ATTRIBUTE_HIDDEN},
        {"system.ini", FILE_ATTRIBUTE_SYSTEM},
        {"both.ini", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
    };
    for (const auto& c : cases) {
        Put(c.name, "old");
        ASSERT_TRUE(SetFileAttributesW(File(c.name).c_str(), c.attributes)) << c.name;
        ASSERT_TRUE(Write(c.name, "new")) << c.name << ": " << error;
        EXPECT_EQ(Bytes(c.name), "new") << c.name;
        EXPECT_EQ(Attributes(c.name) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), c.attributes) << c.name;
    }
}

TEST_F(AtomicWriteTest, AFailureLeavesTheTargetAsItWasAndNoTemporaryFile) {
    // A read-only target is not replaced: it keeps its bytes and its attribute.
    Put("locked.ini", "old bytes");
    ASSERT_TRUE(SetFileAttributesW(File("locked.ini").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(Write("locked.ini", "new bytes"));
    EXPECT_EQ(step, WriteStep::Replace);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Bytes("locked.ini"), "old bytes");
    EXPECT_EQ(Attributes("locked.ini") & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    // A target held open by another program without sharing.
    Put("held.txt", "held bytes");
    HANDLE held = CreateFileW(File("held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Write("held.txt", "new bytes"));
    EXPECT_EQ(step, WriteStep::Replace);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(held);
    EXPECT_EQ(Bytes("held.txt"), "held bytes");

    // A target that is a folder.
    std::filesystem::create_directory(File("folder"));
    EXPECT_FALSE(Write("folder", "bytes"));
    EXPECT_EQ(step, WriteStep::Replace);

    // A folder that does not exist: the temporary file cannot be made.
    EXPECT_FALSE(Write("missing\\file.txt", "bytes"));
    EXPECT_EQ(step, WriteStep::Create);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "held.txt", "locked.ini"}));
}

}  // namespace
}  // namespace tarvenix::testing
