// The process panel at the right of the main window: the processes of the
// selected session or of the whole server, refresh, close and terminate. It
// owns the "Список всех процессов" button, the session menu's
// "Получить список процессов" item and the process list's own menu.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/controls_win.h"
#include "base/engine.h"
#include "base/handles_win.h"
#include "base/report_list_win.h"
#include "base/services.h"
#include "base/window_win.h"
#include "actions/process_figures.h"
#include "sessions/session_list.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

// The window's outer width with the panel opened, and what closing it takes
// off, at 96 DPI.
inline constexpr int kProcessPanelOuterWidth = 900;
inline constexpr int kProcessPanelNarrowing = 300;

enum ProcessPanelId : int {
    kCmdAllProcesses = command_ranges::kProcessPanel.first,
    kIdProcessList,
    kCmdRefreshProcesses,
    kCmdCloseProcessPanel,
    kCmdSessionProcesses,
    kCmdTerminateProcess,
    kCmdRefreshProcessList,  // "Обновить" in the process list's menu, F5 in the list
    kCmdTerminateAsk,        // Delete in the list: terminate the selected processes after a question
};
static_assert(FitsIn(command_ranges::kProcessPanel, kCmdTerminateAsk));

// What the process panel lists (ProcessListMode).
enum class ProcessPanelMode {
    None,    // nothing listed yet
    User,    // the processes of one session; the header names its user
    Server,  // every process of the server
};

class ProcessPanel final : public CommandTarget {
public:
    // serverText: the server box's text; relayout: the window lays out again
    // after the panel was shown or hidden; minOuterWidth: the narrowest the
    // window may become when the panel closes.
    ProcessPanel(const Services& services, TerminalServices& terminal, Activity& activity, OrderingState& ordering,
                 const SessionListView& sessions, std::function<std::u16string()> serverText,
                 std::function<void()> relayout, int minOuterWidth);
    ~ProcessPanel() override { CancelWork(); }

    void CreateAllProcessesButton(HWND parent, const Fonts& fonts);
    // The panel (hidden) with its header, list and footer, as a child of window.
    void CreatePanel(HWND window, const Fonts& fonts);
    void AddMenuItems(HMENU sessionMenu);

    HWND AllProcessesButton() const { return allProcessesButton_; }
    HWND Panel() const { return panel_; }
    HWND Header() const { return header_; }
    HWND Footer() const { return footer_; }
    HWND UserLabel() const { return userLabel_; }
    HWND RefreshButton() const { return refreshButton_; }
    HWND CloseButton() const { return closeButton_; }
    HWND CountLabel() const { return countLabel_; }
    HMENU Menu() const { return menu_.Get(); }
    ReportList& List() { return list_; }
    bool IsShown() const;
    // A listing or a termination is going.
    bool Busy() const { return busy_ || terminating_; }

    void ListSessionProcesses();
    void ListAllProcesses();
    // Shows the report of a listing that failed (report, server, error);
    // true when the listing should go again (another account was given).
    // Without it the report is a plain box.
    std::function<bool(const std::u16string&, const std::u16string&, std::uint32_t)> reportFailure;
    void Refresh();
    void ClosePanel();
    // The selected processes (the sub-item "Вы уверены?" is the question for
    // one; several, or asked from the keyboard, get one question), each
    // checked against a fresh listing before it is terminated; one report.
    void TerminateSelected(bool ask = false);
    // The processes the rows show, with their figures.
    const std::vector<ProcessView>& Processes() const { return processes_; }
    // The account names looked up so far (once per SID per server).
    const AccountNames& Accounts() const { return *accounts_; }

    ProcessPanelMode ProcessListMode() const { return processListMode_; }
    // The server whose processes the list shows (termination addresses it).
    const std::u16string& ListedProcessServer() const { return processServer_; }

    CommandRange Commands() const override { return command_ranges::kProcessPanel; }
    // The panel can be closed while the session list lists its rows.
    bool AvailableWhileListing(int id) const override { return id == kCmdCloseProcessPanel; }
    void OnCommand(int id) override;
    // F5 and Delete in the process list.
    KeyAnswer TranslateKey(const MSG& msg) override;
    // The window goes: neither a listing nor a termination reports any more.
    void CancelWork() override {
        run_.Cancel();
        termination_.Cancel();
    }

private:
    void OpenPanel();
    // Lists the processes of the server (of one session when one is given,
    // after the server confirms the session is still the one listed) into
    // the list, on the engine.
    void ListProcesses(const std::u16string& server, const std::optional<Session>& session);
    void StartRun();
    void EndRun();
    void EndTermination();
    // After a termination: the selected session's processes, else again what
    // the panel showed.
    void Relist();

    Services services_;
    TerminalServices& terminal_;
    Activity& activity_;
    CancelToken run_;  // the listing; a new listing cancels the one going
    bool busy_ = false;
    // The termination going: its own token, so that a listing started
    // meanwhile (a refresh) never swallows its report.
    CancelToken termination_;
    bool terminating_ = false;
    OwnedDialogs boxes_;
    const SessionListView& sessions_;
    std::function<std::u16string()> serverText_;
    std::function<void()> relayout_;
    int minOuterWidth_;
    ReportList list_;
    MenuHandle menu_;
    HWND allProcessesButton_ = nullptr;
    HWND panel_ = nullptr, header_ = nullptr, footer_ = nullptr;
    HWND userLabel_ = nullptr, refreshButton_ = nullptr, closeButton_ = nullptr, countLabel_ = nullptr;
    ProcessPanelMode processListMode_ = ProcessPanelMode::None;
    std::u16string processServer_;
    // The session the list shows in the User mode.
    std::optional<Session> listedSession_;
    // The processes the rows show (each row's item is its place here).
    std::vector<ProcessView> processes_;
    // The last listing of each server (by its name in any case), for the CPU load.
    std::map<std::u16string, ProcessSample> samples_;
    std::shared_ptr<AccountNames> accounts_ = std::make_shared<AccountNames>();
};

}  // namespace tarvenix
