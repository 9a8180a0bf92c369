// The program's narrow view of the terminal-services interface. Portable: the
// Windows implementation (wts_terminal_services_win) wraps wtsapi32; tests use
// in-memory fakes. Every call is synchronous. Results carry the system error
// code of a failure so that callers can tell "no sessions" from "unreachable".
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sessions/session_times.h"

namespace tarvenix {

// Session information classes, numbered as WTS_INFO_CLASS.
enum class SessionInfoClass : std::uint32_t {
    WinStationName = 6,
    UserName = 5,
    ClientName = 10,
    ClientAddress = 14,
    SessionInfo = 24,  // WTSSessionInfo: the session's times
    // The client's details (the session details window, the chosen columns).
    ClientBuildNumber = 9,   // a 32-bit number
    ClientDirectory = 11,    // a string
    ClientDisplay = 15,      // WTS_CLIENT_DISPLAY
    ClientProtocolType = 16, // a 16-bit number: 0 console, 1 ICA, 2 RDP
};

// WTS_CLIENT_DISPLAY: the client's resolution and its colour-depth code
// (1: 4 bits, 2: 8, 4: 16, 8: 24, 16: 15, 24: 24, 32: 32).
struct ClientDisplay {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t colorDepth = 0;
};

// Session record as the enumeration gives it.
struct SessionRecord {
    std::uint32_t sessionId = 0;
    std::u16string winStationName;  // the enumeration's own; not shown
    std::uint32_t state = 0;        // WTS_CONNECTSTATE_CLASS
};

// WTS_CLIENT_ADDRESS: address family, then 20 address bytes.
struct ClientAddress {
    std::uint32_t family = 0;
    std::array<std::uint8_t, 20> bytes{};
};

// What the extended process listing (WTS_PROCESS_INFO_EXW) adds to a
// process: its counts, memory in bytes, CPU times in 100-ns ticks, and the
// user's SID as its bytes (empty when the server gives none).
struct ProcessFigures {
    std::uint32_t threads = 0;
    std::uint32_t handles = 0;
    std::uint64_t workingSet = 0;
    std::uint64_t peakWorkingSet = 0;
    std::uint64_t pagefileUsage = 0;
    std::int64_t userTime = 0;
    std::int64_t kernelTime = 0;
    std::vector<std::uint8_t> sid;
};

// Process record; the name is absent when the platform gives none, the
// figures when the server refused the extended listing.
struct ProcessRecord {
    std::uint32_t sessionId = 0;
    std::uint32_t processId = 0;
    std::optional<std::u16string> name;
    std::optional<ProcessFigures> figures = std::nullopt;
};

// The session information (WTSSessionInfo): who is logged on in the session
// now and its times, all in one answer.
struct SessionInfo {
    std::uint32_t state = 0;
    std::u16string user;    // empty: nobody is logged on
    std::u16string domain;
    SessionTimes times;
};

// The kinds of session event a server reports to a wait (WTS_EVENT_*).
namespace session_events {
constexpr std::uint32_t kNone = 0x0;
constexpr std::uint32_t kCreate = 0x1;
constexpr std::uint32_t kDelete = 0x2;
constexpr std::uint32_t kRename = 0x4;
constexpr std::uint32_t kConnect = 0x8;
constexpr std::uint32_t kDisconnect = 0x10;
constexpr std::uint32_t kLogon = 0x20;
constexpr std::uint32_t kLogoff = 0x40;
constexpr std::uint32_t kStateChange = 0x80;
constexpr std::uint32_t kLicense = 0x100;
constexpr std::uint32_t kAll = 0x7fffffff;
}  // namespace session_events

// Outcome of a call: success, or the system error code (never 0 on failure).
struct CallResult {
    bool ok = true;
    std::uint32_t error = 0;
    static CallResult Success() { return {}; }
    static CallResult Failure(std::uint32_t code) { return {false, code == 0 ? 1u : code}; }
};

// An open server handle. Destroying the object closes the handle.
class TerminalServer {
public:
    virtual ~TerminalServer() = default;
    virtual CallResult EnumerateSessions(std::vector<SessionRecord>& sessions) = 0;
    // A NUL-terminated string class (ClientName, UserName, WinStationName):
    // the text up to its NUL, or nothing when the query fails.
    virtual std::optional<std::u16string> QueryString(std::uint32_t sessionId, SessionInfoClass infoClass) = 0;
    virtual std::optional<ClientAddress> QueryClientAddress(std::uint32_t sessionId) = 0;
    // The session information (the times, and who holds the session): the
    // system error code when the query fails (7022 when there is no such
    // session).
    virtual CallResult QuerySessionInfo(std::uint32_t sessionId, SessionInfo& info) = 0;
    virtual CallResult EnumerateProcesses(std::vector<ProcessRecord>& processes) = 0;
    virtual CallResult Logoff(std::uint32_t sessionId) = 0;  // does not wait
    virtual CallResult Disconnect(std::uint32_t sessionId) = 0;  // does not wait; the session keeps running
    // Title and message go with their lengths in bytes; style 0, time-out 0, no wait.
    virtual CallResult SendSessionMessage(std::uint32_t sessionId, const std::u16string& title, const std::u16string& message) = 0;
    virtual CallResult TerminateProcess(std::uint32_t processId) = 0;  // exit code 0

    // Blocks until the server reports a session event of the kinds in `mask`
    // (session_events), with no time-out of its own; `events` then holds the
    // kinds that happened (kNone when the wait was released by FlushWaits).
    // One wait at a time per object. A server that cannot be waited on fails
    // at once (not supported: 50).
    virtual CallResult WaitSystemEvent(std::uint32_t mask, std::uint32_t& events) = 0;
    // Releases the wait going on this object, from another thread.
    virtual CallResult FlushWaits() = 0;
    // The client's details: a number class (ClientBuildNumber,
    // ClientProtocolType) and the client's display; nothing when the query
    // fails or the server does not answer it.
    virtual std::optional<std::uint32_t> QueryNumber(std::uint32_t sessionId, SessionInfoClass infoClass) = 0;
    virtual std::optional<ClientDisplay> QueryClientDisplay(std::uint32_t sessionId) = 0;
    // The account a SID names on this server ("CORP\\ivanov", or the name alone
    // when it has no domain); nothing when the server cannot name it.
    virtual std::optional<std::u16string> LookupAccount(const std::vector<std::uint8_t>& sid) = 0;
};

class TerminalServices {
public:
    virtual ~TerminalServices() = default;
    // Never null: a server that cannot be opened gives an object whose calls
    // all fail with the open's error (it never falls back to the local
    // machine). An empty name is refused (ERROR_INVALID_NAME) without a call.
    virtual std::unique_ptr<TerminalServer> Open(const std::u16string& serverName) = 0;

    // Session-change notifications for a window (its handle as a number):
    // registration for all sessions, true when it succeeded; and its undoing.
    virtual bool RegisterSessionNotification(std::uintptr_t window) = 0;
    virtual void UnregisterSessionNotification(std::uintptr_t window) = 0;
};

}  // namespace tarvenix
