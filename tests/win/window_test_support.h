// Fakes of the platform services and a fixture that builds the real main
// window around them, for in-process window tests under Wine.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ansi_tables.h"
#include "app/main_window.h"
#include "base/services.h"
#include "base/engine_win.h"
#include "servers/server_source.h"
#include "tests/common/fake_terminal_services.h"
#include "tests/common/test_executors.h"

namespace tarvenix::testing {

class FakeDialogs final : public Dialogs {
public:
    std::vector<std::u16string> messages;  // plain messages, in order
    std::vector<std::u16string> questions;
    std::vector<std::u16string> errors;
    std::deque<bool> answers;  // Confirm answers; Yes when empty
    std::vector<OpenFileRequest> openRequests;
    std::deque<std::optional<std::u16string>> openAnswers;  // Cancel when empty
    std::vector<WindowRef> owners;  // the owner of every box and dialog, in order

    void ShowMessage(WindowRef owner, const std::u16string& text) override {
        owners.push_back(owner);
        messages.push_back(text);
    }
    // Runs while a question is open, as the box's own message loop would let
    // the window go on (timers, posted results).
    std::function<void()> whileAsking;
    bool Confirm(WindowRef owner, const std::u16string& text) override {
        owners.push_back(owner);
        questions.push_back(text);
        if (whileAsking) whileAsking();
        if (answers.empty()) return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowError(WindowRef owner, const std::u16string& text) override {
        owners.push_back(owner);
        errors.push_back(text);
    }
    std::vector<OpenFileRequest> saveRequests;
    std::deque<std::optional<std::u16string>> saveAnswers;  // Cancel when empty
    std::optional<std::u16string> SaveFile(WindowRef owner, const OpenFileRequest& request) override {
        owners.push_back(owner);
        saveRequests.push_back(request);
        if (saveAnswers.empty()) return std::nullopt;
        auto a = saveAnswers.front();
        saveAnswers.pop_front();
        return a;
    }
    std::optional<std::u16string> OpenFile(WindowRef owner, const OpenFileRequest& request) override {
        owners.push_back(owner);
        openRequests.push_back(request);
        if (openAnswers.empty()) return std::nullopt;
        auto a = openAnswers.front();
        openAnswers.pop_front();
        return a;
    }
    // "Войти как другой пользователь…" offered with these reports; taken
    // as answered (Cancel when empty).
    std::vector<std::u16string> offers;
    std::deque<bool> offerAnswers;
    bool OfferSignIn(WindowRef owner, const std::u16string& report) override {
        owners.push_back(owner);
        offers.push_back(report);
        if (offerAnswers.empty()) return false;
        const bool a = offerAnswers.front();
        offerAnswers.pop_front();
        return a;
    }
    // The credential prompt: what it was asked, and what the user enters
    // (Cancel when empty or nothing).
    struct Entry {
        std::u16string account, password;
        bool remember = false;
    };
    std::vector<CredentialRequest> prompts;
    std::deque<std::optional<Entry>> promptAnswers;
    std::optional<EnteredCredential> AskCredentials(WindowRef owner, const CredentialRequest& request) override {
        owners.push_back(owner);
        prompts.push_back(request);
        if (promptAnswers.empty() || !promptAnswers.front()) {
            if (!promptAnswers.empty()) promptAnswers.pop_front();
            return std::nullopt;
        }
        const Entry e = *promptAnswers.front();
        promptAnswers.pop_front();
        std::optional<EnteredCredential> entered(std::in_place);
        entered->credential.account = e.account;
        entered->credential.password = Secret(e.password.data(), e.password.size());
        entered->remember = e.remember;
        return entered;
    }
};

class FakeShell final : public Shell {
public:
    struct Call {
        std::u16string file, parameters;
        int show;
    };
    std::vector<Call> calls;
    std::uint32_t result = 0;
    std::uint32_t Execute(WindowRef, const std::u16string& file, const std::u16string& parameters, int show) override {
        calls.push_back({file, parameters, show});
        return result;
    }
};

class FakeErrorTexts final : public ErrorTexts {
public:
    std::u16string Describe(std::uint32_t code) override { return u"Системная ошибка " + DecimalU32(code) + u"."; }
};

// Dispatches the thread's messages until done() holds; false when limitMs
// passed first. PumpFor dispatches them for a while.
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 10000);
void PumpFor(DWORD ms);

// A temporary application directory, removed with its files afterwards.
class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    const std::filesystem::path& Path() const { return path_; }
    std::u16string WithSeparator() const;

private:
    std::filesystem::path path_;
};

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Builds the window (FormCreate) and shows it (FormShow).
    void Open();

    // Messages and commands as the user makes them.
    void Command(int id);
    void GetData(const std::u16string& server);
    void ClickHeader(HWND list, int displayPosition);
    void Select(HWND list, const std::vector<int>& rows);
    void PumpMessages();

    std::vector<std::u16string> ColumnTexts(HWND list, int column);
    std::u16string CellText(HWND list, int row, int column);
    RECT ChildRect(HWND control);  // relative to its parent

    FakeTerminalServices wts;
    FakeDialogs dialogs;
    FakeShell shell;
    FakeErrorTexts errorTexts;
    std::unique_ptr<AnsiCodePage> ansi = MakeTableCodePage(1251);
    TempDirectory appDir;
    InlineExecutor executor;
    std::unique_ptr<WindowDispatcher> dispatcher;
    Services services;
    // The directory button's source: a directory without servers unless a
    // test gives another.
    TypedServers noDirectory{{}};
    ServerSource* directoryServers = &noDirectory;
    std::unique_ptr<MainWindow> window;
};

}  // namespace tarvenix::testing
