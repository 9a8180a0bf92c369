// Logging off listed sessions. Both commands act on the rows of the session
// list, which came from ListedServer: that is the server they address.
#include "app/main_window.h"

#include "actions/session_actions.h"
#include "app/text.h"
#include "sessions/terminal_services.h"

namespace tarvenix {
namespace {

struct LogoffOutcome {
    std::int32_t succeeded = 0;
    std::vector<SessionFailure> failures;
};

// Logs off the sessions named by the captions of the given rows, in that
// order, through one handle of the server; without waiting for the logoffs.
LogoffOutcome LogOff(TerminalServices& terminal, const std::u16string& server, const ReportRows& rows,
                     const std::vector<int>& indices) {
    LogoffOutcome outcome;
    if (indices.empty()) return outcome;
    WaitCursor wait;
    const std::unique_ptr<TerminalServer> handle = terminal.Open(server);
    for (int index : indices) {
        const auto id = static_cast<std::uint32_t>(StrToIntLike(rows.Text(static_cast<std::size_t>(index), 0)));
        const CallResult r = handle->Logoff(id);
        if (r.ok) {
            ++outcome.succeeded;
        } else {
            outcome.failures.push_back({id, r.error});
        }
    }
    return outcome;
}

}  // namespace

void MainWindow::N3Click() {
    // Selected rows top to bottom, in the present display order.
    const std::vector<int> selected = listView1.SelectedIndices();
    const LogoffOutcome outcome = LogOff(*services_.terminal, listedServer, listView1.Rows(), selected);
    // The report says what was sent; with nothing selected it is the singular one.
    if (outcome.succeeded > 0 || selected.empty()) services_.dialogs->ShowMessage(LogoffSentMessage(outcome.succeeded));
    if (!outcome.failures.empty()) {
        services_.dialogs->ShowMessage(LogoffFailureText(listedServer, outcome.failures, [this](std::uint32_t code) {
            return services_.errors ? services_.errors->Describe(code) : std::u16string();
        }));
    }
}

void MainWindow::BtnCloseAllClick() {
    if (listedServer.empty()) return;
    const std::u16string server = listedServer;
    if (!services_.dialogs->Confirm(LogoffAllQuestion(server))) return;
    std::vector<int> all(listView1.Rows().Size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
    const LogoffOutcome outcome = LogOff(*services_.terminal, server, listView1.Rows(), all);
    services_.dialogs->ShowMessage(LogoffAllReport(outcome.succeeded));
    if (!outcome.failures.empty()) {
        services_.dialogs->ShowMessage(LogoffFailureText(server, outcome.failures, [this](std::uint32_t code) {
            return services_.errors ? services_.errors->Describe(code) : std::u16string();
        }));
    }
}

}  // namespace tarvenix
