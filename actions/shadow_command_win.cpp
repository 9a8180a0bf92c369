#include "actions/shadow_command_win.h"

#include "actions/bulk_run.h"
#include "actions/session_actions.h"
#include "base/controls_win.h"
#include "base/platform_win.h"

namespace tarvenix {

ShadowCommand::ShadowCommand(const Services& services, TerminalServices& terminal, const SessionListView& sessions)
    : services_(services), terminal_(terminal), sessions_(sessions) {}

void ShadowCommand::AddMenuItems(HMENU sessionMenu, HWND owner) {
    boxes_ = OwnedDialogs(services_.dialogs, ToRef(owner));
    AppendMenuW(sessionMenu, MF_STRING, kCmdShadow, L"Подключиться к сессии (только Win 2012, 8, 10)");
}

void ShadowCommand::OnCommand(int id) {
    if (id == kCmdShadow) Shadow();
}

void ShadowCommand::Shadow() {
    const std::optional<Session> session = sessions_.FirstSelectedSession();
    if (!session) return;
    // Aim at the server the row came from, whatever the box holds now, and
    // only at the session the row showed.
    StartSessionCheck(
        terminal_, *services_.executor, *services_.dispatcher, *session, services_.serverTimeout, runs_,
        [this, seen = *session](ItemResult checked) {
            if (!checked.ok) {
                boxes_.ShowMessage(SessionCheckFailureText(seen, checked, services_.serverTimeout, services_.Describer()));
                return;
            }
            std::uint32_t error = 0;
            {
                WaitCursor wait;
                error = services_.shell->Execute(boxes_.Owner(), kShadowClient, ShadowParameters(seen.id, seen.server),
                                                 kShadowShowCommand);
            }
            if (error != 0)
                boxes_.ShowMessage(
                    SystemErrorReport(ShadowFailureHeading(seen.id, seen.server), error, services_.Describer()));
        });
}

}  // namespace tarvenix
