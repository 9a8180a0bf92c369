#include "farm_model.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>
#include <cstdio>
#include <initializer_list>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace farm {
namespace {

using nlohmann::json;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw std::runtime_error(where + ": " + what);
}

// Every object is read strictly: a misspelt key is an error, not a silent default.
void CheckKeys(const json& object, const std::string& where, std::initializer_list<const char*> allowed) {
    if (!object.is_object()) Fail(where, "expected an object");
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() == "comment") continue;
        bool known = false;
        for (const char* key : allowed) known = known || it.key() == key;
        if (!known) Fail(where + "." + it.key(), "unknown key");
    }
}

DWORD ToU32(const json& value, const std::string& where) {
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v <= 0xFFFFFFFFull) return static_cast<DWORD>(v);
    } else if (value.is_number_integer() && value.get<std::int64_t>() >= 0) {
        const auto v = value.get<std::int64_t>();
        if (v <= 0xFFFFFFFFll) return static_cast<DWORD>(v);
    }
    Fail(where, "expected an integer 0..4294967295");
}

DWORD U32(const json& object, const char* key, const std::string& where, DWORD fallback) {
    auto it = object.find(key);
    if (it == object.end()) return fallback;
    return ToU32(*it, where + "." + key);
}

DWORD RequiredU32(const json& object, const char* key, const std::string& where) {
    if (!object.contains(key)) Fail(where + "." + key, "required");
    return ToU32(object.at(key), where + "." + key);
}

// A text; null reads as the empty text.
std::wstring Text(const json& object, const char* key, const std::string& where) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) return {};
    if (!it->is_string()) Fail(where + "." + key, "expected a string or null");
    return Utf8ToWide(it->get<std::string>());
}

bool Flag(const json& object, const char* key, const std::string& where) {
    auto it = object.find(key);
    if (it == object.end()) return false;
    if (!it->is_boolean()) Fail(where + "." + key, "expected true or false");
    return it->get<bool>();
}

const json& Array(const json& object, const char* key, const std::string& where) {
    static const json kEmpty = json::array();
    auto it = object.find(key);
    if (it == object.end()) return kEmpty;
    if (!it->is_array()) Fail(where + "." + key, "expected an array");
    return *it;
}

std::string Index(const std::string& where, const char* key, std::size_t i) {
    return where + "." + key + "[" + std::to_string(i) + "]";
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

// A time given as a UTC text (atKey) or as seconds before the server's current
// time (beforeKey); both at once is an error, neither (or null) leaves it unreported.
SessionTime ReadTime(const json& object, const char* atKey, const char* beforeKey, const std::string& where) {
    auto at = object.find(atKey);
    const bool hasAt = at != object.end() && !at->is_null();
    if (hasAt && object.contains(beforeKey))
        Fail(where, std::string("give either ") + atKey + " or " + beforeKey + ", not both");
    if (hasAt) {
        const std::optional<std::int64_t> ticks = at->is_string() ? ParseUtcTime(at->get<std::string>()) : std::nullopt;
        if (!ticks) Fail(where + "." + atKey, "expected a UTC time like 2026-12-10T08:15:00Z, or null");
        return SessionTime::At(*ticks);
    }
    if (object.contains(beforeKey)) return SessionTime::SecondsBefore(U32(object, beforeKey, where, 0));
    return {};
}

void ReadIPv4(const std::string& text, const std::string& where, Session& s) {
    unsigned parts[4];
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4 ||
        std::any_of(std::begin(parts), std::end(parts), [](unsigned p) { return p > 255; }))
        Fail(where, "expected dotted IPv4 text a.b.c.d");
    s.family = 2;  // AF_INET: the address sits in bytes 2..5
    for (int i = 0; i < 4; ++i) s.address[2 + i] = static_cast<BYTE>(parts[i]);
}

void ReadAddress(const json& address, const std::string& where, Session& s) {
    CheckKeys(address, where, {"family", "bytes"});
    s.family = RequiredU32(address, "family", where);
    const json& bytes = Array(address, "bytes", where);
    if (bytes.size() > s.address.size()) Fail(where + ".bytes", "at most 20 bytes");
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const DWORD b = ToU32(bytes[i], where + ".bytes[" + std::to_string(i) + "]");
        if (b > 255) Fail(where + ".bytes[" + std::to_string(i) + "]", "expected 0..255");
        s.address[i] = static_cast<BYTE>(b);
    }
}

// The classes the double answers; "all" in a session's fail list stands for them.
constexpr DWORD kServedClasses[] = {5, 6, 7, 10, 14, 24};

void AddFailingClasses(const json& entry, const std::string& where, std::vector<DWORD>& classes) {
    if (entry.is_string() && entry.get<std::string>() == "all") {
        classes.insert(classes.end(), std::begin(kServedClasses), std::end(kServedClasses));
        return;
    }
    if (entry.is_string()) {
        static const std::pair<const char*, DWORD> kNames[] = {
            {"user", 5}, {"domain", 7}, {"winstation", 6}, {"client", 10}, {"address", 14}, {"sessioninfo", 24},
        };
        for (const auto& [name, infoClass] : kNames)
            if (entry.get<std::string>() == name) {
                classes.push_back(infoClass);
                return;
            }
        Fail(where, "expected user, domain, winstation, client, address, sessioninfo, all or a class number");
    }
    classes.push_back(ToU32(entry, where));
}

// A time of a session's later logon: kept when neither key is there, else as ReadTime.
std::optional<SessionTime> ReadReusedTime(const json& object, const char* atKey, const char* beforeKey,
                                          const std::string& where) {
    if (!object.contains(atKey) && !object.contains(beforeKey)) return std::nullopt;
    return ReadTime(object, atKey, beforeKey, where);
}

// A text of a session's later logon: kept when the key is not there.
std::optional<std::wstring> ReusedText(const json& object, const char* key, const std::string& where) {
    if (!object.contains(key)) return std::nullopt;
    return Text(object, key, where);
}

Reuse ReadReuse(const json& j, const std::string& where) {
    CheckKeys(j, where, {"after_info_queries", "user", "domain", "client", "logon_time", "logon_seconds_ago",
                         "last_input_time", "idle_seconds"});
    Reuse r;
    r.afterInfoQueries = RequiredU32(j, "after_info_queries", where);
    if (r.afterInfoQueries == 0) Fail(where + ".after_info_queries", "expected 1 or more");
    r.user = ReusedText(j, "user", where);
    r.domain = ReusedText(j, "domain", where);
    r.client = ReusedText(j, "client", where);
    r.logonTime = ReadReusedTime(j, "logon_time", "logon_seconds_ago", where);
    r.lastInputTime = ReadReusedTime(j, "last_input_time", "idle_seconds", where);
    return r;
}

Session ReadSession(const json& j, const std::string& where) {
    CheckKeys(j, where, {"id", "state", "user", "client", "winstation", "domain", "ipv4", "address", "fail",
                         "query_error", "logoff_error", "disconnect_error", "message_error", "message_response",
                         "logon_time", "logon_seconds_ago", "last_input_time", "idle_seconds", "disconnect_time",
                         "disconnected_seconds", "query_delay_ms", "reuse", "cycle_seconds", "client_build", "client_directory",
                         "display", "protocol", "connect_time", "connected_seconds"});
    Session s;
    s.id = RequiredU32(j, "id", where);
    s.state = U32(j, "state", where, 0);
    s.user = Text(j, "user", where);
    s.client = Text(j, "client", where);
    s.winStation = Text(j, "winstation", where);
    s.domain = Text(j, "domain", where);
    if (j.contains("ipv4") && j.contains("address")) Fail(where, "give either ipv4 or address, not both");
    if (j.contains("ipv4")) {
        if (!j["ipv4"].is_string()) Fail(where + ".ipv4", "expected a string");
        ReadIPv4(j["ipv4"].get<std::string>(), where + ".ipv4", s);
    } else if (j.contains("address") && !j["address"].is_null()) {
        ReadAddress(j["address"], where + ".address", s);
    }
    const json& fail = Array(j, "fail", where);
    for (std::size_t i = 0; i < fail.size(); ++i) AddFailingClasses(fail[i], Index(where, "fail", i), s.failingClasses);
    s.queryError = U32(j, "query_error", where, ERROR_ACCESS_DENIED);
    s.logoffError = U32(j, "logoff_error", where, 0);
    s.disconnectError = U32(j, "disconnect_error", where, 0);
    s.messageError = U32(j, "message_error", where, 0);
    s.messageResponse = U32(j, "message_response", where, IDOK);
    s.logonTime = ReadTime(j, "logon_time", "logon_seconds_ago", where);
    s.lastInputTime = ReadTime(j, "last_input_time", "idle_seconds", where);
    s.disconnectTime = ReadTime(j, "disconnect_time", "disconnected_seconds", where);
    s.queryDelayMs = U32(j, "query_delay_ms", where, 0);
    if (j.contains("reuse")) s.reuse = ReadReuse(j["reuse"], where + ".reuse");
    s.cycleSeconds = U32(j, "cycle_seconds", where, 0);
    s.clientBuild = U32(j, "client_build", where, 0);
    s.clientDirectory = Text(j, "client_directory", where);
    if (auto d = j.find("display"); d != j.end() && !d->is_null()) {
        const std::string at = where + ".display";
        CheckKeys(*d, at, {"width", "height", "depth"});
        s.displayWidth = U32(*d, "width", at, 0);
        s.displayHeight = U32(*d, "height", at, 0);
        s.displayDepth = U32(*d, "depth", at, 0);
    }
    s.protocol = U32(j, "protocol", where, s.user.empty() ? 0 : 2);
    s.connectTime = ReadTime(j, "connect_time", "connected_seconds", where);
    return s;
}

Process ReadProcess(const json& j, const std::string& where) {
    CheckKeys(j, where, {"session", "pid", "name", "terminate_error", "threads", "handles", "working_set",
                         "peak_working_set", "pagefile", "user_seconds", "kernel_seconds", "cpu_percent", "sid"});
    Process p;
    p.session = RequiredU32(j, "session", where);
    p.pid = RequiredU32(j, "pid", where);
    auto name = j.find("name");
    if (name != j.end() && !name->is_null()) {
        if (!name->is_string()) Fail(where + ".name", "expected a string or null");
        p.name = Utf8ToWide(name->get<std::string>());
    }
    p.terminateError = U32(j, "terminate_error", where, 0);
    ProcessFigures& f = p.figures;
    f.threads = U32(j, "threads", where, 1);
    f.handles = U32(j, "handles", where, 0);
    // Memory in KB (the farm stays readable), served in bytes.
    f.workingSet = std::uint64_t{U32(j, "working_set", where, 0)} * 1024;
    f.peakWorkingSet = std::max<std::uint64_t>(std::uint64_t{U32(j, "peak_working_set", where, 0)} * 1024, f.workingSet);
    f.pagefile = std::uint64_t{U32(j, "pagefile", where, 0)} * 1024;
    f.userTime = std::int64_t{U32(j, "user_seconds", where, 0)} * kTicksPerSecond;
    f.kernelTime = std::int64_t{U32(j, "kernel_seconds", where, 0)} * kTicksPerSecond;
    f.cpuPercent = U32(j, "cpu_percent", where, 0);
    if (auto sid = j.find("sid"); sid != j.end() && !sid->is_null()) {
        std::optional<std::vector<BYTE>> bytes = sid->is_string() ? ParseSid(sid->get<std::string>()) : std::nullopt;
        if (!bytes) Fail(where + ".sid", "expected a SID like S-1-5-21-1-2-3-1001, or null");
        f.sid = std::move(*bytes);
    }
    return p;
}

// A small random source of our own (splitmix64): a seed gives the same farm
// with any compiler and library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    DWORD Below(DWORD n) { return static_cast<DWORD>(Next() % n); }

private:
    std::uint64_t state_;
};

std::wstring Ascii(const char* format, unsigned value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, value);
    return std::wstring(buf, buf + std::strlen(buf));
}

constexpr DWORD kMaxGeneratedSessions = 100000;
constexpr DWORD kMaxGeneratedProcesses = 64;  // per session

// "generate" on a server: sessions 1..N (after the listed ones) with their
// processes, made up from the seed. Every K-th session fails all its queries.
void Generate(const json& g, const std::string& where, Server& server) {
    CheckKeys(g, where, {"sessions", "failing_every", "query_error", "processes_per_session", "seed"});
    const DWORD count = RequiredU32(g, "sessions", where);
    if (count > kMaxGeneratedSessions) Fail(where + ".sessions", "at most 100000");
    const DWORD failingEvery = U32(g, "failing_every", where, 0);
    const DWORD queryError = U32(g, "query_error", where, ERROR_ACCESS_DENIED);
    const DWORD perSession = U32(g, "processes_per_session", where, 2);
    if (perSession > kMaxGeneratedProcesses) Fail(where + ".processes_per_session", "at most 64");
    const DWORD seed = U32(g, "seed", where, 1);
    Random random(seed);
    // The times come from a stream of their own, so that adding them left the
    // names, addresses and processes of every seed as they were.
    Random clock(seed ^ 0x5EED7133ull);
    Random figures(seed ^ 0xF16E5ull);

    // Active, disconnected, idle, connected, shadowing, at the logon prompt, in turn.
    static const DWORD kStates[] = {0, 4, 5, 1, 3, 2};
    static const char* const kPrograms[] = {"explorer.exe", "rdpclip.exe", "winword.exe", "excel.exe",
                                            "outlook.exe",  "chrome.exe",  "notepad.exe", "taskmgr.exe"};
    std::set<DWORD> listedIds;
    for (const Session& s : server.sessions) listedIds.insert(s.id);
    std::set<DWORD> listedPids;
    for (const Process& p : server.processes) listedPids.insert(p.pid);
    DWORD nextPid = 1000;

    server.sessions.reserve(server.sessions.size() + count);
    server.processes.reserve(server.processes.size() + std::size_t{count} * perSession);
    for (DWORD id = 1; id <= count; ++id) {
        if (listedIds.count(id)) Fail(where + ".sessions", "session ID " + std::to_string(id) + " is also listed");
        Session s;
        s.id = id;
        s.state = kStates[(id - 1) % std::size(kStates)];
        s.user = Ascii("user%04u", id);
        s.domain = L"FARM";
        s.winStation = s.state == 4 ? std::wstring() : Ascii("RDP-Tcp#%u", id);  // disconnected: no WinStation
        s.client = Ascii("PC-%04X", random.Below(0x10000));
        s.family = 2;
        s.address[2] = 10;
        s.address[3] = static_cast<BYTE>(random.Below(256));
        s.address[4] = static_cast<BYTE>(random.Below(256));
        s.address[5] = static_cast<BYTE>(1 + random.Below(254));
        // Logged on 1 to 10 hours ago; idle up to 10 minutes, or disconnected
        // for a minute up to half the time since logon.
        const DWORD logonAgo = 3600 + clock.Below(9 * 3600);
        s.logonTime = SessionTime::SecondsBefore(logonAgo);
        if (s.state == 4) {
            const DWORD disconnectedFor = 60 + clock.Below(logonAgo / 2);
            s.disconnectTime = SessionTime::SecondsBefore(disconnectedFor);
            s.lastInputTime = SessionTime::SecondsBefore(disconnectedFor + clock.Below(300));
        } else {
            s.lastInputTime = SessionTime::SecondsBefore(clock.Below(600));
        }
        if (failingEvery != 0 && id % failingEvery == 0) {
            s.failingClasses.assign(std::begin(kServedClasses), std::end(kServedClasses));
            s.queryError = queryError;
        }
        server.sessions.push_back(std::move(s));
        for (DWORD k = 0; k < perSession; ++k) {
            while (listedPids.count(nextPid)) nextPid += 4;
            Process p;
            p.session = id;
            p.pid = nextPid;
            nextPid += 4;
            const char* program = kPrograms[random.Below(static_cast<DWORD>(std::size(kPrograms)))];
            p.name = std::wstring(program, program + std::strlen(program));
            // Figures from a stream of their own: the rest stays as it was.
            p.figures.threads = 1 + figures.Below(60);
            p.figures.handles = 50 + figures.Below(2000);
            p.figures.workingSet = (std::uint64_t{1} << 20) * (1 + figures.Below(400));
            p.figures.peakWorkingSet = p.figures.workingSet + (std::uint64_t{1} << 20) * figures.Below(100);
            p.figures.pagefile = p.figures.workingSet / 2;
            p.figures.userTime = std::int64_t{figures.Below(3600)} * kTicksPerSecond;
            p.figures.kernelTime = std::int64_t{figures.Below(600)} * kTicksPerSecond;
            p.figures.cpuPercent = figures.Below(5);
            p.figures.sid = *ParseSid("S-1-5-21-1-2-3-" + std::to_string(1000 + id));
            server.processes.push_back(std::move(p));
        }
    }
}

Server ReadServer(const json& j, const std::string& where, DWORD defaultUnreachableDelay) {
    CheckKeys(j, where, {"name", "latency_ms", "unreachable", "unreachable_delay_ms", "enumerate_error",
                         "process_enumerate_error", "logoff_error", "disconnect_error", "message_error",
                         "terminate_error", "current_time", "sessions", "processes", "generate", "wait_error", "account",
                         "password", "process_ex_error"});
    Server s;
    if (!j.contains("name") || !j["name"].is_string()) Fail(where + ".name", "required string");
    s.name = Text(j, "name", where);
    s.latencyMs = U32(j, "latency_ms", where, 0);
    s.unreachable = Flag(j, "unreachable", where);
    s.unreachableDelayMs = U32(j, "unreachable_delay_ms", where, defaultUnreachableDelay);
    s.enumerateError = U32(j, "enumerate_error", where, 0);
    s.processEnumerateError = U32(j, "process_enumerate_error", where, 0);
    s.logoffError = U32(j, "logoff_error", where, 0);
    s.disconnectError = U32(j, "disconnect_error", where, 0);
    s.messageError = U32(j, "message_error", where, 0);
    s.terminateError = U32(j, "terminate_error", where, 0);
    s.waitError = U32(j, "wait_error", where, 0);
    s.account = Text(j, "account", where);
    if (j.contains("password")) {
        if (!j["password"].is_string()) Fail(where + ".password", "expected a string");
        if (s.account.empty()) Fail(where + ".password", "a password needs an account");
        s.password = Text(j, "password", where);
    }
    s.processExError = U32(j, "process_ex_error", where, 0);
    if (auto now = j.find("current_time"); now != j.end() && !now->is_null()) {
        s.currentTime = now->is_string() ? ParseUtcTime(now->get<std::string>()) : std::nullopt;
        if (!s.currentTime) Fail(where + ".current_time", "expected a UTC time like 2026-12-10T08:15:00Z, or null");
    }
    const json& sessions = Array(j, "sessions", where);
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        Session session = ReadSession(sessions[i], Index(where, "sessions", i));
        const bool cycledId = std::any_of(s.cycled.begin(), s.cycled.end(),
                                          [&](const Session& other) { return other.id == session.id; });
        if (s.FindSession(session.id) || cycledId)
            Fail(Index(where, "sessions", i) + ".id", "duplicate session ID");
        if (session.cycleSeconds) {
            s.cycled.push_back(std::move(session));
        } else {
            s.sessions.push_back(std::move(session));
        }
    }
    const json& processes = Array(j, "processes", where);
    for (std::size_t i = 0; i < processes.size(); ++i) {
        Process process = ReadProcess(processes[i], Index(where, "processes", i));
        if (s.FindProcess(process.pid)) Fail(Index(where, "processes", i) + ".pid", "duplicate process ID");
        s.processes.push_back(std::move(process));
    }
    if (j.contains("generate")) Generate(j["generate"], where + ".generate", s);
    return s;
}

}  // namespace

std::int64_t SessionTime::Resolve(std::int64_t current) const {
    switch (kind) {
        case Kind::At: return value;
        case Kind::SecondsBefore: return std::max<std::int64_t>(0, current - value * kTicksPerSecond);
        case Kind::None: break;
    }
    return 0;
}

std::int64_t Server::Now() const {
    if (currentTime) return *currentTime;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

std::optional<std::int64_t> ParseUtcTime(const std::string& text) {
    // YYYY-MM-DDTHH:MM:SS[.fffffff]Z
    auto digits = [&](std::size_t at, std::size_t count, unsigned& out) {
        if (at + count > text.size()) return false;
        out = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            out = out * 10 + static_cast<unsigned>(text[i] - '0');
        }
        return true;
    };
    unsigned year, month, day, hour, minute, second;
    if (text.size() < 20 || !digits(0, 4, year) || text[4] != '-' || !digits(5, 2, month) || text[7] != '-' ||
        !digits(8, 2, day) || text[10] != 'T' || !digits(11, 2, hour) || text[13] != ':' ||
        !digits(14, 2, minute) || text[16] != ':' || !digits(17, 2, second))
        return std::nullopt;
    std::size_t at = 19;
    std::int64_t fraction = 0;  // ticks
    if (text[at] == '.') {
        const std::size_t start = ++at;
        std::int64_t scale = kTicksPerSecond;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 7) {
            scale /= 10;
            fraction += (text[at] - '0') * scale;
            ++at;
        }
        if (at == start) return std::nullopt;
    }
    if (at + 1 != text.size() || text[at] != 'Z') return std::nullopt;
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1601 || month < 1 || month > 12 || day < 1 ||
        day > kDays[month - 1] + (month == 2 && leap ? 1u : 0u) || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const std::int64_t seconds =
        DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second + kSecondsFrom1601To1970;
    return seconds * kTicksPerSecond + fraction;
}

Session* Server::FindSession(DWORD id) {
    for (Session& s : sessions)
        if (s.id == id) return &s;
    return nullptr;
}

std::optional<std::vector<BYTE>> ParseSid(const std::string& text) {
    if (text.rfind("S-", 0) != 0) return std::nullopt;
    std::vector<std::uint64_t> parts;
    std::size_t at = 2;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find('-', at), text.size());
        if (end == at || end - at > 15) return std::nullopt;
        std::uint64_t v = 0;
        for (std::size_t i = at; i < end; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            v = v * 10 + static_cast<std::uint64_t>(text[i] - '0');
        }
        parts.push_back(v);
        at = end + 1;
    }
    // Revision, authority, then 1 to 15 sub-authorities of 32 bits.
    if (parts.size() < 3 || parts.size() > 17 || parts[0] > 255 || parts[1] > 0xFFFFFFFFFFFFull) return std::nullopt;
    std::vector<BYTE> sid = {static_cast<BYTE>(parts[0]), static_cast<BYTE>(parts.size() - 2)};
    for (int shift = 40; shift >= 0; shift -= 8) sid.push_back(static_cast<BYTE>(parts[1] >> shift));
    for (std::size_t i = 2; i < parts.size(); ++i) {
        if (parts[i] > 0xFFFFFFFFull) return std::nullopt;
        for (int k = 0; k < 4; ++k) sid.push_back(static_cast<BYTE>(parts[i] >> (8 * k)));
    }
    return sid;
}

Process* Server::FindProcess(DWORD pid) {
    for (Process& p : processes)
        if (p.pid == pid) return &p;
    return nullptr;
}

Server* Farm::FindServer(const std::wstring& name) {
    for (Server& s : servers)
        if (SameHostName(s.name, name)) return &s;
    return nullptr;
}

bool SameHostName(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty()) return a.empty() && b.empty();
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring Utf8ToWide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

Farm ParseFarm(const std::string& utf8Json) {
    json root;
    try {
        root = json::parse(utf8Json);
    } catch (const json::parse_error& e) {
        throw std::runtime_error(std::string("not valid JSON: ") + e.what());
    }
    CheckKeys(root, "farm", {"servers", "unknown_server_delay_ms", "notification_error"});
    Farm farm;
    farm.unknownServerDelayMs = U32(root, "unknown_server_delay_ms", "farm", 0);
    farm.notificationError = U32(root, "notification_error", "farm", 0);
    if (!root.contains("servers")) Fail("farm.servers", "required");
    const json& servers = Array(root, "servers", "farm");
    for (std::size_t i = 0; i < servers.size(); ++i) {
        Server server = ReadServer(servers[i], Index("farm", "servers", i), farm.unknownServerDelayMs);
        if (farm.FindServer(server.name)) Fail(Index("farm", "servers", i) + ".name", "duplicate server name");
        farm.servers.push_back(std::move(server));
    }
    return farm;
}

}  // namespace farm
