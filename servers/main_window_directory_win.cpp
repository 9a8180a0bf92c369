// The server list from the directory of the signed-in user's domain.
#include "app/main_window.h"

namespace tarvenix {

void MainWindow::sSpeedButtonADClick() {}

}  // namespace tarvenix
