// Everyday work on the session list: disconnecting sessions, copying rows to
// the clipboard and saving the list as CSV.
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "base/csv.h"
#include "base/win_text.h"
#include "servers/settings_file_win.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;
using Calls = std::vector<std::string>;

FakeSession Row(std::uint32_t id, std::u16string user, std::u16string client) {
    FakeSession s;
    s.id = id;
    s.user = std::move(user);
    s.clientName = std::move(client);
    s.winStation = u"RDP-Tcp#" + DecimalU32(id);
    s.address = IPv4(10, 0, 0, static_cast<std::uint8_t>(id));
    return s;
}

class EverydayTest : public MainWindowTest {
protected:
    void OpenWithFarm() {
        // Cells that CSV and the clipboard must carry: the separator, quotes,
        // a line break, Cyrillic.
        wts.servers[u"TS01"].sessions = {Row(3, u"Петрова", u"PC;\"7\""), Row(1, u"ivanov", u"PC-01"),
                                         Row(2, u"sidorov", u"line\r\nbreak")};
        Open();
        GetData(u"TS01");
        wts.calls.clear();
    }
    HWND Sessions() { return window->Sessions().List().Handle(); }
    std::u16string Clipboard() {
        std::u16string text;
        if (!OpenClipboard(window->Handle())) return u"<no clipboard>";
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = U16(p);
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        return text;
    }
    std::string ReadBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

TEST_F(EverydayTest, IdleAndLogonColumnsShowTheServersTimesAndOrderByTime) {
    constexpr std::int64_t kMinute = kTicksPerMinute;
    constexpr std::int64_t kNow = 134'000'000'000'000'000;
    FakeSession busy = Row(1, u"a", u"PC-1");      // idle 5 minutes
    busy.times = SessionTimes{kNow - 5 * kMinute, 0, kNow - 90 * kMinute, kNow};
    FakeSession away = Row(2, u"b", u"PC-2");      // idle 1:05 (10 minutes is more than 5 as text would not say)
    away.times = SessionTimes{kNow - 65 * kMinute, 0, kNow - 30 * kMinute, kNow};
    FakeSession gone = Row(3, u"c", u"PC-3");      // disconnected for 2 days 3:10
    gone.state = 4;
    gone.times = SessionTimes{kNow, kNow - (2 * 24 * 60 + 190) * kMinute, kNow - 9000 * kMinute, kNow};
    FakeSession unknown = Row(4, u"d", u"PC-4");   // the query fails: empty cells, the row stays
    FakeSession fresh = Row(5, u"e", u"PC-5");     // idle for seconds
    fresh.times = SessionTimes{kNow - 20 * kTicksPerSecond, 0, kNow - 10 * kMinute, kNow};
    wts.servers[u"TS01"].sessions = {busy, away, gone, unknown, fresh};
    Open();
    GetData(u"TS01");
    HWND list = Sessions();
    EXPECT_EQ(ColumnTexts(list, 6), (Texts{u"5", u"1:05", u"2+03:10", u"", u"."}));
    const Texts logon = ColumnTexts(list, 7);
    EXPECT_FALSE(logon[0].empty());
    EXPECT_TRUE(logon[3].empty());
    // By idle time, not by text ("1:05" < "2+03:10" < "5" as text): the
    // session without a time last in both directions.
    ClickHeader(list, 6);
    EXPECT_EQ(ColumnTexts(list, 0), (Texts{u"5", u"1", u"2", u"3", u"4"}));
    ClickHeader(list, 6);
    EXPECT_EQ(ColumnTexts(list, 0), (Texts{u"3", u"2", u"1", u"5", u"4"}));
    // By logon time: earliest first. (The column lies past the list's width at
    // this window size, out of a click's reach: its header click directly.)
    window->Sessions().List().ColumnClicked(7);
    EXPECT_EQ(ColumnTexts(list, 0), (Texts{u"3", u"1", u"2", u"5", u"4"}));
    // The six specified columns keep their widths; the two new ones follow.
    EXPECT_EQ(ListView_GetColumnWidth(list, 3), 100);
    EXPECT_EQ(ListView_GetColumnWidth(list, 5), 95);
}

TEST_F(EverydayTest, F5ListsTheListedServerAgainWhateverTheBoxHolds) {
    OpenWithFarm();
    wts.servers[u"TS01"].sessions.pop_back();  // one session has ended since
    window->Servers().SetText(u"OTHER");
    MSG f5{Sessions(), WM_KEYDOWN, VK_F5, 0, 0, {}};
    EXPECT_TRUE(window->PreTranslateMessage(f5));
    PumpMessages();
    EXPECT_EQ(wts.calls.front(), "open TS01");
    EXPECT_EQ(ListView_GetItemCount(Sessions()), 2);
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"2");
    EXPECT_EQ(window->Sessions().ListedServer(), u"TS01");
}

TEST_F(EverydayTest, AutomaticRefreshKeepsSelectionAndOrderAndIsRemembered) {
    services.refreshSecond = std::chrono::milliseconds(2);  // "15 s" ticks every 30 ms here
    OpenWithFarm();
    HWND list = Sessions();
    ClickHeader(list, 1);  // by user: ivanov 1, sidorov 2, Петрова 3
    Select(list, {1});     // sidorov (2)
    ListView_SetItemState(list, 1, LVIS_FOCUSED, LVIS_FOCUSED);
    // Meanwhile on the server: ivanov has gone, aaron has come.
    auto& sessions = wts.servers[u"TS01"].sessions;
    sessions.erase(sessions.begin() + 1);
    sessions.push_back(Row(9, u"aaron", u"PC-09"));
    SendMessageW(window->Sessions().RefreshChooser(), CB_SETCURSEL, 1, 0);
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdRefreshChooser, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(window->Sessions().RefreshChooser()));
    EXPECT_EQ(window->Sessions().AutoRefreshSeconds(), 15);
    PumpFor(300);
    EXPECT_EQ(ColumnTexts(list, 1), (Texts{u"aaron", u"sidorov", u"Петрова"})) << "same order, new rows";
    EXPECT_EQ(window->Sessions().SelectedIndices(), (std::vector<int>{1})) << "sidorov is still selected";
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_FOCUSED), 1);
    EXPECT_EQ(GetText(window->Sessions().SessionCountLabel()), u"3");
    EXPECT_TRUE(dialogs.messages.empty());

    // A failure never shows a box: the rows stay and the line under the counters says why.
    wts.servers[u"TS01"].enumerateError = 1722;
    PumpFor(200);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(ListView_GetItemCount(list), 3);
    EXPECT_EQ(GetText(window->Sessions().ProgressLabel()).rfind(u"Не удалось обновить список: ", 0), 0u);

    // Off: no more calls.
    SendMessageW(window->Sessions().RefreshChooser(), CB_SETCURSEL, 0, 0);
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdRefreshChooser, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(window->Sessions().RefreshChooser()));
    PumpFor(50);
    const std::size_t calls = wts.calls.size();
    PumpFor(200);
    EXPECT_EQ(wts.calls.size(), calls);

    // The choice is kept in [options] of settings.ini.
    SendMessageW(window->Sessions().RefreshChooser(), CB_SETCURSEL, 3, 0);
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdRefreshChooser, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(window->Sessions().RefreshChooser()));
    SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ReadEngineSettings(appDir.WithSeparator() + u"settings.ini").refreshSeconds, 60);
}

TEST_F(EverydayTest, DisconnectSendsOneCommandPerSelectedRowAndReportsFailures) {
    OpenWithFarm();
    wts.servers[u"TS01"].sessions[2].disconnectError = 5;  // session 2
    Select(Sessions(), {0, 1, 2});  // 3, 1, 2 in enumeration order
    window->Servers().SetText(u"OTHER");  // the rows still belong to TS01
    Command(kCmdDisconnectSelected);
    // Each session checked first; these sessions give no session information,
    // so their user names are asked for instead.
    EXPECT_EQ(wts.calls, (Calls{"open TS01", "query 3 24 TS01", "query 3 5 TS01", "disconnect 3 TS01", "query 1 24 TS01",
                                "query 1 5 TS01", "disconnect 1 TS01", "query 2 24 TS01", "query 2 5 TS01",
                                "disconnect 2 TS01"}));
    EXPECT_EQ(dialogs.messages, (Texts{u"Команды на отключение сессий отправлены",
                                       u"Не удалось отключить сессию 2 на сервере TS01.\r\nСистемная ошибка 5. (5)"}));
    EXPECT_EQ(ListView_GetItemCount(Sessions()), 3) << "the list is not refreshed";
    EXPECT_EQ(wts.opened, wts.closed);

    // One row: the singular report; none selected: nothing is called.
    dialogs.messages.clear();
    Select(Sessions(), {1});
    Command(kCmdDisconnectSelected);
    EXPECT_EQ(dialogs.messages, (Texts{u"Команда на отключение сессии отправлена"}));
    wts.calls.clear();
    dialogs.messages.clear();
    Select(Sessions(), {});
    Command(kCmdDisconnectSelected);
    EXPECT_TRUE(wts.calls.empty());
    EXPECT_EQ(dialogs.messages, (Texts{u"Команда на отключение сессии отправлена"}));
}

TEST_F(EverydayTest, CopyPutsTheSelectedRowsOrAllInScreenOrderOnTheClipboard) {
    OpenWithFarm();
    // Drag the user column to the front: the copy follows the screen.
    int order[] = {1, 0, 2, 3, 4, 5, 6, 7};
    ListView_SetColumnOrderArray(Sessions(), 8, order);
    Select(Sessions(), {1});
    Command(kCmdCopyRows);
    EXPECT_EQ(Clipboard(),
              u"Учетная запись\tID\tИмя компьютера\tIP адрес\tСостояние сессии\tСессия\tБездействие\tВход\r\n"
              u"ivanov\t1\tPC-01\t10.0.0.1\tActive\tRDP-Tcp#1\t\t\r\n");
    // Nothing selected: every row; a line break in a cell does not break the grid.
    Select(Sessions(), {});
    Command(kCmdCopyRows);
    const std::u16string all = Clipboard();
    EXPECT_NE(all.find(u"Петрова\t3\tPC;\"7\"\t10.0.0.3"), std::u16string::npos) << Utf16ToUtf8(all);
    EXPECT_NE(all.find(u"sidorov\t2\tline  break\t"), std::u16string::npos) << Utf16ToUtf8(all);
    EXPECT_EQ(std::count(all.begin(), all.end(), u'\n'), 4) << "a header and three rows";
    // Ctrl+C in the list does the same.
    SetFocus(Sessions());
    Select(Sessions(), {0});
    MSG ctrlC{Sessions(), WM_KEYDOWN, 'C', 0, 0, {}};
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    EXPECT_TRUE(window->PreTranslateMessage(ctrlC));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(Clipboard().substr(0, 3), u"Уче");
    EXPECT_NE(Clipboard().find(u"Петрова"), std::u16string::npos);
}

TEST_F(EverydayTest, SaveWritesEveryRowAsCsvThatReadsBackCellForCell) {
    OpenWithFarm();
    ClickHeader(Sessions(), 1);  // ordered by user: ivanov, sidorov, Петрова
    const auto file = appDir.Path() / "список.csv";
    dialogs.saveAnswers.push_back(U16(file.c_str()));
    Command(kCmdExportRows);
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].defaultExtension, u"csv");
    EXPECT_TRUE(dialogs.errors.empty());
    const std::string bytes = ReadBytes(file);
    ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF") << "UTF-8 with its mark, for spreadsheets";
    const auto rows = ReadCsv(bytes, u';');  // the Russian list separator
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 4u);
    EXPECT_EQ((*rows)[0], (Texts{u"ID", u"Учетная запись", u"Имя компьютера", u"IP адрес", u"Состояние сессии", u"Сессия",
                                 u"Бездействие", u"Вход"}));
    EXPECT_EQ((*rows)[1], (Texts{u"1", u"ivanov", u"PC-01", u"10.0.0.1", u"Active", u"RDP-Tcp#1", u"", u""}));
    EXPECT_EQ((*rows)[2], (Texts{u"2", u"sidorov", u"line\r\nbreak", u"10.0.0.2", u"Active", u"RDP-Tcp#2", u"", u""}));
    EXPECT_EQ((*rows)[3], (Texts{u"3", u"Петрова", u"PC;\"7\"", u"10.0.0.3", u"Active", u"RDP-Tcp#3", u"", u""}));
    EXPECT_FALSE(std::filesystem::exists(appDir.Path() / "список.csv.tmp"));

    // Cancel writes nothing; a file that cannot be replaced keeps its bytes.
    Command(kCmdExportRows);
    EXPECT_EQ(ReadBytes(file), bytes);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "old";
    HANDLE lock = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    dialogs.saveAnswers.push_back(U16(file.c_str()));
    Command(kCmdExportRows);
    CloseHandle(lock);
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].rfind(u"Cannot create file \"" + U16(file.c_str()) + u"\".", 0), 0u)
        << Utf16ToUtf8(dialogs.errors[0]);
    EXPECT_EQ(ReadBytes(file), "old");
}

}  // namespace
}  // namespace tarvenix::testing
