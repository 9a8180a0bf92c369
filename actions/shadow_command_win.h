// Shadowing a session through the remote-desktop client.
#pragma once

#include <windows.h>

#include "base/engine.h"
#include "base/services.h"
#include "base/window_win.h"
#include "sessions/session_list.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

enum ShadowCommandId : int {
    kCmdShadow = command_ranges::kShadow.first,
};

class ShadowCommand final : public CommandTarget {
public:
    ShadowCommand(const Services& services, TerminalServices& terminal, const SessionListView& sessions);
    ~ShadowCommand() override { runs_.Cancel(); }
    // The item "Подключиться к сессии"; owner: the window whose boxes report failures.
    void AddMenuItems(HMENU sessionMenu, HWND owner);

    // Starts the client for the first selected row's session, on its server,
    // once the server confirms the session is still the one listed. N4Click.
    void Shadow();

    CommandRange Commands() const override { return command_ranges::kShadow; }
    void OnCommand(int id) override;
    void CancelWork() override { runs_.Cancel(); }

private:
    Services services_;
    TerminalServices& terminal_;
    CancelToken runs_;  // cancelled when the window goes
    OwnedDialogs boxes_;
    const SessionListView& sessions_;
};

}  // namespace tarvenix
