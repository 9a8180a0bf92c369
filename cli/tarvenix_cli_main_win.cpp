// tarvenix-cli: the command-line companion of the console. The same engine
// and the same server sources as the window; the output for eyes (an aligned
// table) or for scripts (CSV, JSON). Exit code 0 when everything succeeded,
// 1 when some server, session or process failed (the rest is still printed),
// 2 for a wrong command line or unusable input, before anything is done.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "actions/bulk_run.h"
#include "base/credentials.h"
#include "actions/cleanup_rule.h"
#include "actions/process_figures.h"
#include "actions/session_actions.h"
#include "base/engine.h"
#include "base/error_text.h"
#include "base/files_win.h"
#include "base/platform_win.h"
#include "base/settings_options.h"
#include "base/text.h"
#include "base/win_text.h"
#include "cli/cli_output.h"
#include "cli/cli_request.h"
#include "cli/cli_stream_win.h"
#include "cli/cli_write.h"
#include "servers/server_source.h"
#include "servers/server_sources_win.h"
#include "sessions/farm_listing_run.h"
#include "sessions/live_farm.h"
#include "sessions/session_changes.h"
#include "sessions/session_details.h"
#include "sessions/session_times_win.h"
#include "startup/program_services_win.h"

using namespace tarvenix;

namespace {

// The path made full against the current folder: the file is replaced in
// place through the system's replace call, which wants full paths (a relative
// one fails with 267 under Wine), and a failure then names the file where it
// was looked for.
std::u16string FullPath(const std::u16string& path) {
    const auto* name = reinterpret_cast<const wchar_t*>(path.c_str());
    std::wstring full(MAX_PATH, L'\0');
    for (int tries = 0; tries < 3; ++tries) {
        const DWORD n = GetFullPathNameW(name, static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) return path;
        if (n < full.size()) return U16(full.c_str(), n);
        full.resize(n);
    }
    return path;
}

bool AskOnConsole(CliStream& err, const std::u16string& question, bool* asked);

struct Program {
    explicit Program(ProgramServices& s)
        : services(s), terminal(&s.Terminal()), executor(&s.Workers()), dispatcher(&s.Queue()) {}

    // The engine; left to the end of the process (see ProgramServices).
    ProgramServices& services;
    TerminalServices* terminal;
    Executor* executor;
    QueueDispatcher* dispatcher;
    CliRequest request;
    CliStream out = CliStream::Standard(STD_OUTPUT_HANDLE);
    CliStream err = CliStream::Standard(STD_ERROR_HANDLE);

    DescribeError Describer() { return services.Base().Describer(); }
    std::chrono::milliseconds Timeout() const { return std::chrono::seconds(request.timeoutSeconds); }
    std::uint32_t TimeoutMs() const { return static_cast<std::uint32_t>(request.timeoutSeconds) * 1000; }

    int Usage(const std::u16string& reason) {
        err.Line(u"tarvenix-cli: " + reason);
        err.Line(u"Справка: tarvenix-cli --help");
        return 2;
    }

    // The listing: to the --output file, whole and atomically (a failed write
    // leaves the file as it was and is said at once), or to standard output.
    std::uint32_t fileError = 0;
    void Output(const std::u16string& text) {
        if (!request.outputFile) {
            out.Output(text, request.format);
            return;
        }
        DWORD error = 0;
        WriteStep step = WriteStep::Create;
        if (!WriteFileAtomically(*request.outputFile, OutputFileBytes(text, request.format), &error, &step)) {
            fileError = error != 0 ? error : ERROR_WRITE_FAULT;
            err.Line(OutputFileFailureText(*request.outputFile, fileError, Describer()));
        }
    }

    // The exit code once the output is written: a write that failed for any
    // reason but a reader that went away is said, and the code becomes 1; so
    // does an --output file that could not be written.
    int Finish(int exitCode) {
        const std::uint32_t error = out.Error();
        if (error != 0 && !ReaderWentAway(error)) err.Line(OutputWriteFailureText(error, Describer()));
        return ExitCodeAfterOutput(exitCode == 0 && fileError != 0 ? 1 : exitCode, error);
    }

    // One server's work on the engine, waited for; nothing (the time-out
    // said on the error stream) when the server did not answer in time.
    template <typename T>
    std::optional<T> OnServer(const std::u16string& server, std::function<T()> work) {
        bool done = false;
        std::optional<T> answer;
        RunAsync<T>(
            *executor, *dispatcher, CancelToken(), Timeout(), std::move(work),
            [&](T result) {
                answer = std::move(result);
                done = true;
            },
            [&] { done = true; });
        dispatcher->RunUntil([&] { return done; });
        if (!answer) err.Line(ServerTimeoutText(server, TimeoutMs()));
        return answer;
    }
    // A command that changes servers: -1 to go on (--yes, or "д" on the
    // console), else the exit code (2 without a console to ask on, 1 when
    // the answer was no).
    int Confirm(const std::u16string& question);
    // The farm listed, each server's outcome (nothing said yet).
    FarmOutcome ListServers(const std::vector<std::u16string>& servers);
    // A server's failure on the error stream, and what another account could do.
    void SayFailure(const ServerOutcome& server);
    // The account of --credential or --ask-credentials, carried to every
    // server from now on: -1 to go on, or 2 (said on the error stream) when
    // the entry is missing or unreadable, there is no console to ask on, or
    // the logon failed; before any server is asked.
    int TakeAccount();
    // What a server's failure adds: the account that could not be carried,
    // or where another account can be given.
    void SayAccountTrouble(const std::u16string& server, std::uint32_t error) {
        if (const std::optional<AccountFault> fault = services.Accounts().Fault(server))
            err.Line(server + u": " + AccountFaultText(*fault, Describer()));
        else if (IsAccountError(error))
            err.Line(server + u": другая учётная запись: --credential ЗАПИСЬ или --ask-credentials");
    }

    int Sessions();
    int Watch();
    int Processes();
    int Command();
    int LogoffByRule();
    int Details();
    // The servers of the arguments and the sources asked for, each named
    // once; -1 to go on, else the exit code (a source failed or none named).
    int GatherFarm(std::vector<std::u16string>& servers, bool& failed);
    // The sessions of the servers (a failed server named on the error stream).
    std::vector<Session> ListFarm(const std::vector<std::u16string>& servers, bool& failed);
};

// Reads a line from the console, without its line end; with echo off for a
// password (the console's mode is put back whatever happens).
bool ReadConsoleLine(HANDLE in, bool echo, std::u16string& line, Secret* secret) {
    DWORD mode = 0;
    if (!GetConsoleMode(in, &mode)) return false;
    struct ModeBack {
        HANDLE in;
        DWORD mode;
        ~ModeBack() { SetConsoleMode(in, mode); }
    } back{in, mode};
    if (!echo) SetConsoleMode(in, (mode | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    wchar_t buffer[512];
    DWORD read = 0;
    const BOOL ok = ReadConsoleW(in, buffer, 511, &read, nullptr);
    std::size_t n = ok ? read : 0;
    while (n > 0 && (buffer[n - 1] == L'\n' || buffer[n - 1] == L'\r')) --n;
    if (secret)
        *secret = Secret(reinterpret_cast<const char16_t*>(buffer), n);
    else
        line = U16(buffer, n);
    WipeMemory(buffer, sizeof buffer);
    return ok != FALSE;
}

int Program::TakeAccount() {
    Credential credential;
    if (request.credentialTarget) {
        const std::u16string target = CredentialTargetFromText(*request.credentialTarget);
        const std::uint32_t read = services.Credentials().Read(target, credential);
        if (read == kErrorNotFound)
            return Usage(u"нет учётных данных " + target + u" в диспетчере учётных данных Windows");
        if (read != 0)
            return Usage(u"не удалось прочитать учётные данные " + target + u": " + SystemErrorLine(read, Describer()));
    } else if (request.askCredentials) {
        HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        DWORD mode = 0;
        if (!in || in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &mode))
            return Usage(u"--ask-credentials: нет консоли, чтобы спросить учётную запись и пароль "
                         u"(в сценарии: --credential ЗАПИСЬ)");
        err.Write(u"Учётная запись (ДОМЕН\\пользователь или пользователь@домен): ");
        if (!ReadConsoleLine(in, true, credential.account, nullptr) || !ValidAccount(credential.account))
            return Usage(u"неверная учётная запись: " + credential.account);
        err.Write(u"Пароль: ");
        std::u16string unused;
        const bool read = ReadConsoleLine(in, false, unused, &credential.password);
        err.Line(u"");
        if (!read) return Usage(u"пароль не введён");
    } else {
        return -1;
    }
    const std::u16string account = credential.account;
    const std::uint32_t logon = services.Accounts().CarryEverywhere(std::move(credential));
    if (logon != 0) return Usage(u"не удалось войти как " + account + u": " + SystemErrorLine(logon, Describer()));
    return -1;
}

int Program::GatherFarm(std::vector<std::u16string>& servers, bool& failed) {
    // Every source is read before any server is asked; a file that cannot
    // be read makes the command line unusable.
    TypedServers typed(request.servers);
    std::optional<TextFileServers> file;
    std::optional<StandardInputServers> piped;  // "--from-file -"
    if (request.fromFile && *request.fromFile == u"-") {
        piped.emplace(services.Ansi(), &services.Errors());
    } else if (request.fromFile) {
        file.emplace(*request.fromFile, services.Ansi(), &services.Errors());
    }
    HistoryServers history(services.AppDirectory(), services.Ansi(), &services.Errors());
    std::vector<ServerSource*> sources{&typed};
    if (file) sources.push_back(&*file);
    if (piped) sources.push_back(&*piped);
    if (request.fromHistory) sources.push_back(&history);
    if (request.fromDirectory) sources.push_back(&services.Directory());
    const GatheredServers gathered = GatherServers(sources);
    for (const std::u16string& failure : gathered.failures) err.Line(u"tarvenix-cli: " + DefaultErrorBoxText(failure));
    if (gathered.stopped) return 2;
    failed = !gathered.failures.empty();
    servers = DistinctServers(gathered.names);
    if (servers.empty()) return failed ? 1 : Usage(u"список серверов пуст");
    return -1;
}

FarmOutcome Program::ListServers(const std::vector<std::u16string>& servers) {
    FarmOptions options;
    options.parallelServers = 8;
    options.parallelSessionsPerServer = static_cast<std::size_t>(request.parallel);
    options.parallelSessions =
        static_cast<std::size_t>(FarmParallelSessions(request.parallel, static_cast<int>(options.parallelServers)));
    options.timeout = Timeout();
    options.formatLogon = LocalLogonText;
    bool done = false;
    FarmOutcome outcome;
    FarmCallbacks callbacks;
    callbacks.finished = [&](FarmOutcome o) {
        outcome = std::move(o);
        done = true;
    };
    StartFarmInventory(*terminal, *executor, *dispatcher, servers, options, CancelToken(), std::move(callbacks));
    dispatcher->RunUntil([&] { return done; });
    return outcome;
}

void Program::SayFailure(const ServerOutcome& server) {
    err.Line(ServerFailureText(server, TimeoutMs(), Describer()));
    if (server.outcome.inventory.enumerationFailed) SayAccountTrouble(server.server, server.outcome.inventory.error);
}

std::vector<Session> Program::ListFarm(const std::vector<std::u16string>& servers, bool& failed) {
    FarmOutcome outcome = ListServers(servers);
    std::vector<Session> rows;
    for (ServerOutcome& server : outcome.servers) {
        // Named as failed; one that did not answer in time still gives the
        // sessions it had answered for.
        if (server.Failed()) {
            SayFailure(server);
            failed = true;
        }
        for (Session& row : server.outcome.inventory.rows) rows.push_back(std::move(row));
    }
    return rows;
}

int Program::Sessions() {
    std::vector<std::u16string> servers;
    bool failed = false;
    if (const int code = GatherFarm(servers, failed); code >= 0) return code;
    std::vector<Session> rows;
    for (Session& row : ListFarm(servers, failed))
        if (SessionPasses(request, row)) rows.push_back(std::move(row));
    Output(FormatSessions(rows, request.format, ListSeparator()));
    return failed ? 1 : 0;
}

// logoff --disconnected-over: the sessions of the servers that match the
// rule, listed first; --dry-run prints them and calls nothing more. Else one
// question (or --yes), every session checked before its logoff, and a line
// per server.
int Program::LogoffByRule() {
    std::vector<std::u16string> servers;
    bool failed = false;
    if (const int code = GatherFarm(servers, failed); code >= 0) return code;
    CleanupRule rule;
    rule.overSeconds = *request.disconnectedOverSeconds;
    rule.userText = request.user.value_or(u"");
    std::vector<Session> matched = MatchingSessions(rule, ListFarm(servers, failed));
    if (request.dryRun || matched.empty()) {
        Output(FormatCleanup(matched, request.format, ListSeparator()));
        return failed ? 1 : 0;
    }
    if (const int stop = Confirm(CleanupQuestion(GroupByServer(matched).size(), matched.size())); stop >= 0)
        return stop;
    BulkOptions options;
    options.parallel = static_cast<std::size_t>(request.parallel);
    options.timeout = Timeout();
    bool done = false;
    std::vector<ServerResults> results;
    StartSessionCommand(*terminal, *executor, *dispatcher, matched, options, CancelToken(),
                        // Still disconnected: a user who came back keeps the session.
                        [](TerminalServer& s, std::uint32_t id) { return LogoffIfStillDisconnected(s, id); },
                        [&](std::vector<ServerResults> r) {
                            results = std::move(r);
                            done = true;
                        });
    dispatcher->RunUntil([&] { return done; });
    std::vector<CliResult> rows;
    for (const ServerResults& server : results) {
        for (std::size_t i = 0; i < server.sessions.size() && i < server.results.size(); ++i) {
            const ItemResult& result = server.results[i];
            CliResult row{server.server, server.sessions[i].id, result.ok, result.error, {}};
            if (!row.ok) {
                failed = true;
                row.errorText = result.state != ItemState::Answered ? NotActedLine(server.sessions[i], result)
                                : result.error == kSessionReconnected
                                    ? std::u16string(u"сессия снова подключена: не завершена.")
                                    : SystemErrorLine(result.error, Describer());
                err.Line(server.server + u": " + DecimalU32(row.id) + u": " + row.errorText);
            }
            rows.push_back(std::move(row));
        }
    }
    Output(FormatResults(rows, request.format, ListSeparator()));
    return failed ? 1 : 0;
}

// session SERVER ID: one session in detail.
int Program::Details() {
    struct Read {
        CallResult result;
        SessionDetails details;
    };
    const std::u16string server = request.server;
    const std::uint32_t id = *request.session;
    TerminalServices* services = terminal;
    std::optional<Read> answered = OnServer<Read>(server, [services, server, id] {
        Read r;
        const std::unique_ptr<TerminalServer> open = services->Open(server);
        r.result = FindSessionDetails(*open, server, id, r.details);
        return r;
    });
    if (!answered) return 1;
    Read& read = *answered;
    if (!read.result.ok) {
        err.Line(server + u": " + DecimalU32(id) + u": " + SystemErrorLine(read.result.error, Describer()));
        return 1;
    }
    read.details.session.logonText = LocalLogonText(read.details.session.logonTicks.value_or(0));
    Output(FormatDetails(read.details, request.format, ListSeparator(), LocalLogonText));
    return 0;
}

int Program::Processes() {
    const std::u16string server = request.server;
    const std::optional<std::uint32_t> session = request.session;
    TerminalServices* services = terminal;
    std::optional<ListedProcesses> answered = OnServer<ListedProcesses>(server, [services, server, session] {
        const std::unique_ptr<TerminalServer> open = services->Open(server);
        AccountNames names;  // each account asked of the server once
        return ListProcessesWithAccounts(*open, server, names, session);
    });
    if (!answered) return 1;
    ListedProcesses& listed = *answered;
    if (!listed.result.ok) {
        err.Line(server + u": " + SystemErrorLine(listed.result.error, Describer()));
        SayAccountTrouble(server, listed.result.error);
        return 1;
    }
    std::vector<CliProcess> rows;
    for (const ProcessRecord& record : listed.records) {
        if (request.session && record.sessionId != *request.session) continue;
        std::u16string account;
        if (record.figures && !record.figures->sid.empty()) account = listed.accounts[record.figures->sid];
        rows.push_back({server, record, account});
    }
    Output(FormatProcesses(rows, request.format, ListSeparator()));
    return 0;
}

std::atomic<bool> g_interrupted{false};
QueueDispatcher* g_interruptQueue = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    g_interrupted = true;
    if (g_interruptQueue) g_interruptQueue->Post([] {});  // wakes the loop
    return TRUE;
}

std::int64_t UtcNowTicks() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

int Program::Watch() {
    std::vector<std::u16string> servers;
    bool failed = false;
    if (const int code = GatherFarm(servers, failed); code >= 0) return code;
    g_interruptQueue = dispatcher;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    const bool json = request.format == OutputFormat::Json;
    const auto say = [&](const std::u16string& line) {
        out.Write(line + (json ? u"\n" : u"\r\n"));
    };

    // First the sessions there are now.
    std::map<std::u16string, std::vector<Session>> known;  // by server, as last listed
    std::map<std::u16string, std::u16string> failures;     // what was said of a server that failed
    FarmOutcome first = ListServers(servers);
    std::vector<Session> all;
    const std::int64_t now = UtcNowTicks();
    for (ServerOutcome& server : first.servers) {
        if (server.Failed()) {
            failures[server.server] = ServerFailureText(server, TimeoutMs(), Describer());
            SayFailure(server);
        }
        for (const Session& session : server.outcome.inventory.rows) {
            all.push_back(session);
            if (json) say(Utf8ToUtf16(ChangeJson({ChangeKind::Current, session, std::nullopt}, now)));
        }
        known[server.server] = std::move(server.outcome.inventory.rows);
    }
    if (!json) out.Write(FormatSessions(all, OutputFormat::Table, ListSeparator()));

    // Then every change as it comes.
    std::uint64_t changes = 0;
    bool done = false;
    LiveSettings settings;
    settings.pollEvery = std::chrono::seconds(30);
    settings.idleEvery = std::chrono::milliseconds(0);
    settings.listing.parallel = static_cast<std::size_t>(request.parallel);
    settings.listing.timeout = Timeout();
    settings.listing.formatLogon = LocalLogonText;
    LiveCallbacks callbacks;
    callbacks.listed = [&](const std::u16string& server, InventoryOutcome outcome) {
        if (done) return;
        if (outcome.timedOut || outcome.inventory.enumerationFailed) {
            const std::u16string text =
                outcome.timedOut ? ServerTimeoutText(server, TimeoutMs())
                                 : server + u": " + SystemErrorLine(outcome.inventory.error, Describer());
            if (failures[server] != text) {
                err.Line(text);
                if (!outcome.timedOut) SayAccountTrouble(server, outcome.inventory.error);
            }
            failures[server] = text;
            return;
        }
        failures.erase(server);
        const std::int64_t when = UtcNowTicks();
        for (const SessionChange& change : CompareListings(known[server], outcome.inventory.rows)) {
            say(json ? Utf8ToUtf16(ChangeJson(change, when)) : ChangeLine(change, LocalLogonText(when)));
            if (request.count && ++changes >= *request.count) {
                done = true;
                break;
            }
        }
        known[server] = std::move(outcome.inventory.rows);
    };
    std::vector<PolledServer> polledSaid;
    LiveFarm* livePointer = nullptr;
    callbacks.watchChanged = [&] {
        if (!livePointer) return;
        for (const PolledServer& polled : livePointer->Polled()) {
            const bool said = std::any_of(polledSaid.begin(), polledSaid.end(), [&](const PolledServer& p) {
                return p.server == polled.server && p.error == polled.error;
            });
            if (!said)
                err.Line(u"tarvenix-cli: " + polled.server + u": нельзя следить за событиями (" +
                         SystemErrorLine(polled.error, Describer()) + u"), сервер опрашивается каждые 30 с");
        }
        polledSaid = livePointer->Polled();
    };
    LiveFarm live(*terminal, *executor, *dispatcher, settings, callbacks);
    livePointer = &live;
    live.Watch(servers);
    if (request.forSeconds)
        dispatcher->PostAfter(std::chrono::seconds(*request.forSeconds), [&] { done = true; });
    dispatcher->RunUntil([&] { return done || g_interrupted.load() || (out.Error() != 0); });
    live.Close(std::chrono::seconds(2));
    g_interruptQueue = nullptr;
    return 0;
}

// Asks on the console; false when there is no console to ask on.
bool AskOnConsole(CliStream& err, const std::u16string& question, bool* asked) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    *asked = in && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode);
    if (!*asked) return false;
    err.Write(question + u" [д/н] ");
    wchar_t answer[64] = {};
    DWORD read = 0;
    if (!ReadConsoleW(in, answer, 63, &read, nullptr) || read == 0) return false;
    const wchar_t c = answer[0];
    return c == L'д' || c == L'Д' || c == L'y' || c == L'Y';
}

int Program::Confirm(const std::u16string& question) {
    if (request.yes) return -1;
    bool asked = false;
    if (AskOnConsole(err, question, &asked)) return -1;
    if (!asked) return Usage(u"команда меняет состояние сервера: подтвердите её параметром --yes");
    err.Line(u"Отменено: ничего не сделано.");
    return 1;
}

int Program::Command() {
    const CliCommand command = request.command;
    const std::u16string server = request.server;
    const std::u16string count = DecimalU32(static_cast<std::uint32_t>(request.ids.size()));
    if (command != CliCommand::Message && !request.yes) {
        const std::u16string question =
            command == CliCommand::Kill     ? u"Завершить процессы (" + count + u") на сервере " + server + u"?"
            : command == CliCommand::Logoff ? u"Завершить сессии (" + count + u") на сервере " + server + u"?"
                                            : u"Отключить сессии (" + count + u") на сервере " + server + u"?";
        if (const int stop = Confirm(question); stop >= 0) return stop;
    }
    BulkOptions options;
    options.parallel = static_cast<std::size_t>(request.parallel);
    options.timeout = Timeout();
    options.openPerItem = command == CliCommand::Message;
    const std::u16string title = request.title, text = request.text;
    BulkCall call = [command, title, text](TerminalServer& s, std::uint32_t id) {
        switch (command) {
            case CliCommand::Logoff: return s.Logoff(id);
            case CliCommand::Disconnect: return s.Disconnect(id);
            case CliCommand::Message: return s.SendSessionMessage(id, title, text);
            default: return s.TerminateProcess(id);
        }
    };
    bool done = false;
    std::vector<ItemResult> results;
    StartBulk(*terminal, *executor, *dispatcher, server, request.ids, options, CancelToken(), std::move(call),
              [&](std::vector<ItemResult> r) {
                  results = std::move(r);
                  done = true;
              });
    dispatcher->RunUntil([&] { return done; });
    std::vector<CliResult> rows;
    bool failed = false;
    for (std::size_t i = 0; i < results.size() && i < request.ids.size(); ++i) {
        CliResult row{server, request.ids[i], results[i].ok, results[i].error, {}};
        if (!row.ok) {
            failed = true;
            // Past the time-out: a call made may still happen, one not made never will.
            row.errorText = results[i].state == ItemState::NoAnswer
                                ? ServerTimeoutText(server, TimeoutMs()) + u" Нет ответа: команда могла быть выполнена."
                            : results[i].state == ItemState::NotStarted
                                ? ServerTimeoutText(server, TimeoutMs()) + u" Команда не отправлена."
                                : SystemErrorLine(results[i].error, Describer());
            err.Line(server + u": " + DecimalU32(row.id) + u": " + row.errorText);
        }
        rows.push_back(std::move(row));
    }
    std::uint32_t firstError = 0;
    for (const CliResult& row : rows)
        if (!row.ok && firstError == 0) firstError = row.error;
    if (failed) SayAccountTrouble(server, firstError);
    Output(FormatResults(rows, request.format, ListSeparator()));
    return failed ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Utf16ToUtf8(U16(argv[i])));
    const CliParse parsed = ParseCommandLine(args);
    // The session queries over the servers opened at once (8), capped as the
    // window caps them, and the servers being opened.
    const int workers = FarmParallelSessions(parsed.request.parallel, 8) + 8 + 2;
    auto* program = new Program(ProgramServices::StartCommandLine(workers));  // outlives main, as the engine does
    if (parsed.exitCode == 0) {
        program->out.Write(Utf8ToUtf16(parsed.output));
        return program->Finish(0);
    }
    if (parsed.exitCode == 2) {
        program->err.Write(Utf8ToUtf16(parsed.output));
        return 2;
    }
    program->request = parsed.request;
    if (program->request.outputFile) program->request.outputFile = FullPath(*program->request.outputFile);
    if (const int stop = program->TakeAccount(); stop >= 0) return stop;
    switch (program->request.command) {
        case CliCommand::Sessions: return program->Finish(program->Sessions());
        case CliCommand::Processes: return program->Finish(program->Processes());
        case CliCommand::Watch: return program->Finish(program->Watch());
        case CliCommand::SessionDetails: return program->Finish(program->Details());
        case CliCommand::Logoff:
            if (program->request.disconnectedOverSeconds) return program->Finish(program->LogoffByRule());
            return program->Finish(program->Command());
        default: return program->Finish(program->Command());
    }
}
