// The message window in-process: layout, modal showing, sending to the
// selected sessions, and the template file.
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "actions/message_window.h"
#include "actions/template_codec.h"
#include "base/text.h"
#include "base/win_text.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

FakeSession Session(std::uint32_t id, std::u16string user) {
    FakeSession s;
    s.id = id;
    s.user = std::move(user);
    s.clientName = u"PC";
    s.winStation = u"RDP-Tcp#0";
    return s;
}

class MessageWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        wts.servers[u"TS01"].sessions = {Session(3, u"ivanov"), Session(5, u"Петрова"), Session(9, u"sidorov")};
    }
    void TearDown() override {
        messages = nullptr;
        MainWindowTest::TearDown();
    }

    // The main window, then the message window as start-up makes them.
    void OpenBoth() {
        Open();
        messages = &window->Messages();
    }

    // The session list of TS01, then the server box set to another name.
    void ListSessions(const std::vector<int>& selected) {
        GetData(u"TS01");
        ASSERT_EQ(window->Sessions().Rows().Size(), 3u);
        window->Servers().SetText(u"OTHER");
        Select(window->Sessions().List().Handle(), selected);
        wts.calls.clear();
        wts.opened = wts.closed = 0;
    }

    void Click(int id) {
        SendMessageW(messages->Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        PumpMessages();
    }
    void SetSubject(const std::u16string& s) { SetWindowTextW(messages->SubjectBox(), Wz(s)); }
    void SetMessageText(const std::u16string& s) { SetWindowTextW(messages->TextBox(), Wz(s)); }
    std::u16string Subject() { return GetText(messages->SubjectBox()); }
    std::u16string MessageText() { return GetText(messages->TextBox()); }
    std::u16string Status() { return GetText(messages->StatusLabel()); }

    std::filesystem::path TemplateFile() const { return appDir.Path() / "message.txt"; }
    std::string FileBytes() const {
        std::ifstream in(TemplateFile(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void WriteFileBytes(const std::string& bytes) const {
        std::ofstream out(TemplateFile(), std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    MessageWindow* messages = nullptr;
};

TEST_F(MessageWindowTest, WindowHasItsFixedSizeCaptionAndControls) {
    OpenBoth();
    HWND hwnd = messages->Handle();
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "created hidden";
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), window->Handle());
    EXPECT_EQ(GetText(hwnd), u"Отправка сообщения");
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    RECT outer, client;
    GetWindowRect(hwnd, &outer);
    GetClientRect(hwnd, &client);
    EXPECT_EQ(outer.right - outer.left, 350);
    EXPECT_EQ(outer.bottom - outer.top, 280);
    EXPECT_EQ(client.right, 334);
    EXPECT_EQ(client.bottom, 242);
    MINMAXINFO mmi{};
    SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(mmi.ptMinTrackSize.x, 350);
    EXPECT_EQ(mmi.ptMinTrackSize.y, 280);
    EXPECT_EQ(mmi.ptMaxTrackSize.x, 350);
    EXPECT_EQ(mmi.ptMaxTrackSize.y, 280);

    MessageWindow& c = *messages;
    const struct { HWND hwnd; RECT expected; const char* name; } boxes[] = {
        {c.Panel(), {0, 0, 334, 242}, "panel"},
        {c.SubjectBox(), {13, 44, 315, 65}, "subject"},
        {c.TextBox(), {13, 100, 315, 189}, "text"},
        {c.SaveTemplateButton(), {240, 12, 265, 37}, "save template"},
        {c.LoadTemplateButton(), {272, 12, 297, 37}, "load template"},
        {c.SendButton(), {224, 204, 299, 229}, "send"},
    };
    for (const auto& b : boxes) {
        const RECT r = ChildRect(b.hwnd);
        EXPECT_EQ(r.left, b.expected.left) << b.name;
        EXPECT_EQ(r.top, b.expected.top) << b.name;
        EXPECT_EQ(r.right, b.expected.right) << b.name;
        EXPECT_EQ(r.bottom, b.expected.bottom) << b.name;
    }
    const struct { HWND hwnd; int x, y; const char16_t* text; LONG weight; } labels[] = {
        {c.SubjectLabel(), 13, 25, u"Тема:", FW_NORMAL},
        {c.TextLabel(), 13, 76, u"Сообщение:", FW_NORMAL},
        {c.StatusLabel(), 15, 200, u"", FW_BOLD},
        {c.SendButton(), 224, 204, u"Отправить", FW_NORMAL},
    };
    for (const auto& l : labels) {
        const RECT r = ChildRect(l.hwnd);
        EXPECT_EQ(r.left, l.x);
        EXPECT_EQ(r.top, l.y);
        EXPECT_EQ(GetText(l.hwnd), l.text);
        LOGFONTW lf{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(l.hwnd, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
        EXPECT_EQ(lf.lfWeight, l.weight);
        EXPECT_EQ(lf.lfHeight, -11);
    }
    EXPECT_EQ(ImageButtonHint(c.SaveTemplateButton()), u"Сохранить шаблон");
    EXPECT_EQ(ImageButtonHint(c.LoadTemplateButton()), u"Загрузить шаблон");

    // The text box wraps at its width, scrolls vertically and takes Enter.
    const LONG memo = GetWindowLongW(c.TextBox(), GWL_STYLE);
    EXPECT_EQ(memo & (ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL | ES_AUTOVSCROLL),
              ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL | ES_AUTOVSCROLL);
    EXPECT_FALSE(memo & (ES_AUTOHSCROLL | WS_HSCROLL));
    // No length limit on either box: more than the default 30,000 characters fit.
    const std::u16string big(40000, u'ж');
    std::u16string lines;
    while (lines.size() < 40000) lines += std::u16string(98, u'ю') + u"\r\n";
    SetSubject(big);
    SetMessageText(lines);
    EXPECT_EQ(Subject().size(), big.size());
    EXPECT_EQ(MessageText().size(), lines.size());

    // Tab order: send, subject, text, and round again.
    EXPECT_EQ(GetNextDlgTabItem(hwnd, c.SendButton(), FALSE), c.SubjectBox());
    EXPECT_EQ(GetNextDlgTabItem(hwnd, c.SubjectBox(), FALSE), c.TextBox());
    EXPECT_EQ(GetNextDlgTabItem(hwnd, c.TextBox(), FALSE), c.SendButton());
}

TEST_F(MessageWindowTest, OpensCentredFirstThenWhereItWasAndKeepsItsTexts) {
    OpenBoth();
    RECT owner, mine;
    messages->Open();
    EXPECT_TRUE(IsWindowVisible(messages->Handle()));
    EXPECT_FALSE(IsWindowEnabled(window->Handle())) << "modal over the main window";
    GetWindowRect(window->Handle(), &owner);
    GetWindowRect(messages->Handle(), &mine);
    EXPECT_NEAR((mine.left + mine.right) / 2, (owner.left + owner.right) / 2, 1);
    EXPECT_NEAR((mine.top + mine.bottom) / 2, (owner.top + owner.bottom) / 2, 1);

    SetSubject(u"Тема");
    SetMessageText(u"Строка 1\r\nСтрока 2");
    SetLabelText(messages->StatusLabel(), u"Сообщение отправлено!");
    SetWindowPos(messages->Handle(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(messages->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(messages->Handle()));
    EXPECT_TRUE(IsWindowEnabled(window->Handle()));
    EXPECT_FALSE(messages->IsOpen());

    messages->Open();
    GetWindowRect(messages->Handle(), &mine);
    EXPECT_EQ(mine.left, 40);
    EXPECT_EQ(mine.top, 30);
    EXPECT_EQ(Subject(), u"Тема");
    EXPECT_EQ(MessageText(), u"Строка 1\r\nСтрока 2");
    EXPECT_EQ(Status(), u"") << "FormShow empties the status";
    messages->Close();
}

// The session menu's "send a message" runs the modal loop: the window is up
// and the main window disabled until the window is closed from its title bar;
// then the command returns.
TEST_F(MessageWindowTest, MenuItemShowsTheWindowModallyUntilItIsClosed) {
    OpenBoth();
    static MessageWindow* target = nullptr;
    static HWND mainWindow = nullptr;
    static bool visibleInside = false, mainEnabledInside = true;
    target = messages;
    mainWindow = window->Handle();
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        visibleInside = IsWindowVisible(target->Handle()) != FALSE;
        mainEnabledInside = IsWindowEnabled(mainWindow) != FALSE;
        PostMessageW(target->Handle(), WM_CLOSE, 0, 0);
    });
    ASSERT_NE(timer, 0u);
    Command(kCmdSendMessage);
    EXPECT_TRUE(visibleInside);
    EXPECT_FALSE(mainEnabledInside);
    EXPECT_FALSE(IsWindowVisible(messages->Handle()));
    EXPECT_TRUE(IsWindowEnabled(window->Handle()));
    EXPECT_TRUE(dialogs.errors.empty());
}

// Esc in the modal window closes it, like Cancel in any dialog, keeping its texts.
TEST_F(MessageWindowTest, EscClosesTheWindow) {
    OpenBoth();
    static MessageWindow* target = nullptr;
    static bool visibleInside = false;
    target = messages;
    SetSubject(u"Тема");
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        visibleInside = IsWindowVisible(target->Handle()) != FALSE;
        SetFocus(target->SubjectBox());
        PostMessageW(target->SubjectBox(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    });
    ASSERT_NE(timer, 0u);
    Command(kCmdSendMessage);  // returns when the window closed
    EXPECT_TRUE(visibleInside);
    EXPECT_FALSE(IsWindowVisible(messages->Handle()));
    EXPECT_TRUE(IsWindowEnabled(window->Handle()));
    EXPECT_EQ(Subject(), u"Тема");
    EXPECT_TRUE(wts.messages.empty()) << "Esc sends nothing";
}

TEST_F(MessageWindowTest, SendsToEachSelectedSessionOfTheListedServer) {
    const struct { std::vector<int> rows; std::vector<std::uint32_t> ids; const char16_t* status; } cases[] = {
        {{}, {}, u"Сообщение отправлено!"},
        {{1}, {5}, u"Сообщение отправлено!"},
        {{0, 2}, {3, 9}, u"Сообщения отправлены!"},
        {{0, 1, 2}, {3, 5, 9}, u"Сообщения отправлены!"},
    };
    OpenBoth();
    // A surrogate pair counts two UTF-16 units, as the byte length does.
    const std::u16string subject = u"Внимание \U0001F600";
    const std::u16string text = u"Сервер будет перезагружен.\r\nСохраните работу!";
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.rows));
        ListSessions(c.rows);
        wts.messages.clear();
        messages->Open();
        SetSubject(subject);
        SetMessageText(text);
        Click(kIdSendButton);
        EXPECT_EQ(Status(), c.status);
        ASSERT_EQ(wts.messages.size(), c.ids.size());
        EXPECT_EQ(wts.opened, static_cast<int>(c.ids.size())) << "one open per selected row";
        EXPECT_EQ(wts.closed, wts.opened);
        for (std::size_t i = 0; i < c.ids.size(); ++i) {
            EXPECT_EQ(wts.messages[i].server, u"TS01") << "the listed server, not the box text";
            EXPECT_EQ(wts.messages[i].sessionId, c.ids[i]);
            EXPECT_EQ(wts.messages[i].title, subject);
            EXPECT_EQ(wts.messages[i].title.size(), 11u);
            EXPECT_EQ(wts.messages[i].message, text);
            EXPECT_EQ(wts.messages[i].message.size(), text.size());
        }
        EXPECT_TRUE(dialogs.messages.empty());
        messages->Close();
    }
}

TEST_F(MessageWindowTest, EmptySubjectAndTextAreSentEmpty) {
    OpenBoth();
    ListSessions({0});
    messages->Open();
    Click(kIdSendButton);
    ASSERT_EQ(wts.messages.size(), 1u);
    EXPECT_EQ(wts.messages[0].title.size(), 0u);
    EXPECT_EQ(wts.messages[0].message.size(), 0u);
}

TEST_F(MessageWindowTest, FailedSessionsAreReportedNotClaimedAsSent) {
    wts.servers[u"TS01"].sessions[1].messageError = 5;
    OpenBoth();
    ListSessions({0, 1, 2});
    messages->Open();
    SetSubject(u"Тема");
    Click(kIdSendButton);
    EXPECT_EQ(wts.messages.size(), 3u) << "a failure does not stop the others";
    wts.messages.clear();
    EXPECT_EQ(Status(), u"Отправлено не всем: 2 из 3.");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0],
              u"Не удалось отправить сообщение на сервере TS01:\r\nСессия 5: Системная ошибка 5. (5)");
    // The report is owned by the message window, not by whatever window is active.
    EXPECT_EQ(dialogs.owners, (std::vector<WindowRef>{reinterpret_cast<WindowRef>(messages->Handle())}));

    // Every session gone from the server: nothing was sent, and each is named.
    wts.servers[u"TS01"].sessions.clear();
    dialogs.messages.clear();
    Click(kIdSendButton);
    EXPECT_EQ(Status(), u"Сообщения не отправлены!");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], u"Сессия 3 на сервере TS01 уже завершена.\r\n"
                                   u"Сессия 5 на сервере TS01 уже завершена.\r\n"
                                   u"Сессия 9 на сервере TS01 уже завершена.");
    EXPECT_TRUE(wts.messages.empty()) << "no message to an ID nobody holds";
}

TEST_F(MessageWindowTest, SaveThenLoadGivesBackExactlyTheSubjectAndText) {
    const std::u16string longLine(10000, u'ю');
    const struct { std::u16string subject, text; bool ansi; } cases[] = {
        {u"Тема", u"Строка 1\r\nСтрока 2", true},
        {u"", u"", true},
        {u"Subject", u"ends with a break\r\n", true},
        // Beyond the code page: written as UTF-8 and still read back exactly.
        {u"Тема ✓", u"Привет, 世界\r\n" + longLine + u"\r\nlast", false},
        {u"€ и ₽", u"₽", false},
    };
    OpenBoth();
    messages->Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.subject));
        SetSubject(c.subject);
        SetMessageText(c.text);
        Click(kIdSaveTemplateButton);
        EXPECT_EQ(Status(), u"Шаблон сохранен.");
        const std::string bytes = FileBytes();
        EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0) != 0, c.ansi) << "the mark only when ANSI cannot hold the text";
        if (c.ansi) {
            EXPECT_EQ(bytes, EncodeTemplate(c.subject, c.text, *ansi));
        }

        SetSubject(u"другое");
        SetMessageText(u"другое");
        Click(kIdLoadTemplateButton);
        EXPECT_EQ(Status(), u"Шаблон загружен.");
        EXPECT_EQ(Subject(), c.subject);
        EXPECT_EQ(MessageText(), c.text);
    }
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(MessageWindowTest, LoadReadsAnAnsiFileAndAnEmptyOneKeepsTheSubject) {
    OpenBoth();
    messages->Open();
    WriteFileBytes("\xD2\xE5\xEC\xE0\r\n\xD1\xF2\xF0\xEE\xEA\xE0\r\n");
    Click(kIdLoadTemplateButton);
    EXPECT_EQ(Subject(), u"Тема");
    EXPECT_EQ(MessageText(), u"Строка\r\n");

    WriteFileBytes("");
    SetMessageText(u"старый текст");
    Click(kIdLoadTemplateButton);
    EXPECT_EQ(Subject(), u"Тема");
    EXPECT_EQ(MessageText(), u"");
    EXPECT_EQ(Status(), u"Шаблон загружен.");
}

TEST_F(MessageWindowTest, LoadOfAMissingFileShowsTheErrorAndKeepsSubjectAndStatus) {
    OpenBoth();
    messages->Open();
    SetSubject(u"Тема");
    SetMessageText(u"текст");
    SetLabelText(messages->StatusLabel(), u"Сообщение отправлено!");
    Click(kIdLoadTemplateButton);
    EXPECT_EQ(dialogs.errors, std::vector<std::u16string>{u"The specified file was not found."});
    EXPECT_EQ(Subject(), u"Тема");
    EXPECT_EQ(MessageText(), u"") << "the text box was emptied before the file was opened";
    EXPECT_EQ(Status(), u"Сообщение отправлено!");
}

// Wine lets root write over a read-only file and into a read-only folder, so
// the refusal comes from a folder standing where the file should be: the
// system refuses to open a folder as a file with "access denied".
TEST_F(MessageWindowTest, SaveWhereAccessIsRefusedShowsTheErrorAndKeepsTheStatus) {
    OpenBoth();
    messages->Open();
    std::filesystem::create_directory(TemplateFile());
    SetSubject(u"Тема");
    SetLabelText(messages->StatusLabel(), u"Шаблон загружен.");
    Click(kIdSaveTemplateButton);
    EXPECT_EQ(dialogs.errors, std::vector<std::u16string>{u"File access denied."});
    EXPECT_EQ(Status(), u"Шаблон загружен.");
    EXPECT_TRUE(std::filesystem::is_directory(TemplateFile()));
}

}  // namespace
}  // namespace tarvenix::testing
