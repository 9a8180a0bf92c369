#include "cli/cli_request.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "base/text.h"
#include "sessions/session_queries.h"

namespace tarvenix {

namespace {

constexpr std::int64_t kMaxDurationSeconds = 100LL * 366 * 24 * 3600;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A one-line reason in Russian for what CLI11 refused.
std::string Reason(const CLI::Error& e) {
    const std::string what = e.what();
    const auto detail = [&]() {
        const auto colon = what.find(": ");
        return colon == std::string::npos ? what : what.substr(colon + 2);
    };
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) return "лишние аргументы: " + detail();
    if (dynamic_cast<const CLI::RequiredError*>(&e)) {
        if (what.find("subcommand") != std::string::npos) return "не указана команда";
        return "не указан обязательный параметр: " + detail();
    }
    if (dynamic_cast<const CLI::ConversionError*>(&e) || dynamic_cast<const CLI::ValidationError*>(&e))
        return "неверное значение: " + what;
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) return "неверное число значений: " + what;
    if (dynamic_cast<const CLI::RequiresError*>(&e) || dynamic_cast<const CLI::ExcludesError*>(&e))
        return "параметры не сочетаются: " + what;
    return what;
}

// Usage texts in Russian.
void Russian(CLI::App& app) {
    auto f = app.get_formatter();
    f->label("Usage", "Использование");
    f->label("OPTIONS", "ПАРАМЕТРЫ");
    f->label("Options", "Параметры");
    f->label("SUBCOMMAND", "КОМАНДА");
    f->label("SUBCOMMANDS", "КОМАНДЫ");
    f->label("Subcommands", "Команды");
    f->label("Positionals", "Аргументы");
    f->label("REQUIRED", "ОБЯЗАТЕЛЬНО");
    f->label("Excludes", "Не вместе с");
    f->label("Needs", "Нужен");
    f->column_width(30);
    // Columns are lined up by bytes: the placeholders stay in Latin letters.
    app.option_defaults()->group("Параметры");
}

struct Raw {
    std::string format = "table";
    // Numbers are taken as written and read by ParseDecimal: CLI11 would read
    // "010" as octal and "0x10" as hex.
    std::string timeout = "15";
    std::string parallel = "16";
    std::string output;
    std::string credential;
    bool askCredentials = false;
    std::vector<std::string> servers;
    std::string fromFile;
    bool fromDirectory = false, fromHistory = false;
    std::string user, state, idleOver;
    std::string server;
    std::string session;
    std::vector<std::string> ids;
    std::string title, text;
    bool yes = false;
    std::string count, forDuration;
    std::string disconnectedOver;
    bool dryRun = false;
};

}  // namespace

std::optional<std::uint64_t> ParseDecimal(std::string_view text, std::uint64_t max) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (digit > max || value > (max - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::uint32_t> ParseId(std::string_view text) {
    const auto value = ParseDecimal(text, 0xFFFFFFFFull);
    if (!value) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

std::optional<std::int64_t> ParseDuration(std::string_view text) {
    // Every number in it at most the whole range in seconds: the sums below
    // stay far from overflowing, and the total is checked at the end.
    const auto number = [](std::string_view s) -> std::optional<std::int64_t> {
        const auto v = ParseDecimal(s, static_cast<std::uint64_t>(kMaxDurationSeconds));
        if (!v) return std::nullopt;
        return static_cast<std::int64_t>(*v);
    };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::optional<std::int64_t> result;
    // The list's own forms: "H:MM" and "D+HH:MM".
    const auto colon = text.find(':');
    if (colon != std::string_view::npos) {
        std::string_view head = text.substr(0, colon), minutes = text.substr(colon + 1);
        std::int64_t days = 0;
        const auto plus = head.find('+');
        if (plus != std::string_view::npos) {
            const auto d = number(head.substr(0, plus));
            if (!d) return std::nullopt;
            days = *d;
            head = head.substr(plus + 1);
        }
        const auto hours = number(head);
        const auto m = minutes.size() == 2 ? ParseDecimal(minutes, 59) : std::nullopt;
        if (!hours || !m) return std::nullopt;
        result = ((days * 24 + *hours) * 60 + static_cast<std::int64_t>(*m)) * 60;
    } else if (!text.empty() && std::all_of(text.begin(), text.end(), isDigit)) {
        const auto minutes = number(text);  // minutes, as the list counts idle time
        if (!minutes) return std::nullopt;
        result = *minutes * 60;
    } else {
        // Number-unit pairs, each unit at most once, largest first.
        if (text.empty()) return std::nullopt;
        std::int64_t total = 0;
        std::size_t i = 0;
        int lastRank = 5;
        while (i < text.size()) {
            std::size_t j = i;
            while (j < text.size() && isDigit(text[j])) ++j;
            if (j == text.size()) return std::nullopt;
            const auto v = number(text.substr(i, j - i));
            if (!v) return std::nullopt;
            static constexpr struct { char unit; int rank; std::int64_t seconds; } kUnits[] = {
                {'d', 4, 86400}, {'h', 3, 3600}, {'m', 2, 60}, {'s', 1, 1}};
            const char unit = static_cast<char>(std::tolower(static_cast<unsigned char>(text[j])));
            bool known = false;
            for (const auto& u : kUnits) {
                if (u.unit != unit) continue;
                if (u.rank >= lastRank) return std::nullopt;
                lastRank = u.rank;
                total += *v * u.seconds;
                known = true;
            }
            if (!known) return std::nullopt;
            i = j + 1;
        }
        result = total;
    }
    if (!result || *result > kMaxDurationSeconds) return std::nullopt;
    return result;
}

std::optional<std::u16string> StateNameFor(std::string_view text) {
    const std::string wanted = Lower(text);
    for (std::uint32_t state = 0; state < 10; ++state) {
        const std::u16string name = ConnectStateName(state);
        if (Lower(Utf16ToUtf8(name)) == wanted) return name;
    }
    return std::nullopt;
}

CliParse ParseCommandLine(const std::vector<std::string>& args) {
    CliParse result;
    Raw raw;
    CLI::App app{"Сессии терминальных серверов из командной строки: списки в таблице, CSV или JSON, "
                 "команды на сессии и процессы.",
                 "tarvenix-cli"};
    Russian(app);
    app.set_help_flag("-h,--help", "Эта справка (и справка каждой команды: КОМАНДА --help)");
    app.require_subcommand(1, 1);
    const std::vector<std::string> formats = {"table", "csv", "json"};
    const auto common = [&](CLI::App* c) {
        Russian(*c);
        c->group("Команды");
        c->set_help_flag("-h,--help", "Справка этой команды");
        c->add_option("--format", raw.format, "Вывод: table (таблица), csv или json")
            ->check(CLI::IsMember(formats))
            ->option_text("table|csv|json");
        c->add_option("--timeout", raw.timeout, "Сколько ждать ответа сервера, секунд (1-600, по умолчанию 15)")
            ->option_text("SECONDS");
        c->add_option("--parallel", raw.parallel, "Сколько запросов к серверу сразу (1-64, по умолчанию 16)")
            ->option_text("N");
        c->add_option("--output", raw.output,
                      "Записать вывод в файл, а не на экран: UTF-8 (CSV и таблица с меткой UTF-8, JSON без нее), "
                      "файл заменяется целиком")
            ->option_text("FILE");
        c->add_option("--credential", raw.credential,
                      "Вызывать серверы от имени учётной записи из диспетчера учётных данных Windows: запись "
                      "Tarvenix/TARGET (TARGET - сервер или *.домен)")
            ->option_text("TARGET");
        c->add_flag("--ask-credentials", raw.askCredentials,
                    "Спросить учётную запись и пароль в консоли (пароль не отображается) и вызывать серверы от ее имени");
    };
    const auto serverAndIds = [&](CLI::App* c, const char* what) {
        c->add_option("server", raw.server, "Сервер")->required();
        c->add_option("ids", raw.ids, what)->required()->expected(1, -1);
    };

    const auto serverSources = [&](CLI::App* c) {
        c->add_option("servers", raw.servers, "Серверы");
        c->add_option("--from-file", raw.fromFile, "Серверы из текстового файла (как кнопка TXT); - значит стандартный ввод")
            ->option_text("FILE");
        c->add_flag("--from-directory", raw.fromDirectory, "Серверы-компьютеры домена из каталога (как кнопка LDAP)");
        c->add_flag("--from-history", raw.fromHistory, "Серверы из истории программы (serverslist.txt)");
    };
    CLI::App* sessions = app.add_subcommand("sessions", "Сессии серверов: из аргументов, файла, каталога или истории");
    common(sessions);
    serverSources(sessions);
    sessions->add_option("--user", raw.user, "Только сессии, где имя пользователя содержит текст (без учета регистра)")
        ->option_text("TEXT");
    sessions->add_option("--state", raw.state,
                         "Только сессии в состоянии: active, connected, connectquery, shadow, disconnected, idle, "
                         "listen, reset, down, init")
        ->option_text("STATE");
    sessions->add_option("--idle-over", raw.idleOver,
                         "Только сессии, бездействующие дольше: 90s, 15m, 2h, 1d, 1d2h, 1:30, 2+03:00 (число - минуты)")
        ->option_text("DURATION");

    CLI::App* processes = app.add_subcommand("processes", "Процессы сервера (или одной сессии)");
    common(processes);
    processes->add_option("server", raw.server, "Сервер")->required();
    processes->add_option("--session", raw.session, "Только процессы этой сессии")->option_text("ID");

    CLI::App* logoff = app.add_subcommand("logoff", "Завершить сессии (нужен --yes или ответ на вопрос)");
    common(logoff);
    // SERVER ID...; with --disconnected-over the words are servers.
    logoff->add_option("server", raw.server, "Сервер (с --disconnected-over: серверы)");
    logoff->add_option("ids", raw.ids, "ID сессий")->expected(0, -1);
    logoff->add_flag("-y,--yes", raw.yes, "Не спрашивать подтверждения");
    logoff->add_option("--disconnected-over", raw.disconnectedOver,
                       "Вместо ID: все сессии серверов, отключённые дольше: 30m, 8h, 2d (число - минуты)")
        ->option_text("DURATION");
    logoff->add_option("--user", raw.user, "С --disconnected-over: только сессии, где имя пользователя содержит текст")
        ->option_text("TEXT");
    logoff->add_option("--from-file", raw.fromFile, "С --disconnected-over: серверы из текстового файла; - значит стандартный ввод")
        ->option_text("FILE");
    logoff->add_flag("--dry-run", raw.dryRun, "С --disconnected-over: только показать, какие сессии были бы завершены");

    CLI::App* sessionCmd = app.add_subcommand("session", "Сведения об одной сессии");
    common(sessionCmd);
    sessionCmd->add_option("server", raw.server, "Сервер")->required();
    sessionCmd->add_option("id", raw.session, "ID сессии")->required();

    CLI::App* disconnect = app.add_subcommand("disconnect", "Отключить сессии (нужен --yes или ответ на вопрос)");
    common(disconnect);
    serverAndIds(disconnect, "ID сессий");
    disconnect->add_flag("-y,--yes", raw.yes, "Не спрашивать подтверждения");

    CLI::App* message = app.add_subcommand("message", "Отправить сообщение в сессии");
    common(message);
    serverAndIds(message, "ID сессий");
    message->add_option("--title", raw.title, "Заголовок сообщения")->required()->option_text("TEXT");
    message->add_option("--text", raw.text, "Текст сообщения")->required()->option_text("TEXT");

    CLI::App* kill = app.add_subcommand("kill", "Завершить процессы (нужен --yes или ответ на вопрос)");
    common(kill);
    serverAndIds(kill, "ID процессов (PID)");
    kill->add_flag("-y,--yes", raw.yes, "Не спрашивать подтверждения");

    CLI::App* watch = app.add_subcommand(
        "watch",
        "Следить за сессиями серверов: сначала текущие сессии, затем строка на каждое изменение (вход, выход, "
        "отключение, подключение, состояние) по мере событий; до Ctrl+C, --count или --for");
    common(watch);
    serverSources(watch);
    watch->add_option("--count", raw.count, "Закончить после стольких изменений")->option_text("N");
    watch->add_option("--for", raw.forDuration, "Закончить через: 90s, 15m, 2h, 1d (число - минуты)")
        ->option_text("DURATION");

    const auto fail = [&](const std::string& reason, const CLI::App& usageOf) {
        result.exitCode = 2;
        result.output = "tarvenix-cli: " + reason + "\n" + usageOf.help("", CLI::AppFormatMode::Normal);
        return result;
    };
    // The innermost command named on the line, for the usage after an error.
    const auto named = [&]() -> const CLI::App& {
        for (CLI::App* c : {sessions, processes, logoff, disconnect, message, kill, watch, sessionCmd})
            if (c->parsed()) return *c;
        return app;
    };
    if (!args.empty() && !args[0].empty() && args[0][0] != '-') {
        bool known = false;
        for (CLI::App* c : {sessions, processes, logoff, disconnect, message, kill, watch, sessionCmd})
            known = known || c->get_name() == args[0];
        if (!known)
            return fail("неизвестная команда: " + args[0] +
                            " (есть sessions, processes, logoff, disconnect, message, kill, watch, session)",
                        app);
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        result.exitCode = 0;
        result.output = named().help();
        return result;
    } catch (const CLI::ParseError& e) {
        return fail(Reason(e), named());
    }

    CliRequest& r = result.request;
    r.format = raw.format == "csv" ? OutputFormat::Csv : raw.format == "json" ? OutputFormat::Json : OutputFormat::Table;
    // A number out of its range names the option and the range.
    const auto ranged = [&](const char* option, const std::string& text, std::uint64_t low,
                            std::uint64_t high) -> std::optional<std::uint64_t> {
        const auto value = ParseDecimal(text, high);
        if (value && *value >= low) return value;
        fail(std::string("неверное значение ") + option + ": " + text + " (нужно целое от " + std::to_string(low) +
                 " до " + std::to_string(high) + ")",
             named());
        return std::nullopt;
    };
    const auto timeout = ranged("--timeout", raw.timeout, 1, 600);
    if (!timeout) return result;
    const auto parallel = ranged("--parallel", raw.parallel, 1, 64);
    if (!parallel) return result;
    r.timeoutSeconds = static_cast<int>(*timeout);
    r.parallel = static_cast<int>(*parallel);
    if (named().count("--output")) {
        if (raw.output.empty()) return fail("не указан файл для --output", named());
        r.outputFile = Utf8ToUtf16(raw.output);
    }
    if (named().count("--credential")) {
        if (raw.credential.empty()) return fail("не указана запись для --credential", named());
        if (raw.askCredentials) return fail("--credential и --ask-credentials не сочетаются", named());
        r.credentialTarget = Utf8ToUtf16(raw.credential);
    }
    r.askCredentials = raw.askCredentials;
    r.server = Utf8ToUtf16(raw.server);
    r.title = Utf8ToUtf16(raw.title);
    r.text = Utf8ToUtf16(raw.text);
    r.yes = raw.yes;
    if (logoff->parsed() && logoff->count("--disconnected-over")) {
        // The clean-up rule: every word names a server.
        r.command = CliCommand::Logoff;
        r.disconnectedOverSeconds = ParseDuration(raw.disconnectedOver);
        if (!r.disconnectedOverSeconds) return fail("неверная длительность: " + raw.disconnectedOver, *logoff);
        if (!raw.server.empty()) r.servers.push_back(Utf8ToUtf16(raw.server));
        for (const std::string& s : raw.ids) r.servers.push_back(Utf8ToUtf16(s));
        if (logoff->count("--from-file")) {
            if (raw.fromFile.empty()) return fail("не указан файл для --from-file", *logoff);
            r.fromFile = Utf8ToUtf16(raw.fromFile);
        }
        if (r.servers.empty() && !r.fromFile) return fail("не указаны серверы (аргументы или --from-file)", *logoff);
        if (logoff->count("--user")) r.user = Utf8ToUtf16(raw.user);
        r.dryRun = raw.dryRun;
        r.server.clear();
        return result;
    }
    if (logoff->parsed()) {
        for (const char* option : {"--user", "--from-file", "--dry-run"})
            if (logoff->count(option)) return fail(std::string("только вместе с --disconnected-over: ") + option, *logoff);
        if (raw.server.empty()) return fail("не указан обязательный параметр: server", *logoff);
        if (raw.ids.empty()) return fail("не указан обязательный параметр: ids", *logoff);
    }
    for (const std::string& id : raw.ids) {
        const auto value = ParseId(id);
        if (!value) return fail("неверный номер: " + id + " (нужно целое от 0 до 4294967295)", named());
        r.ids.push_back(*value);
    }
    const auto readSources = [&](CLI::App* c) {
        for (const std::string& s : raw.servers) r.servers.push_back(Utf8ToUtf16(s));
        if (c->count("--from-file")) {
            if (raw.fromFile.empty()) {
                fail("не указан файл для --from-file", *c);
                return false;
            }
            r.fromFile = Utf8ToUtf16(raw.fromFile);
        }
        r.fromDirectory = raw.fromDirectory;
        r.fromHistory = raw.fromHistory;
        if (r.servers.empty() && !r.fromFile && !r.fromDirectory && !r.fromHistory) {
            fail("не указаны серверы (аргументы, --from-file, --from-directory или --from-history)", *c);
            return false;
        }
        return true;
    };
    if (watch->parsed()) {
        r.command = CliCommand::Watch;
        if (!readSources(watch)) return result;
        if (r.format == OutputFormat::Csv) return fail("watch выводит таблицу или JSON (--format table или json)", *watch);
        if (watch->count("--count")) {
            r.count = ParseDecimal(raw.count, 1'000'000'000);
            if (!r.count || *r.count == 0)
                return fail("неверное значение --count: " + raw.count + " (нужно целое от 1)", *watch);
        }
        if (watch->count("--for")) {
            r.forSeconds = ParseDuration(raw.forDuration);
            if (!r.forSeconds || *r.forSeconds == 0) return fail("неверная длительность: " + raw.forDuration, *watch);
        }
        return result;
    }
    if (sessions->parsed()) {
        r.command = CliCommand::Sessions;
        if (!readSources(sessions)) return result;
        if (sessions->count("--user")) r.user = Utf8ToUtf16(raw.user);
        if (sessions->count("--state")) {
            r.state = StateNameFor(raw.state);
            if (!r.state) return fail("неизвестное состояние: " + raw.state, *sessions);
        }
        if (sessions->count("--idle-over")) {
            r.idleOverSeconds = ParseDuration(raw.idleOver);
            if (!r.idleOverSeconds) return fail("неверная длительность: " + raw.idleOver, *sessions);
        }
    } else if (processes->parsed()) {
        r.command = CliCommand::Processes;
        if (processes->count("--session")) {
            r.session = ParseId(raw.session);
            if (!r.session)
                return fail("неверный номер сессии: " + raw.session + " (--session: нужно целое от 0 до 4294967295)",
                            *processes);
        }
    } else if (sessionCmd->parsed()) {
        r.command = CliCommand::SessionDetails;
        r.session = ParseId(raw.session);
        if (!r.session) return fail("неверный номер сессии: " + raw.session + " (нужно целое от 0 до 4294967295)", *sessionCmd);
    } else if (logoff->parsed()) {
        r.command = CliCommand::Logoff;
    } else if (disconnect->parsed()) {
        r.command = CliCommand::Disconnect;
    } else if (message->parsed()) {
        r.command = CliCommand::Message;
    } else {
        r.command = CliCommand::Kill;
    }
    if (r.command != CliCommand::Sessions && r.server.empty()) return fail("не указан сервер", named());
    return result;
}

}  // namespace tarvenix
