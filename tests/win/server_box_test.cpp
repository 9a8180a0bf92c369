// The server box in-process: its keys and completion, settings.ini and
// serverslist.txt across show and close, and the server list from a text file.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "base/win_text.h"
#include "servers/history_codec.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using namespace std::string_literals;
using Texts = std::vector<std::u16string>;

std::string Printable(const Texts& texts) {
    std::string s;
    for (const auto& t : texts) s += "[" + Utf16ToUtf8(t) + "]";
    return s;
}

// A file held open by another program that lets others read it but not write it.
class FileLock {
public:
    explicit FileLock(const std::filesystem::path& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~FileLock() { Release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Release() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

class ServerBoxTest : public MainWindowTest {
protected:
    std::filesystem::path File(const char* name) const { return appDir.Path() / name; }
    std::u16string FilePath(const char* name) const { return U16(File(name).c_str()); }

    void WriteFile(const char* name, const std::string& bytes) const {
        std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::string ReadFile(const char* name) const {
        std::ifstream in(File(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Files a write went through and left behind ("<name>.<process>-<n>.tmp").
    std::vector<std::string> TemporaryFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(appDir.Path()))
            if (entry.path().extension() == ".tmp") names.push_back(entry.path().filename().string());
        return names;
    }
    void RemoveFiles() const {
        std::filesystem::remove(File("settings.ini"));
        std::filesystem::remove(File("serverslist.txt"));
    }

    // A key read through the private-profile services, "<none>" when the key is missing.
    std::u16string Profile(const char16_t* section, const char16_t* key) const {
        wchar_t buffer[2048] = {};
        GetPrivateProfileStringW(reinterpret_cast<const wchar_t*>(section), reinterpret_cast<const wchar_t*>(key),
                                 L"<none>", buffer, 2048, File("settings.ini").c_str());
        return U16(buffer);
    }

    HWND Edit() const {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        GetComboBoxInfo(window->Servers().Combo(), &info);
        return info.hwndItem;
    }
    void Type(const std::u16string& text) {
        for (const char16_t ch : text) SendMessageW(Edit(), WM_CHAR, ch, 0);
        PumpMessages();
    }
    // A key press with the given modifier keys held; Alt makes it a system key.
    void Press(UINT key, const std::vector<UINT>& modifiers = {}) {
        BYTE state[256] = {};
        for (const UINT m : modifiers) state[m] = 0x80;
        SetKeyboardState(state);
        const bool alt = state[VK_MENU] != 0;
        SendMessageW(Edit(), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, alt ? (1 << 29) : 0);
        SendMessageW(Edit(), alt ? WM_SYSKEYUP : WM_KEYUP, key, alt ? (1 << 29) : 0);
        BYTE none[256] = {};
        SetKeyboardState(none);
        PumpMessages();
    }
    LRESULT CurrentEntry() const { return SendMessageW(window->Servers().Combo(), CB_GETCURSEL, 0, 0); }
    std::pair<DWORD, DWORD> EditSelection() const {
        DWORD start = 0, end = 0;
        SendMessageW(Edit(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }
    // Closes the window as its title-bar button does; true when it closed.
    bool CloseWindow() {
        SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
        PumpMessages();
        return !window->Handle() || !IsWindow(window->Handle());
    }
};

TEST_F(ServerBoxTest, FirstStartWithoutFilesGivesAnEmptyBoxAndCloseCreatesBoth) {
    Open();
    EXPECT_EQ(window->Servers().Text(), u"");
    EXPECT_TRUE(window->Servers().History().empty());
    EXPECT_FALSE(window->Servers().HistoryEncoding().has_value());
    EXPECT_EQ(GetFocus(), Edit());

    ASSERT_TRUE(CloseWindow());
    EXPECT_TRUE(dialogs.errors.empty());
    // The key is there, with an empty value.
    EXPECT_EQ(Profile(u"server", u"server name"), u"");
    ASSERT_TRUE(std::filesystem::exists(File("serverslist.txt")));
    EXPECT_EQ(std::filesystem::file_size(File("serverslist.txt")), 0u);
}

TEST_F(ServerBoxTest, RestoresANameOutsideTheHistoryAndSavesWithoutDisturbingOtherKeys) {
    WriteFile("settings.ini", "[other]\r\nkey=value\r\n[server]\r\nserver name=TS09\r\nextra=1\r\n");
    WriteFile("serverslist.txt", "TS01\r\n\r\nTS02\r\n");
    Open();
    EXPECT_EQ(window->Servers().Text(), u"TS09");
    EXPECT_EQ(window->Servers().History(), (Texts{u"TS01", u"", u"TS02"}));
    EXPECT_EQ(CurrentEntry(), CB_ERR);
    ASSERT_TRUE(window->Servers().HistoryEncoding().has_value());
    EXPECT_EQ(*window->Servers().HistoryEncoding(), TextEncoding::Ansi);

    // Delete with no current entry drops nothing.
    Press(VK_DELETE);
    EXPECT_EQ(window->Servers().History(), (Texts{u"TS01", u"", u"TS02"}));

    window->Servers().SetText(u"srv-new");
    ASSERT_TRUE(CloseWindow());
    EXPECT_EQ(Profile(u"server", u"server name"), u"srv-new");
    EXPECT_EQ(Profile(u"server", u"extra"), u"1");
    EXPECT_EQ(Profile(u"other", u"key"), u"value");
    EXPECT_EQ(ReadFile("serverslist.txt"), "TS01\r\n\r\nTS02\r\n");
}

TEST_F(ServerBoxTest, HistoryFileIsWrittenBackInTheEncodingItWasReadIn) {
    const struct { const char* name; std::string bytes; Texts entries; std::string written; } cases[] = {
        {"ANSI, LF and CR ends", "\xD1\xE5\xF0\xE2\xE5\xF0\nTS01\rTS02"s, {u"Сервер", u"TS01", u"TS02"},
         "\xD1\xE5\xF0\xE2\xE5\xF0\r\nTS01\r\nTS02\r\n"s},
        {"UTF-8 with mark", "\xEF\xBB\xBF\xD0\xA1\r\nTS01\r\n"s, {u"С", u"TS01"}, "\xEF\xBB\xBF\xD0\xA1\r\nTS01\r\n"s},
        {"UTF-16 LE", "\xFF\xFE\x21\x04\r\0\n\0"s, {u"С"}, "\xFF\xFE\x21\x04\r\0\n\0"s},
        {"UTF-16 BE", "\xFE\xFF\x04\x21\0\r\0\n"s, {u"С"}, "\xFE\xFF\x04\x21\0\r\0\n"s},
        {"marked but empty", "\xEF\xBB\xBF"s, {}, "\xEF\xBB\xBF"s},
    };
    for (const auto& c : cases) {
        RemoveFiles();
        WriteFile("serverslist.txt", c.bytes);
        Open();
        EXPECT_EQ(window->Servers().History(), c.entries) << c.name << " " << Printable(window->Servers().History());
        ASSERT_TRUE(CloseWindow()) << c.name;
        EXPECT_EQ(ReadFile("serverslist.txt"), c.written) << c.name;
    }
}

TEST_F(ServerBoxTest, AnAnsiHistoryGainingANameAnsiCannotHoldIsWrittenAsUtf8) {
    WriteFile("serverslist.txt", "TS01\r\n");
    Open();
    // As the directory source fills it: the encoding stays ANSI.
    window->Servers().SetHistory({u"TS01", u"Ωmega"});
    ASSERT_TRUE(CloseWindow());
    EXPECT_EQ(ReadFile("serverslist.txt"), "\xEF\xBB\xBFTS01\r\n\xCE\xA9mega\r\n"s);
}

TEST_F(ServerBoxTest, TypingCompletesToTheFirstMatchingEntryAndDeleteDropsIt) {
    WriteFile("serverslist.txt", "alpha\r\nTS01\r\nts02\r\nTS01\r\n");
    Open();
    Type(u"ts");
    EXPECT_EQ(window->Servers().Text(), u"TS01");
    EXPECT_EQ(CurrentEntry(), 1);
    EXPECT_EQ(EditSelection(), (std::pair<DWORD, DWORD>{2, 4}));

    Press(VK_DELETE);
    EXPECT_EQ(window->Servers().History(), (Texts{u"alpha", u"ts02", u"TS01"}));
    EXPECT_EQ(window->Servers().Text(), u"TS");

    // Typing on completes to what is now the first match; Backspace only
    // removes the completed part and leaves no current entry.
    Type(u"0");
    EXPECT_EQ(window->Servers().Text(), u"ts02");
    EXPECT_EQ(CurrentEntry(), 1);
    SendMessageW(Edit(), WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(window->Servers().Text(), u"ts0");
    EXPECT_EQ(CurrentEntry(), CB_ERR);

    // A text no entry begins with is left as typed, with no current entry.
    Type(u"x");
    EXPECT_EQ(window->Servers().Text(), u"ts0x");
    EXPECT_EQ(CurrentEntry(), CB_ERR);
}

TEST_F(ServerBoxTest, DeleteDropsTheCurrentEntryWhateverTheModifiers) {
    const struct { const char* name; std::vector<UINT> modifiers; const char16_t* text; } cases[] = {
        {"plain", {}, u"a"},
        {"Shift", {VK_SHIFT}, u"a"},  // the edit field cuts the completion
        {"Ctrl", {VK_CONTROL}, nullptr},
        {"Alt", {VK_MENU}, nullptr},
        {"Ctrl+Shift", {VK_CONTROL, VK_SHIFT}, nullptr},
    };
    Open();
    for (const auto& c : cases) {
        window->Servers().SetHistory({u"beta", u"alpha", u"gamma"});
        window->Servers().SetText(u"");
        Type(u"a");
        ASSERT_EQ(CurrentEntry(), 1) << c.name;
        Press(VK_DELETE, c.modifiers);
        EXPECT_EQ(window->Servers().History(), (Texts{u"beta", u"gamma"})) << c.name;
        if (c.text) {
            EXPECT_EQ(window->Servers().Text(), c.text) << c.name;
        }
    }
}

TEST_F(ServerBoxTest, EnterRunsGetDataWhateverTheModifiers) {
    FakeSession session;
    session.id = 3;
    session.user = u"ivanov";
    wts.servers[u"TS01"].sessions = {session};
    const struct { const char* name; std::vector<UINT> modifiers; } cases[] = {
        {"plain", {}}, {"Ctrl", {VK_CONTROL}}, {"Shift", {VK_SHIFT}}, {"Alt", {VK_MENU}},
    };
    Open();
    for (const auto& c : cases) {
        window->Servers().SetText(u"NONE");
        window->Sessions().GetData();  // ListedServer is now NONE
        window->Servers().SetText(u"TS01");
        wts.calls.clear();
        dialogs.messages.clear();
        Press(VK_RETURN, c.modifiers);
        EXPECT_EQ(window->Sessions().ListedServer(), u"TS01") << c.name;
        EXPECT_EQ(std::count(wts.calls.begin(), wts.calls.end(), "open TS01"), 1) << c.name;
        EXPECT_EQ(window->Sessions().Rows().Size(), 1u) << c.name;
    }
    // In an empty box Enter runs Get data too, which asks for a server.
    window->Servers().SetText(u"");
    dialogs.messages.clear();
    Press(VK_RETURN, {VK_CONTROL});
    EXPECT_EQ(dialogs.messages, (Texts{u"Вы не указали сервер!"}));
}

TEST_F(ServerBoxTest, AFailedCloseShowsTheErrorKeepsTheWindowAndRetriesBothWrites) {
    // Another program holds the file without letting others write it (a
    // read-only directory does not stop writes by root under Wine).
    // After each error the user is asked whether to close without saving,
    // and keeps the window (Cancel).
    Open();
    window->Servers().SetText(u"TS05");
    window->Servers().SetHistory({u"TS05", u"TS06"});
    dialogs.answers = {false, false};
    {
        FileLock lock(File("settings.ini"));
        ASSERT_TRUE(lock.Held());
        EXPECT_FALSE(CloseWindow());
        EXPECT_EQ(dialogs.questions, (Texts{kCloseWithoutSavingQuestion}));
        ASSERT_EQ(dialogs.errors, (Texts{u"Unable to write to " + FilePath("settings.ini") + u"."}));
        // The history is not written when the settings are not.
        EXPECT_FALSE(std::filesystem::exists(File("serverslist.txt")));
    }
    {
        FileLock lock(File("serverslist.txt"));
        ASSERT_TRUE(lock.Held());
        EXPECT_FALSE(CloseWindow());
        ASSERT_EQ(dialogs.errors.size(), 2u);
        // The written list cannot take the held file's place: the system
        // says "in use" or "access denied", depending on its version.
        const std::u16string prefix = u"Cannot create file \"" + FilePath("serverslist.txt") + u"\". Системная ошибка ";
        EXPECT_TRUE(dialogs.errors[1] == prefix + DecimalU32(ERROR_SHARING_VIOLATION) + u"." ||
                    dialogs.errors[1] == prefix + DecimalU32(ERROR_ACCESS_DENIED) + u".")
            << Utf16ToUtf8(dialogs.errors[1]);
        EXPECT_EQ(Profile(u"server", u"server name"), u"TS05");
    }
    window->Servers().SetText(u"TS06");
    ASSERT_TRUE(CloseWindow());
    EXPECT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(Profile(u"server", u"server name"), u"TS06");
    EXPECT_EQ(ReadFile("serverslist.txt"), "TS05\r\nTS06\r\n");
}

TEST_F(ServerBoxTest, WhenTheSettingsCannotBeWrittenYesClosesWithoutSavingAndTheFilesKeepTheirBytes) {
    const std::string settings = "[server]\r\nserver name=OLD\r\n[other]\r\nkey=1\r\n";
    const std::string history = "OLD1\r\nOLD2\r\n";
    WriteFile("settings.ini", settings);
    WriteFile("serverslist.txt", history);
    Open();
    window->Servers().SetText(u"NEW");
    window->Servers().SetHistory({u"NEW"});
    FileLock lock(File("settings.ini"));
    ASSERT_TRUE(lock.Held());
    dialogs.answers = {true};
    EXPECT_TRUE(CloseWindow());
    EXPECT_EQ(dialogs.errors, (Texts{u"Unable to write to " + FilePath("settings.ini") + u"."}));
    EXPECT_EQ(dialogs.questions, (Texts{kCloseWithoutSavingQuestion}));
    // Every box of the close is owned by the main window.
    for (WindowRef owner : dialogs.owners) EXPECT_NE(owner, 0u);
    lock.Release();
    EXPECT_EQ(ReadFile("settings.ini"), settings);
    EXPECT_EQ(ReadFile("serverslist.txt"), history);
    EXPECT_EQ(TemporaryFiles(), std::vector<std::string>{});
}

TEST_F(ServerBoxTest, AWriteThatFailsAfterItsTemporaryFileLeavesTheOldFileByteForByte) {
    // The temporary file is written in full; putting it in place fails while
    // another program holds the history open. The history keeps its bytes and
    // no temporary file is left behind.
    const std::string history = "\xEF\xBB\xBFTS01\r\nСервер\r\n";
    WriteFile("serverslist.txt", history);
    Open();
    window->Servers().SetHistory({u"A", u"B", u"C"});
    dialogs.answers = {false};
    {
        FileLock lock(File("serverslist.txt"));
        ASSERT_TRUE(lock.Held());
        EXPECT_FALSE(CloseWindow());
    }
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(ReadFile("serverslist.txt"), history);
    EXPECT_EQ(TemporaryFiles(), std::vector<std::string>{});
    // The next close writes it.
    ASSERT_TRUE(CloseWindow());
    EXPECT_EQ(ReadFile("serverslist.txt"), "\xEF\xBB\xBF" "A\r\nB\r\nC\r\n");
}

TEST_F(ServerBoxTest, SigningOutWritesBothFilesAsACloseDoes) {
    Open();
    window->Servers().SetText(u"TS09");
    window->Servers().SetHistory({u"TS08", u"TS09"});
    EXPECT_EQ(SendMessageW(window->Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_FALSE(std::filesystem::exists(File("serverslist.txt"))) << "asking writes nothing yet";
    SendMessageW(window->Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(Profile(u"server", u"server name"), u"TS09");
    EXPECT_EQ(ReadFile("serverslist.txt"), "TS08\r\nTS09\r\n");
    // A cancelled shutdown (FALSE) writes nothing.
    window->Servers().SetText(u"TS10");
    SendMessageW(window->Handle(), WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(Profile(u"server", u"server name"), u"TS09");
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(ServerBoxTest, ANameAnsiCannotHoldSurvivesInSettings) {
    const std::u16string name = u"Ωmega-服务器";
    const struct { const char* name; std::string before; } cases[] = {
        {"no file", ""},
        {"ANSI file with other keys", "[other]\r\nkey=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n[server]\r\nserver name=TS01\r\n"s},
        {"UTF-16 file", "\xFF\xFE[\0o\0t\0h\0e\0r\0]\0\r\0\n\0k\0e\0y\0=\0\x17\x04\r\0\n\0"s},
    };
    for (const auto& c : cases) {
        RemoveFiles();
        if (!c.before.empty()) WriteFile("settings.ini", c.before);
        Open();
        window->Servers().SetText(name);
        ASSERT_TRUE(CloseWindow()) << c.name;
        const std::string bytes = ReadFile("settings.ini");
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE"s) << c.name;
        EXPECT_EQ(Profile(u"server", u"server name"), name) << c.name;
        if (c.before.empty()) {
            EXPECT_EQ(Profile(u"other", u"key"), u"<none>") << c.name;
        } else {
            EXPECT_EQ(Profile(u"other", u"key"), c.before[0] == '[' ? u"Значение" : u"З") << c.name;
        }
        // The next start restores it.
        Open();
        EXPECT_EQ(window->Servers().Text(), name) << c.name;
        ASSERT_TRUE(CloseWindow()) << c.name;
    }
}

TEST_F(ServerBoxTest, ANameAnsiCanHoldLeavesTheSettingsFileInAnsi) {
    // The private-profile functions write the system's code page; the fixture's is 1251.
    if (GetACP() != 1251) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", this check needs 1251";
    Open();
    window->Servers().SetText(u"Сервер");
    ASSERT_TRUE(CloseWindow());
    const std::string bytes = ReadFile("settings.ini");
    EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE"s);
    EXPECT_NE(bytes.find("=\xD1\xE5\xF0\xE2\xE5\xF0"s), std::string::npos);
    Open();
    EXPECT_EQ(window->Servers().Text(), u"Сервер");
}

TEST_F(ServerBoxTest, TextFileReplacesTheHistoryInItsEncodingAndReachesServersList) {
    const struct { const char* name; std::string bytes; Texts entries; TextEncoding encoding; std::string written; } cases[] = {
        {"ANSI", "\xD1\xE5\xF0\xE2\xE5\xF0-1\r\nTS02\n"s, {u"Сервер-1", u"TS02"}, TextEncoding::Ansi,
         "\xD1\xE5\xF0\xE2\xE5\xF0-1\r\nTS02\r\n"s},
        {"UTF-8", "\xEF\xBB\xBF\xD0\xA1-1\rTS02"s, {u"С-1", u"TS02"}, TextEncoding::Utf8,
         "\xEF\xBB\xBF\xD0\xA1-1\r\nTS02\r\n"s},
        {"UTF-16 LE", "\xFF\xFE\x21\x04\n\0T\0"s, {u"С", u"T"}, TextEncoding::Utf16LE, "\xFF\xFE\x21\x04\r\0\n\0T\0\r\0\n\0"s},
        {"UTF-16 BE", "\xFE\xFF\x04\x21\0\n\0T"s, {u"С", u"T"}, TextEncoding::Utf16BE, "\xFE\xFF\x04\x21\0\r\0\n\0T\0\r\0\n"s},
        {"empty lines", "\r\n\r\n"s, {u"", u""}, TextEncoding::Ansi, "\r\n\r\n"s},
        {"empty file", ""s, {}, TextEncoding::Ansi, ""s},
    };
    for (const auto& c : cases) {
        RemoveFiles();
        WriteFile("serverslist.txt", "old\r\n");
        WriteFile("list.txt", c.bytes);
        Open();
        window->Servers().SetText(u"typed");
        dialogs.messages.clear();
        dialogs.openAnswers.push_back(FilePath("list.txt"));
        Command(kCmdServersFromFile);
        EXPECT_TRUE(dialogs.errors.empty()) << c.name;
        EXPECT_EQ(dialogs.messages, (Texts{u"Готово!"})) << c.name;
        EXPECT_EQ(window->Servers().History(), c.entries) << c.name << " " << Printable(window->Servers().History());
        EXPECT_EQ(window->Servers().Text(), c.entries.empty() ? u"" : c.entries.front()) << c.name;
        ASSERT_TRUE(window->Servers().HistoryEncoding().has_value()) << c.name;
        EXPECT_EQ(*window->Servers().HistoryEncoding(), c.encoding) << c.name;
        ASSERT_TRUE(CloseWindow()) << c.name;
        EXPECT_EQ(ReadFile("serverslist.txt"), c.written) << c.name;
    }
}

TEST_F(ServerBoxTest, TextFileDialogIsSetUpOnEveryPressAndCancelChangesNothing) {
    WriteFile("serverslist.txt", "\xEF\xBB\xBFTS01\r\nTS02\r\n"s);
    Open();
    window->Servers().SetText(u"typed");
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    Command(kCmdServersFromFile);
    Command(kCmdServersFromFile);
    ASSERT_EQ(dialogs.openRequests.size(), 2u);
    for (const auto& request : dialogs.openRequests) {
        EXPECT_EQ(request.title, u"Получить список серверов из текстового файла");
        EXPECT_EQ(request.initialDirectory, U16(current));
        EXPECT_EQ(request.filter, u"TXT (текстовый файл) (*.txt)|*.txt");
        EXPECT_EQ(request.defaultExtension, u"txt");
        EXPECT_EQ(request.filterIndex, 1);
    }
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(window->Servers().Text(), u"typed");
    EXPECT_EQ(window->Servers().History(), (Texts{u"TS01", u"TS02"}));
    EXPECT_EQ(window->Servers().HistoryEncoding(), TextEncoding::Utf8);
}

TEST_F(ServerBoxTest, AnUnopenableTextFileIsAnErrorAndChangesNothing) {
    WriteFile("serverslist.txt", "\xEF\xBB\xBFTS01\r\n"s);
    WriteFile("busy.txt", "\xFF\xFE" "N\0"s);
    Open();
    window->Servers().SetText(u"typed");
    FileLock writer(File("busy.txt"));  // open for writing in another program
    ASSERT_TRUE(writer.Held());
    const struct { const char* name; const char* file; DWORD error; } cases[] = {
        {"gone", "missing.txt", ERROR_FILE_NOT_FOUND},
        {"open for writing elsewhere", "busy.txt", ERROR_SHARING_VIOLATION},
    };
    for (const auto& c : cases) {
        dialogs.errors.clear();
        dialogs.openAnswers.push_back(FilePath(c.file));
        Command(kCmdServersFromFile);
        EXPECT_EQ(dialogs.errors, (Texts{u"Cannot open file \"" + FilePath(c.file) + u"\". Системная ошибка " +
                                         DecimalU32(c.error) + u"."}))
            << c.name;
        EXPECT_TRUE(dialogs.messages.empty()) << c.name;
        EXPECT_EQ(window->Servers().Text(), u"typed") << c.name;
        EXPECT_EQ(window->Servers().History(), (Texts{u"TS01"})) << c.name;
        EXPECT_EQ(window->Servers().HistoryEncoding(), TextEncoding::Utf8) << c.name;
    }
}

}  // namespace
}  // namespace tarvenix::testing
