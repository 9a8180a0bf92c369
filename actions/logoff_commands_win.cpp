#include "actions/logoff_commands_win.h"

#include "actions/bulk_run.h"
#include "actions/session_actions.h"
#include "base/platform_win.h"
#include "base/text.h"
#include "sessions/terminal_services.h"

namespace tarvenix {
LogoffCommands::LogoffCommands(const Services& services, Activity& activity, const SessionListView& sessions)
    : services_(services), activity_(activity), sessions_(sessions) {}

void LogoffCommands::CreateLogoffAllButton(HWND parent, const Fonts& fonts) {
    boxes_ = Boxes(services_.dialogs, ToRef(GetAncestor(parent, GA_ROOT)));
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
    const std::vector<int> selected = sessions_.SelectedIndices();
    // The report says what was sent; with nothing selected it is the singular one.
    if (selected.empty()) {
        boxes_.ShowMessage(LogoffSentMessage(0));
        return;
    }
    Run(Kind::LogoffSelected, selected);
}

void LogoffCommands::DisconnectSelected() {
    const std::vector<int> selected = sessions_.SelectedIndices();
    if (selected.empty()) {
        boxes_.ShowMessage(DisconnectSentMessage(0));
        return;
    }
    Run(Kind::Disconnect, selected);
}

void LogoffCommands::LogOffAll() {
    std::vector<int> all(sessions_.Rows().Size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
    if (sessions_.FarmView() || sessions_.Filtered()) {
        // The rows shown, of one server or many: one question naming both numbers.
        if (all.empty()) return;
        if (!boxes_.Confirm(LogoffListedQuestion(SessionTargets(sessions_, all).size(), all.size()))) return;
    } else {
        const std::u16string server = sessions_.ListedServer();
        if (server.empty()) return;
        if (!boxes_.Confirm(LogoffAllQuestion(server))) return;
    }
    Run(Kind::LogoffAll, all);
}

void LogoffCommands::Run(Kind kind, const std::vector<int>& rows) {
    std::vector<ServerItems> targets = SessionTargets(sessions_, rows);
    if (targets.empty()) {  // "log off all" of an empty list: nothing to call
        boxes_.ShowMessage(LogoffAllReport(0));
        return;
    }
    BulkOptions options;
    options.parallel = services_.parallelCalls;
    options.timeout = services_.serverTimeout;
    activity_.Begin();
    StartBulkByServer(
        *services_.terminal, *services_.executor, *services_.dispatcher, std::move(targets), options, runs_,
        [kind](TerminalServer& s, std::uint32_t id) { return kind == Kind::Disconnect ? s.Disconnect(id) : s.Logoff(id); },
        [this, kind](std::vector<ServerResults> servers) {
            activity_.End();
            std::int32_t succeeded = 0;
            std::vector<std::pair<std::u16string, std::int32_t>> counts;
            std::u16string failureText;
            for (const ServerResults& server : servers) {
                std::int32_t here = 0;
                std::vector<SessionFailure> failures;
                for (std::size_t i = 0; i < server.results.size(); ++i) {
                    if (server.results[i].ok) {
                        ++here;
                    } else {
                        failures.push_back({server.ids[i], server.results[i].error});
                    }
                }
                succeeded += here;
                counts.push_back({server.server, here});
                if (failures.empty()) continue;
                if (!failureText.empty()) failureText += u"\r\n\r\n";
                failureText += kind == Kind::Disconnect
                                   ? DisconnectFailureText(server.server, failures, services_.Describer())
                                   : LogoffFailureText(server.server, failures, services_.Describer());
            }
            if (kind == Kind::LogoffAll) {
                boxes_.ShowMessage(PerServerReport(LogoffAllReport(succeeded), counts));
            } else if (succeeded > 0) {
                boxes_.ShowMessage(PerServerReport(
                    kind == Kind::Disconnect ? DisconnectSentMessage(succeeded) : LogoffSentMessage(succeeded), counts));
            }
            if (!failureText.empty()) boxes_.ShowMessage(failureText);
        });
}

}  // namespace tarvenix
