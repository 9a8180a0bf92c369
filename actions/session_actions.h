// Texts and rows of the session actions (log off, shadow, process panel) and
// the reports of their failures. Portable: the window code feeds it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/error_text.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

inline constexpr char16_t kLogoffSentOne[] = u"Команда на завершение сессии отправлена";
inline constexpr char16_t kLogoffSentMany[] = u"Команды на завершение сессий отправлены";
inline constexpr char16_t kDisconnectSentOne[] = u"Команда на отключение сессии отправлена";
inline constexpr char16_t kDisconnectSentMany[] = u"Команды на отключение сессий отправлены";
inline constexpr char16_t kUnknownProcessName[] = u"<неизвестно>";
inline constexpr char16_t kProcessListModeUser[] = u"user";
inline constexpr char16_t kProcessListModeServer[] = u"server";
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
// control: the session ID text and the server name go in unchanged.
std::u16string ShadowParameters(const std::u16string& sessionIdText, const std::u16string& server);

// A row of the process list: session ID, process name (or "<неизвестно>"
// when the platform gives none or an empty one), process ID.
std::vector<std::u16string> ProcessRow(const ProcessRecord& record);
// "Кол-во процессов: N".
std::u16string ProcessCountText(std::size_t count);

// The processes of one session: the records whose session ID equals the
// session-list caption read as a session ID (StrToIntLike, taken modulo 2^32),
// in the order given. Without a caption, every record.
std::vector<std::vector<std::u16string>> ProcessRows(const std::vector<ProcessRecord>& records,
                                                     const std::optional<std::u16string>& sessionCaption);

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

// First lines of the single-failure reports (the system's text follows).
std::u16string TerminateFailureHeading(const std::u16string& server, std::uint32_t processId);
std::u16string ProcessListFailureHeading(const std::u16string& server);
std::u16string ShadowFailureHeading(const std::u16string& sessionIdText, const std::u16string& server);

}  // namespace tarvenix
