#include "actions/process_panel_win.h"

#include <algorithm>

#include "actions/bulk_run.h"
#include "actions/session_actions.h"
#include "base/dpi_win.h"
#include "base/platform_win.h"
#include "base/resource_ids.h"
#include "base/text.h"
#include "sessions/terminal_services.h"

namespace tarvenix {
namespace {

std::vector<ReportColumn> ProcessColumns() {
    return {
        {u"ID сессии", {65, 65, 0, false}},
        {u"Название процесса", {140, 140, 0, false}},
        {u"PID", {50, 0, 0, false}},
    };
}

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

ProcessPanel::ProcessPanel(const Services& services, TerminalServices& terminal, Activity& activity,
                           OrderingState& ordering, const SessionListView& sessions,
                           std::function<std::u16string()> serverText, std::function<void()> relayout,
                           int minOuterWidth)
    : services_(services),
      terminal_(terminal),
      activity_(activity),
      sessions_(sessions),
      serverText_(std::move(serverText)),
      relayout_(std::move(relayout)),
      minOuterWidth_(minOuterWidth),
      list_(ordering, ProcessColumns()) {
    list_.onContextMenu = [this](POINT at) {
        TrackPopupMenu(menu_.Get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, ToHwnd(boxes_.Owner()), nullptr);
    };
}

void ProcessPanel::CreateAllProcessesButton(HWND parent, const Fonts& fonts) {
    allProcessesButton_ = CreateButton(parent, kCmdAllProcesses, 5, 8, 137, 25, u"Список всех процессов", fonts.normal());
}

void ProcessPanel::CreatePanel(HWND window, const Fonts& fonts) {
    boxes_ = OwnedDialogs(services_.dialogs, ToRef(window));
    panel_ = tarvenix::CreatePanel(window, Bevel::None, L"Panel_Right");
    ShowWindow(panel_, SW_HIDE);
    list_.Create(panel_, kIdProcessList, fonts.normal());
    header_ = tarvenix::CreatePanel(panel_, Bevel::None, L"Panel10");
    userLabel_ = CreateLabel(header_, 13, 16, u"", fonts.bold());
    refreshButton_ = CreateImageButton(header_, kCmdRefreshProcesses, 160, 10, 23, 22, IDB_REFRESH, 15, 15, u"");
    closeButton_ = CreateButton(header_, kCmdCloseProcessPanel, 192, 8, 75, 25, u"Закрыть", fonts.normal());
    footer_ = tarvenix::CreatePanel(panel_, Bevel::None, L"Panel11");
    countLabel_ = CreateLabel(footer_, 8, 8, u"", fonts.normal());

    HMENU terminate = CreatePopupMenu();
    AppendMenuW(terminate, MF_STRING, kCmdTerminateProcess, L"Вы уверены?");
    menu_.Reset(CreatePopupMenu());
    AppendMenuW(menu_.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(terminate), L"Завершить процесс");
}

void ProcessPanel::AddMenuItems(HMENU sessionMenu) {
    AppendMenuW(sessionMenu, MF_STRING, kCmdSessionProcesses, L"Получить список процессов");
}

bool ProcessPanel::IsShown() const { return panel_ && (GetWindowLongW(panel_, GWL_STYLE) & WS_VISIBLE) != 0; }

void ProcessPanel::OnCommand(int id) {
    switch (id) {
        case kCmdAllProcesses: ListAllProcesses(); break;
        case kCmdRefreshProcesses: Refresh(); break;
        case kCmdCloseProcessPanel: ClosePanel(); break;
        case kCmdSessionProcesses: ListSessionProcesses(); break;
        case kCmdTerminateProcess: TerminateSelected(); break;
        default: break;
    }
}

void ProcessPanel::OpenPanel() {
    list_.Clear();
    list_.Rows().SetMode(SortType::None);
    ShowWindow(panel_, SW_SHOW);
    relayout_();
    HWND window = GetAncestor(panel_, GA_ROOT);
    SetOuterWidth(window, Scale(kProcessPanelOuterWidth, WindowDpi(window)));
}

void ProcessPanel::ListSessionProcesses() {
    // The processes of one session need a session: without a selected row
    // the command does nothing.
    const std::optional<Session> session = sessions_.FirstSelectedSession();
    if (!session) return;
    OpenPanel();
    processListMode_ = ProcessPanelMode::User;
    // The processes live on the server the row came from.
    ListProcesses(session->server, session);
}

void ProcessPanel::ListAllProcesses() {
    // An empty box names no server (it would address the local machine).
    const std::u16string server = serverText_();
    if (server.empty()) {
        boxes_.ShowMessage(u"Вы не указали сервер!");
        return;
    }
    OpenPanel();
    processListMode_ = ProcessPanelMode::Server;
    ListProcesses(server, std::nullopt);
}

void ProcessPanel::StartRun() {
    run_.Cancel();  // a listing still going never writes into the list
    run_ = CancelToken();
    if (!busy_) {
        busy_ = true;
        activity_.Begin();
    }
}

void ProcessPanel::EndRun() {
    if (!busy_) return;
    busy_ = false;
    activity_.End();
}

void ProcessPanel::EndTermination() {
    if (!terminating_) return;
    terminating_ = false;
    activity_.End();
}

void ProcessPanel::ListProcesses(const std::u16string& server, const std::optional<Session>& session) {
    processServer_ = server;  // termination addresses the server listed here
    listedSession_ = session;
    struct Listed {
        ItemResult checked = ItemResult::From(CallResult::Success());
        CallResult result;
        std::vector<ProcessRecord> records;
    };
    TerminalServices* terminal = &terminal_;
    StartRun();
    RunAsync<Listed>(
        *services_.executor, *services_.dispatcher, run_, services_.serverTimeout,
        [terminal, server, session] {
            Listed listed;
            const std::unique_ptr<TerminalServer> open = terminal->Open(server);
            // One session's processes only while the session is the one listed.
            if (session) {
                listed.checked = CheckAndCall(*open, *session, [](TerminalServer&, std::uint32_t) { return CallResult::Success(); });
                if (!listed.checked.ok) return listed;
            }
            listed.result = open->EnumerateProcesses(listed.records);
            return listed;
        },
        [this, server, session](Listed listed) {
            EndRun();
            if (!listed.checked.ok) {
                boxes_.ShowMessage(
                    SessionCheckFailureText(*session, listed.checked, services_.serverTimeout, services_.Describer()));
                return;
            }
            if (!listed.result.ok) {
                const std::u16string report =
                    SystemErrorReport(ProcessListFailureHeading(server), listed.result.error, services_.Describer());
                if (!reportFailure) {
                    boxes_.ShowMessage(report);
                } else if (reportFailure(report, server, listed.result.error)) {
                    ListProcesses(server, session);
                }
                return;
            }
            // The rows carry their processes: a termination takes the PID
            // from the process, not back from the row's text.
            processes_ = SessionProcesses(std::move(listed.records),
                                          session ? std::optional<std::uint32_t>(session->id) : std::nullopt);
            std::vector<ReportRows::Row> listRows;
            for (std::size_t i = 0; i < processes_.size(); ++i) listRows.emplace_back(ProcessRow(processes_[i]), i);
            const std::size_t count = listRows.size();
            list_.AppendAll(std::move(listRows));
            if (session) SetLabelText(userLabel_, session->user);
            SetLabelText(countLabel_, ProcessCountText(count));
        },
        [this, server] {
            EndRun();
            boxes_.ShowMessage(ProcessListFailureHeading(server) + u"\r\n" + ServerTimeoutText(server, static_cast<std::uint32_t>(services_.serverTimeout.count())));
        });
}

void ProcessPanel::Refresh() {
    if (processListMode_ == ProcessPanelMode::User) ListSessionProcesses();
}

void ProcessPanel::ClosePanel() {
    ShowWindow(panel_, SW_HIDE);
    HWND window = GetAncestor(panel_, GA_ROOT);
    const int dpi = WindowDpi(window);
    SetOuterWidth(window, std::max(OuterWidth(window) - Scale(kProcessPanelNarrowing, dpi), Scale(minOuterWidth_, dpi)));
    SetLabelText(userLabel_, u"");
    relayout_();
}

void ProcessPanel::TerminateSelected() {
    // While the list is being made its rows are not there yet; one
    // termination at a time.
    if (busy_ || terminating_) return;
    const int row = list_.FirstSelected();
    if (row < 0) return;
    const std::size_t item = list_.Rows().At(static_cast<std::size_t>(row)).item;
    if (item >= processes_.size()) return;
    const std::uint32_t pid = processes_[item].processId;
    const std::u16string server = processServer_;
    TerminalServices* terminal = &terminal_;
    termination_ = CancelToken();
    terminating_ = true;
    activity_.Begin();
    RunAsync<CallResult>(
        *services_.executor, *services_.dispatcher, termination_, services_.serverTimeout,
        [terminal, server, pid] { return terminal->Open(server)->TerminateProcess(pid); },
        [this, server, pid](CallResult result) {
            EndTermination();
            if (!result.ok)
                boxes_.ShowMessage(
                    SystemErrorReport(TerminateFailureHeading(server, pid), result.error, services_.Describer()));
            Relist();
        },
        [this, server, pid] {
            EndTermination();
            boxes_.ShowMessage(TerminateFailureHeading(server, pid) + u"\r\n" + ServerTimeoutText(server, static_cast<std::uint32_t>(services_.serverTimeout.count())));
            Relist();
        });
}

void ProcessPanel::Relist() {
    // The list never keeps showing a terminated process (its PID may be
    // reused): the selected session's processes when a session row is
    // selected, else again what the panel showed.
    if (sessions_.FirstSelectedSession()) {
        ListSessionProcesses();
        return;
    }
    const std::optional<Session> session = listedSession_;
    list_.Clear();
    list_.Rows().SetMode(SortType::None);
    ListProcesses(processServer_, session);
}

}  // namespace tarvenix
