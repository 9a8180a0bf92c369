// tarvenix.exe: start-up, the message loop and shutdown.
#include <windows.h>

#include "app/main_window.h"
#include "base/app_error.h"
#include "base/win_text.h"
#include "startup/program_services_win.h"

namespace {

int Run(int showCommand) {
    using namespace tarvenix;
    ProgramServices& program = ProgramServices::StartWindow();
    MainWindow main(program.Base(), program.Terminal(), program.Directory());
    main.Sessions().UseAccounts(program.Accounts());
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
    const tarvenix::WindowThread thread;
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
