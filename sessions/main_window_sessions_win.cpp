// The session list of the main window: Get data, ordering by column, row colours.
#include "app/main_window.h"

#include <commctrl.h>
#include "app/win_text.h"
#include "sessions/session_inventory.h"

namespace tarvenix {

void MainWindow::Button1Click() {
    const std::u16string server = ServerText();
    if (server.empty()) {
        services_.dialogs->ShowMessage(u"Вы не указали сервер!");
        return;
    }
    listView1.Clear();
    listedServer = server;
    activeCount = 0;
    ordering.sortedColumn = -1;
    EnumSessions();
    SetLabelText(c.label16, DecimalI32(rowCount));
    SetLabelText(c.label14, DecimalI32(activeCount));
    SetFocus(listView1.Handle());
}

void MainWindow::EnumSessions() {
    const std::u16string server = ServerText();
    SessionInventory inventory;
    {
        WaitCursor wait;
        inventory = ReadSessionInventory(*services_.terminal, server);
    }
    std::vector<ReportRows::Row> rows;
    rows.reserve(inventory.rows.size());
    for (SessionRow& row : inventory.rows) {
        rows.push_back({std::move(row.id), std::move(row.user), std::move(row.clientName), std::move(row.address),
                        std::move(row.state), std::move(row.winStation)});
    }
    listView1.AppendAll(std::move(rows));
    activeCount += inventory.activeCount;
    rowCount = static_cast<std::int32_t>(listView1.Rows().Size());
    if (inventory.enumerationFailed) {
        // The list stays empty, but an unreachable or refusing server must not
        // look like a server without sessions.
        SetLabelText(c.label16, DecimalI32(rowCount));
        SetLabelText(c.label14, DecimalI32(activeCount));
        ReportSystemError(u"Не удалось получить список сессий сервера " + server + u".", inventory.error);
    }
}

void MainWindow::ListView1ColumnClick(int column) { listView1.ColumnClicked(ordering, column); }

void MainWindow::ListView3ColumnClick(int column) { listView3.ColumnClicked(ordering, column); }

COLORREF MainWindow::ListView1CustomDrawItem(int index) const {
    const UINT state = ListView_GetItemState(listView1.Handle(), index, LVIS_SELECTED | LVIS_FOCUSED);
    // $F0CAA6: blue F0, green CA, red A6.
    if (state & (LVIS_SELECTED | LVIS_FOCUSED)) return RGB(0xA6, 0xCA, 0xF0);
    return GetSysColor(COLOR_WINDOW);
}

}  // namespace tarvenix
