// The default error handling around every command of the main window.
#pragma once

#include <utility>

#include "app/app_error.h"

namespace tarvenix {

template <typename F>
bool MainWindow::RunHandler(F&& handler) {
    return RunReportingErrors(*services_.dialogs, std::forward<F>(handler));
}

}  // namespace tarvenix
