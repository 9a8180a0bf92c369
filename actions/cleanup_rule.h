// The clean-up rule: the sessions that have been disconnected for longer than
// a time, optionally only of users whose name contains a text; what it
// matches, the preview of it, and what the command line prints for it.
// Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "actions/bulk_run.h"
#include "base/error_text.h"
#include "sessions/session.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

inline constexpr std::int64_t kDefaultCleanupSeconds = 8 * 3600;  // 8 hours

struct CleanupRule {
    std::int64_t overSeconds = kDefaultCleanupSeconds;  // disconnected for more than this
    std::u16string userText;                            // contained in the user name, any case; empty: everyone
};

// How long a session has been disconnected: nothing unless it is
// disconnected and its server reported the disconnect time.
std::optional<std::int64_t> DisconnectedTicks(const Session& session);

// The rule matches a disconnected session whose disconnect time is known and
// lies more than the rule's time back (exactly that long does not match), of
// a user whose name contains the text. An active session, however long idle,
// never matches.
bool RuleMatches(const CleanupRule& rule, const Session& session);

// The matching sessions, in the order given.
std::vector<Session> MatchingSessions(const CleanupRule& rule, const std::vector<Session>& sessions);

// The units of the dialog's chooser.
enum class CleanupUnit : int { Minutes, Hours, Days };
std::int64_t UnitSeconds(CleanupUnit unit);

// The preview's columns and a session's row: server, ID, user, disconnected
// for (as the idle column writes times: "2+03:10").
std::vector<std::u16string> CleanupPreviewHeader();
std::vector<std::u16string> CleanupPreviewRow(const Session& session);

// "Найдено сессий: N" under the preview.
std::u16string CleanupFoundText(std::size_t count);
// The one question before the logoffs.
std::u16string CleanupQuestion(std::size_t servers, std::size_t sessions);

// The logoff of a matched session: its holder was checked by the command
// (CheckAndCall); the session must still be disconnected, else it is left
// alone (the user came back) with kSessionReconnected.
inline constexpr std::uint32_t kSessionReconnected = 0x20000001;  // an application's own code (bit 29)
CallResult LogoffIfStillDisconnected(TerminalServer& server, std::uint32_t sessionId);

// The one report of the clean-up: per server, how many were logged off of
// how many matched, then why each of the others was not.
std::u16string CleanupReport(const std::vector<ServerResults>& servers, const DescribeError& describe);

// The command line's --dry-run: what it would log off, as JSON objects
// (server, id, user, domain, disconnected_seconds).
std::string CleanupJson(const Session& session);

}  // namespace tarvenix
