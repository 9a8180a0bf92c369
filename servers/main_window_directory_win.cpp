// The server list from the directory of the signed-in user's domain.
#include "app/main_window.h"
#include "servers/directory.h"

namespace tarvenix {

void MainWindow::sSpeedButtonADClick() {
    // Every press starts from an empty box, also when the query then fails.
    ClearServerBox();
    DirectoryFill fill;
    {
        WaitCursor wait;
        fill = ReadDirectoryServers(*services_.directory, *services_.ansi);
    }
    if (!fill.ok) {
        // The names read before the failure stay in the history, unsorted;
        // the box's text stays empty.
        SetHistory(fill.sorted);
        services_.dialogs->ShowMessage(kDirectoryFailedMessage);
        return;
    }
    SetHistory(fill.sorted);
    SetServerText(FirstHistoryEntry());
    services_.dialogs->ShowMessage(DirectoryDoneMessage(History().size()));
}

}  // namespace tarvenix
