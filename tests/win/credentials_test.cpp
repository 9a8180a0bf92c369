// Servers of another account, in the real window against the farm double: a
// server that refuses access offers another account, the prompt (a fake)
// gives it, and the listing goes again carrying it (the fake carrier tells
// the double which account each call's thread carries, the double logs it);
// remembered entries, wrong passwords, cancel, two accounts in one farm
// view, an account that cannot be carried; and the Credential Manager itself.
#include <windows.h>
#include <commctrl.h>

#include <wincred.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "actions/logoff_commands_win.h"
#include "actions/process_panel_win.h"
#include "base/controls_win.h"
#include "base/credentials_win.h"
#include "base/text.h"
#include "sessions/server_accounts.h"
#include "sessions/wts_terminal_services_win.h"
#include "tests/common/fake_accounts.h"
#include "tests/win/farm_test_support.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using Texts = std::vector<std::u16string>;

// The double's export that sets the account the calling thread carries.
using CarryFn = BOOL(__stdcall*)(const wchar_t*, const wchar_t*);
CarryFn DoubleCarry() {
    void* proc = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"wtsapi32.dll"), "TarvenixFarmCarryAccount"));
    return reinterpret_cast<CarryFn>(proc);
}

constexpr const char* kFarm = R"({"servers":[
  {"name":"TS-CORP","account":"CORP\\admin","password":"Right-1",
   "sessions":[{"id":2,"user":"ivanov","client":"PC-01","winstation":"RDP-Tcp#1"},
               {"id":3,"user":"petrova","client":"PC-02","winstation":"RDP-Tcp#2"}],
   "processes":[{"session":2,"pid":1234,"name":"explorer.exe"},{"session":3,"pid":1240,"name":"winword.exe"}]},
  {"name":"TS-DMZ.dmz.example","account":"DMZ\\ops",
   "sessions":[{"id":5,"user":"sidorov","client":"PC-05","winstation":"RDP-Tcp#5"}]},
  {"name":"TS-OPEN","sessions":[{"id":7,"user":"belov","client":"PC-07","winstation":"RDP-Tcp#7"}]}
]})";

class CredentialsWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(FarmDouble::Get().Complete()) << "the farm double is not loaded";
        ASSERT_TRUE(DoubleCarry()) << "the farm double has no TarvenixFarmCarryAccount";
        carrier.onChange = [](const CarriedNow& now) {
            DoubleCarry()(now.account.empty() ? nullptr : Wide(now.account).c_str(), Wide(now.password).c_str());
        };
        // The listing's calls run on worker threads, as in the program.
        services.executor = &threads;
        farmPath = appDir.WithSeparator() + u"farm.json";
        logPath = appDir.WithSeparator() + u"actions.log";
        WriteFileBytes(Wide(farmPath), kFarm);
        ASSERT_TRUE(FarmDouble::Get().load(Wide(farmPath).c_str(), Wide(logPath).c_str()))
            << ReadFileBytes(Wide(logPath));
        accounts = std::make_unique<ServerAccounts>(wtsApi, carrier, &store);
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        threads.Join();
    }
    void OpenWithAccounts() {
        window = std::make_unique<MainWindow>(services, *accounts, *directoryServers);
        window->Sessions().UseAccounts(*accounts);
        window->Create();
        window->Show(SW_SHOWNORMAL);
        PumpMessages();
    }
    // The program started again: nothing in memory, the store as it was.
    void Restart() {
        if (window && window->Handle()) DestroyWindow(window->Handle());
        window.reset();
        PumpMessages();
        threads.Join();
        accounts = std::make_unique<ServerAccounts>(wtsApi, carrier, &store);
        OpenWithAccounts();
    }
    void List(const std::u16string& server) {
        GetData(server);
        ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
        PumpMessages();
    }
    Texts Users() { return ColumnTexts(window->Sessions().List().Handle(), 1); }
    // The log lines of the calls that reach a server (open and close too).
    std::vector<LogEntry> CallsTo(const std::string& server) {
        std::vector<LogEntry> out;
        for (LogEntry& e : ReadLog(Wide(logPath)))
            if (e["server"] == server) out.push_back(std::move(e));
        return out;
    }
    std::size_t CallsOfFunction(const std::string& server, const std::string& function) {
        std::size_t n = 0;
        for (const LogEntry& e : CallsTo(server)) n += e.function == function;
        return n;
    }
    // The calls to a server that carried no account (their functions,
    // sorted), and the accounts the others carried.
    struct ByAccount {
        std::vector<std::string> uncarried;
        std::set<std::string> accounts;
        std::size_t carried = 0;
    };
    ByAccount SplitByAccount(const std::string& server) {
        ByAccount split;
        for (const LogEntry& e : CallsTo(server)) {
            if (!e.Has("account")) {
                split.uncarried.push_back(e.function);
                continue;
            }
            split.accounts.insert(e["account"]);
            ++split.carried;
        }
        std::sort(split.uncarried.begin(), split.uncarried.end());
        return split;
    }
    // No file of the application folder (the farm's own description aside)
    // holds the password, in UTF-8 or UTF-16.
    void ExpectNoPasswordIn(const std::filesystem::path& folder, const std::u16string& password) {
        const std::string utf8 = Utf16ToUtf8(password);
        const std::string utf16(reinterpret_cast<const char*>(password.data()), password.size() * 2);
        int files = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file() || entry.path().filename() == L"farm.json") continue;
            ++files;
            const std::string bytes = ReadFileBytes(entry.path().wstring());
            EXPECT_EQ(bytes.find(utf8), std::string::npos) << entry.path().string();
            EXPECT_EQ(bytes.find(utf16), std::string::npos) << entry.path().string();
        }
        EXPECT_GT(files, 0) << "the action log at least";
    }
    // "function account result" of each call to the server.
    std::vector<std::string> Carried(const std::string& server) {
        std::vector<std::string> out;
        for (const LogEntry& e : CallsTo(server))
            out.push_back(e.function + " " + (e.Has("account") ? e["account"] : "-") + " " + e["result"] +
                          (e.Has("error") ? " " + e["error"] : ""));
        return out;
    }

    ThreadExecutor threads;
    WtsTerminalServices wtsApi;
    FakeCarrier carrier;
    FakeCredentialStore store;
    std::unique_ptr<ServerAccounts> accounts;
    std::u16string farmPath, logPath;
};

TEST_F(CredentialsWindowTest, AccessDeniedOffersAnotherAccountAndTheRetryCarriesItThenTheStoredEntryIsUsedWithoutAsking) {
    OpenWithAccounts();
    dialogs.offerAnswers = {true};
    dialogs.promptAnswers = {FakeDialogs::Entry{u"CORP\\admin", u"Right-1", true}};
    List(u"TS-CORP");

    ASSERT_EQ(dialogs.offers.size(), 1u);
    EXPECT_EQ(dialogs.offers[0], u"Не удалось получить список сессий сервера TS-CORP.\r\nСистемная ошибка 5. (5)");
    ASSERT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_EQ(dialogs.prompts[0].server, u"TS-CORP");
    EXPECT_EQ(dialogs.prompts[0].error, 0u) << "plain access denied says nothing about a password";
    EXPECT_EQ(Users(), (Texts{u"ivanov", u"petrova"}));
    EXPECT_TRUE(dialogs.messages.empty());
    // The refused listing went as the program's own user; after the prompt
    // every call to the server, its close included, carried the account.
    const std::vector<std::string> carried = Carried("TS-CORP");
    ASSERT_GE(carried.size(), 2u);
    EXPECT_EQ(carried[0], "WTSOpenServerW - 1");
    EXPECT_EQ(carried[1], "WTSEnumerateSessionsW - 0 5");
    const ByAccount split = SplitByAccount("TS-CORP");
    EXPECT_EQ(split.uncarried, (std::vector<std::string>{"WTSCloseServer", "WTSEnumerateSessionsW", "WTSOpenServerW"}));
    EXPECT_EQ(split.accounts, (std::set<std::string>{"CORP\\\\admin"}));
    EXPECT_GE(split.carried, 5u) << "open, enumeration, the sessions' queries, close";
    // Remembered under the server's own entry.
    ASSERT_EQ(store.entries.count(u"Tarvenix/TS-CORP"), 1u);
    EXPECT_EQ(store.entries[u"Tarvenix/TS-CORP"].account, u"CORP\\admin");

    // Started again: the stored entry is used, nothing asked.
    Restart();
    List(u"TS-CORP");
    EXPECT_EQ(Users(), (Texts{u"ivanov", u"petrova"}));
    EXPECT_EQ(dialogs.offers.size(), 1u);
    EXPECT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_EQ(carrier.logons, (Texts{u"CORP\\admin", u"CORP\\admin"}));
    ExpectNoPasswordIn(appDir.Path(), u"Right-1");
}

TEST_F(CredentialsWindowTest, AWrongPasswordIsReportedAsTheSystemSaysAndAskedAgainOncePerChoice) {
    OpenWithAccounts();
    dialogs.offerAnswers = {true, true};
    dialogs.promptAnswers = {FakeDialogs::Entry{u"CORP\\admin", u"wrong", false},
                             FakeDialogs::Entry{u"CORP\\admin", u"Right-1", false}};
    List(u"TS-CORP");
    ASSERT_EQ(dialogs.offers.size(), 2u);
    EXPECT_EQ(dialogs.offers[1], u"Не удалось получить список сессий сервера TS-CORP.\r\nСистемная ошибка 1326. (1326)");
    ASSERT_EQ(dialogs.prompts.size(), 2u);
    EXPECT_EQ(dialogs.prompts[1].error, 1326u) << "the prompt says the password was refused";
    EXPECT_EQ(dialogs.prompts[1].account, u"CORP\\admin") << "the account is offered again";
    EXPECT_EQ(Users(), (Texts{u"ivanov", u"petrova"}));
    EXPECT_TRUE(store.entries.empty()) << "nothing remembered unless asked";
    std::size_t refusedPasswords = 0;
    for (const LogEntry& e : CallsTo("TS-CORP"))
        if (e["error"] == "1326") {
            ++refusedPasswords;
            EXPECT_EQ(e["account"], "CORP\\\\admin");
        }
    EXPECT_EQ(refusedPasswords, 1u);
}

TEST_F(CredentialsWindowTest, ARememberedPasswordTheServerRefusesNamesItsEntryAndANewOneReplacesIt) {
    store.entries[u"Tarvenix/TS-CORP"] = {u"CORP\\admin", u"old-password"};
    OpenWithAccounts();
    dialogs.offerAnswers = {true};
    dialogs.promptAnswers = {FakeDialogs::Entry{u"CORP\\admin", u"Right-1", true}};
    List(u"TS-CORP");
    ASSERT_EQ(dialogs.offers.size(), 1u);
    EXPECT_EQ(dialogs.offers[0], u"Не удалось получить список сессий сервера TS-CORP.\r\nСистемная ошибка 1326. (1326)\r\n"
                                 u"Учётная запись CORP\\admin взята из записи Tarvenix/TS-CORP диспетчера учётных данных "
                                 u"Windows.");
    EXPECT_EQ(dialogs.prompts.at(0).error, 1326u);
    EXPECT_EQ(Users(), (Texts{u"ivanov", u"petrova"}));
    EXPECT_EQ(store.entries[u"Tarvenix/TS-CORP"].password, u"Right-1") << "the entry replaced";
}

TEST_F(CredentialsWindowTest, AProcessListingThatIsRefusedOffersAnotherAccountAndListsAgainWithIt) {
    OpenWithAccounts();
    dialogs.offerAnswers = {true};
    dialogs.promptAnswers = {FakeDialogs::Entry{u"CORP\\admin", u"Right-1", false}};
    window->Servers().SetText(u"TS-CORP");
    Command(kCmdAllProcesses);
    ASSERT_TRUE(PumpUntil([&] { return !window->Processes().Busy() && !dialogs.prompts.empty(); }));
    ASSERT_TRUE(PumpUntil([&] { return !window->Processes().Busy(); }));
    PumpMessages();
    ASSERT_EQ(dialogs.offers.size(), 1u);
    EXPECT_NE(dialogs.offers[0].find(u"Системная ошибка 5. (5)"), std::u16string::npos) << Utf16ToUtf8(dialogs.offers[0]);
    EXPECT_EQ(ColumnTexts(window->Processes().List().Handle(), 2), (Texts{u"1234", u"1240"}));
    std::vector<std::string> listings;
    for (const LogEntry& e : CallsTo("TS-CORP"))
        if (e.function.rfind("WTSEnumerateProcesses", 0) == 0)
            listings.push_back(e.function + " " + (e.Has("account") ? e["account"] : "-") + " " + e["result"]);
    // Refused, the extended listing is followed by the plain one (refused too);
    // with the account the extended listing answers.
    EXPECT_EQ(listings, (std::vector<std::string>{"WTSEnumerateProcessesExW - 0", "WTSEnumerateProcessesW - 0",
                                                  "WTSEnumerateProcessesExW CORP\\\\admin 1"}));
}

TEST_F(CredentialsWindowTest, ALogoffRefusedForTheAccountOffersAnotherAndGoesAgainToTheRefusedSessionOnly) {
    OpenWithAccounts();
    window->Servers().SetText(u"TS-CORP");
    dialogs.promptAnswers = {FakeDialogs::Entry{u"CORP\\admin", u"Right-1", false},
                             FakeDialogs::Entry{u"CORP\\admin", u"Right-1", false}};
    Command(kCmdSignIn);
    List(u"TS-CORP");
    ASSERT_EQ(Users(), (Texts{u"ivanov", u"petrova"}));
    // The password changed meanwhile: the one in memory is refused now.
    ASSERT_EQ(accounts->SignIn(u"TS-CORP", MakeCredential(u"CORP\\admin", u"stale"), false), 0u);
    dialogs.offerAnswers = {true};
    Select(window->Sessions().List().Handle(), {0});
    Command(kCmdLogoffSelected);
    ASSERT_TRUE(PumpUntil([&] { return CallsOfFunction("TS-CORP", "WTSLogoffSession") == 1; }));
    PumpMessages();
    ASSERT_EQ(dialogs.offers.size(), 1u);
    EXPECT_NE(dialogs.offers[0].find(u"Системная ошибка 1326. (1326)"), std::u16string::npos) << Utf16ToUtf8(dialogs.offers[0]);
    EXPECT_EQ(dialogs.prompts.size(), 2u);
    EXPECT_EQ(dialogs.prompts[1].error, 1326u);
    const std::vector<LogEntry> logoffs = [&] {
        std::vector<LogEntry> out;
        for (const LogEntry& e : CallsTo("TS-CORP"))
            if (e.function == "WTSLogoffSession") out.push_back(e);
        return out;
    }();
    ASSERT_EQ(logoffs.size(), 1u);
    EXPECT_EQ(logoffs[0]["session"], "2");
    EXPECT_EQ(logoffs[0]["account"], "CORP\\\\admin");
    EXPECT_EQ(logoffs[0]["result"], "1");
}

TEST_F(CredentialsWindowTest, ACancelledOfferOrPromptLeavesTheServerFailedAndNothingIsRetried) {
    OpenWithAccounts();
    List(u"TS-CORP");  // the offer declined
    EXPECT_EQ(dialogs.offers.size(), 1u);
    EXPECT_TRUE(dialogs.prompts.empty());
    dialogs.offerAnswers = {true};
    dialogs.promptAnswers = {std::nullopt};  // the prompt cancelled
    List(u"TS-CORP");
    EXPECT_EQ(dialogs.offers.size(), 2u);
    EXPECT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_TRUE(Users().empty());
    EXPECT_EQ(CallsOfFunction("TS-CORP", "WTSEnumerateSessionsW"), 2u) << "one listing per Get data, no retry";
    EXPECT_TRUE(carrier.logons.empty());
    // A malformed account is refused before any logon.
    dialogs.offerAnswers = {true};
    dialogs.promptAnswers = {FakeDialogs::Entry{u"CORP\\", u"x", true}};
    List(u"TS-CORP");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find(u"не подходит"), std::u16string::npos);
    EXPECT_TRUE(carrier.logons.empty());
    EXPECT_TRUE(store.entries.empty());
}

TEST_F(CredentialsWindowTest, TwoServersWithTwoAccountsInOneFarmViewEachCallCarriesItsOwn) {
    OpenWithAccounts();
    window->Servers().SetHistory({u"TS-CORP", u"TS-DMZ.dmz.example", u"TS-OPEN"});
    SendMessageW(window->Sessions().AllServersButton(), BM_SETCHECK, BST_CHECKED, 0);
    Command(kCmdAllServers);
    ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    EXPECT_EQ(GetText(window->Sessions().ProgressLabel()), u"Не ответили: 2 из 3 (подробнее)");
    EXPECT_TRUE(dialogs.offers.empty()) << "a farm listing never stops for a box";

    dialogs.offerAnswers = {true};
    dialogs.promptAnswers = {FakeDialogs::Entry{u"CORP\\admin", u"Right-1", false},
                             FakeDialogs::Entry{u"DMZ\\ops", u"any", false}};
    Command(kCmdServerFailures);
    ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    ASSERT_EQ(dialogs.offers.size(), 1u);
    EXPECT_EQ(dialogs.offers[0], u"Не удалось получить список сессий серверов:\r\n"
                                 u"TS-CORP: Системная ошибка 5. (5)\r\n"
                                 u"TS-DMZ.dmz.example: Системная ошибка 5. (5)");
    ASSERT_EQ(dialogs.prompts.size(), 2u);
    EXPECT_EQ(dialogs.prompts[0].server, u"TS-CORP");
    EXPECT_EQ(dialogs.prompts[1].server, u"TS-DMZ.dmz.example");
    EXPECT_EQ(dialogs.prompts[1].account, u"CORP\\admin") << "the account entered last is offered";
    EXPECT_EQ(Users(), (Texts{u"ivanov", u"petrova", u"sidorov", u"belov"}));
    EXPECT_EQ(GetText(window->Sessions().ProgressLabel()), u"");

    // After the prompts: each server's calls with its own account, the open
    // server's with none; only the refused listing went uncarried.
    const std::vector<std::string> refused{"WTSCloseServer", "WTSEnumerateSessionsW", "WTSOpenServerW"};
    const ByAccount corp = SplitByAccount("TS-CORP");
    EXPECT_EQ(corp.uncarried, refused);
    EXPECT_EQ(corp.accounts, (std::set<std::string>{"CORP\\\\admin"}));
    const ByAccount dmz = SplitByAccount("TS-DMZ.dmz.example");
    EXPECT_EQ(dmz.uncarried, refused);
    EXPECT_EQ(dmz.accounts, (std::set<std::string>{"DMZ\\\\ops"}));
    EXPECT_GE(dmz.carried, 4u);
    const ByAccount open = SplitByAccount("TS-OPEN");
    EXPECT_TRUE(open.accounts.empty());
    EXPECT_GE(open.uncarried.size(), 8u) << "listed twice, as the program's own user";
}

TEST_F(CredentialsWindowTest, ACancelledPromptInTheFarmViewAsksForNoFurtherServer) {
    OpenWithAccounts();
    window->Servers().SetHistory({u"TS-CORP", u"TS-DMZ.dmz.example", u"TS-OPEN"});
    SendMessageW(window->Sessions().AllServersButton(), BM_SETCHECK, BST_CHECKED, 0);
    Command(kCmdAllServers);
    ASSERT_TRUE(PumpUntil([&] { return !window->Sessions().Busy(); }));
    const std::size_t listings = CallsOfFunction("TS-OPEN", "WTSEnumerateSessionsW");
    dialogs.offerAnswers = {true};
    dialogs.promptAnswers = {std::nullopt};
    Command(kCmdServerFailures);
    PumpMessages();
    EXPECT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_EQ(CallsOfFunction("TS-OPEN", "WTSEnumerateSessionsW"), listings) << "nothing listed again";
    EXPECT_EQ(GetText(window->Sessions().ProgressLabel()), u"Не ответили: 2 из 3 (подробнее)");
}

TEST_F(CredentialsWindowTest, AnAccountThatCannotBeCarriedIsReportedWithTheSystemsTextAndNeverGoesOutUncarried) {
    carrier.enterError = 6;  // what the system's impersonation gives under Wine
    store.entries[u"Tarvenix/*.dmz.example"] = {u"DMZ\\ops", u"any"};
    OpenWithAccounts();
    List(u"TS-DMZ.dmz.example");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], u"Не удалось получить список сессий сервера TS-DMZ.dmz.example.\r\n"
                                   u"Системная ошибка 6. (6)\r\n"
                                   u"Не удалось выполнить вызов от имени DMZ\\ops: Системная ошибка 6. (6)");
    EXPECT_TRUE(dialogs.offers.empty()) << "another password would not help";
    EXPECT_TRUE(CallsTo("TS-DMZ.dmz.example").empty()) << "nothing reached the server as the program's own user";
}

TEST_F(CredentialsWindowTest, TheSessionMenuSignsInAndForgetsTheStoredEntry) {
    OpenWithAccounts();
    EXPECT_EQ(GetMenuState(window->SessionMenu(), kCmdSignIn, MF_BYCOMMAND) & MF_GRAYED, 0u);
    dialogs.promptAnswers = {FakeDialogs::Entry{u"CORP\\admin", u"Right-1", true}};
    window->Servers().SetText(u"TS-CORP");
    Command(kCmdSignIn);
    List(u"TS-CORP");
    EXPECT_EQ(Users(), (Texts{u"ivanov", u"petrova"}));
    EXPECT_TRUE(dialogs.offers.empty());
    ASSERT_EQ(store.entries.count(u"Tarvenix/TS-CORP"), 1u);

    Command(kCmdForgetCredentials);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0], u"Забыть учётные данные для сервера TS-CORP? Запись Tarvenix/TS-CORP будет удалена "
                                    u"из диспетчера учётных данных Windows.");
    EXPECT_TRUE(store.entries.empty());
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages.back(), u"Учётные данные для сервера TS-CORP забыты.");
    List(u"TS-CORP");
    EXPECT_TRUE(Users().empty()) << "forgotten: refused again";
    EXPECT_EQ(dialogs.offers.size(), 1u);
    Command(kCmdForgetCredentials);
    EXPECT_EQ(dialogs.messages.back(), u"Для сервера TS-CORP нет сохранённых учётных данных.");
}

// ---- the system's own store and carrier --------------------------------------

TEST(CredentialManagerTest, EntriesAreWrittenReadBackAndRemovedThroughTheSystem) {
    WinCredentialStore store;
    const std::u16string server = u"Tarvenix/test-" + DecimalU32(GetCurrentProcessId()) + u"-СЕРВЕР";
    const std::u16string domain = u"Tarvenix/*.test-" + DecimalU32(GetCurrentProcessId()) + u".example";
    ASSERT_EQ(store.Write(server, MakeCredential(u"БУХ\\администратор", u"Пароль-1")), 0u);
    ASSERT_EQ(store.Write(domain, MakeCredential(u"admin@corp.example", u"p2")), 0u);
    Credential read;
    ASSERT_EQ(store.Read(server, read), 0u);
    EXPECT_EQ(read.account, u"БУХ\\администратор");
    EXPECT_TRUE(read.password.Equals(u"Пароль-1"));
    // Replaced in place.
    ASSERT_EQ(store.Write(server, MakeCredential(u"БУХ\\другой", u"p3")), 0u);
    ASSERT_EQ(store.Read(server, read), 0u);
    EXPECT_EQ(read.account, u"БУХ\\другой");
    EXPECT_TRUE(read.password.Equals(u"p3"));
    // A generic entry of the system's kind, named as the program names it.
    CREDENTIALW* raw = nullptr;
    ASSERT_TRUE(CredReadW(Wide(domain).c_str(), CRED_TYPE_GENERIC, 0, &raw));
    EXPECT_EQ(std::wstring(raw->UserName), L"admin@corp.example");
    EXPECT_EQ(raw->Persist, static_cast<DWORD>(CRED_PERSIST_LOCAL_MACHINE));
    CredFree(raw);

    EXPECT_EQ(store.Remove(server), 0u);
    EXPECT_EQ(store.Read(server, read), kErrorNotFound);
    EXPECT_EQ(store.Remove(server), kErrorNotFound);
    ASSERT_EQ(store.Read(domain, read), 0u) << "the other entry stays";
    EXPECT_EQ(store.Remove(domain), 0u);
    EXPECT_EQ(store.Read(domain, read), kErrorNotFound);
}

TEST(CredentialManagerTest, TheSystemCarrierNeverLeavesAThreadImpersonating) {
    // Under Wine the logon gives a placeholder token that cannot be
    // impersonated (error 6); on Windows Enter succeeds. Either way the
    // thread carries its own token again afterwards.
    LogonCarrier carrier;
    std::uint32_t error = 0;
    const std::unique_ptr<CarriedAccount> logon = carrier.Logon(MakeCredential(u"CORP\\admin", u"x"), error);
    if (!logon) {
        EXPECT_NE(error, 0u);
        return;
    }
    const std::uint32_t entered = logon->Enter();
    if (entered == 0) logon->Leave();
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
    if (token) CloseHandle(token);
}

}  // namespace
}  // namespace tarvenix::testing
