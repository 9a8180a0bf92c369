// settings.ini's [options] read through the private-profile services, and
// what the window writes back of them when it closes.
#include <windows.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "base/win_text.h"
#include "servers/settings_file_win.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

void PutSettings(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

TEST(EngineSettingsFile, OutOfRangeTakesTheLimitAndTextTakesTheDefault) {
    const struct {
        const char* options;
        int sessions, calls, servers, timeout, refresh;
        bool allServers;
        int farm;
    } cases[] = {
        {"", 16, 8, 8, 15, 0, false, 128},
        {"refresh seconds=45\r\ntimeout seconds=900\r\nparallel sessions=64\r\nparallel servers=64\r\n"
         "parallel calls=0\r\nall servers=1\r\n",
         64, 1, 64, 600, 45, true, 256},
        {"refresh seconds=abc\r\ntimeout seconds=\r\nparallel sessions=12abc\r\nall servers=yes\r\n", 16, 8, 8, 15, 0,
         false, 128},
        {"refresh seconds=5\r\nparallel sessions=-3\r\nparallel servers=3\r\ntimeout seconds=0\r\nall servers=7\r\n", 1,
         8, 3, 1, 15, true, 3},
        {"refresh seconds=900\r\nparallel sessions=32\r\nparallel servers=16\r\n", 32, 8, 16, 15, 300, false, 256},
        {"refresh seconds = 60 \r\nparallel calls=99999999999999\r\n", 16, 64, 8, 15, 60, false, 128},
    };
    TempDirectory dir;
    const std::filesystem::path path = dir.Path() / "settings.ini";
    for (const auto& c : cases) {
        PutSettings(path, std::string("[server]\r\nserver name=TS01\r\n[options]\r\n") + c.options);
        const EngineSettings s = ReadEngineSettings(U16(path.c_str()));
        EXPECT_EQ(s.parallelSessions, c.sessions) << c.options;
        EXPECT_EQ(s.parallelCalls, c.calls) << c.options;
        EXPECT_EQ(s.parallelServers, c.servers) << c.options;
        EXPECT_EQ(s.timeoutSeconds, c.timeout) << c.options;
        EXPECT_EQ(s.refreshSeconds, c.refresh) << c.options;
        EXPECT_EQ(s.allServers, c.allServers) << c.options;
        EXPECT_EQ(s.farmParallelSessions, c.farm) << c.options;
    }
}

class OptionsWriteBackTest : public MainWindowTest {
protected:
    std::filesystem::path Settings() const { return appDir.Path() / "settings.ini"; }
    // A key of [options] as the file has it, "<none>" when missing.
    std::u16string Option(const wchar_t* key) const {
        wchar_t buffer[256] = {};
        GetPrivateProfileStringW(L"options", key, L"<none>", buffer, 256, Settings().c_str());
        return U16(buffer);
    }
    void OpenWithSettings(const std::string& options) {
        PutSettings(Settings(), "[server]\r\nserver name=TS01\r\n[options]\r\n" + options);
        const EngineSettings read = ReadEngineSettings(U16(Settings().c_str()));
        services.refreshSeconds = read.refreshSeconds;
        services.allServers = read.allServers;
        services.clientColumns = read.clientColumns;
        Open();
    }
    void Close() {
        SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
        PumpMessages();
        ASSERT_TRUE(dialogs.errors.empty());
    }
};

TEST_F(OptionsWriteBackTest, ValuesTheUserLeftAloneStayAsTheFileHasThem) {
    OpenWithSettings("refresh seconds=abc\r\nall servers=yes\r\ntimeout seconds=900\r\n");
    Close();
    EXPECT_EQ(Option(L"refresh seconds"), u"abc");
    EXPECT_EQ(Option(L"all servers"), u"yes");
    EXPECT_EQ(Option(L"timeout seconds"), u"900");

    // A refresh chosen in the window is written; the other value stays.
    OpenWithSettings("refresh seconds=abc\r\nall servers=yes\r\n");
    window->Sessions().SetAutoRefresh(30);
    Close();
    EXPECT_EQ(Option(L"refresh seconds"), u"30");
    EXPECT_EQ(Option(L"all servers"), u"yes");

    // Missing keys stay missing while the user changes nothing.
    OpenWithSettings("");
    Close();
    EXPECT_EQ(Option(L"refresh seconds"), u"<none>");
    EXPECT_EQ(Option(L"all servers"), u"<none>");
}

TEST_F(OptionsWriteBackTest, ARememberedPeriodOutsideTheUsualChoicesIsKeptAsAChoiceOfItsOwn) {
    OpenWithSettings("refresh seconds=45\r\n");
    HWND chooser = window->Sessions().RefreshChooser();
    EXPECT_EQ(window->Sessions().AutoRefreshSeconds(), 45);
    ASSERT_EQ(SendMessageW(chooser, CB_GETCOUNT, 0, 0), 7);  // off, 15, 30, 45, 60 s, 5 min, live mode
    wchar_t text[32] = {};
    SendMessageW(chooser, CB_GETLBTEXT, SendMessageW(chooser, CB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(U16(text), u"45 с");
    Close();
    EXPECT_EQ(Option(L"refresh seconds"), u"45") << "never written back as another value";

    // Another choice from the list, then 45 again: both kept.
    OpenWithSettings("refresh seconds=45\r\n");
    SendMessageW(chooser = window->Sessions().RefreshChooser(), CB_SETCURSEL, 1, 0);
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdRefreshChooser, CBN_SELCHANGE), reinterpret_cast<LPARAM>(chooser));
    EXPECT_EQ(window->Sessions().AutoRefreshSeconds(), 15);
    Close();
    EXPECT_EQ(Option(L"refresh seconds"), u"15");
}

TEST_F(OptionsWriteBackTest, TheChosenColumnsAreRememberedAsBits) {
    OpenWithSettings("client columns=5\r\n");  // build and protocol
    EXPECT_EQ(window->Sessions().ChosenColumns(), (std::vector<SessionField>{SessionField::ClientBuild, SessionField::Protocol}));
    EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(window->Sessions().List().Handle())), 10);
    window->Sessions().SetColumnChosen(SessionField::Protocol, false);
    window->Sessions().SetColumnChosen(SessionField::ClientDisplay, true);
    Close();
    EXPECT_EQ(Option(L"client columns"), u"3");

    OpenWithSettings("client columns=99\r\n");  // out of range: the nearest limit, all three
    EXPECT_EQ(window->Sessions().ChosenColumns().size(), 3u);
    Close();
    EXPECT_EQ(Option(L"client columns"), u"99") << "left as written while the user changed nothing";
}

}  // namespace
}  // namespace tarvenix::testing
