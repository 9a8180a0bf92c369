#include "tests/common/fake_terminal_services.h"

#include <algorithm>

#include "actions/process_figures.h"
#include "base/text.h"

namespace tarvenix::testing {

class FakeTerminalServices::Server final : public TerminalServer {
public:
    Server(FakeTerminalServices& owner, std::u16string name) : owner_(owner), name_(std::move(name)) {}
    ~Server() override {
        std::lock_guard<std::recursive_mutex> lock(owner_.mutex);
        ++owner_.closed;
        owner_.closedOn.push_back(std::this_thread::get_id());
    }

    CallResult EnumerateSessions(std::vector<SessionRecord>& out) override {
        const auto lock = Begin("enumerate");
        FakeServer* s = Find();
        if (!s) return CallResult::Failure(1722);
        if (s->enumerateError) return CallResult::Failure(s->enumerateError);
        out.clear();
        for (const FakeSession& f : s->sessions) out.push_back({f.id, u"", f.state});
        return CallResult::Success();
    }
    std::optional<std::u16string> QueryString(std::uint32_t id, SessionInfoClass c) override {
        const auto lock = Begin("query " + std::to_string(id) + " " + std::to_string(static_cast<unsigned>(c)));
        const FakeSession* f = Session(id);
        if (!f) return std::nullopt;
        switch (c) {
            case SessionInfoClass::UserName: return f->user;
            case SessionInfoClass::ClientName: return f->clientName;
            case SessionInfoClass::WinStationName: return f->winStation;
            case SessionInfoClass::ClientDirectory: return f->clientDirectory;
            default: return std::nullopt;
        }
    }
    std::optional<ClientAddress> QueryClientAddress(std::uint32_t id) override {
        const auto lock = Begin("query " + std::to_string(id) + " 14");
        const FakeSession* f = Session(id);
        return f ? f->address : std::nullopt;
    }
    CallResult QuerySessionInfo(std::uint32_t id, SessionInfo& info) override {
        const auto lock = Begin("query " + std::to_string(id) + " 24");
        if (!Find()) return CallResult::Failure(1722);
        const FakeSession* f = Session(id);
        if (!f) return CallResult::Failure(7022);
        if (!f->times) return CallResult::Failure(f->infoError);
        info.state = f->state;
        info.user = f->user.value_or(u"");
        info.domain = f->domain;
        info.times = *f->times;
        return CallResult::Success();
    }
    CallResult EnumerateProcesses(std::vector<ProcessRecord>& out) override {
        const auto lock = Begin("processes");
        FakeServer* s = Find();
        if (!s) return CallResult::Failure(1722);
        if (s->processEnumerateError) return CallResult::Failure(s->processEnumerateError);
        out = s->processes;
        return CallResult::Success();
    }
    CallResult Logoff(std::uint32_t id) override {
        const auto lock = Begin("logoff " + std::to_string(id));
        FakeServer* s = Find();
        if (!s) return CallResult::Failure(1722);
        const FakeSession* f = Session(id);
        if (!f) return CallResult::Failure(7022);
        if (f->logoffError) return CallResult::Failure(f->logoffError);
        return CallResult::Success();
    }
    CallResult Disconnect(std::uint32_t id) override {
        const auto lock = Begin("disconnect " + std::to_string(id));
        FakeServer* s = Find();
        if (!s) return CallResult::Failure(1722);
        const FakeSession* f = Session(id);
        if (!f) return CallResult::Failure(7022);
        if (f->disconnectError) return CallResult::Failure(f->disconnectError);
        return CallResult::Success();
    }
    CallResult SendSessionMessage(std::uint32_t id, const std::u16string& title, const std::u16string& message) override {
        const auto lock = Begin("message " + std::to_string(id));
        owner_.messages.push_back({name_, id, title, message});
        FakeServer* s = Find();
        if (!s) return CallResult::Failure(1722);
        const FakeSession* f = Session(id);
        if (!f) return CallResult::Failure(7022);
        if (f->messageError) return CallResult::Failure(f->messageError);
        return CallResult::Success();
    }
    CallResult TerminateProcess(std::uint32_t pid) override {
        const auto lock = Begin("terminate " + std::to_string(pid));
        FakeServer* s = Find();
        if (!s) return CallResult::Failure(1722);
        if (s->terminateError) return CallResult::Failure(s->terminateError);
        for (auto it = s->processes.begin(); it != s->processes.end(); ++it) {
            if (it->processId == pid) {
                s->processes.erase(it);
                return CallResult::Success();
            }
        }
        return CallResult::Failure(87);
    }

    CallResult WaitSystemEvent(std::uint32_t mask, std::uint32_t& events) override {
        auto lock = Begin("wait");
        events = session_events::kNone;
        FakeServer* s = Find();
        if (!s) return CallResult::Failure(1722);
        if (s->waitError) return CallResult::Failure(s->waitError);
        if (owner_.waiting_.count(this)) return CallResult::Failure(170);  // one wait at a time
        pending_ = 0;
        flushed_ = false;
        owner_.waiting_.insert(this);
        owner_.waitChanged_.notify_all();
        owner_.waitChanged_.wait(lock, [&] { return (pending_ & mask) != 0 || flushed_ || owner_.releaseStuck_; });
        owner_.waiting_.erase(this);
        owner_.waitChanged_.notify_all();
        events = pending_ & mask;
        pending_ = 0;
        return CallResult::Success();
    }
    CallResult FlushWaits() override {
        const auto lock = Begin("flush");
        if (owner_.flushReleases) flushed_ = true;
        owner_.waitChanged_.notify_all();
        return CallResult::Success();
    }
    void Signal(std::uint32_t events) { pending_ |= events; }
    const std::u16string& Name() const { return name_; }
    std::optional<std::uint32_t> QueryNumber(std::uint32_t id, SessionInfoClass c) override {
        const auto lock = Begin("query " + std::to_string(id) + " " + std::to_string(static_cast<unsigned>(c)));
        const FakeSession* f = Session(id);
        if (!f) return std::nullopt;
        if (c == SessionInfoClass::ClientBuildNumber) return f->clientBuild;
        if (c == SessionInfoClass::ClientProtocolType) return f->protocol;
        return std::nullopt;
    }
    std::optional<ClientDisplay> QueryClientDisplay(std::uint32_t id) override {
        const auto lock = Begin("query " + std::to_string(id) + " 15");
        const FakeSession* f = Session(id);
        return f ? f->display : std::nullopt;
    }
    std::optional<std::u16string> LookupAccount(const std::vector<std::uint8_t>& sid) override {
        const std::u16string text = SidText(sid);
        const auto lock = Begin("lookup " + Utf16ToUtf8(text));
        FakeServer* s = Find();
        if (!s) return std::nullopt;
        auto it = s->accounts.find(text);
        if (it == s->accounts.end()) return std::nullopt;
        return it->second;
    }

private:
    // The hook first (unlocked), then the call is logged and served under the lock.
    std::unique_lock<std::recursive_mutex> Begin(const std::string& what) {
        const std::string call = what + " " + Utf16ToUtf8(name_);
        if (owner_.beforeCall) owner_.beforeCall(call);
        std::unique_lock<std::recursive_mutex> lock(owner_.mutex);
        owner_.calls.push_back(call);
        return lock;
    }
    FakeServer* Find() {
        auto it = owner_.servers.find(name_);
        return it == owner_.servers.end() ? nullptr : &it->second;
    }
    const FakeSession* Session(std::uint32_t id) {
        FakeServer* s = Find();
        if (!s) return nullptr;
        for (const FakeSession& f : s->sessions)
            if (f.id == id) return &f;
        return nullptr;
    }

    FakeTerminalServices& owner_;
    std::u16string name_;
    std::uint32_t pending_ = 0;  // under the owner's lock
    bool flushed_ = false;
};

void FakeTerminalServices::SignalEvents(const std::u16string& server, std::uint32_t events) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    for (Server* waiter : waiting_)
        if (waiter->Name() == server) waiter->Signal(events);
    waitChanged_.notify_all();
}

int FakeTerminalServices::CallCount(const std::string& call) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

int FakeTerminalServices::OpenedCount() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return opened;
}

int FakeTerminalServices::ClosedCount() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return closed;
}

int FakeTerminalServices::WaitsGoing() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return static_cast<int>(waiting_.size());
}

void FakeTerminalServices::ReleaseStuckWaits() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    releaseStuck_ = true;
    waitChanged_.notify_all();
}

std::unique_ptr<TerminalServer> FakeTerminalServices::Open(const std::u16string& name) {
    const std::string call = "open " + Utf16ToUtf8(name);
    if (beforeCall) beforeCall(call);
    std::lock_guard<std::recursive_mutex> lock(mutex);
    ++opened;
    calls.push_back(call);
    return std::make_unique<Server>(*this, name);
}

}  // namespace tarvenix::testing
