// The default error handling around every command of the main window.
#pragma once

#include "app/app_error.h"
#include "app/error_text.h"

namespace tarvenix {

template <typename F>
bool MainWindow::RunHandler(F&& handler) {
    try {
        handler();
        return true;
    } catch (const AppError& e) {
        services_.dialogs->ShowError(DefaultErrorBoxText(e.Message()));
    } catch (const std::exception& e) {
        services_.dialogs->ShowError(DefaultErrorBoxText(Utf8ToUtf16(e.what())));
    }
    return false;
}

}  // namespace tarvenix
