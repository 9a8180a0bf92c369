#include "sessions/wts_terminal_services_win.h"

#include <windows.h>
#include <wtsapi32.h>

#include <cstring>

#include "base/win_text.h"
#include "sessions/wts_extended_win.h"

namespace tarvenix {
namespace {

// Owns a buffer that wtsapi32 returned.
struct WtsFree {
    void operator()(void* p) const {
        if (p) WTSFreeMemory(p);
    }
};
template <typename T>
using WtsBuffer = std::unique_ptr<T, WtsFree>;

// Owns what the extended process listing returned (freed with its count).
class ExtendedProcesses {
public:
    ExtendedProcesses(PWTS_PROCESS_INFO_EXW array, DWORD count) : array_(array), count_(count) {}
    ~ExtendedProcesses() {
        if (array_) WTSFreeMemoryExW(WTSTypeProcessInfoLevel1, array_, count_);
    }
    ExtendedProcesses(const ExtendedProcesses&) = delete;
    ExtendedProcesses& operator=(const ExtendedProcesses&) = delete;

private:
    PWTS_PROCESS_INFO_EXW array_;
    DWORD count_;
};

// The answers that say the server is gone: the plain listing would fail the same way.
bool ServerGone(DWORD error) { return error == RPC_S_SERVER_UNAVAILABLE || error == RPC_S_CALL_FAILED || error == EPT_S_NOT_REGISTERED; }

std::uint32_t LastErrorOr(std::uint32_t fallback) {
    const DWORD e = GetLastError();
    return e != 0 ? e : fallback;
}

class WtsServer final : public TerminalServer {
public:
    WtsServer(HANDLE handle, DWORD openError) : handle_(handle), openError_(openError) {}
    ~WtsServer() override {
        sessions_.reset();  // the session array goes back after its sessions were queried
        if (handle_) WTSCloseServer(handle_);
    }
    WtsServer(const WtsServer&) = delete;
    WtsServer& operator=(const WtsServer&) = delete;

    CallResult EnumerateSessions(std::vector<SessionRecord>& sessions) override {
        sessions.clear();
        if (!handle_) return CallResult::Failure(openError_);
        PWTS_SESSION_INFOW raw = nullptr;
        DWORD count = 0;
        if (!WTSEnumerateSessionsW(handle_, 0, 1, &raw, &count)) return CallResult::Failure(LastErrorOr(ERROR_GEN_FAILURE));
        sessions_.reset(raw);
        sessions.reserve(count);
        for (DWORD i = 0; i < count; ++i) {
            SessionRecord r;
            r.sessionId = raw[i].SessionId;
            r.winStationName = U16(raw[i].pWinStationName);
            r.state = static_cast<std::uint32_t>(raw[i].State);
            sessions.push_back(std::move(r));
        }
        return CallResult::Success();
    }

    std::optional<std::u16string> QueryString(std::uint32_t sessionId, SessionInfoClass infoClass) override {
        if (!handle_) return std::nullopt;
        LPWSTR raw = nullptr;
        DWORD bytes = 0;
        if (!WTSQuerySessionInformationW(handle_, sessionId, static_cast<WTS_INFO_CLASS>(infoClass), &raw, &bytes))
            return std::nullopt;
        WtsBuffer<WCHAR> owned(raw);
        if (!raw) return std::u16string();
        // The text runs to its NUL, but never past the bytes returned.
        std::size_t max = bytes / sizeof(WCHAR);
        std::size_t n = 0;
        while (n < max && raw[n] != 0) ++n;
        return U16(raw, n);
    }

    std::optional<ClientAddress> QueryClientAddress(std::uint32_t sessionId) override {
        const std::optional<WTS_CLIENT_ADDRESS> wts = QueryStruct<WTS_CLIENT_ADDRESS>(sessionId, WTSClientAddress);
        if (!wts) return std::nullopt;
        ClientAddress address;
        address.family = wts->AddressFamily;
        static_assert(sizeof(wts->Address) == 20, "WTS_CLIENT_ADDRESS carries 20 address bytes");
        std::memcpy(address.bytes.data(), wts->Address, address.bytes.size());
        return address;
    }

    CallResult QuerySessionInfo(std::uint32_t sessionId, SessionInfo& out) override {
        if (!handle_) return CallResult::Failure(openError_);
        LPWSTR raw = nullptr;
        DWORD bytes = 0;
        if (!WTSQuerySessionInformationW(handle_, sessionId, WTSSessionInfo, &raw, &bytes))
            return CallResult::Failure(LastErrorOr(ERROR_GEN_FAILURE));
        WtsBuffer<WCHAR> owned(raw);
        if (!raw || bytes < sizeof(WTSINFOW)) return CallResult::Failure(ERROR_INVALID_DATA);
        WTSINFOW info;
        std::memcpy(&info, raw, sizeof info);
        out.state = static_cast<std::uint32_t>(info.State);
        out.user = FixedText(info.UserName);
        out.domain = FixedText(info.Domain);
        out.times.lastInputTime = info.LastInputTime.QuadPart;
        out.times.disconnectTime = info.DisconnectTime.QuadPart;
        out.times.logonTime = info.LogonTime.QuadPart;
        out.times.currentTime = info.CurrentTime.QuadPart;
        out.times.connectTime = info.ConnectTime.QuadPart;
        return CallResult::Success();
    }

    CallResult EnumerateProcesses(std::vector<ProcessRecord>& processes) override {
        processes.clear();
        if (!handle_) return CallResult::Failure(openError_);
        // The extended listing (level 1) gives each process's figures in the
        // same one call; a server that refuses it gets the plain listing.
        DWORD level = 1;
        LPWSTR rawEx = nullptr;
        DWORD countEx = 0;
        if (WTSEnumerateProcessesExW(handle_, &level, WTS_ANY_SESSION, &rawEx, &countEx)) {
            auto* array = reinterpret_cast<PWTS_PROCESS_INFO_EXW>(rawEx);
            ExtendedProcesses owned(array, countEx);
            processes.reserve(countEx);
            for (DWORD i = 0; i < countEx; ++i) {
                const WTS_PROCESS_INFO_EXW& p = array[i];
                ProcessRecord r;
                r.sessionId = p.SessionId;
                r.processId = p.ProcessId;
                if (p.pProcessName) r.name = U16(p.pProcessName);
                ProcessFigures f;
                f.threads = p.NumberOfThreads;
                f.handles = p.HandleCount;
                f.workingSet = p.WorkingSetSize;
                f.peakWorkingSet = p.PeakWorkingSetSize;
                f.pagefileUsage = p.PagefileUsage;
                f.userTime = p.UserTime.QuadPart;
                f.kernelTime = p.KernelTime.QuadPart;
                if (p.pUserSid && IsValidSid(p.pUserSid)) {
                    const auto* bytes = static_cast<const std::uint8_t*>(p.pUserSid);
                    f.sid.assign(bytes, bytes + GetLengthSid(p.pUserSid));
                }
                r.figures = std::move(f);
                processes.push_back(std::move(r));
            }
            return CallResult::Success();
        }
        const DWORD exError = LastErrorOr(ERROR_GEN_FAILURE);
        if (ServerGone(exError)) return CallResult::Failure(exError);
        PWTS_PROCESS_INFOW raw = nullptr;
        DWORD count = 0;
        if (!WTSEnumerateProcessesW(handle_, 0, 1, &raw, &count)) return CallResult::Failure(LastErrorOr(ERROR_GEN_FAILURE));
        WtsBuffer<WTS_PROCESS_INFOW> owned(raw);
        processes.reserve(count);
        for (DWORD i = 0; i < count; ++i) {
            ProcessRecord r;
            r.sessionId = raw[i].SessionId;
            r.processId = raw[i].ProcessId;
            if (raw[i].pProcessName) r.name = U16(raw[i].pProcessName);
            processes.push_back(std::move(r));
        }
        return CallResult::Success();
    }

    CallResult Logoff(std::uint32_t sessionId) override {
        if (!handle_) return CallResult::Failure(openError_);
        if (!WTSLogoffSession(handle_, sessionId, FALSE)) return CallResult::Failure(LastErrorOr(ERROR_GEN_FAILURE));
        return CallResult::Success();
    }
    CallResult Disconnect(std::uint32_t sessionId) override {
        if (!handle_) return CallResult::Failure(openError_);
        if (!WTSDisconnectSession(handle_, sessionId, FALSE)) return CallResult::Failure(LastErrorOr(ERROR_GEN_FAILURE));
        return CallResult::Success();
    }

    CallResult SendSessionMessage(std::uint32_t sessionId, const std::u16string& title, const std::u16string& message) override {
        if (!handle_) return CallResult::Failure(openError_);
        std::wstring t = W(title);
        std::wstring m = W(message);
        DWORD response = 0;
        if (!WTSSendMessageW(handle_, sessionId, t.data(), static_cast<DWORD>(t.size() * sizeof(wchar_t)), m.data(),
                             static_cast<DWORD>(m.size() * sizeof(wchar_t)), 0, 0, &response, FALSE))
            return CallResult::Failure(LastErrorOr(ERROR_GEN_FAILURE));
        return CallResult::Success();
    }

    CallResult TerminateProcess(std::uint32_t processId) override {
        if (!handle_) return CallResult::Failure(openError_);
        if (!WTSTerminateProcess(handle_, processId, 0)) return CallResult::Failure(LastErrorOr(ERROR_GEN_FAILURE));
        return CallResult::Success();
    }

    CallResult WaitSystemEvent(std::uint32_t mask, std::uint32_t& events) override {
        events = WTS_EVENT_NONE;
        if (!handle_) return CallResult::Failure(openError_);
        DWORD flags = WTS_EVENT_NONE;
        if (!WTSWaitSystemEvent(handle_, mask & WTS_EVENT_ALL, &flags))
            return CallResult::Failure(LastErrorOr(ERROR_GEN_FAILURE));
        events = flags;
        return CallResult::Success();
    }

    CallResult FlushWaits() override {
        if (!handle_) return CallResult::Success();
        DWORD flags = WTS_EVENT_NONE;
        if (!WTSWaitSystemEvent(handle_, WTS_EVENT_FLUSH, &flags))
            return CallResult::Failure(LastErrorOr(ERROR_GEN_FAILURE));
        return CallResult::Success();
    }

    std::optional<std::uint32_t> QueryNumber(std::uint32_t sessionId, SessionInfoClass infoClass) override {
        if (infoClass == SessionInfoClass::ClientProtocolType) {
            const std::optional<USHORT> protocol = QueryStruct<USHORT>(sessionId, WTSClientProtocolType);
            if (!protocol) return std::nullopt;
            return *protocol;
        }
        const std::optional<ULONG> number = QueryStruct<ULONG>(sessionId, static_cast<WTS_INFO_CLASS>(infoClass));
        if (!number) return std::nullopt;
        return *number;
    }

    std::optional<ClientDisplay> QueryClientDisplay(std::uint32_t sessionId) override {
        const std::optional<WTS_CLIENT_DISPLAY> wts = QueryStruct<WTS_CLIENT_DISPLAY>(sessionId, WTSClientDisplay);
        if (!wts) return std::nullopt;
        return ClientDisplay{wts->HorizontalResolution, wts->VerticalResolution, wts->ColorDepth};
    }

    std::optional<std::u16string> LookupAccount(const std::vector<std::uint8_t>& sid) override {
        if (sid.empty()) return std::nullopt;
        std::vector<std::uint8_t> copy = sid;
        PSID psid = copy.data();
        if (!IsValidSid(psid)) return std::nullopt;
        // The server names its own accounts and its domain's.
        std::wstring system = W(server_);
        WCHAR name[256], domain[256];
        DWORD nameLength = 256, domainLength = 256;
        SID_NAME_USE use;
        if (!LookupAccountSidW(system.empty() ? nullptr : system.c_str(), psid, name, &nameLength, domain,
                               &domainLength, &use)) {
            // The built-in accounts (SYSTEM, LOCAL SERVICE, the BUILTIN
            // groups...) are named alike on every machine: this one names them
            // when the server would not.
            if (!BuiltIn(copy)) return std::nullopt;
            nameLength = 256;
            domainLength = 256;
            if (!LookupAccountSidW(nullptr, psid, name, &nameLength, domain, &domainLength, &use)) return std::nullopt;
        }
        std::u16string account = U16(name, nameLength);
        if (domainLength > 0) account = U16(domain, domainLength) + u"\\" + account;
        return account;
    }

    void SetName(std::u16string name) { server_ = std::move(name); }

private:
    // S-1-5-N with N below 21 (NT AUTHORITY's own accounts, the BUILTIN
    // domain 32), and the null, world and creator authorities (0 to 3).
    static bool BuiltIn(const std::vector<std::uint8_t>& sid) {
        if (sid.size() < 8 || sid[2] || sid[3] || sid[4] || sid[5] || sid[6]) return false;
        if (sid[7] <= 3) return true;
        return sid[7] == 5 && sid.size() >= 12 && sid[1] >= 1 && sid[9] == 0 && sid[10] == 0 && sid[11] == 0 &&
               (sid[8] < 21 || sid[8] == 32);
    }

    // The text of a fixed-size array of a structure: up to its NUL, never past its end.
    template <std::size_t N>
    static std::u16string FixedText(const WCHAR (&text)[N]) {
        std::size_t n = 0;
        while (n < N && text[n] != 0) ++n;
        return U16(text, n);
    }

    // A query whose answer is one structure: a copy of it, or nothing when
    // the query fails or answers fewer bytes than the structure has.
    template <typename T>
    std::optional<T> QueryStruct(std::uint32_t sessionId, WTS_INFO_CLASS infoClass) {
        if (!handle_) return std::nullopt;
        LPWSTR raw = nullptr;
        DWORD bytes = 0;
        if (!WTSQuerySessionInformationW(handle_, sessionId, infoClass, &raw, &bytes)) return std::nullopt;
        WtsBuffer<WCHAR> owned(raw);
        if (!raw || bytes < sizeof(T)) return std::nullopt;
        T value;
        std::memcpy(&value, raw, sizeof(T));
        return value;
    }

    HANDLE handle_;
    DWORD openError_;
    std::u16string server_;
    WtsBuffer<WTS_SESSION_INFOW> sessions_;
};

}  // namespace

std::unique_ptr<TerminalServer> WtsTerminalServices::Open(const std::u16string& serverName) {
    // An empty name would open the local machine: refused outright.
    if (serverName.empty()) return std::make_unique<WtsServer>(nullptr, ERROR_INVALID_NAME);
    std::wstring name = W(serverName);
    SetLastError(0);
    HANDLE handle = WTSOpenServerW(name.data());
    // A NULL handle would address the local machine (WTS_CURRENT_SERVER_HANDLE):
    // keep it as a failed server instead.
    const DWORD error = handle ? 0 : LastErrorOr(RPC_S_SERVER_UNAVAILABLE);
    auto server = std::make_unique<WtsServer>(handle, error);
    server->SetName(serverName);
    return server;
}

bool WtsTerminalServices::RegisterSessionNotification(std::uintptr_t window) {
    return WTSRegisterSessionNotification(reinterpret_cast<HWND>(window), NOTIFY_FOR_ALL_SESSIONS) != FALSE;
}

void WtsTerminalServices::UnregisterSessionNotification(std::uintptr_t window) {
    WTSUnRegisterSessionNotification(reinterpret_cast<HWND>(window));
}

}  // namespace tarvenix
