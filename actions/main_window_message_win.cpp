// Opening the message window from the session list.
#include "actions/message_window.h"
#include "app/main_window.h"

namespace tarvenix {

void MainWindow::J1Click() {
    if (messageWindow_) messageWindow_->ShowModal();
}

}  // namespace tarvenix
