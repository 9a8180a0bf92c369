#include "actions/session_actions.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tarvenix {
namespace {

using Rows = std::vector<std::vector<std::u16string>>;

TEST(SessionActionTexts, LogoffReportsAndQuestion) {
    EXPECT_EQ(LogoffSentMessage(0), u"Команда на завершение сессии отправлена");
    EXPECT_EQ(LogoffSentMessage(1), u"Команда на завершение сессии отправлена");
    EXPECT_EQ(LogoffSentMessage(2), u"Команды на завершение сессий отправлены");
    EXPECT_EQ(LogoffSentMessage(17), u"Команды на завершение сессий отправлены");
    EXPECT_EQ(LogoffAllQuestion(u"ts01"), u"Подтвердите завершение всех сессий сервера ts01");
    EXPECT_EQ(LogoffAllReport(3), u"Было завершено 3 сессий.");
    EXPECT_EQ(LogoffAllReport(0), u"Было завершено 0 сессий.");
    EXPECT_EQ(ProcessCountText(0), u"Кол-во процессов: 0");
    EXPECT_EQ(ProcessCountText(12), u"Кол-во процессов: 12");
}

TEST(ShadowParameters, IdAndServerGoInUnchangedAndUnquoted) {
    EXPECT_EQ(ShadowParameters(5, u"ts01"), u"/shadow:5 /v:ts01 /control");
    EXPECT_EQ(ShadowParameters(12, u"my server"), u"/shadow:12 /v:my server /control");
    EXPECT_EQ(ShadowParameters(4294967295u, u"сервер.домен"), u"/shadow:4294967295 /v:сервер.домен /control");
}

TEST(ProcessRow, UnknownNameForMissingOrEmptyName) {
    EXPECT_EQ(ProcessRow({2, 4120, u"explorer.exe"}), (std::vector<std::u16string>{u"2", u"explorer.exe", u"4120"}));
    EXPECT_EQ(ProcessRow({0, 4, std::nullopt}), (std::vector<std::u16string>{u"0", u"<неизвестно>", u"4"}));
    EXPECT_EQ(ProcessRow({7, 9, u""}), (std::vector<std::u16string>{u"7", u"<неизвестно>", u"9"}));
    EXPECT_EQ(ProcessRow({4294967295u, 4294967294u, u"x"}),
              (std::vector<std::u16string>{u"4294967295", u"x", u"4294967294"}));
}

Rows RowsOf(const std::vector<ProcessRecord>& records) {
    Rows rows;
    for (const ProcessRecord& r : records) rows.push_back(ProcessRow(r));
    return rows;
}

TEST(SessionProcesses, FiltersBySession) {
    const std::vector<ProcessRecord> records = {
        {0, 4, u"System"}, {2, 100, u"a.exe"}, {3, 200, u"b.exe"}, {2, 101, std::nullopt}, {0, 8, u"svc"},
    };
    // Every record, in the order given, without a session.
    EXPECT_EQ(SessionProcesses(records, std::nullopt).size(), 5u);
    EXPECT_EQ(RowsOf(SessionProcesses(records, std::nullopt))[4], (std::vector<std::u16string>{u"0", u"svc", u"8"}));
    EXPECT_EQ(RowsOf(SessionProcesses(records, 2u)), (Rows{{u"2", u"a.exe", u"100"}, {u"2", u"<неизвестно>", u"101"}}));
    EXPECT_TRUE(SessionProcesses(records, 9u).empty());
    const std::vector<ProcessRecord> high = {{4294967295u, 1, u"x"}, {2147483648u, 2, u"y"}, {0, 3, u"z"}};
    EXPECT_EQ(RowsOf(SessionProcesses(high, 4294967295u)), (Rows{{u"4294967295", u"x", u"1"}}));
    EXPECT_EQ(RowsOf(SessionProcesses(high, 2147483648u)), (Rows{{u"2147483648", u"y", u"2"}}));
}

std::u16string Describe(std::uint32_t code) {
    if (code == 5) return u"Отказано в доступе.";
    if (code == 1722) return u"Сервер RPC недоступен.";
    return u"";
}

TEST(LogoffFailureText, NamesServerSessionsAndSystemTexts) {
    EXPECT_EQ(LogoffFailureText(u"TS01", {}, Describe), u"");
    EXPECT_EQ(LogoffFailureText(u"TS01", {{5, 5}}, Describe),
              u"Не удалось завершить сессию 5 на сервере TS01.\r\nОтказано в доступе. (5)");
    // One cause for all: said once.
    EXPECT_EQ(LogoffFailureText(u"TS02", {{3, 1722}, {7, 1722}}, Describe),
              u"Не удалось завершить сессии 3, 7 на сервере TS02.\r\nСервер RPC недоступен. (1722)");
    // Several causes: each with the sessions it hit, in order of first occurrence.
    EXPECT_EQ(LogoffFailureText(u"TS01", {{9, 7022}, {3, 5}, {4, 7022}}, Describe),
              u"Не удалось завершить сессии 9, 3, 4 на сервере TS01.\r\n"
              u"9, 4: Код ошибки 7022 (7022)\r\n"
              u"3: Отказано в доступе. (5)");
}

TEST(FailureHeadings, NameServerAndSubject) {
    EXPECT_EQ(TerminateFailureHeading(u"TS01", 88), u"Не удалось завершить процесс 88 на сервере TS01.");
    EXPECT_EQ(ProcessListFailureHeading(u"TS01"), u"Не удалось получить список процессов сервера TS01.");
    EXPECT_EQ(ShadowFailureHeading(5, u"TS01"), u"Не удалось запустить mstsc для подключения к сессии 5 на сервере TS01.");
    EXPECT_EQ(SystemErrorLine(2, nullptr), u"Код ошибки 2 (2)");
}

Session Listed(const char16_t* server, std::uint32_t id, const char16_t* user) {
    Session s;
    s.server = server;
    s.id = id;
    s.user = user;
    return s;
}

TEST(CommandSummary, CountsWhatWasDoneAndNamesWhatWasNot) {
    std::vector<ServerResults> servers(2);
    servers[0].server = u"TS01";
    servers[0].sessions = {Listed(u"TS01", 2, u"a"), Listed(u"TS01", 3, u"petrova"), Listed(u"TS01", 4, u"b"),
                           Listed(u"TS01", 5, u"c")};
    servers[0].results = {ItemResult::From(CallResult::Success()),
                          {ItemState::ChangedHands, false, 0, u"ivanov"},
                          {ItemState::Ended, false, 0, {}},
                          ItemResult::From(CallResult::Failure(5))};
    servers[1].server = u"TS02";
    servers[1].sessions = {Listed(u"TS02", 7, u"d"), Listed(u"TS02", 8, u"e"), Listed(u"TS02", 9, u"f")};
    servers[1].results = {ItemResult::From(CallResult::Success()),
                          {ItemState::NoAnswer, false, kTimeoutError, {}},
                          {ItemState::NotStarted, false, kTimeoutError, {}}};
    const CommandSummary summary = SummariseCommand(
        servers, [](const std::u16string& server, const std::vector<SessionFailure>& failures) {
            return LogoffFailureText(server, failures, Describe);
        });
    EXPECT_EQ(summary.done, 2);
    EXPECT_EQ(summary.notDone, 5u);
    EXPECT_EQ(summary.counts, (std::vector<std::pair<std::u16string, std::int32_t>>{{u"TS01", 1}, {u"TS02", 1}}));
    EXPECT_EQ(summary.problems,
              u"Не удалось завершить сессию 5 на сервере TS01.\r\nОтказано в доступе. (5)\r\n\r\n"
              u"Сессия 3 на сервере TS01 теперь у ivanov: команда не отправлена.\r\n"
              u"Сессия 4 на сервере TS01 уже завершена.\r\n"
              u"Сессия 8 на сервере TS02: нет ответа, команда могла быть выполнена.\r\n"
              u"Сессия 9 на сервере TS02: команда не отправлена, время ожидания истекло.");
}

}  // namespace
}  // namespace tarvenix
