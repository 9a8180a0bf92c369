// The start of both programs in one place: the application directory, the
// window program's settings (settings.ini's [options]), and every service the
// features are handed, built here and owned here: the base services, the
// terminal services, and the directory as a server source. Each program's
// main takes what it needs from ProgramServices and builds nothing by hand.
//
// The services live as long as the process: a call stuck on a dead server may
// return after the window has closed (or after the command line has printed
// its listing), and nobody waits for it; its worker ends with the process.
// That is why a ProgramServices is never destroyed.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/ansi_code_page_win.h"
#include "base/com_win.h"
#include "base/credentials_win.h"
#include "base/engine.h"
#include "base/engine_win.h"
#include "base/platform_win.h"
#include "base/services.h"
#include "servers/directory_win.h"
#include "servers/server_source.h"
#include "servers/settings_file_win.h"
#include "sessions/server_accounts.h"
#include "sessions/wts_terminal_services_win.h"

namespace tarvenix {

class ProgramServices final {
public:
    // The window program, called on the thread that runs the window (see
    // WindowThread): the [options] of settings.ini in the application
    // directory read and applied; workers for the farm view's session queries
    // (capped over the farm) and its servers being opened, with room for a
    // command and a directory search; results reach the window thread as its
    // messages.
    static ProgramServices& StartWindow();
    // tarvenix-cli: its limits come from its own command line, and it reads
    // no settings. `workers` threads; results wait until the main thread runs
    // them (Queue().RunUntil).
    static ProgramServices& StartCommandLine(int workers);

    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;

    // Dialogs, shell, error texts, the ANSI code page, the executor and the
    // dispatcher, the [options] and the application directory.
    const Services& Base() const { return services_; }
    const std::u16string& AppDirectory() const { return services_.appDirectory; }
    // The terminal services, each server's calls carrying its account when
    // it has one (see ServerAccounts).
    TerminalServices& Terminal() { return accounts_; }
    // Who calls to which server carry: signing in, the stored entries.
    ServerAccounts& Accounts() { return accounts_; }
    CredentialStore& Credentials() { return credentials_; }
    // The computers of the signed-in user's domain.
    ServerSource& Directory() { return directoryServers_; }
    const AnsiCodePage& Ansi() const { return ansi_; }
    ErrorTexts& Errors() { return errors_; }
    Executor& Workers() { return executor_; }
    // The command line's dispatcher (StartCommandLine only).
    QueueDispatcher& Queue() { return *queue_; }

private:
    ProgramServices(std::u16string appDirectory, int workers, std::unique_ptr<Dispatcher> dispatcher);

    WtsTerminalServices terminal_;
    WinCredentialStore credentials_;
    LogonCarrier carrier_;
    ServerAccounts accounts_{terminal_, carrier_, &credentials_};
    SystemAnsiCodePage ansi_;
    AdsiDirectoryService directory_;
    DirectoryServers directoryServers_{directory_, ansi_};
    WinDialogs dialogs_;
    WinShell shell_;
    WinErrorTexts errors_;
    ThreadPoolExecutor executor_;
    std::unique_ptr<Dispatcher> dispatcher_;
    QueueDispatcher* queue_ = nullptr;  // the dispatcher, when it is the command line's
    Services services_;
};

// The window program's [options] as the features take them.
void ApplySettings(const EngineSettings& settings, Services& services);

// The window thread's start: it joins OLE's apartment (the file dialogs and
// the clipboard need it) for as long as the WindowThread lives, and the
// common controls the windows use are registered.
class WindowThread {
public:
    WindowThread();

private:
    ComApartment ole_{ComApartment::Kind::Ole};
};

}  // namespace tarvenix
