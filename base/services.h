// The platform services the windows use, behind narrow portable interfaces so
// that window logic can be driven in tests without a real shell or modal box.
// The Windows implementations live in *_win.cpp files. The layers above add
// their own (the terminal services, the server sources): each feature is
// handed those it uses beside these.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/credentials.h"
#include "base/error_text.h"

namespace tarvenix {

class AnsiCodePage;
class Executor;
class Dispatcher;

inline constexpr char16_t kApplicationTitle[] = u"Tarvenix";

// A window's handle as a number (0: none), so that portable code can name the
// owner of a box.
using WindowRef = std::uintptr_t;

// What the credential prompt asks for: the server (the prompt's target), its
// caption and message, the account to offer, and the error of the last try
// (0: none) that the prompt shows as the system words it.
struct CredentialRequest {
    std::u16string server;
    std::u16string caption;
    std::u16string message;
    std::u16string account;
    std::uint32_t error = 0;
    DescribeError describe;
};

// What the user entered, and whether to keep it.
struct EnteredCredential {
    Credential credential;
    bool remember = false;
};

// Modal boxes captioned with the application title, owned by the given
// window. The buttons always read "OK", "&Yes" and "Cancel".
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Plain message: no icon, OK only.
    virtual void ShowMessage(WindowRef owner, const std::u16string& text) = 0;
    // The Yes/Cancel question (no icon, Yes default, centred on the screen): true for Yes.
    virtual bool Confirm(WindowRef owner, const std::u16string& text) = 0;
    // The application's default error box: error icon, OK; the text as given
    // (the caller applies the full-stop rule, see base/error_text.h).
    virtual void ShowError(WindowRef owner, const std::u16string& text) = 0;

    struct OpenFileRequest {
        std::u16string title;
        std::u16string initialDirectory;
        std::u16string filter;            // "Name|pattern" pairs, as the user sees them
        std::u16string defaultExtension;  // without the dot
        int filterIndex = 1;
    };
    // The file-open dialog: the chosen file's full path, or nothing on Cancel.
    virtual std::optional<std::u16string> OpenFile(WindowRef owner, const OpenFileRequest& request) = 0;
    // The file-save dialog (asks before replacing a file): the chosen path,
    // or nothing on Cancel.
    virtual std::optional<std::u16string> SaveFile(WindowRef owner, const OpenFileRequest& request) = 0;

    // A server refused the account: the report, with the choice "Войти как
    // другой пользователь…" (true when it was taken) beside Cancel.
    virtual bool OfferSignIn(WindowRef owner, const std::u16string& report) {
        ShowMessage(owner, report);
        return false;
    }
    // The system's credential prompt (account, password, "remember"):
    // nothing when it was cancelled.
    virtual std::optional<EnteredCredential> AskCredentials(WindowRef, const CredentialRequest&) { return std::nullopt; }
};

// The message boxes and file dialogs of one window: Dialogs with the owner
// filled in (not to be confused with Box, a rectangle).
class OwnedDialogs {
public:
    OwnedDialogs() = default;
    OwnedDialogs(Dialogs* dialogs, WindowRef owner) : dialogs_(dialogs), owner_(owner) {}
    void ShowMessage(const std::u16string& text) const { dialogs_->ShowMessage(owner_, text); }
    bool Confirm(const std::u16string& text) const { return dialogs_->Confirm(owner_, text); }
    void ShowError(const std::u16string& text) const { dialogs_->ShowError(owner_, text); }
    std::optional<std::u16string> OpenFile(const Dialogs::OpenFileRequest& request) const {
        return dialogs_->OpenFile(owner_, request);
    }
    std::optional<std::u16string> SaveFile(const Dialogs::OpenFileRequest& request) const {
        return dialogs_->SaveFile(owner_, request);
    }
    bool OfferSignIn(const std::u16string& report) const { return dialogs_->OfferSignIn(owner_, report); }
    std::optional<EnteredCredential> AskCredentials(const CredentialRequest& request) const {
        return dialogs_->AskCredentials(owner_, request);
    }
    WindowRef Owner() const { return owner_; }

private:
    Dialogs* dialogs_ = nullptr;
    WindowRef owner_ = 0;
};

// Shell execution (ShellExecuteW with the default verb).
class Shell {
public:
    virtual ~Shell() = default;
    // Returns 0 on success, else a system error code.
    virtual std::uint32_t Execute(WindowRef owner, const std::u16string& file, const std::u16string& parameters,
                                  int showCommand) = 0;
};

// System error texts (FormatMessage), without a trailing line break.
class ErrorTexts {
public:
    virtual ~ErrorTexts() = default;
    virtual std::u16string Describe(std::uint32_t code) = 0;
};

// What every window needs from outside. Not owned.
struct Services {
    Dialogs* dialogs = nullptr;
    Shell* shell = nullptr;
    ErrorTexts* errors = nullptr;
    AnsiCodePage* ansi = nullptr;
    // Where remote work runs, and how its results reach the window thread.
    Executor* executor = nullptr;
    Dispatcher* dispatcher = nullptr;
    // Sessions queried at once by Get data, and calls in flight for a command
    // on many sessions; how long a server may take to answer.
    std::size_t parallelSessions = 16;
    std::size_t parallelCalls = 8;
    // Servers opened and enumerated at once by the farm view, and its session
    // queries in flight over all servers together (parallelSessions x
    // parallelServers, capped: see settings.ini's [options]).
    std::size_t parallelServers = 8;
    std::size_t farmParallelSessions = 128;
    std::chrono::milliseconds serverTimeout{15000};
    // The automatic refresh chosen last time (seconds, 0 off), and how long
    // one of its seconds lasts (shorter in tests).
    int refreshSeconds = 0;
    // The farm view was on last time.
    bool allServers = false;
    // Live mode was on last time, and how often its idle pass runs (seconds,
    // 0 never).
    bool live = false;
    int idleSeconds = 60;
    // The session list's columns chosen last time (bits of kClientColumnsLimits).
    int clientColumns = 0;
    std::chrono::milliseconds refreshSecond{1000};
    // The application directory with its trailing separator: settings.ini,
    // serverslist.txt and message.txt live here.
    std::u16string appDirectory;

    // The system's text of an error code (empty without an ErrorTexts).
    DescribeError Describer() const {
        ErrorTexts* e = errors;
        return [e](std::uint32_t code) { return e ? e->Describe(code) : std::u16string(); };
    }
};

}  // namespace tarvenix
