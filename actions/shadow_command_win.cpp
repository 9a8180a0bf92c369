#include "actions/shadow_command_win.h"

#include "actions/session_actions.h"
#include "base/controls_win.h"
#include "base/platform_win.h"

namespace tarvenix {

ShadowCommand::ShadowCommand(const Services& services, const SessionListView& sessions)
    : services_(services), sessions_(sessions) {}

void ShadowCommand::AddMenuItems(HMENU sessionMenu, HWND owner) {
    boxes_ = Boxes(services_.dialogs, ToRef(owner));
    AppendMenuW(sessionMenu, MF_STRING, kCmdShadow, L"Подключиться к сессии (только Win 2012, 8, 10)");
}

void ShadowCommand::OnCommand(int id) {
    if (id == kCmdShadow) Shadow();
}

void ShadowCommand::Shadow() {
    const int row = sessions_.FirstSelected();
    if (row < 0) return;
    // Aim at the server the row came from, whatever the box holds now.
    const std::u16string id = sessions_.Rows().Text(static_cast<std::size_t>(row), 0);
    const std::u16string server = sessions_.RowServer(row);
    std::uint32_t error = 0;
    {
        WaitCursor wait;
        error = services_.shell->Execute(boxes_.Owner(), kShadowClient, ShadowParameters(id, server), kShadowShowCommand);
    }
    if (error != 0) boxes_.ShowMessage(SystemErrorReport(ShadowFailureHeading(id, server), error, services_.Describer()));
}

}  // namespace tarvenix
