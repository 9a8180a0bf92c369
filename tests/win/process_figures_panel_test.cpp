// The process panel's added columns (memory, CPU load over two listings,
// threads, account), their numeric ordering, terminating several processes
// with each checked first, and the refresh; the clean-up dialog and the
// session details window, in the real main window with injected services.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "actions/process_figures.h"
#include "base/win_text.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;
using Calls = std::vector<std::string>;

const std::vector<std::uint8_t> kSystemSid = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};  // S-1-5-18
const std::vector<std::uint8_t> kUserSid = {1, 2, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 233, 3, 0, 0};  // S-1-5-21-1001

ProcessRecord Proc(std::uint32_t session, std::uint32_t pid, const char16_t* name, std::uint64_t megabytes,
                   std::uint32_t threads, const std::vector<std::uint8_t>& sid, std::int64_t cpuSeconds = 0) {
    ProcessFigures f;
    f.workingSet = megabytes << 20;
    f.threads = threads;
    f.sid = sid;
    f.userTime = cpuSeconds * kTicksPerSecond;
    return {session, pid, std::u16string(name), f};
}

FakeSession User(std::uint32_t id, std::u16string user, std::uint32_t state, std::int64_t idleMinutes) {
    constexpr std::int64_t kNow = 134000000000000000;
    FakeSession s;
    s.id = id;
    s.state = state;
    s.user = std::move(user);
    s.clientName = u"PC";
    s.winStation = u"";
    SessionTimes t;
    t.currentTime = kNow;
    t.logonTime = kNow - 1000 * kTicksPerMinute;
    if (state == 4) t.disconnectTime = kNow - idleMinutes * kTicksPerMinute;
    else t.lastInputTime = kNow - idleMinutes * kTicksPerMinute;
    s.times = t;
    return s;
}

class ProcessFiguresPanelTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        FakeServer& ts = wts.servers[u"TS01"];
        ts.sessions = {User(1, u"alice", 0, 1)};
        // Working sets of 9, 100 and 10 MB: as text "9,0" would come last.
        ts.processes = {Proc(0, 4, u"System", 9, 150, kSystemSid, 100), Proc(1, 100, u"excel.exe", 100, 20, kUserSid, 5),
                        Proc(1, 101, u"mail.exe", 10, 3, kUserSid, 1)};
        ts.accounts = {{u"S-1-5-18", u"NT AUTHORITY\\SYSTEM"}};  // the user's SID cannot be named
        Open();
        window->Servers().SetText(u"TS01");
        wts.calls.clear();
    }
    HWND Processes() { return window->Processes().List().Handle(); }
    int Lookups() {
        int n = 0;
        for (const std::string& c : wts.calls) n += c.rfind("lookup ", 0) == 0 ? 1 : 0;
        return n;
    }
};

TEST_F(ProcessFiguresPanelTest, AddedColumnsAfterTheThreeAndOrderedAsNumbers) {
    Command(kCmdAllProcesses);
    HWND header = ListView_GetHeader(Processes());
    ASSERT_EQ(Header_GetItemCount(header), 7);
    Texts captions;
    for (int i = 0; i < 7; ++i) {
        wchar_t text[64] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        Header_GetItem(header, i, &item);
        captions.push_back(U16(text));
    }
    EXPECT_EQ(captions, (Texts{u"ID сессии", u"Название процесса", u"PID", u"Память, МБ", u"ЦП, %", u"Потоки",
                               u"Пользователь"}));
    EXPECT_EQ(window->Processes().List().ColumnWidth(0), 65);
    EXPECT_EQ(window->Processes().List().ColumnWidth(1), 140);
    EXPECT_EQ(window->Processes().List().ColumnWidth(2), 50);
    EXPECT_EQ(ColumnTexts(Processes(), 3), (Texts{u"9,0", u"100,0", u"10,0"}));
    EXPECT_EQ(ColumnTexts(Processes(), 4), (Texts{u"—", u"—", u"—"})) << "one listing: no load yet";
    EXPECT_EQ(ColumnTexts(Processes(), 6), (Texts{u"NT AUTHORITY\\SYSTEM", u"S-1-5-21-1001", u"S-1-5-21-1001"}));
    EXPECT_EQ(Lookups(), 2) << "one lookup per distinct SID";

    // The added columns lie right of the panel's width: scrolled to, as the user does.
    ListView_Scroll(Processes(), 400, 0);
    PumpMessages();
    ClickHeader(Processes(), 3);  // memory, ascending: 9, 10, 100
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"4", u"101", u"100"}));
    ClickHeader(Processes(), 3);
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"100", u"101", u"4"}));
    ClickHeader(Processes(), 5);  // threads: 3, 20, 150
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"101", u"100", u"4"}));

    // The second listing (the refresh re-lists all processes): the CPU load
    // from the time spent in between; the account names are not asked again.
    Sleep(50);
    wts.servers[u"TS01"].processes[1].figures->userTime += 2 * kTicksPerSecond;  // excel: busy
    wts.calls.clear();
    Command(kCmdRefreshProcesses);
    EXPECT_EQ(wts.calls, (Calls{"open TS01", "processes TS01"}));
    const Texts pids = ColumnTexts(Processes(), 2);
    const Texts loads = ColumnTexts(Processes(), 4);
    for (std::size_t i = 0; i < pids.size(); ++i) {
        if (pids[i] == u"100") EXPECT_NE(loads[i], u"0,0") << "excel spent 2 s";
        else EXPECT_EQ(loads[i], u"0,0") << Utf16ToUtf8(pids[i]);
    }
    EXPECT_EQ(ColumnTexts(Processes(), 1)[0], u"mail.exe") << "the refresh kept the ordering by threads";
}

TEST_F(ProcessFiguresPanelTest, SeveralProcessesAfterOneQuestionEachCheckedFirst) {
    Command(kCmdAllProcesses);
    Select(Processes(), {0, 1, 2});
    // Meanwhile 101 ended and its PID went to another program; 4 is the same.
    wts.servers[u"TS01"].processes[2] = Proc(1, 101, u"calc.exe", 1, 1, kUserSid);
    wts.calls.clear();
    dialogs.answers = {false};
    Command(kCmdTerminateProcess);
    EXPECT_EQ(dialogs.questions, (Texts{u"Завершить процессы (3) на сервере TS01?"}));
    EXPECT_TRUE(wts.calls.empty()) << "Cancel: nothing asked of the server";

    Command(kCmdTerminateProcess);
    EXPECT_EQ(wts.calls, (Calls{"open TS01", "processes TS01", "terminate 4 TS01", "terminate 100 TS01", "open TS01",
                                "processes TS01"}));
    ASSERT_EQ(dialogs.messages.size(), 1u) << "one report";
    EXPECT_EQ(dialogs.messages[0], u"Завершено процессов: 2 из 3.\r\nПроцесс mail.exe (PID 101) завершился, его PID "
                                   u"теперь у другого процесса: не завершён.");
    EXPECT_EQ(ColumnTexts(Processes(), 1), (Texts{u"calc.exe"}));
}

TEST_F(ProcessFiguresPanelTest, TheFallbackListingShowsTheThreeColumnsAndEmptyFigures) {
    for (ProcessRecord& p : wts.servers[u"TS01"].processes) p.figures.reset();
    Command(kCmdAllProcesses);
    EXPECT_EQ(ColumnTexts(Processes(), 2), (Texts{u"4", u"100", u"101"}));
    EXPECT_EQ(ColumnTexts(Processes(), 3), (Texts{u"", u"", u""}));
    EXPECT_EQ(ColumnTexts(Processes(), 6), (Texts{u"", u"", u""}));
    EXPECT_EQ(Lookups(), 0);
}

class CleanupDialogTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        // TS01: 2 disconnected 9 h, 3 disconnected 8 h exactly, 4 active and
        // idle 20 h, 5 disconnected 3 days (ivanov), 6 disconnected, no time.
        FakeServer& ts = wts.servers[u"TS01"];
        ts.sessions = {User(2, u"petrova", 4, 9 * 60), User(3, u"sidorov", 4, 8 * 60), User(4, u"orlov", 0, 20 * 60),
                       User(5, u"ivanov", 4, 3 * 24 * 60), User(6, u"belov", 4, 0)};
        ts.sessions[4].times->disconnectTime = 0;
        Open();
        GetData(u"TS01");
        wts.calls.clear();
    }
    CleanupDialog& Dialog() { return window->Cleanup(); }
    std::vector<std::string> Logoffs() {
        std::vector<std::string> out;
        for (const std::string& c : wts.calls)
            if (c.rfind("logoff", 0) == 0) out.push_back(c);
        return out;
    }
};

TEST_F(CleanupDialogTest, PreviewThenLogoffsCheckedBeforeActing) {
    ASSERT_TRUE(Dialog().Begin());
    ASSERT_TRUE(PumpUntil([&] { return !Dialog().Busy(); }));
    EXPECT_EQ(ColumnTexts(Dialog().List().Handle(), 1), (Texts{u"2", u"5"})) << "over 8 hours only";
    EXPECT_EQ(ColumnTexts(Dialog().List().Handle(), 3), (Texts{u"9:00", u"3+00:00"}));
    EXPECT_EQ(GetText(Dialog().FoundLabel()), u"Найдено сессий: 2");
    EXPECT_TRUE(Logoffs().empty()) << "the preview logs nobody off";

    // Only users whose name contains "IVAN", in days.
    SetWindowTextW(Dialog().UserBox(), L"IVAN");
    SetWindowTextW(Dialog().AmountBox(), L"2");
    ComboBoxRef(Dialog().UnitBox()).Select(2);
    Dialog().Preview();
    ASSERT_TRUE(PumpUntil([&] { return !Dialog().Busy(); }));
    EXPECT_EQ(ColumnTexts(Dialog().List().Handle(), 1), (Texts{u"5"}));

    SetWindowTextW(Dialog().UserBox(), L"");
    SetWindowTextW(Dialog().AmountBox(), L"8");
    ComboBoxRef(Dialog().UnitBox()).Select(1);
    Dialog().Preview();
    ASSERT_TRUE(PumpUntil([&] { return !Dialog().Busy(); }));
    // Meanwhile petrova came back: she keeps her session.
    wts.servers[u"TS01"].sessions[0].state = 0;
    wts.calls.clear();
    Dialog().LogOff();
    ASSERT_TRUE(PumpUntil([&] { return !Dialog().Busy() && !dialogs.messages.empty(); }));
    EXPECT_EQ(dialogs.questions.back(), u"Завершить отключённые сессии: серверов 1, сессий 2?");
    EXPECT_EQ(Logoffs(), (Calls{"logoff 5 TS01"}));
    EXPECT_EQ(dialogs.messages.back(), u"TS01: завершено 1 из 2\r\n  Сессия 2 (petrova) снова подключена: не завершена.");
}

TEST_F(CleanupDialogTest, AnAmountThatIsNoNumberIsSaidAndNothingIsListed) {
    ASSERT_TRUE(Dialog().Begin());
    ASSERT_TRUE(PumpUntil([&] { return !Dialog().Busy(); }));
    SetWindowTextW(Dialog().AmountBox(), L"0");
    wts.calls.clear();
    Dialog().Preview();
    EXPECT_EQ(dialogs.messages.back(), kCleanupAmountError);
    EXPECT_TRUE(wts.calls.empty());
    // Cancel at the question: nobody is logged off.
    SetWindowTextW(Dialog().AmountBox(), L"8");
    Dialog().Preview();
    ASSERT_TRUE(PumpUntil([&] { return !Dialog().Busy(); }));
    dialogs.answers = {false};
    Dialog().LogOff();
    EXPECT_TRUE(Logoffs().empty());
}

TEST_F(CleanupDialogTest, SessionDetailsOfTheSelectedRow) {
    FakeSession& s = wts.servers[u"TS01"].sessions[3];  // ivanov
    s.clientBuild = 19045;
    s.display = ClientDisplay{1920, 1080, 32};
    s.protocol = 2;
    s.clientDirectory = u"C:\\Windows\\System32";
    wts.servers[u"TS01"].processes = {{5, 10, u"a.exe"}, {5, 11, u"b.exe"}, {2, 12, u"c.exe"}};
    const Texts ids = ColumnTexts(window->Sessions().List().Handle(), 0);
    int row = -1;
    for (int i = 0; i < static_cast<int>(ids.size()); ++i)
        if (ids[static_cast<std::size_t>(i)] == u"5") row = i;
    Select(window->Sessions().List().Handle(), {row});
    ASSERT_TRUE(window->SessionDetailsView().Begin());
    ASSERT_TRUE(PumpUntil([&] { return !window->SessionDetailsView().Busy(); }));
    const std::u16string text = window->SessionDetailsView().Text();
    for (const char16_t* line : {u"ID\t5\r\n", u"Учетная запись\tivanov\r\n", u"Сборка клиента\t19045\r\n",
                                 u"Экран клиента\t1920 x 1080, 32 бит\r\n", u"Протокол\tRDP\r\n",
                                 u"Папка клиента\tC:\\Windows\\System32\r\n", u"Процессов\t2\r\n"})
        EXPECT_NE(text.find(line), std::u16string::npos) << Utf16ToUtf8(line);
    EXPECT_EQ(ListView_GetItemCount(window->SessionDetailsView().List().Handle()), 16);

    // The ID went to another logon: no details of the wrong session.
    s.user = u"kuznetsov";
    ASSERT_TRUE(window->SessionDetailsView().Begin());
    ASSERT_TRUE(PumpUntil([&] { return !window->SessionDetailsView().Busy(); }));
    EXPECT_EQ(dialogs.messages.back(), u"Сессия 5 на сервере TS01 теперь у kuznetsov: команда не отправлена.");
}

TEST_F(CleanupDialogTest, TheHeadersMenuAddsTheClientsColumnsAndListsAgain) {
    FakeSession& s = wts.servers[u"TS01"].sessions[0];  // petrova
    s.clientBuild = 19045;
    s.display = ClientDisplay{1920, 1080, 24};
    s.protocol = 2;
    HWND list = window->Sessions().List().Handle();
    ASSERT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 8);
    // A right-click on the header gives the columns menu, not the session menu.
    HMENU shown = nullptr;
    window->Sessions().trackColumnMenu = [&](HMENU menu, POINT) { shown = menu; };
    RECT header{};
    GetWindowRect(ListView_GetHeader(list), &header);
    SendMessageW(window->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(ListView_GetHeader(list)),
                 MAKELPARAM(header.left + 5, header.top + 5));
    ASSERT_EQ(shown, window->Sessions().ColumnMenu());
    EXPECT_EQ(GetMenuState(shown, 0, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED), static_cast<UINT>(MF_CHECKED | MF_GRAYED))
        << "the list's own columns cannot be hidden";
    EXPECT_EQ(GetMenuState(shown, kCmdColumnClientBuild, MF_BYCOMMAND) & MF_CHECKED, 0u);

    wts.calls.clear();
    Command(kCmdColumnClientBuild);
    Command(kCmdColumnProtocol);
    ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    ASSERT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 10);
    EXPECT_NE(std::find(wts.calls.begin(), wts.calls.end(), "query 2 9 TS01"), wts.calls.end()) << "listed again with the details";
    const Texts ids = ColumnTexts(list, 0), builds = ColumnTexts(list, 8), protocols = ColumnTexts(list, 9);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(builds[i], ids[i] == u"2" ? u"19045" : u"") << Utf16ToUtf8(ids[i]);
        EXPECT_EQ(protocols[i], ids[i] == u"2" ? u"RDP" : u"") << Utf16ToUtf8(ids[i]);
    }
    // Taken away again: the list's eight stay.
    Command(kCmdColumnClientBuild);
    Command(kCmdColumnProtocol);
    EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 8);
    EXPECT_TRUE(window->Sessions().ChosenColumns().empty());
}

}  // namespace
}  // namespace tarvenix::testing
