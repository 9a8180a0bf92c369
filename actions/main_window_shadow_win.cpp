// Shadowing a session through the remote-desktop client.
#include "app/main_window.h"

namespace tarvenix {

void MainWindow::N4Click() {}

}  // namespace tarvenix
