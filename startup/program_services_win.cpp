#include "startup/program_services_win.h"

#include <commctrl.h>

#include <chrono>
#include <cstddef>

namespace tarvenix {

namespace {

constexpr char16_t kSettingsFile[] = u"settings.ini";

}  // namespace

void ApplySettings(const EngineSettings& settings, Services& services) {
    services.parallelSessions = static_cast<std::size_t>(settings.parallelSessions);
    services.parallelCalls = static_cast<std::size_t>(settings.parallelCalls);
    services.serverTimeout = std::chrono::seconds(settings.timeoutSeconds);
    services.parallelServers = static_cast<std::size_t>(settings.parallelServers);
    services.farmParallelSessions = static_cast<std::size_t>(settings.farmParallelSessions);
    services.refreshSeconds = settings.refreshSeconds;
    services.allServers = settings.allServers;
    services.live = settings.live;
    services.idleSeconds = settings.idleSeconds;
    services.clientColumns = settings.clientColumns;
}

ProgramServices::ProgramServices(std::u16string appDirectory, int workers, std::unique_ptr<Dispatcher> dispatcher)
    : executor_(workers), dispatcher_(std::move(dispatcher)) {
    services_.dialogs = &dialogs_;
    services_.shell = &shell_;
    services_.errors = &errors_;
    services_.ansi = &ansi_;
    services_.executor = &executor_;
    services_.dispatcher = dispatcher_.get();
    services_.appDirectory = std::move(appDirectory);
}

ProgramServices& ProgramServices::StartWindow() {
    std::u16string appDirectory = ApplicationDirectory();
    const EngineSettings settings = ReadEngineSettings(appDirectory + kSettingsFile);
    // The farm view's session queries (capped over the whole farm) and its
    // servers being opened, plus room for a command and a directory search.
    const int workers = settings.farmParallelSessions + settings.parallelServers + settings.parallelCalls + 2;
    // Never deleted: see the header.
    auto* program = new ProgramServices(std::move(appDirectory), workers, std::make_unique<WindowDispatcher>());
    ApplySettings(settings, program->services_);
    return *program;
}

ProgramServices& ProgramServices::StartCommandLine(int workers) {
    auto queue = std::make_unique<QueueDispatcher>();
    QueueDispatcher* dispatcher = queue.get();
    // Never deleted: see the header.
    auto* program = new ProgramServices(ApplicationDirectory(), workers, std::move(queue));
    program->queue_ = dispatcher;
    return *program;
}

WindowThread::WindowThread() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
}

}  // namespace tarvenix
