// Logging off listed sessions.
#include "app/main_window.h"

namespace tarvenix {

void MainWindow::N3Click() {}

void MainWindow::BtnCloseAllClick() {}

}  // namespace tarvenix
