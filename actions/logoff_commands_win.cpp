#include "actions/logoff_commands_win.h"

#include "actions/bulk_run.h"
#include "actions/session_actions.h"
#include "base/platform_win.h"
#include "base/text.h"
#include "sessions/terminal_services.h"

namespace tarvenix {
LogoffCommands::LogoffCommands(const Services& services, TerminalServices& terminal, Activity& activity,
                               const SessionListView& sessions)
    : services_(services), terminal_(terminal), activity_(activity), sessions_(sessions) {}

void LogoffCommands::CreateLogoffAllButton(HWND parent, const Fonts& fonts) {
    boxes_ = OwnedDialogs(services_.dialogs, ToRef(GetAncestor(parent, GA_ROOT)));
    logoffAllButton_ = CreateButton(parent, kCmdLogoffAll, 149, 8, 137, 25, u"Завершить все сессии", fonts.normal());
}

void LogoffCommands::AddMenuItems(HMENU sessionMenu) {
    HMENU confirm = CreatePopupMenu();
    AppendMenuW(confirm, MF_STRING, kCmdLogoffSelected, L"Вы уверены?");
    AppendMenuW(sessionMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(confirm), L"Завершить сессию (-и)");
}

void LogoffCommands::AddDisconnectMenuItems(HMENU sessionMenu) {
    HMENU confirm = CreatePopupMenu();
    AppendMenuW(confirm, MF_STRING, kCmdDisconnectSelected, L"Вы уверены?");
    AppendMenuW(sessionMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(confirm), L"Отключить сессию (-и)");
}

void LogoffCommands::OnCommand(int id) {
    if (id == kCmdLogoffSelected) LogOffSelected();
    if (id == kCmdLogoffAll) LogOffAll();
    if (id == kCmdDisconnectSelected) DisconnectSelected();
}

void LogoffCommands::LogOffSelected() {
    // Selected rows top to bottom, in the present display order.
    std::vector<Session> selected = sessions_.SelectedSessions();
    // The report says what was sent; with nothing selected it is the singular one.
    if (selected.empty()) {
        boxes_.ShowMessage(LogoffSentMessage(0));
        return;
    }
    Run(Kind::LogoffSelected, std::move(selected));
}

void LogoffCommands::DisconnectSelected() {
    std::vector<Session> selected = sessions_.SelectedSessions();
    if (selected.empty()) {
        boxes_.ShowMessage(DisconnectSentMessage(0));
        return;
    }
    Run(Kind::Disconnect, std::move(selected));
}

void LogoffCommands::LogOffAll() {
    // The targets are the rows shown when the question is asked: whatever a
    // refresh does while the box is open changes nothing the command acts on.
    std::vector<Session> all = sessions_.ShownSessions();
    if (sessions_.FarmView() || sessions_.Filtered()) {
        // The rows shown, of one server or many: one question naming both numbers.
        if (all.empty()) return;
        const std::size_t servers = GroupByServer(all).size();
        if (!boxes_.Confirm(LogoffListedQuestion(servers, all.size()))) return;
    } else {
        const std::u16string server = sessions_.ListedServer();
        if (server.empty()) return;
        if (!boxes_.Confirm(LogoffAllQuestion(server))) return;
    }
    Run(Kind::LogoffAll, std::move(all));
}

void LogoffCommands::Run(Kind kind, std::vector<Session> targets) {
    if (targets.empty()) {  // "log off all" of an empty list: nothing to call
        boxes_.ShowMessage(LogoffAllReport(0));
        return;
    }
    BulkOptions options;
    options.parallel = services_.parallelCalls;
    options.timeout = services_.serverTimeout;
    activity_.Begin();
    StartSessionCommand(
        terminal_, *services_.executor, *services_.dispatcher, std::move(targets), options, runs_,
        [kind](TerminalServer& s, std::uint32_t id) { return kind == Kind::Disconnect ? s.Disconnect(id) : s.Logoff(id); },
        [this, kind](std::vector<ServerResults> servers) {
            activity_.End();
            const DescribeError describe = services_.Describer();
            const CommandSummary summary = SummariseCommand(
                servers, [kind, &describe](const std::u16string& server, const std::vector<SessionFailure>& failures) {
                    return kind == Kind::Disconnect ? DisconnectFailureText(server, failures, describe)
                                                    : LogoffFailureText(server, failures, describe);
                });
            if (kind == Kind::LogoffAll) {
                boxes_.ShowMessage(PerServerReport(LogoffAllReport(summary.done), summary.counts));
            } else if (summary.done > 0) {
                boxes_.ShowMessage(PerServerReport(kind == Kind::Disconnect ? DisconnectSentMessage(summary.done)
                                                                            : LogoffSentMessage(summary.done),
                                                   summary.counts));
            }
            if (summary.problems.empty()) return;
            // The sessions the first server that refused the account left
            // alone: after another account, the command goes to them again
            // (each checked again before acting).
            std::u16string refusedServer;
            std::uint32_t refusedError = 0;
            std::vector<Session> refused;
            for (const ServerResults& server : servers)
                for (std::size_t i = 0; i < server.results.size() && i < server.sessions.size(); ++i) {
                    const ItemResult& r = server.results[i];
                    if (r.ok || r.state != ItemState::Answered || !IsAccountError(r.error)) continue;
                    if (!refusedServer.empty() && refusedServer != server.server) continue;
                    refusedServer = server.server;
                    refusedError = r.error;
                    refused.push_back(server.sessions[i]);
                }
            if (!reportFailure || refused.empty()) {
                boxes_.ShowMessage(summary.problems);
            } else if (reportFailure(summary.problems, refusedServer, refusedError)) {
                Run(kind, std::move(refused));
            }
        });
}

}  // namespace tarvenix
