// The simulated terminal-server farm: the in-memory model the wtsapi32 double
// serves, and the reader of its JSON description (format: tests/farm/README.md).
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace farm {

// FILETIME ticks: 100 ns since 1601-01-01 UTC.
constexpr std::int64_t kTicksPerSecond = 10'000'000;

// One time of the session information: not reported (0), a fixed UTC time, or
// a number of seconds before the server's current time at the call.
struct SessionTime {
    enum class Kind { None, At, SecondsBefore };
    Kind kind = Kind::None;
    std::int64_t value = 0;  // ticks (At) or seconds (SecondsBefore)

    static SessionTime At(std::int64_t ticks) { return {Kind::At, ticks}; }
    static SessionTime SecondsBefore(std::int64_t seconds) { return {Kind::SecondsBefore, seconds}; }
    // The ticks to report when the server's clock reads `current`; never negative.
    std::int64_t Resolve(std::int64_t current) const;
};

// A later logon that takes a session's ID (the session ends and the server
// gives the ID to another user's logon): once the double has answered
// `afterInfoQueries` session-information queries (class 24) for the session,
// the given fields replace the session's; those not given stay as they were.
struct Reuse {
    DWORD afterInfoQueries = 1;
    std::optional<std::wstring> user;
    std::optional<std::wstring> domain;
    std::optional<std::wstring> client;
    std::optional<SessionTime> logonTime;
    std::optional<SessionTime> lastInputTime;
};

struct Session {
    DWORD id = 0;
    DWORD state = 0;  // WTS_CONNECTSTATE_CLASS, any value
    std::wstring user;
    std::wstring client;
    std::wstring winStation;
    std::wstring domain;
    DWORD family = 0;  // WTS_CLIENT_ADDRESS.AddressFamily; 0 = no address
    std::array<BYTE, 20> address{};
    std::vector<DWORD> failingClasses;  // info classes whose query fails
    DWORD queryError = ERROR_ACCESS_DENIED;
    DWORD logoffError = 0;
    DWORD disconnectError = 0;
    DWORD messageError = 0;
    DWORD messageResponse = IDOK;  // answer when the caller waits
    SessionTime logonTime;
    SessionTime lastInputTime;
    SessionTime disconnectTime;
    DWORD queryDelayMs = 0;  // each session-information query sleeps this long first
    std::optional<Reuse> reuse;
    DWORD infoAnswers = 0;  // class-24 queries answered since the load
    // A scripted session: logged on for this many seconds from the load,
    // then logged off for as many, and so on (0: always there).
    DWORD cycleSeconds = 0;
    // The client's details (classes 9, 11, 15, 16) and the connect time.
    DWORD clientBuild = 0;
    std::wstring clientDirectory;
    DWORD displayWidth = 0, displayHeight = 0, displayDepth = 0;  // depth as WTS_CLIENT_DISPLAY's code
    DWORD protocol = 0;
    SessionTime connectTime;
};

// What the extended process listing (level 1) gives beyond the plain one.
// The CPU times advance from the load on: user time by cpuPercent per cent of
// the real time since the load (so two listings show that load).
struct ProcessFigures {
    DWORD threads = 1;
    DWORD handles = 0;
    std::uint64_t workingSet = 0;
    std::uint64_t peakWorkingSet = 0;  // at least the working set
    std::uint64_t pagefile = 0;
    std::int64_t userTime = 0;    // ticks at the load
    std::int64_t kernelTime = 0;  // ticks
    DWORD cpuPercent = 0;
    std::vector<BYTE> sid;        // empty: no SID
};

struct Process {
    DWORD session = 0;
    DWORD pid = 0;
    std::optional<std::wstring> name;
    DWORD terminateError = 0;
    ProcessFigures figures{};
};

struct Server {
    std::wstring name;
    DWORD latencyMs = 0;
    bool unreachable = false;
    DWORD unreachableDelayMs = 0;
    DWORD enumerateError = 0;
    DWORD processEnumerateError = 0;
    DWORD logoffError = 0;
    DWORD disconnectError = 0;
    DWORD messageError = 0;
    DWORD terminateError = 0;
    // Non-zero: WTSEnumerateProcessesExW fails with it (a server that does
    // not have the extended listing); the plain listing still answers.
    DWORD processExError = 0;
    std::optional<std::int64_t> currentTime;  // ticks; none: the real clock at each call
    DWORD waitError = 0;  // event waits fail with this at once
    // The account every call must carry (see TarvenixFarmCarryAccount), and
    // its password when one is checked; empty: any caller is served.
    std::wstring account;
    std::optional<std::wstring> password;
    std::vector<Session> sessions;
    std::vector<Process> processes;
    // Scripted sessions (cycleSeconds), held here; each is in `sessions`
    // while it is logged on.
    std::vector<Session> cycled;

    Session* FindSession(DWORD id);
    // The server's clock: its fixed current time, else the real UTC time now.
    std::int64_t Now() const;
    Process* FindProcess(DWORD pid);
};

struct Farm {
    DWORD unknownServerDelayMs = 0;
    DWORD notificationError = 0;
    std::vector<Server> servers;

    // Host names compare case-insensitively; "" is the local machine.
    Server* FindServer(const std::wstring& name);
};

// Reads a farm description. Throws std::runtime_error naming the offending
// place ("servers[1].sessions[0].state: ...") on malformed input.
Farm ParseFarm(const std::string& utf8Json);

// "2026-12-10T08:15:00Z", optionally with a fraction of a second (up to 7
// digits): the FILETIME ticks of that UTC time. Nothing for any other text.
std::optional<std::int64_t> ParseUtcTime(const std::string& text);

std::wstring Utf8ToWide(const std::string& utf8);

// "S-1-5-21-1-2-3-1001" as SID bytes; nothing for any other text.
std::optional<std::vector<BYTE>> ParseSid(const std::string& text);
bool SameHostName(const std::wstring& a, const std::wstring& b);

}  // namespace farm
