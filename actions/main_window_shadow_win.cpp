// Shadowing a session through the remote-desktop client.
#include "app/main_window.h"

#include "actions/session_actions.h"

namespace tarvenix {

void MainWindow::N4Click() {
    const int row = listView1.FirstSelected();
    if (row < 0) return;
    // The row came from ListedServer: aim at that server, whatever the box holds now.
    const std::u16string id = listView1.Rows().Text(static_cast<std::size_t>(row), 0);
    const std::u16string server = listedServer;
    std::uint32_t error = 0;
    {
        WaitCursor wait;
        error = services_.shell->Execute(kShadowClient, ShadowParameters(id, server), kShadowShowCommand);
    }
    if (error != 0) ReportSystemError(ShadowFailureHeading(id, server), error);
}

}  // namespace tarvenix
