// tarvenix.exe: start-up, the message loop and shutdown.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "base/ansi_code_page_win.h"
#include "base/app_error.h"
#include "base/engine_win.h"
#include "app/main_window.h"
#include "base/platform_win.h"
#include "base/win_text.h"
#include "servers/directory_win.h"
#include "servers/settings_file_win.h"
#include "sessions/wts_terminal_services_win.h"

namespace {

// COM for the GUI thread (a single-threaded apartment), as the directory needs.
struct OleSession {
    HRESULT hr = OleInitialize(nullptr);
    ~OleSession() {
        if (SUCCEEDED(hr)) OleUninitialize();
    }
};

int Run(int showCommand) {
    using namespace tarvenix;
    // What the workers use lives as long as the process: a call stuck on a
    // dead server may return after the window has closed, and closing never
    // waits for it (its thread ends with the process).
    auto* terminal = new WtsTerminalServices;
    auto* ansi = new SystemAnsiCodePage;
    auto* directory = new AdsiDirectoryService;
    auto* dispatcher = new WindowDispatcher;
    Services services;
    services.appDirectory = ApplicationDirectory();
    const EngineSettings settings = ReadEngineSettings(services.appDirectory + u"settings.ini");
    // The farm view's session queries (capped over the whole farm) and its
    // servers being opened, plus room for a command and a directory search.
    auto* executor = new ThreadPoolExecutor(settings.farmParallelSessions + settings.parallelServers +
                                            settings.parallelCalls + 2);
    WinDialogs dialogs;
    WinShell shell;
    WinErrorTexts errors;
    services.terminal = terminal;
    services.dialogs = &dialogs;
    services.shell = &shell;
    services.errors = &errors;
    services.ansi = ansi;
    services.directory = directory;
    services.executor = executor;
    services.dispatcher = dispatcher;
    services.parallelSessions = static_cast<std::size_t>(settings.parallelSessions);
    services.parallelCalls = static_cast<std::size_t>(settings.parallelCalls);
    services.serverTimeout = std::chrono::seconds(settings.timeoutSeconds);
    services.parallelServers = static_cast<std::size_t>(settings.parallelServers);
    services.farmParallelSessions = static_cast<std::size_t>(settings.farmParallelSessions);
    services.refreshSeconds = settings.refreshSeconds;
    services.allServers = settings.allServers;

    MainWindow main(services);
    main.Create();
    main.Show(showCommand);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (main.PreTranslateMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    OleSession ole;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    try {
        return Run(showCommand);
    } catch (const tarvenix::AppError& e) {
        MessageBoxW(nullptr, tarvenix::Wz(e.Message()), L"Application Error", MB_OK | MB_ICONERROR);
    } catch (const std::exception& e) {
        const std::u16string text = tarvenix::Utf8ToUtf16(e.what());
        MessageBoxW(nullptr, tarvenix::Wz(text), L"Application Error", MB_OK | MB_ICONERROR);
    }
    return 1;
}
