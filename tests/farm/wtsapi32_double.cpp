// wtsapi32.dll of our own: a simulated terminal-server farm for the tests and
// the demo. It serves the farm described in a JSON file and writes every call
// it receives to an action log. Formats: tests/farm/README.md.
#include <windows.h>
#include <wtsapi32.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "action_log.h"
#include "sessions/wts_extended_win.h"
#include "farm_model.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

extern "C" {
int __stdcall TarvenixFarmDouble(void);
BOOL __stdcall TarvenixFarmLoad(const wchar_t* farmJsonPath, const wchar_t* actionLogPath);
LONG __stdcall TarvenixFarmOpenHandles(void);
LONG __stdcall TarvenixFarmHandlesOpened(void);
LONG __stdcall TarvenixFarmOutstandingBuffers(void);
LONG __stdcall TarvenixFarmWaits(void);
BOOL __stdcall TarvenixFarmCarryAccount(const wchar_t* account, const wchar_t* password);
}

namespace {

using farm::LogLine;

// Handles carry a tag, the load generation and their number, so that a handle
// from an earlier load or a value the double never issued is recognised.
constexpr std::uint64_t kHandleTag = 0x7A4Full << 48;
constexpr DWORD kSessionNotFound = 7022;  // ERROR_CTX_WINSTATION_NOT_FOUND

static_assert(sizeof(WTS_CONNECTSTATE_CLASS) == sizeof(DWORD), "state is written as a DWORD");

struct HandleEntry {
    std::wstring server;
    bool open = true;
    // The event wait going on the handle (one at a time), the events it has
    // not yet returned, and whether a flush released it.
    bool waiting = false;
    DWORD pending = 0;
    bool flushed = false;
};

struct BufferEntry {
    DWORD generation = 0;
    DWORD number = 0;
    const char* kind = "";
    DWORD entries = 0;  // the extended process listing: its count, which WTSFreeMemoryExW is given back
};

struct State {
    SRWLOCK lock = SRWLOCK_INIT;
    bool loaded = false;
    DWORD generation = 0;
    farm::Farm farm;
    farm::ActionLog log;
    std::map<DWORD, HandleEntry> handles;  // this generation's, by number
    DWORD nextHandle = 1;
    LONG opened = 0;
    LONG closed = 0;
    std::map<void*, BufferEntry> buffers;  // every generation's
    DWORD nextBuffer = 1;
    std::set<HWND> registrations;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;  // an event, a flush, a close
    std::wstring farmFile;        // what the load read, watched while a wait goes
    FILETIME farmWritten{};
    ULONGLONG farmSize = 0;
    ULONGLONG farmChecked = 0;    // when a wait last looked at the farm file
    LONG waits = 0;               // event waits going
    // GetTickCount64 at the load: what the CPU times advance from, and the
    // scripted sessions' cycles count from.
    ULONGLONG loadedAt = 0;
};

// Never destroyed: a call arriving during process shutdown still finds it.
State& G() {
    static State* state = new State;
    return *state;
}

class Lock {
public:
    Lock() { AcquireSRWLockExclusive(&G().lock); }
    ~Lock() { ReleaseSRWLockExclusive(&G().lock); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

// ---- paths -----------------------------------------------------------------

std::wstring ModuleDirectory() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path.data(),
                                       static_cast<DWORD>(path.size()));
    path.resize(n);
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring Environment(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(n < value.size() ? n : 0);
    return value;
}

// A Unix path (as scripts under Wine naturally give) becomes the DOS path Wine maps it to.
std::wstring DosPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    using ToDos = WCHAR*(CDECL*)(LPCSTR);
    auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (toDos) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string unix(static_cast<std::size_t>(n), '\0');
        WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, unix.data(), n, nullptr, nullptr);
        if (WCHAR* dos = toDos(unix.c_str())) {
            std::wstring result(dos);
            HeapFree(GetProcessHeap(), 0, dos);
            return result;
        }
    }
    std::wstring result = L"Z:" + path;
    for (wchar_t& c : result)
        if (c == L'/') c = L'\\';
    return result;
}

std::wstring ResolvePath(const wchar_t* given, const wchar_t* variable, const wchar_t* fileName) {
    if (given && *given) return DosPath(given);
    std::wstring fromEnvironment = Environment(variable);
    if (!fromEnvironment.empty()) return DosPath(fromEnvironment);
    return ModuleDirectory() + fileName;
}

bool ReadWholeFile(const std::wstring& path, std::string& content, DWORD& error) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    content.clear();
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) content.append(buffer, got);
    if (!ok) error = GetLastError();
    CloseHandle(file);
    return ok;
}

// ---- loading ---------------------------------------------------------------

void FileStamp(const std::wstring& path, FILETIME& written, ULONGLONG& size) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        written = FILETIME{};
        size = 0;
        return;
    }
    written = data.ftLastWriteTime;
    size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A logon happens once: a logon time given as so many seconds ago is fixed
// on the server's clock when the logon comes (the farm's load, or the later
// logon of a reused ID), so every answer gives the same logon time, as a real
// server does. Idle and disconnect times stay relative to each answer.
farm::SessionTime FixedLogon(const farm::SessionTime& logon, const farm::Server& server) {
    if (logon.kind != farm::SessionTime::Kind::SecondsBefore) return logon;
    return farm::SessionTime::At(logon.Resolve(server.Now()));
}


BOOL LoadLocked(const wchar_t* farmPath, const wchar_t* logPath, const char* mode) {
    State& s = G();
    const std::wstring farmFile = ResolvePath(farmPath, L"TARVENIX_FARM", L"farm.json");
    const std::wstring logFile = ResolvePath(logPath, L"TARVENIX_FARM_LOG", L"farm-actions.log");
    s.loaded = true;
    ++s.generation;
    s.handles.clear();
    s.nextHandle = 1;
    s.opened = 0;
    s.closed = 0;
    s.nextBuffer = 1;
    s.registrations.clear();
    s.loadedAt = GetTickCount64();
    s.farm = farm::Farm();
    s.farmFile = farmFile;
    WakeAllConditionVariable(&s.changed);  // waits of the earlier load end

    const bool logOpen = s.log.Open(logFile);
    const DWORD logError = logOpen ? 0 : GetLastError();
    DWORD error = 0;
    std::string reason;
    std::string json;
    FileStamp(farmFile, s.farmWritten, s.farmSize);
    if (!ReadWholeFile(farmFile, json, error)) {
        reason = "cannot read the farm file";
    } else {
        try {
            s.farm = farm::ParseFarm(json);
            for (farm::Server& server : s.farm.servers)
                for (farm::Session& session : server.sessions) session.logonTime = FixedLogon(session.logonTime, server);
        } catch (const std::exception& e) {
            error = ERROR_INVALID_DATA;
            reason = e.what();
        }
    }
    if (error == 0 && !logOpen) {
        error = logError;
        reason = "cannot create the action log";
    }
    LogLine line("TarvenixFarmLoad");
    line.Text("farm", farmFile).Text("log", logFile).Field("mode", mode);
    if (error == 0) {
        line.Number("result", 1).Number("servers", s.farm.servers.size());
    } else {
        line.Number("result", 0).Number("error", error).Text("reason", farm::Utf8ToWide(reason));
    }
    s.log.Write(line);
    if (error != 0) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

// ---- session events ----------------------------------------------------------

// Every wait going on a handle of the server returns with these events.
void Signal(const std::wstring& server, DWORD events) {
    State& s = G();
    bool any = false;
    for (auto& [number, handle] : s.handles) {
        if (!handle.open || !handle.waiting || !farm::SameHostName(handle.server, server)) continue;
        handle.pending |= events;
        any = true;
    }
    if (any) WakeAllConditionVariable(&s.changed);
}

// The events that turn one server's sessions into another's: a session is the
// same one when its ID and user are.
DWORD SessionEvents(const std::vector<farm::Session>& before, const std::vector<farm::Session>& after) {
    const auto find = [](const std::vector<farm::Session>& in, const farm::Session& x) -> const farm::Session* {
        for (const farm::Session& s : in)
            if (s.id == x.id && s.user == x.user) return &s;
        return nullptr;
    };
    DWORD events = 0;
    for (const farm::Session& b : before) {
        const farm::Session* a = find(after, b);
        if (!a) {
            events |= WTS_EVENT_LOGOFF | WTS_EVENT_DELETE;
        } else if (a->state != b.state) {
            events |= WTS_EVENT_STATECHANGE | (a->state == WTSDisconnected ? WTS_EVENT_DISCONNECT : WTS_EVENT_CONNECT);
        }
    }
    for (const farm::Session& a : after)
        if (!find(before, a)) events |= WTS_EVENT_LOGON | WTS_EVENT_CREATE;
    return events;
}

// Puts each scripted session of the server in or out of its sessions as its
// cycle says; the events of the changes, or 0.
DWORD SyncCycles(farm::Server& server) {
    const ULONGLONG elapsed = GetTickCount64() - G().loadedAt;
    DWORD events = 0;
    for (const farm::Session& cycled : server.cycled) {
        const ULONGLONG period = static_cast<ULONGLONG>(cycled.cycleSeconds) * 1000;
        const ULONGLONG index = elapsed / period;
        const bool present = index % 2 == 0;
        auto it = std::find_if(server.sessions.begin(), server.sessions.end(),
                               [&](const farm::Session& x) { return x.id == cycled.id && x.user == cycled.user; });
        if (present && it == server.sessions.end()) {
            farm::Session session = cycled;
            // Logged on when this period began: the same logon time at every answer.
            const ULONGLONG into = elapsed - index * period;
            session.logonTime = farm::SessionTime::At(server.Now() - static_cast<std::int64_t>(into) * 10'000);
            std::erase_if(server.sessions, [&](const farm::Session& x) { return x.id == cycled.id; });
            server.sessions.push_back(std::move(session));
            events |= WTS_EVENT_LOGON | WTS_EVENT_CREATE;
        } else if (!present && it != server.sessions.end()) {
            server.sessions.erase(it);
            std::erase_if(server.processes, [&](const farm::Process& x) { return x.session == cycled.id; });
            events |= WTS_EVENT_LOGOFF | WTS_EVENT_DELETE;
        }
    }
    return events;
}

// How long until a scripted session of the server next logs on or off (at
// most `cap`), so that a wait sees the change when it happens.
DWORD MsToNextCycle(const std::wstring& serverName, DWORD cap) {
    const farm::Server* server = G().farm.FindServer(serverName);
    if (!server) return cap;
    const ULONGLONG elapsed = GetTickCount64() - G().loadedAt;
    ULONGLONG next = cap;
    for (const farm::Session& cycled : server->cycled) {
        const ULONGLONG period = static_cast<ULONGLONG>(cycled.cycleSeconds) * 1000;
        next = std::min(next, (elapsed / period + 1) * period - elapsed);
    }
    return static_cast<DWORD>(next);
}

void ApplyCycles() {
    for (farm::Server& server : G().farm.servers) {
        if (server.cycled.empty()) continue;
        if (const DWORD events = SyncCycles(server)) {
            LogLine line("TarvenixFarmScript");
            line.Text("server", server.name).Hex("events", events).Number("sessions", server.sessions.size());
            G().log.Write(line);
            Signal(server.name, events);
        }
    }
}

// The farm file written anew while a wait goes: read again, and each server's
// waits told what changed. A file that does not read keeps the farm as it was.
void CheckFarmFile() {
    State& s = G();
    // However many waits there are, the file is looked at once a quarter second.
    const ULONGLONG now = GetTickCount64();
    if (now - s.farmChecked < 250) return;
    s.farmChecked = now;
    FILETIME written{};
    ULONGLONG size = 0;
    FileStamp(s.farmFile, written, size);
    if (CompareFileTime(&written, &s.farmWritten) == 0 && size == s.farmSize) return;
    s.farmWritten = written;
    s.farmSize = size;
    std::string json;
    DWORD error = 0;
    LogLine line("TarvenixFarmReload");
    line.Text("farm", s.farmFile);
    farm::Farm fresh;
    try {
        if (!ReadWholeFile(s.farmFile, json, error)) throw std::runtime_error("cannot read the farm file");
        fresh = farm::ParseFarm(json);
    } catch (const std::exception& e) {
        line.Number("result", 0).Text("reason", farm::Utf8ToWide(e.what()));
        s.log.Write(line);
        return;
    }
    std::vector<std::pair<std::wstring, DWORD>> changes;
    for (farm::Server& server : fresh.servers) {
        for (farm::Session& session : server.sessions) session.logonTime = FixedLogon(session.logonTime, server);
        SyncCycles(server);
        const farm::Server* old = s.farm.FindServer(server.name);
        // A session the file still has keeps the logon time it was given.
        if (old)
            for (farm::Session& session : server.sessions)
                for (const farm::Session& was : old->sessions)
                    if (was.id == session.id && was.user == session.user) session.logonTime = was.logonTime;
        const DWORD events = SessionEvents(old ? old->sessions : std::vector<farm::Session>(), server.sessions);
        if (events) changes.emplace_back(server.name, events);
    }
    s.farm = std::move(fresh);
    line.Number("result", 1).Number("servers", s.farm.servers.size()).Number("changed", changes.size());
    s.log.Write(line);
    for (const auto& [server, events] : changes) Signal(server, events);
}

void EnsureLoaded() {
    if (!G().loaded) LoadLocked(nullptr, nullptr, "lazy");
    ApplyCycles();
}

// ---- one call --------------------------------------------------------------

// Collects the call's log line; on success the caller's last error is kept.
class Call {
public:
    explicit Call(const char* function) : line_(function), entryError_(GetLastError()) {}
    LogLine& Line() { return line_; }
    BOOL Fail(DWORD error) {
        line_.Number("result", 0).Number("error", error);
        G().log.Write(line_);
        SetLastError(error);
        return FALSE;
    }
    LogLine& Succeed() { return line_.Number("result", 1); }
    BOOL Done() {
        G().log.Write(line_);
        SetLastError(entryError_);
        return TRUE;
    }

private:
    LogLine line_;
    DWORD entryError_;
};

// What a server handle refers to.
struct Target {
    bool usable = false;             // open handle of this load, or NULL (the local machine)
    std::string number = "0";        // log value of handle=
    std::wstring server;             // the name it was opened with
    bool nameKnown = true;
    bool stale = false;              // issued before the last load
    bool foreign = false;            // never issued by the double
    std::uint64_t raw = 0;
    farm::Server* farmServer = nullptr;  // null: not in the farm
};

Target Resolve(HANDLE handle) {
    State& s = G();
    Target t;
    t.raw = reinterpret_cast<std::uintptr_t>(handle);
    if (!handle) {
        t.usable = true;
    } else if ((t.raw & 0xFFFF000000000000ull) == kHandleTag) {
        const DWORD generation = static_cast<DWORD>((t.raw >> 32) & 0xFFFF);
        const DWORD number = static_cast<DWORD>(t.raw);
        t.number = std::to_string(number);
        auto it = s.handles.find(number);
        if (generation != (s.generation & 0xFFFF)) {
            t.stale = true;
            t.nameKnown = false;
        } else if (it == s.handles.end()) {
            t.number = "?";
            t.foreign = true;
            t.nameKnown = false;
        } else {
            t.server = it->second.server;
            t.usable = it->second.open;
        }
    } else {
        t.number = "?";
        t.foreign = true;
        t.nameKnown = false;
    }
    if (t.usable) t.farmServer = s.farm.FindServer(t.server);
    return t;
}

// The account the calling thread carries (TarvenixFarmCarryAccount), as a
// fake of the system's impersonation tells it; none: the program's own.
struct Carried {
    bool carrying = false;
    std::wstring account;
    std::wstring password;
};
thread_local Carried t_carried;

void Describe(LogLine& line, const Target& t) {
    if (t.nameKnown)
        line.Text("server", t.server);
    else
        line.Field("server", "?");
    line.Field("handle", t.number);
    if (t.stale) line.Field("stale", "1");
    if (t.foreign) line.Hex("raw", t.raw);
    if (t_carried.carrying) line.Text("account", t_carried.account.c_str());
}

// A server that requires an account refuses every other caller with 5, and
// the right account with the wrong password with 1326.
DWORD AccountRefusal(const farm::Server& server) {
    if (server.account.empty()) return 0;
    if (!t_carried.carrying || !farm::SameHostName(t_carried.account, server.account)) return ERROR_ACCESS_DENIED;
    if (server.password && *server.password != t_carried.password) return ERROR_LOGON_FAILURE;
    return 0;
}

DWORD DelayOf(const Target& t) {
    if (!t.usable) return 0;
    if (!t.farmServer) return G().farm.unknownServerDelayMs;
    if (t.farmServer->unreachable) return t.farmServer->unreachableDelayMs;
    return t.farmServer->latencyMs;
}

DWORD Unreachable(const Target& t) {
    if (!t.usable) return ERROR_INVALID_HANDLE;
    if (!t.farmServer || t.farmServer->unreachable) return RPC_S_SERVER_UNAVAILABLE;
    return AccountRefusal(*t.farmServer);
}

// Looks the handle up, sleeps the server's latency (or its unreachable delay)
// and whatever extraDelay adds for the call outside the lock, then runs the
// call under the lock.
template <typename ExtraDelay, typename Body>
BOOL DelayedServerCall(HANDLE handle, ExtraDelay&& extraDelay, Body&& body) {
    DWORD delay = 0;
    {
        Lock lock;
        EnsureLoaded();
        const Target t = Resolve(handle);
        delay = DelayOf(t) + extraDelay(t);
    }
    if (delay) Sleep(delay);
    Lock lock;
    return body(Resolve(handle));
}

template <typename Body>
BOOL ServerCall(HANDLE handle, Body&& body) {
    return DelayedServerCall(handle, [](const Target&) { return DWORD{0}; }, body);
}

// A session's own query delay, on a server that answers.
DWORD QueryDelayOf(const Target& t, DWORD sessionId) {
    if (Unreachable(t) != 0) return 0;
    const farm::Session* session = t.farmServer->FindSession(sessionId);
    return session ? session->queryDelayMs : 0;
}

// The session's ID goes to the later logon: its fields replace the session's.
void Reuse(farm::Session& session, const farm::Server& server) {
    const farm::Reuse reuse = *session.reuse;
    session.reuse.reset();
    if (reuse.user) session.user = *reuse.user;
    if (reuse.domain) session.domain = *reuse.domain;
    if (reuse.client) session.client = *reuse.client;
    if (reuse.logonTime) session.logonTime = FixedLogon(*reuse.logonTime, server);
    if (reuse.lastInputTime) session.lastInputTime = *reuse.lastInputTime;
}

void* NewBuffer(std::size_t bytes, const char* kind, DWORD& number) {
    State& s = G();
    void* p = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes ? bytes : 1);
    if (!p) return nullptr;
    number = s.nextBuffer++;
    s.buffers[p] = BufferEntry{s.generation, number, kind};
    return p;
}

// Code units of text to read: up to the first NUL, at most max units, and
// never into memory that is not readable (the text need not be terminated).
struct Scan {
    std::size_t units = 0;
    bool terminated = false;
};
Scan ScanText(const wchar_t* text, std::size_t max) {
    Scan scan;
    if (!text) return scan;
    const auto* at = reinterpret_cast<const BYTE*>(text);
    while (scan.units < max) {
        MEMORY_BASIC_INFORMATION info;
        if (!VirtualQuery(at, &info, sizeof info)) break;
        constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                    PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
        if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) || !(info.Protect & kReadable))
            break;
        const BYTE* end = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize;
        while (at + sizeof(wchar_t) <= end && scan.units < max) {
            wchar_t c;
            std::memcpy(&c, at, sizeof c);
            if (c == 0) {
                scan.terminated = true;
                return scan;
            }
            ++scan.units;
            at += sizeof(wchar_t);
        }
        if (at + sizeof(wchar_t) > end && at < end) break;  // a unit straddling the region's end
    }
    return scan;
}

// A message text as WTSSendMessageW gets it: the text within its byte count
// (to an embedded NUL), the byte count, and the length to the buffer's NUL.
void DescribeMessageText(LogLine& line, const char* key, const wchar_t* text, DWORD bytes) {
    const Scan within = ScanText(text, bytes / sizeof(wchar_t));
    line.Field(key, farm::EscapeText(text, within.units));
    line.Number((std::string(key) + "_bytes").c_str(), bytes);
    const Scan whole = ScanText(text, 1u << 20);
    if (!text || whole.terminated)
        line.Number((std::string(key) + "_chars").c_str(), whole.units);
    else
        line.Field((std::string(key) + "_chars").c_str(), "unterminated");
}

// Copies text into a fixed array, cut to leave room for the NUL.
template <std::size_t N>
void CopyCut(WCHAR (&to)[N], const std::wstring& from) {
    const std::size_t n = from.size() < N ? from.size() : N - 1;
    std::memcpy(to, from.c_str(), n * sizeof(WCHAR));
    to[n] = L'\0';
}

LARGE_INTEGER Ticks(std::int64_t ticks) {
    LARGE_INTEGER value;
    value.QuadPart = ticks;
    return value;
}

// The WTSSessionInfo answer: the session as the enumeration and the text
// queries give it, its times on the server's clock, no traffic counters and
// no connect time. The buffer comes zeroed.
void FillSessionInfo(WTSINFOW& info, const farm::Session& session, std::int64_t now) {
    std::memcpy(&info.State, &session.state, sizeof(DWORD));  // any value, 42 included
    info.SessionId = session.id;
    CopyCut(info.WinStationName, session.winStation);
    CopyCut(info.Domain, session.domain);
    CopyCut(info.UserName, session.user);
    info.DisconnectTime = Ticks(session.disconnectTime.Resolve(now));
    info.LastInputTime = Ticks(session.lastInputTime.Resolve(now));
    info.LogonTime = Ticks(session.logonTime.Resolve(now));
    info.ConnectTime = Ticks(session.connectTime.Resolve(now));
    info.CurrentTime = Ticks(now);
}

}  // namespace

// ---- the wtsapi32 functions ---------------------------------------------------

extern "C" {

HANDLE WINAPI WTSOpenServerW(LPWSTR pServerName) {
    Call call("WTSOpenServerW");
    Lock lock;
    EnsureLoaded();
    State& s = G();
    const DWORD number = s.nextHandle++;
    s.handles[number] = HandleEntry{pServerName ? pServerName : L"", true};
    ++s.opened;
    const bool known = s.farm.FindServer(s.handles[number].server) != nullptr;
    call.Line().Text("server", pServerName).Number("handle", number);
    if (t_carried.carrying) call.Line().Text("account", t_carried.account.c_str());
    call.Succeed().Number("known", known ? 1 : 0);
    call.Done();
    return reinterpret_cast<HANDLE>(kHandleTag | (static_cast<std::uint64_t>(s.generation & 0xFFFF) << 32) | number);
}

VOID WINAPI WTSCloseServer(HANDLE hServer) {
    Call call("WTSCloseServer");
    Lock lock;
    EnsureLoaded();
    State& s = G();
    const Target t = Resolve(hServer);
    Describe(call.Line(), t);
    if (hServer == nullptr || t.stale) {
        // Closing the local-machine handle does nothing; a handle of an
        // earlier load is not counted against this one.
        call.Succeed();
        call.Done();
    } else if (!t.usable) {
        call.Fail(ERROR_INVALID_HANDLE);
    } else {
        HandleEntry& handle = s.handles[static_cast<DWORD>(t.raw)];
        handle.open = false;
        ++s.closed;
        if (handle.waiting) WakeAllConditionVariable(&s.changed);  // the wait on it ends
        call.Succeed();
        call.Done();
    }
}

BOOL WINAPI WTSEnumerateSessionsW(HANDLE hServer, DWORD Reserved, DWORD Version, PWTS_SESSION_INFOW* ppSessionInfo,
                                  DWORD* pCount) {
    Call call("WTSEnumerateSessionsW");
    return ServerCall(hServer, [&](const Target& t) {
        Describe(call.Line(), t);
        if (!ppSessionInfo || !pCount) return call.Fail(ERROR_INVALID_PARAMETER);
        *ppSessionInfo = nullptr;
        *pCount = 0;
        if (DWORD e = Unreachable(t)) return call.Fail(e);
        if (Reserved != 0 || Version != 1) return call.Fail(ERROR_INVALID_PARAMETER);
        if (DWORD e = t.farmServer->enumerateError) return call.Fail(e);

        const auto& sessions = t.farmServer->sessions;
        std::size_t bytes = sessions.size() * sizeof(WTS_SESSION_INFOW);
        for (const farm::Session& session : sessions) bytes += (session.winStation.size() + 1) * sizeof(wchar_t);
        DWORD number = 0;
        auto* array = static_cast<WTS_SESSION_INFOW*>(NewBuffer(bytes, "sessions", number));
        if (!array) return call.Fail(ERROR_NOT_ENOUGH_MEMORY);
        auto* text = reinterpret_cast<wchar_t*>(array + sessions.size());
        for (std::size_t i = 0; i < sessions.size(); ++i) {
            array[i].SessionId = sessions[i].id;
            std::memcpy(&array[i].State, &sessions[i].state, sizeof(DWORD));  // any value, 42 included
            array[i].pWinStationName = text;
            std::memcpy(text, sessions[i].winStation.c_str(), (sessions[i].winStation.size() + 1) * sizeof(wchar_t));
            text += sessions[i].winStation.size() + 1;
        }
        *ppSessionInfo = array;
        *pCount = static_cast<DWORD>(sessions.size());
        call.Succeed().Number("count", sessions.size()).Number("buffer", number);
        return call.Done();
    });
}

BOOL WINAPI WTSQuerySessionInformationW(HANDLE hServer, DWORD SessionId, WTS_INFO_CLASS WTSInfoClass,
                                        LPWSTR* ppBuffer, DWORD* pBytesReturned) {
    Call call("WTSQuerySessionInformationW");
    const auto sessionDelay = [&](const Target& t) { return QueryDelayOf(t, SessionId); };
    return DelayedServerCall(hServer, sessionDelay, [&](const Target& t) {
        const DWORD infoClass = static_cast<DWORD>(WTSInfoClass);
        Describe(call.Line(), t);
        call.Line().Number("session", SessionId).Number("class", infoClass);
        if (!ppBuffer || !pBytesReturned) return call.Fail(ERROR_INVALID_PARAMETER);
        *ppBuffer = nullptr;
        *pBytesReturned = 0;
        if (DWORD e = Unreachable(t)) return call.Fail(e);
        farm::Session* session = t.farmServer->FindSession(SessionId);
        if (!session) return call.Fail(kSessionNotFound);

        const std::wstring* text = nullptr;
        switch (infoClass) {
            case WTSUserName: text = &session->user; break;
            case WTSWinStationName: text = &session->winStation; break;
            case WTSDomainName: text = &session->domain; break;
            case WTSClientName: text = &session->client; break;
            case WTSClientAddress: break;
            case WTSSessionInfo: break;
            case WTSClientDirectory: text = &session->clientDirectory; break;
            case WTSClientBuildNumber:
            case WTSClientDisplay:
            case WTSClientProtocolType: break;
            default: return call.Fail(ERROR_INVALID_PARAMETER);
        }
        for (DWORD failing : session->failingClasses)
            if (failing == infoClass) return call.Fail(session->queryError);

        DWORD number = 0;
        std::size_t bytes = 0;
        void* buffer = nullptr;
        if (text) {
            bytes = (text->size() + 1) * sizeof(wchar_t);
            buffer = NewBuffer(bytes, "string", number);
            if (buffer) std::memcpy(buffer, text->c_str(), bytes);
        } else if (infoClass == WTSClientBuildNumber) {
            bytes = sizeof(ULONG);
            buffer = NewBuffer(bytes, "number", number);
            if (buffer) std::memcpy(buffer, &session->clientBuild, sizeof(ULONG));
        } else if (infoClass == WTSClientProtocolType) {
            bytes = sizeof(USHORT);
            buffer = NewBuffer(bytes, "number", number);
            const USHORT protocol = static_cast<USHORT>(session->protocol);
            if (buffer) std::memcpy(buffer, &protocol, sizeof protocol);
        } else if (infoClass == WTSClientDisplay) {
            bytes = sizeof(WTS_CLIENT_DISPLAY);
            buffer = NewBuffer(bytes, "display", number);
            if (buffer) {
                auto* display = static_cast<WTS_CLIENT_DISPLAY*>(buffer);
                display->HorizontalResolution = session->displayWidth;
                display->VerticalResolution = session->displayHeight;
                display->ColorDepth = session->displayDepth;
            }
        } else if (infoClass == WTSSessionInfo) {
            bytes = sizeof(WTSINFOW);
            buffer = NewBuffer(bytes, "sessioninfo", number);
            if (buffer) FillSessionInfo(*static_cast<WTSINFOW*>(buffer), *session, t.farmServer->Now());
        } else {
            bytes = sizeof(WTS_CLIENT_ADDRESS);
            buffer = NewBuffer(bytes, "address", number);
            if (buffer) {
                auto* address = static_cast<WTS_CLIENT_ADDRESS*>(buffer);
                address->AddressFamily = session->family;
                std::memcpy(address->Address, session->address.data(), sizeof address->Address);
            }
        }
        if (!buffer) return call.Fail(ERROR_NOT_ENOUGH_MEMORY);
        *ppBuffer = static_cast<LPWSTR>(buffer);
        *pBytesReturned = static_cast<DWORD>(bytes);
        call.Succeed().Number("bytes", bytes).Number("buffer", number);
        if (infoClass == WTSSessionInfo) {
            ++session->infoAnswers;
            if (session->reuse && session->infoAnswers == session->reuse->afterInfoQueries) {
                Reuse(*session, *t.farmServer);
                call.Line().Number("reused", 1);
            }
        }
        return call.Done();
    });
}

BOOL WINAPI WTSEnumerateProcessesW(HANDLE hServer, DWORD Reserved, DWORD Version, PWTS_PROCESS_INFOW* ppProcessInfo,
                                   DWORD* pCount) {
    Call call("WTSEnumerateProcessesW");
    return ServerCall(hServer, [&](const Target& t) {
        Describe(call.Line(), t);
        if (!ppProcessInfo || !pCount) return call.Fail(ERROR_INVALID_PARAMETER);
        *ppProcessInfo = nullptr;
        *pCount = 0;
        if (DWORD e = Unreachable(t)) return call.Fail(e);
        if (Reserved != 0 || Version != 1) return call.Fail(ERROR_INVALID_PARAMETER);
        if (DWORD e = t.farmServer->processEnumerateError) return call.Fail(e);

        const auto& processes = t.farmServer->processes;
        std::size_t bytes = processes.size() * sizeof(WTS_PROCESS_INFOW);
        for (const farm::Process& p : processes)
            if (p.name) bytes += (p.name->size() + 1) * sizeof(wchar_t);
        DWORD number = 0;
        auto* array = static_cast<WTS_PROCESS_INFOW*>(NewBuffer(bytes, "processes", number));
        if (!array) return call.Fail(ERROR_NOT_ENOUGH_MEMORY);
        auto* text = reinterpret_cast<wchar_t*>(array + processes.size());
        for (std::size_t i = 0; i < processes.size(); ++i) {
            array[i].SessionId = processes[i].session;
            array[i].ProcessId = processes[i].pid;
            array[i].pProcessName = nullptr;
            array[i].pUserSid = nullptr;
            if (processes[i].name) {
                const std::wstring& name = *processes[i].name;
                array[i].pProcessName = text;
                std::memcpy(text, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
                text += name.size() + 1;
            }
        }
        *ppProcessInfo = array;
        *pCount = static_cast<DWORD>(processes.size());
        call.Succeed().Number("count", processes.size()).Number("buffer", number);
        return call.Done();
    });
}

// Level 0 is the plain listing's array, level 1 the extended one; only the
// processes of SessionId, or of every session for WTS_ANY_SESSION.
BOOL WINAPI WTSEnumerateProcessesExW(HANDLE hServer, DWORD* pLevel, DWORD SessionId, LPWSTR* ppProcessInfo,
                                     DWORD* pCount) {
    Call call("WTSEnumerateProcessesExW");
    return ServerCall(hServer, [&](const Target& t) {
        Describe(call.Line(), t);
        call.Line().Number("level", pLevel ? *pLevel : 0).Number("session", SessionId);
        if (!pLevel || !ppProcessInfo || !pCount) return call.Fail(ERROR_INVALID_PARAMETER);
        *ppProcessInfo = nullptr;
        *pCount = 0;
        if (DWORD e = Unreachable(t)) return call.Fail(e);
        if (*pLevel > 1) return call.Fail(ERROR_INVALID_PARAMETER);
        if (DWORD e = t.farmServer->processExError) return call.Fail(e);
        if (DWORD e = t.farmServer->processEnumerateError) return call.Fail(e);

        std::vector<const farm::Process*> processes;
        for (const farm::Process& p : t.farmServer->processes)
            if (SessionId == WTS_ANY_SESSION || p.session == SessionId) processes.push_back(&p);
        const bool extended = *pLevel == 1;
        const std::size_t entry = extended ? sizeof(WTS_PROCESS_INFO_EXW) : sizeof(WTS_PROCESS_INFOW);
        std::size_t bytes = processes.size() * entry;
        for (const farm::Process* p : processes) {
            if (p->name) bytes += (p->name->size() + 1) * sizeof(wchar_t);
            if (extended) bytes += p->figures.sid.size();
        }
        DWORD number = 0;
        BYTE* block = static_cast<BYTE*>(NewBuffer(bytes, extended ? "processes_ex" : "processes_ex0", number));
        if (!block) return call.Fail(ERROR_NOT_ENOUGH_MEMORY);
        G().buffers[block].entries = static_cast<DWORD>(processes.size());
        BYTE* tail = block + processes.size() * entry;
        // The CPU times advance from the load on, by each process's load.
        const ULONGLONG sinceLoad = GetTickCount64() - G().loadedAt;
        for (std::size_t i = 0; i < processes.size(); ++i) {
            const farm::Process& p = *processes[i];
            wchar_t* name = nullptr;
            if (p.name) {
                name = reinterpret_cast<wchar_t*>(tail);
                std::memcpy(tail, p.name->c_str(), (p.name->size() + 1) * sizeof(wchar_t));
                tail += (p.name->size() + 1) * sizeof(wchar_t);
            }
            if (!extended) {
                auto& info = reinterpret_cast<WTS_PROCESS_INFOW*>(block)[i];
                info.SessionId = p.session;
                info.ProcessId = p.pid;
                info.pProcessName = name;
                info.pUserSid = nullptr;
                continue;
            }
            auto& info = reinterpret_cast<WTS_PROCESS_INFO_EXW*>(block)[i];
            const farm::ProcessFigures& f = p.figures;
            info.SessionId = p.session;
            info.ProcessId = p.pid;
            info.pProcessName = name;
            info.pUserSid = nullptr;
            if (!f.sid.empty()) {
                info.pUserSid = tail;
                std::memcpy(tail, f.sid.data(), f.sid.size());
                tail += f.sid.size();
            }
            info.NumberOfThreads = f.threads;
            info.HandleCount = f.handles;
            info.WorkingSetSize = static_cast<DWORD>(f.workingSet > 0xFFFFFFFFull ? 0xFFFFFFFFull : f.workingSet);
            info.PeakWorkingSetSize = static_cast<DWORD>(f.peakWorkingSet > 0xFFFFFFFFull ? 0xFFFFFFFFull : f.peakWorkingSet);
            info.PagefileUsage = static_cast<DWORD>(f.pagefile > 0xFFFFFFFFull ? 0xFFFFFFFFull : f.pagefile);
            info.PeakPagefileUsage = info.PagefileUsage;
            // 1 ms is 10,000 ticks; a load of N per cent adds N per cent of that.
            info.UserTime.QuadPart = f.userTime + static_cast<LONGLONG>(sinceLoad) * 100 * f.cpuPercent;
            info.KernelTime.QuadPart = f.kernelTime;
        }
        *ppProcessInfo = reinterpret_cast<LPWSTR>(block);
        *pCount = static_cast<DWORD>(processes.size());
        call.Succeed().Number("count", processes.size()).Number("buffer", number);
        return call.Done();
    });
}

// Frees what WTSEnumerateProcessesExW gave: the class must be the level's
// (WTSTypeProcessInfoLevel0 or 1) and the count the listing's.
BOOL WINAPI WTSFreeMemoryExW(WTS_TYPE_CLASS WTSTypeClass, PVOID pMemory, ULONG NumberOfEntries) {
    Call call("WTSFreeMemoryExW");
    Lock lock;
    EnsureLoaded();
    State& s = G();
    call.Line().Number("class", static_cast<DWORD>(WTSTypeClass)).Number("entries", NumberOfEntries);
    if (!pMemory) {
        call.Line().Field("buffer", "0");
        return call.Fail(ERROR_INVALID_PARAMETER);
    }
    auto it = s.buffers.find(pMemory);
    if (it == s.buffers.end()) {
        call.Line().Field("buffer", "?").Hex("raw", reinterpret_cast<std::uintptr_t>(pMemory));
        return call.Fail(ERROR_INVALID_PARAMETER);
    }
    call.Line().Number("buffer", it->second.number).Field("kind", it->second.kind);
    const char* expected = WTSTypeClass == WTSTypeProcessInfoLevel1   ? "processes_ex"
                           : WTSTypeClass == WTSTypeProcessInfoLevel0 ? "processes_ex0"
                                                                      : "";
    // A buffer of another kind, or the wrong count: left alone, as a real
    // server's memory would be misread.
    if (std::strcmp(it->second.kind, expected) != 0 || it->second.entries != NumberOfEntries)
        return call.Fail(ERROR_INVALID_PARAMETER);
    if (it->second.generation != s.generation) call.Line().Field("stale", "1");
    s.buffers.erase(it);
    HeapFree(GetProcessHeap(), 0, pMemory);
    call.Succeed();
    return call.Done();
}

VOID WINAPI WTSFreeMemory(PVOID pMemory) {
    Call call("WTSFreeMemory");
    Lock lock;
    EnsureLoaded();
    State& s = G();
    if (!pMemory) {
        call.Line().Field("buffer", "0");
        call.Succeed();
        call.Done();
        return;
    }
    auto it = s.buffers.find(pMemory);
    if (it == s.buffers.end()) {
        // Not a buffer the double handed out, or freed already: left alone.
        call.Line().Field("buffer", "?").Hex("raw", reinterpret_cast<std::uintptr_t>(pMemory));
        call.Fail(ERROR_INVALID_PARAMETER);
        return;
    }
    call.Line().Number("buffer", it->second.number).Field("kind", it->second.kind);
    if (it->second.generation != s.generation) call.Line().Field("stale", "1");
    s.buffers.erase(it);
    HeapFree(GetProcessHeap(), 0, pMemory);
    call.Succeed();
    call.Done();
}

BOOL WINAPI WTSLogoffSession(HANDLE hServer, DWORD SessionId, BOOL bWait) {
    Call call("WTSLogoffSession");
    return ServerCall(hServer, [&](const Target& t) {
        Describe(call.Line(), t);
        call.Line().Number("session", SessionId).Number("wait", static_cast<DWORD>(bWait));
        if (DWORD e = Unreachable(t)) return call.Fail(e);
        farm::Server& server = *t.farmServer;
        if (server.logoffError) return call.Fail(server.logoffError);
        const farm::Session* session = server.FindSession(SessionId);
        if (!session) return call.Fail(kSessionNotFound);
        if (session->logoffError) return call.Fail(session->logoffError);
        // The session ends, and its processes with it.
        std::erase_if(server.sessions, [&](const farm::Session& x) { return x.id == SessionId; });
        std::erase_if(server.processes, [&](const farm::Process& x) { return x.session == SessionId; });
        Signal(server.name, WTS_EVENT_LOGOFF | WTS_EVENT_DELETE);
        call.Succeed();
        return call.Done();
    });
}

BOOL WINAPI WTSDisconnectSession(HANDLE hServer, DWORD SessionId, BOOL bWait) {
    Call call("WTSDisconnectSession");
    return ServerCall(hServer, [&](const Target& t) {
        Describe(call.Line(), t);
        call.Line().Number("session", SessionId).Number("wait", static_cast<DWORD>(bWait));
        if (DWORD e = Unreachable(t)) return call.Fail(e);
        farm::Server& server = *t.farmServer;
        if (server.disconnectError) return call.Fail(server.disconnectError);
        farm::Session* session = server.FindSession(SessionId);
        if (!session) return call.Fail(kSessionNotFound);
        if (session->disconnectError) return call.Fail(session->disconnectError);
        // The session stays with its processes, now without a WinStation,
        // disconnected since this moment. One that was disconnected already
        // keeps its disconnect time.
        constexpr DWORD kDisconnected = WTSDisconnected;
        if (session->state != kDisconnected) {
            session->state = kDisconnected;
            session->winStation.clear();
            session->disconnectTime = farm::SessionTime::At(server.Now());
            Signal(server.name, WTS_EVENT_DISCONNECT | WTS_EVENT_STATECHANGE);
        }
        call.Succeed();
        return call.Done();
    });
}

BOOL WINAPI WTSSendMessageW(HANDLE hServer, DWORD SessionId, LPWSTR pTitle, DWORD TitleLength, LPWSTR pMessage,
                            DWORD MessageLength, DWORD Style, DWORD Timeout, DWORD* pResponse, BOOL bWait) {
    Call call("WTSSendMessageW");
    return ServerCall(hServer, [&](const Target& t) {
        Describe(call.Line(), t);
        call.Line().Number("session", SessionId);
        DescribeMessageText(call.Line(), "title", pTitle, TitleLength);
        DescribeMessageText(call.Line(), "message", pMessage, MessageLength);
        call.Line().Number("style", Style).Number("timeout", Timeout).Number("wait", static_cast<DWORD>(bWait));
        if (!pResponse) return call.Fail(ERROR_INVALID_PARAMETER);
        if (DWORD e = Unreachable(t)) return call.Fail(e);
        if (t.farmServer->messageError) return call.Fail(t.farmServer->messageError);
        const farm::Session* session = t.farmServer->FindSession(SessionId);
        if (!session) return call.Fail(kSessionNotFound);
        if (session->messageError) return call.Fail(session->messageError);
        *pResponse = bWait ? session->messageResponse : IDASYNC;
        call.Succeed().Number("response", *pResponse);
        return call.Done();
    });
}

BOOL WINAPI WTSTerminateProcess(HANDLE hServer, DWORD ProcessId, DWORD ExitCode) {
    Call call("WTSTerminateProcess");
    return ServerCall(hServer, [&](const Target& t) {
        Describe(call.Line(), t);
        call.Line().Number("pid", ProcessId).Number("exit", ExitCode);
        if (DWORD e = Unreachable(t)) return call.Fail(e);
        farm::Server& server = *t.farmServer;
        if (server.terminateError) return call.Fail(server.terminateError);
        const farm::Process* process = server.FindProcess(ProcessId);
        if (!process) return call.Fail(ERROR_INVALID_PARAMETER);
        if (process->terminateError) return call.Fail(process->terminateError);
        std::erase_if(server.processes, [&](const farm::Process& x) { return x.pid == ProcessId; });
        call.Succeed();
        return call.Done();
    });
}

// Blocks until the handle's server reports an event of the mask, a flush on
// the handle releases the wait (WTS_EVENT_NONE), or the handle is closed. The
// farm file and the scripted sessions are looked at every quarter second
// while it waits. One wait at a time per handle: a second fails (170).
BOOL WINAPI WTSWaitSystemEvent(HANDLE hServer, DWORD EventMask, DWORD* pEventFlags) {
    Call call("WTSWaitSystemEvent");
    State& s = G();
    DWORD delay = 0;
    {
        Lock lock;
        EnsureLoaded();
        const Target t = Resolve(hServer);
        if (EventMask != WTS_EVENT_FLUSH && Unreachable(t) != 0) delay = DelayOf(t);
    }
    if (delay) Sleep(delay);
    Lock lock;
    const Target t = Resolve(hServer);
    Describe(call.Line(), t);
    call.Line().Hex("mask", EventMask);
    if (!pEventFlags) return call.Fail(ERROR_INVALID_PARAMETER);
    *pEventFlags = WTS_EVENT_NONE;
    if (hServer == nullptr || !t.usable) return call.Fail(t.usable ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    const DWORD number = static_cast<DWORD>(t.raw);
    if (EventMask == WTS_EVENT_FLUSH) {
        HandleEntry& handle = s.handles[number];
        const bool released = handle.waiting;
        if (released) {
            handle.flushed = true;
            WakeAllConditionVariable(&s.changed);
        }
        call.Succeed().Number("released", released ? 1 : 0);
        return call.Done();
    }
    if (DWORD e = Unreachable(t)) return call.Fail(e);
    if (DWORD e = t.farmServer->waitError) return call.Fail(e);
    if (s.handles[number].waiting) return call.Fail(ERROR_BUSY);
    const DWORD generation = s.generation;
    {
        HandleEntry& handle = s.handles[number];
        handle.waiting = true;
        handle.pending = 0;
        handle.flushed = false;
    }
    ++s.waits;
    DWORD error = 0;
    DWORD events = 0;
    for (;;) {
        // Another load ends every wait of the one before (its handles are gone).
        if (s.generation != generation) {
            error = ERROR_INVALID_HANDLE;
            break;
        }
        HandleEntry& handle = s.handles[number];
        if (!handle.open) {
            error = ERROR_INVALID_HANDLE;
        } else if (handle.pending & EventMask) {
            events = handle.pending & EventMask;
        } else if (!handle.flushed) {
            SleepConditionVariableSRW(&s.changed, &s.lock, MsToNextCycle(handle.server, 250), 0);
            CheckFarmFile();
            ApplyCycles();
            continue;
        }
        handle.waiting = false;
        handle.pending = 0;
        handle.flushed = false;
        break;
    }
    --s.waits;
    if (error) return call.Fail(error);
    *pEventFlags = events;
    call.Succeed().Hex("events", events);
    return call.Done();
}

BOOL WINAPI WTSRegisterSessionNotification(HWND hWnd, DWORD dwFlags) {
    Call call("WTSRegisterSessionNotification");
    Lock lock;
    EnsureLoaded();
    State& s = G();
    call.Line().Hex("hwnd", reinterpret_cast<std::uintptr_t>(hWnd)).Number("flags", dwFlags);
    if (!IsWindow(hWnd)) return call.Fail(ERROR_INVALID_WINDOW_HANDLE);
    if (dwFlags != NOTIFY_FOR_THIS_SESSION && dwFlags != NOTIFY_FOR_ALL_SESSIONS)
        return call.Fail(ERROR_INVALID_PARAMETER);
    if (s.farm.notificationError) return call.Fail(s.farm.notificationError);
    s.registrations.insert(hWnd);
    call.Succeed();
    return call.Done();
}

BOOL WINAPI WTSUnRegisterSessionNotification(HWND hWnd) {
    Call call("WTSUnRegisterSessionNotification");
    Lock lock;
    EnsureLoaded();
    const bool wasRegistered = G().registrations.erase(hWnd) > 0;
    call.Line().Hex("hwnd", reinterpret_cast<std::uintptr_t>(hWnd));
    call.Succeed().Number("registered", wasRegistered ? 1 : 0);
    return call.Done();
}

// ---- the double's own exports -------------------------------------------------

int __stdcall TarvenixFarmDouble(void) { return 0x7A4F; }

BOOL __stdcall TarvenixFarmLoad(const wchar_t* farmJsonPath, const wchar_t* actionLogPath) {
    Lock lock;
    return LoadLocked(farmJsonPath, actionLogPath, "explicit");
}

LONG __stdcall TarvenixFarmOpenHandles(void) {
    Lock lock;
    return G().opened - G().closed;
}

LONG __stdcall TarvenixFarmHandlesOpened(void) {
    Lock lock;
    return G().opened;
}

LONG __stdcall TarvenixFarmOutstandingBuffers(void) {
    Lock lock;
    LONG count = 0;
    for (const auto& [pointer, entry] : G().buffers)
        if (entry.generation == G().generation) ++count;
    return count;
}

LONG __stdcall TarvenixFarmWaits(void) {
    Lock lock;
    return G().waits;
}

// The process ends: what it left open is written to the log (a lock held by
// a thread the exit has ended already is not waited for).
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_DETACH) return TRUE;
    State& s = G();
    if (!TryAcquireSRWLockExclusive(&s.lock)) return TRUE;
    if (s.loaded) {
        LONG buffers = 0;
        for (const auto& [pointer, entry] : s.buffers)
            if (entry.generation == s.generation) ++buffers;
        LogLine line("TarvenixFarmExit");
        line.Number("open_handles", static_cast<std::uint64_t>(s.opened - s.closed))
            .Number("buffers", static_cast<std::uint64_t>(buffers))
            .Number("waits", static_cast<std::uint64_t>(s.waits));
        s.log.Write(line);
    }
    ReleaseSRWLockExclusive(&s.lock);
    return TRUE;
}

BOOL __stdcall TarvenixFarmCarryAccount(const wchar_t* account, const wchar_t* password) {
    // The thread's own state: no lock, no log line (the calls it carries say it).
    t_carried.carrying = account != nullptr;
    t_carried.account = account ? account : L"";
    if (!t_carried.password.empty()) SecureZeroMemory(t_carried.password.data(), t_carried.password.size() * sizeof(wchar_t));
    t_carried.password = password ? password : L"";
    return TRUE;
}

}  // extern "C"
