// The process panel: the processes of the selected session or of the whole
// server, refresh, close and terminate.
#include "app/main_window.h"

#include <algorithm>

#include "actions/session_actions.h"
#include "app/main_layout.h"
#include "app/text.h"
#include "sessions/terminal_services.h"

namespace tarvenix {
namespace {

void SetOuterWidth(HWND window, int width) {
    RECT rc;
    GetWindowRect(window, &rc);
    SetWindowPos(window, nullptr, 0, 0, width, rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int OuterWidth(HWND window) {
    RECT rc;
    GetWindowRect(window, &rc);
    return rc.right - rc.left;
}

}  // namespace

void MainWindow::N2Click() {
    // The processes of one session need a session: without a selected row
    // the command does nothing.
    if (listView1.FirstSelected() < 0) return;
    listView3.Clear();
    listView3.Rows().SetMode(SortType::None);
    ShowProcessPanel();
    SetOuterWidth(hwnd_, kProcessPanelOuterWidth);
    processListMode = kProcessListModeUser;
    ListProcesses(listView3);
}

void MainWindow::BtnGetAllClick() {
    listView3.Clear();
    listView3.Rows().SetMode(SortType::None);
    ShowProcessPanel();
    SetOuterWidth(hwnd_, kProcessPanelOuterWidth);
    processListMode = kProcessListModeServer;
    ListProcesses(listView3);
}

bool MainWindow::ListProcesses(ReportList& list) {
    const bool user = processListMode == kProcessListModeUser;
    std::optional<std::u16string> caption;
    std::u16string userName;
    std::u16string server;
    if (user) {
        // The session row came from ListedServer: its processes live there.
        const int row = listView1.FirstSelected();
        if (row < 0) return false;
        caption = listView1.Rows().Text(static_cast<std::size_t>(row), 0);
        userName = listView1.Rows().Text(static_cast<std::size_t>(row), 1);
        server = listedServer;
    } else {
        server = ServerText();
    }
    processServer = server;  // termination addresses the server listed here

    std::vector<ProcessRecord> records;
    CallResult result;
    {
        WaitCursor wait;
        result = services_.terminal->Open(server)->EnumerateProcesses(records);
    }
    if (!result.ok) {
        ReportSystemError(ProcessListFailureHeading(server), result.error);
        return false;
    }
    std::vector<std::vector<std::u16string>> rows = ProcessRows(records, caption);
    const std::size_t count = rows.size();
    list.AppendAll(std::move(rows));
    if (user) SetLabelText(c.labelUser, userName);
    SetLabelText(c.label11, ProcessCountText(count));
    return true;
}

void MainWindow::sSpeedButton1Click() {
    if (processListMode == kProcessListModeUser) N2Click();
}

void MainWindow::Button3Click() {
    ShowWindow(c.panelRight, SW_HIDE);
    SetOuterWidth(hwnd_, std::max(OuterWidth(hwnd_) - kProcessPanelNarrowing, kMinOuterWidth));
    SetLabelText(c.labelUser, u"");
    Layout();
}

void MainWindow::M2Click() {
    const int row = listView3.FirstSelected();
    if (row < 0) return;
    const auto pid = static_cast<std::uint32_t>(StrToIntLike(listView3.Rows().Text(static_cast<std::size_t>(row), 2)));
    const std::u16string server = processServer;
    CallResult result;
    {
        WaitCursor wait;
        result = services_.terminal->Open(server)->TerminateProcess(pid);
    }
    if (!result.ok) ReportSystemError(TerminateFailureHeading(server, pid), result.error);
    N2Click();
}

}  // namespace tarvenix
