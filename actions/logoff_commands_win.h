// Logging off listed sessions: the selected ones (session menu, "Вы уверены?")
// and every listed one (the "Завершить все сессии" button); and disconnecting
// the selected ones (the session keeps running, the user's work is kept). All
// act on the rows of the session list, each on the server it came from.
#pragma once

#include <windows.h>

#include <functional>

#include "base/controls_win.h"
#include "base/engine.h"
#include "base/services.h"
#include "base/window_win.h"
#include "sessions/session_list.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

enum LogoffCommandId : int {
    kCmdLogoffSelected = command_ranges::kLogoff.first,
    kCmdLogoffAll,
    kCmdDisconnectSelected,    // "Отключить сессию (-и)" / "Вы уверены?"
};
static_assert(FitsIn(command_ranges::kLogoff, kCmdDisconnectSelected));

class LogoffCommands final : public CommandTarget {
public:
    LogoffCommands(const Services& services, TerminalServices& terminal, Activity& activity,
                   const SessionListView& sessions);
    ~LogoffCommands() override { runs_.Cancel(); }

    void CreateLogoffAllButton(HWND parent, const Fonts& fonts);
    // "Завершить сессию (-и)" with its confirming sub-item.
    void AddMenuItems(HMENU sessionMenu);
    // "Отключить сессию (-и)" with its confirming sub-item (after the
    // specified items).
    void AddDisconnectMenuItems(HMENU sessionMenu);
    HWND LogoffAllButton() const { return logoffAllButton_; }

    void LogOffSelected();  // N3Click
    void LogOffAll();       // BtnCloseAllClick
    // Shows the failures of a command (report, the first server that
    // refused the account, its error); true when the command should go
    // again to that server's refused sessions (another account was given).
    // Without it the failures are a plain box.
    std::function<bool(const std::u16string&, const std::u16string&, std::uint32_t)> reportFailure;
    void DisconnectSelected();

    CommandRange Commands() const override { return command_ranges::kLogoff; }
    void OnCommand(int id) override;
    void CancelWork() override { runs_.Cancel(); }

private:
    enum class Kind { LogoffSelected, LogoffAll, Disconnect };
    // Logs off or disconnects the given sessions on the engine (each checked
    // first), then reports.
    void Run(Kind kind, std::vector<Session> targets);

    Services services_;
    TerminalServices& terminal_;
    Activity& activity_;
    CancelToken runs_;  // cancelled when the window goes
    OwnedDialogs boxes_;
    const SessionListView& sessions_;
    HWND logoffAllButton_ = nullptr;
};

}  // namespace tarvenix
