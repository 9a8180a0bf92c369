#include "actions/logoff_commands_win.h"

#include "actions/session_actions.h"
#include "base/platform_win.h"
#include "base/text.h"
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

LogoffCommands::LogoffCommands(const Services& services, const SessionListView& sessions)
    : services_(services), sessions_(sessions) {}

void LogoffCommands::CreateLogoffAllButton(HWND parent, const Fonts& fonts) {
    boxes_ = Boxes(services_.dialogs, ToRef(GetAncestor(parent, GA_ROOT)));
    logoffAllButton_ = CreateButton(parent, kCmdLogoffAll, 149, 8, 137, 25, u"Завершить все сессии", fonts.normal());
}

void LogoffCommands::AddMenuItems(HMENU sessionMenu) {
    HMENU confirm = CreatePopupMenu();
    AppendMenuW(confirm, MF_STRING, kCmdLogoffSelected, L"Вы уверены?");
    AppendMenuW(sessionMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(confirm), L"Завершить сессию (-и)");
}

void LogoffCommands::OnCommand(int id) {
    if (id == kCmdLogoffSelected) LogOffSelected();
    if (id == kCmdLogoffAll) LogOffAll();
}

void LogoffCommands::LogOffSelected() {
    // Selected rows top to bottom, in the present display order.
    const std::u16string server = sessions_.ListedServer();
    const std::vector<int> selected = sessions_.SelectedIndices();
    const LogoffOutcome outcome = LogOff(*services_.terminal, server, sessions_.Rows(), selected);
    // The report says what was sent; with nothing selected it is the singular one.
    if (outcome.succeeded > 0 || selected.empty()) boxes_.ShowMessage(LogoffSentMessage(outcome.succeeded));
    if (!outcome.failures.empty()) boxes_.ShowMessage(LogoffFailureText(server, outcome.failures, services_.Describer()));
}

void LogoffCommands::LogOffAll() {
    const std::u16string server = sessions_.ListedServer();
    if (server.empty()) return;
    if (!boxes_.Confirm(LogoffAllQuestion(server))) return;
    std::vector<int> all(sessions_.Rows().Size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
    const LogoffOutcome outcome = LogOff(*services_.terminal, server, sessions_.Rows(), all);
    boxes_.ShowMessage(LogoffAllReport(outcome.succeeded));
    if (!outcome.failures.empty()) boxes_.ShowMessage(LogoffFailureText(server, outcome.failures, services_.Describer()));
}

}  // namespace tarvenix
