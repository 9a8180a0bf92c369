// Texts and rows of the session actions (log off, shadow, process panel) and
// the reports of their failures. Portable: the window code feeds it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "actions/bulk_run.h"
#include "base/error_text.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

inline constexpr char16_t kLogoffSentOne[] = u"Команда на завершение сессии отправлена";
inline constexpr char16_t kLogoffSentMany[] = u"Команды на завершение сессий отправлены";
inline constexpr char16_t kDisconnectSentOne[] = u"Команда на отключение сессии отправлена";
inline constexpr char16_t kDisconnectSentMany[] = u"Команды на отключение сессий отправлены";
inline constexpr char16_t kUnknownProcessName[] = u"<неизвестно>";
inline constexpr char16_t kShadowClient[] = u"mstsc";
inline constexpr int kShadowShowCommand = 10;  // SW_SHOWDEFAULT

// The report of "log off selected" for the number of commands sent:
// singular below 2, plural from 2 on.
std::u16string LogoffSentMessage(std::int32_t sent);
// The question before logging off every listed session of a server.
std::u16string LogoffAllQuestion(const std::u16string& listedServer);
// The question before logging off every listed session of several servers
// (or the rows a filter shows): names the numbers of servers and sessions.
std::u16string LogoffListedQuestion(std::size_t servers, std::size_t sessions);
// A report that went to several servers: the heading, then a line per
// server with its number ("TS01: 2"). With one server, the heading alone.
std::u16string PerServerReport(const std::u16string& heading,
                               const std::vector<std::pair<std::u16string, std::int32_t>>& counts);
// "Было завершено N сессий." (the wording does not change with N).
std::u16string LogoffAllReport(std::int32_t loggedOff);

// The remote-desktop client's parameters for shadowing a session with
// control: the session ID and the server name go in unchanged.
std::u16string ShadowParameters(std::uint32_t sessionId, const std::u16string& server);

// A row of the process list: session ID, process name (or "<неизвестно>"
// when the platform gives none or an empty one), process ID.
std::vector<std::u16string> ProcessRow(const ProcessRecord& record);
// "Кол-во процессов: N".
std::u16string ProcessCountText(std::size_t count);

// The processes of one session (every process without one), in the order given.
std::vector<ProcessRecord> SessionProcesses(std::vector<ProcessRecord> records, std::optional<std::uint32_t> sessionId);

// --- Failure reports ---

struct SessionFailure {
    std::uint32_t sessionId = 0;
    std::uint32_t error = 0;
};

// Names the server and the sessions whose logoff failed, then the system's
// text of each distinct error (with the sessions it hit when they differ).
// Empty when nothing failed.
std::u16string LogoffFailureText(const std::u16string& server, const std::vector<SessionFailure>& failures,
                                 const DescribeError& describe);

// The report of "disconnect selected": singular below 2, plural from 2 on.
std::u16string DisconnectSentMessage(std::int32_t sent);
// As LogoffFailureText, for the sessions that could not be disconnected.
std::u16string DisconnectFailureText(const std::u16string& server, const std::vector<SessionFailure>& failures,
                                     const DescribeError& describe);

// Why a command did not act on a listed session, or did not hear back:
// "Сессия 3 на сервере TS01 уже завершена.", "Сессия 3 на сервере TS01
// теперь у ivanov: команда не отправлена.", and for a command whose time-out
// ran out, "не отправлена" (no call was made) or "нет ответа" (the call was
// made and may have been carried out). Empty for a session acted on or a
// call that failed (those have their own reports).
std::u16string NotActedLine(const Session& session, const ItemResult& result);

// Why a command on one session (shadowing, its processes) was not carried
// out after its check: the session ended or changed hands, the check failed
// ("Не удалось проверить сессию 3 на сервере TS01." and the system's text),
// or the server did not answer in time.
std::u16string SessionCheckFailureText(const Session& session, const ItemResult& checked,
                                       std::chrono::milliseconds timeout, const DescribeError& describe);

// What a command on listed sessions came to, server by server.
struct CommandSummary {
    std::int32_t done = 0;      // sessions the command was carried out on
    std::size_t notDone = 0;    // every other session
    std::vector<std::pair<std::u16string, std::int32_t>> counts;  // done, per server
    std::u16string problems;    // the failures of each server, then the sessions not acted on
};
using FailureReport = std::function<std::u16string(const std::u16string& server, const std::vector<SessionFailure>&)>;
CommandSummary SummariseCommand(const std::vector<ServerResults>& servers, const FailureReport& failureText);

// First lines of the single-failure reports (the system's text follows).
std::u16string TerminateFailureHeading(const std::u16string& server, std::uint32_t processId);
std::u16string ProcessListFailureHeading(const std::u16string& server);
std::u16string ShadowFailureHeading(std::uint32_t sessionId, const std::u16string& server);

}  // namespace tarvenix
