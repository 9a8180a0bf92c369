#include "actions/process_panel_win.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "actions/bulk_run.h"
#include "actions/session_actions.h"
#include "base/dpi_win.h"
#include "base/platform_win.h"
#include "base/resource_ids.h"
#include "base/text.h"
#include "base/text_fold.h"
#include "sessions/terminal_services.h"

namespace tarvenix {
namespace {

std::vector<ReportColumn> ProcessColumns(const std::vector<ProcessView>& views) {
    std::vector<ReportColumn> columns = {
        {u"ID сессии", {65, 65, 0, false}},
        {u"Название процесса", {140, 140, 0, false}},
        {u"PID", {50, 0, 0, false}},
    };
    // Added after the list's own three; they order by their numbers.
    const std::pair<const char16_t*, int> added[] = {
        {kMemoryCaption, 80}, {kCpuCaption, 50}, {kThreadsCaption, 55}, {kAccountCaption, 130}};
    int column = static_cast<int>(ProcessColumn::Memory);
    for (const auto& [caption, width] : added) {
        ReportColumn c{caption, {width, 0, 0, false}, true};
        const auto which = static_cast<ProcessColumn>(column++);
        c.compare = [&views, which](const ReportRows::Row& a, const ReportRows::Row& b, bool descending) {
            return CompareProcesses(which, views[a.item], views[b.item], descending);
        };
        columns.push_back(std::move(c));
    }
    return columns;
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
      list_(ordering, ProcessColumns(processes_)) {
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
    // Added after the specified item.
    AppendMenuW(menu_.Get(), MF_STRING, kCmdRefreshProcessList, L"Обновить\tF5");
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
        case kCmdTerminateAsk: TerminateSelected(true); break;
        case kCmdRefreshProcessList: Refresh(); break;
        default: break;
    }
}

KeyAnswer ProcessPanel::TranslateKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.hwnd != list_.Handle()) return {};
    if (msg.wParam == VK_F5) return {KeyAnswer::Used, kCmdRefreshProcessList};
    if (msg.wParam == VK_DELETE) return {KeyAnswer::Used, kCmdTerminateAsk};
    return {};
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
    struct Listed : ListedProcesses {
        ItemResult checked = ItemResult::From(CallResult::Success());
    };
    TerminalServices* terminal = &terminal_;
    std::shared_ptr<AccountNames> accounts = accounts_;
    StartRun();
    RunAsync<Listed>(
        *services_.executor, *services_.dispatcher, run_, services_.serverTimeout,
        [terminal, server, session, accounts] {
            Listed listed;
            const std::unique_ptr<TerminalServer> open = terminal->Open(server);
            // One session's processes only while the session is the one listed.
            if (session) {
                listed.checked = CheckAndCall(*open, *session, [](TerminalServer&, std::uint32_t) { return CallResult::Success(); });
                if (!listed.checked.ok) return listed;
            }
            static_cast<ListedProcesses&>(listed) = ListProcessesWithAccounts(
                *open, server, *accounts, session ? std::optional<std::uint32_t>(session->id) : std::nullopt);
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
            // The CPU load against the server's last listing; this one is
            // kept for the next.
            const std::u16string key = FoldCase(server);
            const auto earlier = samples_.find(key);
            ProcessSample sample{server, listed.takenTicks, listed.records};
            std::vector<ProcessRecord> shown = SessionProcesses(
                std::move(listed.records), session ? std::optional<std::uint32_t>(session->id) : std::nullopt);
            const auto& names = listed.accounts;
            // The rows carry their processes: a termination takes the PID
            // from the process, not back from the row's text.
            std::vector<ProcessView> views = ViewProcesses(
                std::move(shown), earlier == samples_.end() ? nullptr : &earlier->second, sample.takenTicks,
                [&names](const std::vector<std::uint8_t>& sid) {
                    const auto it = names.find(sid);
                    return it == names.end() ? SidText(sid) : it->second;
                });
            samples_[key] = std::move(sample);
            list_.Clear();
            processes_ = std::move(views);
            std::vector<ReportRows::Row> listRows;
            for (std::size_t i = 0; i < processes_.size(); ++i) listRows.emplace_back(ProcessViewRow(processes_[i]), i);
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
    // The session's processes as the specified refresh does; all processes
    // again for the server they came from.
    if (processListMode_ == ProcessPanelMode::User) ListSessionProcesses();
    // The rows keep the order the user picked.
    if (processListMode_ == ProcessPanelMode::Server && !processServer_.empty() && IsShown())
        ListProcesses(processServer_, std::nullopt);
}

void ProcessPanel::ClosePanel() {
    ShowWindow(panel_, SW_HIDE);
    HWND window = GetAncestor(panel_, GA_ROOT);
    const int dpi = WindowDpi(window);
    SetOuterWidth(window, std::max(OuterWidth(window) - Scale(kProcessPanelNarrowing, dpi), Scale(minOuterWidth_, dpi)));
    SetLabelText(userLabel_, u"");
    relayout_();
}

void ProcessPanel::TerminateSelected(bool ask) {
    // While the list is being made its rows are not there yet; one
    // termination at a time.
    if (busy_ || terminating_) return;
    std::vector<ProcessRecord> targets;
    for (int row : list_.SelectedIndices()) {
        const std::size_t item = list_.Rows().At(static_cast<std::size_t>(row)).item;
        if (item < processes_.size()) targets.push_back(processes_[item].record);
    }
    if (targets.empty()) return;
    const std::u16string server = processServer_;
    if ((ask || targets.size() > 1) && !boxes_.Confirm(TerminateQuestion(targets.size(), server))) return;
    struct Terminated {
        CallResult listing;  // the fresh listing the processes are checked against
        std::vector<ProcessCheck> checks;
        std::vector<CallResult> results;  // one per process checked the same
    };
    TerminalServices* terminal = &terminal_;
    termination_ = CancelToken();
    terminating_ = true;
    activity_.Begin();
    const CancelToken token = termination_;
    // Set when the time-out's report went out: no termination starts after it.
    auto late = std::make_shared<std::atomic<bool>>(false);
    RunAsync<Terminated>(
        *services_.executor, *services_.dispatcher, termination_, services_.serverTimeout,
        [terminal, server, targets, token, late] {
            Terminated t;
            const std::unique_ptr<TerminalServer> open = terminal->Open(server);
            std::vector<ProcessRecord> now;
            t.listing = open->EnumerateProcesses(now);
            if (!t.listing.ok) return t;
            for (const ProcessRecord& target : targets) {
                // Past the deadline, or with the window gone, no call starts.
                if (token.Cancelled() || late->load()) break;
                const ProcessCheck check = CheckProcess(target, now);
                t.checks.push_back(check);
                t.results.push_back(check == ProcessCheck::Same ? open->TerminateProcess(target.processId)
                                                                : CallResult::Success());
            }
            return t;
        },
        [this, server, targets](Terminated t) {
            EndTermination();
            if (!t.listing.ok) {
                boxes_.ShowMessage(SystemErrorReport(TerminateFailureHeading(server, targets.front().processId),
                                                     t.listing.error, services_.Describer()));
                Relist();
                return;
            }
            std::size_t done = 0;
            std::u16string problems;
            for (std::size_t i = 0; i < targets.size() && i < t.checks.size(); ++i) {
                const std::u16string line =
                    t.checks[i] != ProcessCheck::Same
                        ? ProcessNotActedLine(targets[i], t.checks[i])
                        : (t.results[i].ok ? std::u16string()
                                           : SystemErrorReport(TerminateFailureHeading(server, targets[i].processId),
                                                               t.results[i].error, services_.Describer()));
                if (line.empty()) ++done;
                else problems += (problems.empty() ? u"" : u"\r\n") + line;
            }
            // One process: a word only when it was not terminated, as before;
            // several: one report with what did not go.
            if (targets.size() > 1) {
                boxes_.ShowMessage(TerminatedReport(done, targets.size()) + (problems.empty() ? u"" : u"\r\n" + problems));
            } else if (!problems.empty()) {
                boxes_.ShowMessage(problems);
            }
            Relist();
        },
        [this, server, targets, late] {
            late->store(true);
            EndTermination();
            boxes_.ShowMessage(TerminateFailureHeading(server, targets.front().processId) + u"\r\n" +
                               ServerTimeoutText(server, static_cast<std::uint32_t>(services_.serverTimeout.count())));
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
