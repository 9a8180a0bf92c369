// The command line of tarvenix-cli: good and bad command lines and what they
// give, durations, state names, filters, and the three output formats read
// back (JSON with nlohmann-json, CSV with the export's own reader).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/csv.h"
#include "base/text.h"
#include "cli/cli_output.h"
#include "cli/cli_request.h"
#include "sessions/session_times.h"

namespace tarvenix {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    std::string word;
    bool quoted = false;
    for (char c : line) {
        if (c == '\'') {
            quoted = !quoted;
        } else if (c == ' ' && !quoted) {
            if (!word.empty()) out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) out.push_back(word);
    return out;
}

TEST(CliCommandLine, GoodLinesGiveTheirRequest) {
    CliParse p = ParseCommandLine(Words("sessions TS01 TS02 --format json --timeout 5 --parallel 4 --user петр "
                                        "--state DISCONNECTED --idle-over 1d2h"));
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_EQ(p.request.command, CliCommand::Sessions);
    EXPECT_EQ(p.request.servers, (std::vector<std::u16string>{u"TS01", u"TS02"}));
    EXPECT_EQ(p.request.format, OutputFormat::Json);
    EXPECT_EQ(p.request.timeoutSeconds, 5);
    EXPECT_EQ(p.request.parallel, 4);
    EXPECT_EQ(p.request.user, std::u16string(u"петр"));
    EXPECT_EQ(p.request.state, std::u16string(u"Disconnected"));
    EXPECT_EQ(p.request.idleOverSeconds, 93600);

    p = ParseCommandLine(Words("sessions --from-file 'C:\\farm list.txt' --from-history --from-directory"));
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_EQ(p.request.fromFile, std::u16string(u"C:\\farm list.txt"));
    EXPECT_TRUE(p.request.fromHistory && p.request.fromDirectory);
    EXPECT_EQ(p.request.format, OutputFormat::Table);

    p = ParseCommandLine(Words("processes TS01 --session 4294967295 --format csv"));
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_EQ(p.request.command, CliCommand::Processes);
    EXPECT_EQ(p.request.server, u"TS01");
    EXPECT_EQ(p.request.session, 4294967295u);

    p = ParseCommandLine(Words("logoff TS01 2 5 7 --yes"));
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_EQ(p.request.command, CliCommand::Logoff);
    EXPECT_EQ(p.request.ids, (std::vector<std::uint32_t>{2, 5, 7}));
    EXPECT_TRUE(p.request.yes);

    // The clean-up rule: every word is a server; no IDs.
    p = ParseCommandLine(Words("logoff --disconnected-over 8h TS01 TS02 --user петр --dry-run --format json"));
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_EQ(p.request.command, CliCommand::Logoff);
    EXPECT_EQ(p.request.disconnectedOverSeconds, 8 * 3600);
    EXPECT_EQ(p.request.servers, (std::vector<std::u16string>{u"TS01", u"TS02"}));
    EXPECT_TRUE(p.request.ids.empty());
    EXPECT_EQ(p.request.user, std::u16string(u"петр"));
    EXPECT_TRUE(p.request.dryRun);
    EXPECT_FALSE(p.request.yes);
    p = ParseCommandLine(Words("logoff --from-file farm.txt --disconnected-over 2d --yes"));
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_EQ(p.request.fromFile, std::u16string(u"farm.txt"));
    EXPECT_EQ(p.request.disconnectedOverSeconds, 2 * 86400);
    EXPECT_TRUE(p.request.yes && !p.request.dryRun);

    p = ParseCommandLine(Words("session TS01 4294967295 --format json"));
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_EQ(p.request.command, CliCommand::SessionDetails);
    EXPECT_EQ(p.request.server, u"TS01");
    EXPECT_EQ(p.request.session, 4294967295u);

    p = ParseCommandLine(Words("message TS01 3 --title 'Работы' --text 'Сервер перезагрузится в 22:00'"));
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_EQ(p.request.title, u"Работы");
    EXPECT_EQ(p.request.text, u"Сервер перезагрузится в 22:00");
    EXPECT_FALSE(p.request.yes);

    p = ParseCommandLine(Words("watch TS01 --from-history --format json --count 3 --for 90s"));
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_EQ(p.request.command, CliCommand::Watch);
    EXPECT_EQ(p.request.servers, (std::vector<std::u16string>{u"TS01"}));
    EXPECT_TRUE(p.request.fromHistory);
    EXPECT_EQ(p.request.count, 3u);
    EXPECT_EQ(p.request.forSeconds, 90);
    EXPECT_FALSE(ParseCommandLine(Words("watch TS01")).request.count);
    p = ParseCommandLine(Words("sessions TS01 --credential '*.corp.example'"));
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_EQ(p.request.credentialTarget, std::u16string(u"*.corp.example"));
    EXPECT_FALSE(p.request.askCredentials);
    p = ParseCommandLine(Words("logoff TS01 2 --ask-credentials --yes"));
    ASSERT_EQ(p.exitCode, -1) << p.output;
    EXPECT_TRUE(p.request.askCredentials);
    EXPECT_EQ(p.request.credentialTarget, std::nullopt);
    EXPECT_EQ(ParseCommandLine(Words("sessions TS01")).request.credentialTarget, std::nullopt);

    EXPECT_EQ(ParseCommandLine(Words("disconnect TS01 4 -y")).request.command, CliCommand::Disconnect);
    EXPECT_EQ(ParseCommandLine(Words("kill TS01 1200")).request.ids, (std::vector<std::uint32_t>{1200}));
}

TEST(CliCommandLine, BadLinesGiveExitCodeTwoWithAOneLineReasonAndTheUsage) {
    const struct {
        const char* line;
        const char* reason;  // the start of the first line after "tarvenix-cli: "
    } cases[] = {
        {"", "не указана команда"},
        {"reboot TS01", "неизвестная команда: reboot"},
        {"sessions", "не указаны серверы"},
        {"sessions TS01 --colour red", "лишние аргументы"},
        {"sessions TS01 --format xml", "неверное значение"},
        {"sessions TS01 --timeout 0", "неверное значение"},
        {"sessions TS01 --timeout ten", "неверное значение"},
        {"sessions TS01 --parallel 65", "неверное значение"},
        {"sessions TS01 --state sleeping", "неизвестное состояние"},
        {"sessions TS01 --idle-over 5x", "неверная длительность"},
        {"sessions TS01 --idle-over", "неверное число значений"},
        {"processes", "не указан обязательный параметр"},
        {"processes TS01 --session -1", "неверный номер сессии"},
        {"logoff TS01", "не указан обязательный параметр"},
        {"logoff TS01 5 abc", "неверный номер: abc"},
        {"logoff TS01 4294967296", "неверный номер: 4294967296"},
        {"logoff", "не указан обязательный параметр"},
        {"logoff TS01 2 --dry-run", "только вместе с --disconnected-over"},
        {"logoff TS01 2 --user ivanov", "только вместе с --disconnected-over"},
        {"logoff --disconnected-over 8x TS01", "неверная длительность"},
        {"logoff --disconnected-over 8h", "не указаны серверы"},
        {"session TS01", "не указан обязательный параметр"},
        {"session TS01 abc", "неверный номер сессии"},
        {"kill TS01 12.5", "неверный номер: 12.5"},
        {"message TS01 3 --text hi", "не указан обязательный параметр"},
        {"watch", "не указаны серверы"},
        {"watch TS01 --format csv", "watch выводит таблицу или JSON"},
        {"watch TS01 --count 0", "неверное значение --count: 0"},
        {"watch TS01 --count -2", "неверное значение --count"},
        {"watch TS01 --for soon", "неверная длительность: soon"},
        {"sessions TS01 --credential", "неверное число значений"},
        {"sessions TS01 --credential TS01 --ask-credentials", "--credential и --ask-credentials не сочетаются"},
        {"sessions TS01 --password secret", "лишние аргументы"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const CliParse p = ParseCommandLine(Words(c.line));
        EXPECT_EQ(p.exitCode, 2);
        const std::string first = p.output.substr(0, p.output.find('\n'));
        EXPECT_EQ(first.rfind(std::string("tarvenix-cli: ") + c.reason, 0), 0u) << first;
        EXPECT_NE(p.output.find("Использование"), std::string::npos) << "the usage follows the reason";
    }
}

TEST(CliCommandLine, HelpIsInRussianForTheProgramAndEachCommand) {
    CliParse p = ParseCommandLine({"--help"});
    EXPECT_EQ(p.exitCode, 0);
    EXPECT_NE(p.output.find("Использование"), std::string::npos);
    EXPECT_NE(p.output.find("sessions"), std::string::npos);
    EXPECT_NE(p.output.find("Завершить сессии"), std::string::npos);
    p = ParseCommandLine({"sessions", "--help"});
    EXPECT_EQ(p.exitCode, 0);
    EXPECT_NE(p.output.find("--idle-over"), std::string::npos);
    EXPECT_NE(p.output.find("бездействующие"), std::string::npos);
}

TEST(CliDuration, UnitsAndTheListsOwnForms) {
    const struct {
        const char* text;
        std::optional<std::int64_t> seconds;
    } cases[] = {
        {"90s", 90}, {"15m", 900}, {"2h", 7200}, {"1d", 86400}, {"1d2h30m", 95400}, {"2H", 7200},
        {"30", 1800}, {"1:05", 3900}, {"2+03:10", 184200}, {"0", 0},
        {"", std::nullopt}, {"m", std::nullopt}, {"5x", std::nullopt}, {"2h1d", std::nullopt},
        {"1h1h", std::nullopt}, {"1:5", std::nullopt}, {"1:60", std::nullopt}, {"-5m", std::nullopt},
        {"99999999999d", std::nullopt}, {"1+2", std::nullopt}, {"5 m", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseDuration(c.text), c.seconds) << c.text;
}

TEST(CliDuration, StateNamesAndIds) {
    EXPECT_EQ(StateNameFor("active"), std::u16string(u"Active"));
    EXPECT_EQ(StateNameFor("ConnectQuery"), std::u16string(u"ConnectQuery"));
    EXPECT_EQ(StateNameFor("unknown"), std::nullopt) << "only the ten states the server can report";
    EXPECT_EQ(ParseId("0"), 0u);
    EXPECT_EQ(ParseId("4294967295"), 4294967295u);
    EXPECT_EQ(ParseId("4294967296"), std::nullopt);
    EXPECT_EQ(ParseId("+5"), std::nullopt);
    EXPECT_EQ(ParseId(""), std::nullopt);
}

constexpr std::uint32_t kActive = 0, kDisconnected = 4;

Session Row(std::uint32_t id, const char16_t* user, std::uint32_t state, std::optional<std::int64_t> idleSeconds,
            const char16_t* server = u"TS01", const char16_t* logonText = u"") {
    Session r;
    r.server = server;
    r.id = id;
    r.user = user;
    r.clientName = u"PC;\"7\"";
    r.address = u"10.0.0.5";
    r.state = state;
    r.winStation = u"RDP-Tcp#1";
    r.timesKnown = true;
    if (idleSeconds) r.idleTicks = *idleSeconds * kTicksPerSecond;
    r.logonText = logonText;
    return r;
}

TEST(CliOutput, FiltersPickByUserStateAndIdleTime) {
    CliRequest request;
    request.user = u"ПЕТР";
    request.state = u"Disconnected";
    request.idleOverSeconds = 3600;
    EXPECT_TRUE(SessionPasses(request, Row(1, u"Петрова", kDisconnected, 7200)));
    EXPECT_FALSE(SessionPasses(request, Row(1, u"Иванова", kDisconnected, 7200)));
    EXPECT_FALSE(SessionPasses(request, Row(1, u"Петрова", kActive, 7200)));
    EXPECT_FALSE(SessionPasses(request, Row(1, u"Петрова", kDisconnected, 3600))) << "longer than, not as long";
    EXPECT_FALSE(SessionPasses(request, Row(1, u"Петрова", kDisconnected, std::nullopt)));
    EXPECT_TRUE(SessionPasses(CliRequest(), Row(1, u"x", kActive, std::nullopt)));
}

TEST(CliOutput, JsonAndCsvReadBackExactly) {
    std::vector<Session> sessions = {
        Row(4294967295u, u"d.o'brien \"admin\"\\", kActive, 65 * 60, u"TS01", u"10.12.2026 8:15"),
        Row(3, u"Петрова\r\nline", kDisconnected, std::nullopt, u"СЕРВЕР-БУХ"),
    };
    sessions[0].logonTicks = 116444736000000000 + 1765354500LL * kTicksPerSecond;  // 2025-12-10T08:15:00Z

    const auto json = nlohmann::json::parse(Utf16ToUtf8(FormatSessions(sessions, OutputFormat::Json, u';')));
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["server"], "TS01");
    EXPECT_EQ(json[0]["id"], 4294967295u);
    EXPECT_EQ(json[0]["user"], "d.o'brien \"admin\"\\");
    EXPECT_EQ(json[0]["client"], "PC;\"7\"");
    EXPECT_EQ(json[0]["idle_seconds"], 3900);
    EXPECT_EQ(json[0]["idle"], "1:05");
    EXPECT_EQ(json[0]["logon_time"], "2025-12-10T08:15:00Z");
    EXPECT_EQ(json[1]["server"], "СЕРВЕР-БУХ");
    EXPECT_EQ(json[1]["user"], "Петрова\r\nline");
    EXPECT_TRUE(json[1]["idle_seconds"].is_null());
    EXPECT_TRUE(json[1]["logon_time"].is_null());

    const std::u16string csv = FormatSessions(sessions, OutputFormat::Csv, u';');
    const auto rows = ReadCsv(Utf16ToUtf8(csv), u';');
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 3u);
    EXPECT_EQ((*rows)[0], (std::vector<std::u16string>{u"ID", u"Учетная запись", u"Имя компьютера", u"IP адрес",
                                                      u"Состояние сессии", u"Сессия", u"Сервер", u"Бездействие",
                                                      u"Вход"}));
    EXPECT_EQ((*rows)[1], (std::vector<std::u16string>{u"4294967295", u"d.o'brien \"admin\"\\", u"PC;\"7\"",
                                                      u"10.0.0.5", u"Active", u"RDP-Tcp#1", u"TS01", u"1:05",
                                                      u"10.12.2026 8:15"}));
    EXPECT_EQ((*rows)[2][1], u"Петрова\r\nline");
}

TEST(CliOutput, TablesAlignByCharactersNotBytes) {
    const std::u16string table = AlignedTable({{u"ID", u"Учетная запись", u"Сервер"}, {u"12", u"ab", u"СЕРВЕР-БУХ"}});
    EXPECT_EQ(table, u"ID  Учетная запись  Сервер\r\n"
                     u"------------------------------\r\n"
                     u"12  ab              СЕРВЕР-БУХ\r\n");
}

TEST(CliOutput, UtcTimesFromFileTimes) {
    EXPECT_EQ(IsoUtc(0), "1601-01-01T00:00:00Z");
    EXPECT_EQ(IsoUtc(116444736000000000), "1970-01-01T00:00:00Z");
    EXPECT_EQ(IsoUtc(116444736000000000 + 951782400LL * kTicksPerSecond), "2000-02-29T00:00:00Z");
    EXPECT_EQ(IsoUtc(116444736000000000 + 1796890499LL * kTicksPerSecond + 9999999), "2026-12-10T08:14:59Z")
        << "a fraction of a second is cut, not rounded";
}

}  // namespace
}  // namespace tarvenix
