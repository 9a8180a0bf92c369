#include "sessions/server_accounts.h"

#include <utility>

#include "base/text_fold.h"

namespace tarvenix {

std::u16string AccountFaultText(const AccountFault& fault, const DescribeError& describe) {
    if (fault.account.empty())
        return u"Не удалось прочитать учётные данные " + fault.target + u": " + SystemErrorLine(fault.error, describe);
    return u"Не удалось выполнить вызов от имени " + fault.account + u": " + SystemErrorLine(fault.error, describe);
}

void ServerAccounts::State::SetFault(const std::u16string& key, AccountFault fault) {
    const std::lock_guard<std::mutex> lock(mutex);
    faults[key] = std::move(fault);
}

void ServerAccounts::State::ClearFault(const std::u16string& key) {
    const std::lock_guard<std::mutex> lock(mutex);
    faults.erase(key);
}

// A server whose calls all fail with one error (its account could not be
// carried, or its entry read): no call reaches the server.
class ServerAccounts::RefusedServer final : public TerminalServer {
public:
    explicit RefusedServer(std::uint32_t error) : error_(error) {}
    CallResult EnumerateSessions(std::vector<SessionRecord>& sessions) override {
        sessions.clear();
        return CallResult::Failure(error_);
    }
    std::optional<std::u16string> QueryString(std::uint32_t, SessionInfoClass) override { return std::nullopt; }
    std::optional<ClientAddress> QueryClientAddress(std::uint32_t) override { return std::nullopt; }
    CallResult QuerySessionInfo(std::uint32_t, SessionInfo&) override { return CallResult::Failure(error_); }
    CallResult EnumerateProcesses(std::vector<ProcessRecord>& processes) override {
        processes.clear();
        return CallResult::Failure(error_);
    }
    CallResult Logoff(std::uint32_t) override { return CallResult::Failure(error_); }
    CallResult Disconnect(std::uint32_t) override { return CallResult::Failure(error_); }
    CallResult SendSessionMessage(std::uint32_t, const std::u16string&, const std::u16string&) override {
        return CallResult::Failure(error_);
    }
    CallResult TerminateProcess(std::uint32_t) override { return CallResult::Failure(error_); }
    CallResult WaitSystemEvent(std::uint32_t, std::uint32_t& events) override {
        events = session_events::kNone;
        return CallResult::Failure(error_);
    }
    CallResult FlushWaits() override { return CallResult::Success(); }
    std::optional<std::uint32_t> QueryNumber(std::uint32_t, SessionInfoClass) override { return std::nullopt; }
    std::optional<ClientDisplay> QueryClientDisplay(std::uint32_t) override { return std::nullopt; }
    std::optional<std::u16string> LookupAccount(const std::vector<std::uint8_t>&) override { return std::nullopt; }

private:
    std::uint32_t error_;
};

// A server opened under an account: each call carries it on the calling
// thread, and only for that call.
class ServerAccounts::CarriedServer final : public TerminalServer {
public:
    CarriedServer(std::unique_ptr<TerminalServer> inner, std::shared_ptr<Entry> entry, std::shared_ptr<State> state,
                  std::u16string key)
        : inner_(std::move(inner)), entry_(std::move(entry)), state_(std::move(state)), key_(std::move(key)) {}
    ~CarriedServer() override {
        // Closing the handle goes to the server too.
        const Scope scope(*this);
        inner_.reset();
    }
    CarriedServer(const CarriedServer&) = delete;
    CarriedServer& operator=(const CarriedServer&) = delete;

    CallResult EnumerateSessions(std::vector<SessionRecord>& sessions) override {
        sessions.clear();
        return Carried([&] { return inner_->EnumerateSessions(sessions); });
    }
    std::optional<std::u16string> QueryString(std::uint32_t sessionId, SessionInfoClass infoClass) override {
        const Scope scope(*this);
        if (scope.error) return std::nullopt;
        return inner_->QueryString(sessionId, infoClass);
    }
    std::optional<ClientAddress> QueryClientAddress(std::uint32_t sessionId) override {
        const Scope scope(*this);
        if (scope.error) return std::nullopt;
        return inner_->QueryClientAddress(sessionId);
    }
    CallResult QuerySessionInfo(std::uint32_t sessionId, SessionInfo& info) override {
        return Carried([&] { return inner_->QuerySessionInfo(sessionId, info); });
    }
    CallResult EnumerateProcesses(std::vector<ProcessRecord>& processes) override {
        processes.clear();
        return Carried([&] { return inner_->EnumerateProcesses(processes); });
    }
    CallResult Logoff(std::uint32_t sessionId) override {
        return Carried([&] { return inner_->Logoff(sessionId); });
    }
    CallResult Disconnect(std::uint32_t sessionId) override {
        return Carried([&] { return inner_->Disconnect(sessionId); });
    }
    CallResult SendSessionMessage(std::uint32_t sessionId, const std::u16string& title,
                                  const std::u16string& message) override {
        return Carried([&] { return inner_->SendSessionMessage(sessionId, title, message); });
    }
    CallResult TerminateProcess(std::uint32_t processId) override {
        return Carried([&] { return inner_->TerminateProcess(processId); });
    }
    // The account is carried for the whole wait, on the waiter's own thread.
    CallResult WaitSystemEvent(std::uint32_t mask, std::uint32_t& events) override {
        events = session_events::kNone;
        return Carried([&] { return inner_->WaitSystemEvent(mask, events); });
    }
    CallResult FlushWaits() override {
        return Carried([&] { return inner_->FlushWaits(); });
    }
    std::optional<std::uint32_t> QueryNumber(std::uint32_t sessionId, SessionInfoClass infoClass) override {
        const Scope scope(*this);
        if (scope.error) return std::nullopt;
        return inner_->QueryNumber(sessionId, infoClass);
    }
    std::optional<ClientDisplay> QueryClientDisplay(std::uint32_t sessionId) override {
        const Scope scope(*this);
        if (scope.error) return std::nullopt;
        return inner_->QueryClientDisplay(sessionId);
    }
    // The server names the SID under the account too (it may refuse others).
    std::optional<std::u16string> LookupAccount(const std::vector<std::uint8_t>& sid) override {
        const Scope scope(*this);
        if (scope.error) return std::nullopt;
        return inner_->LookupAccount(sid);
    }

private:
    // The account carried for one call: entered here, left when it ends.
    struct Scope {
        explicit Scope(const CarriedServer& server) : owner(server) {
            error = server.entry_->logon->Enter();
            if (error) server.state_->SetFault(server.key_, {server.entry_->account, server.entry_->target, error});
        }
        ~Scope() {
            if (!error) owner.entry_->logon->Leave();
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        const CarriedServer& owner;
        std::uint32_t error = 0;
    };
    template <typename Call>
    CallResult Carried(Call&& call) {
        const Scope scope(*this);
        if (scope.error) return CallResult::Failure(scope.error);
        return call();
    }

    std::unique_ptr<TerminalServer> inner_;
    std::shared_ptr<Entry> entry_;
    std::shared_ptr<State> state_;
    std::u16string key_;
};

ServerAccounts::ServerAccounts(TerminalServices& inner, AccountCarrier& carrier, CredentialStore* store)
    : inner_(inner), carrier_(carrier), store_(store) {}

std::shared_ptr<ServerAccounts::Entry> ServerAccounts::EntryFor(const std::u16string& server,
                                                                std::optional<AccountFault>& fault) {
    const std::u16string key = FoldCase(server);
    {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->everywhere) return state_->everywhere;
        const auto it = state_->entries.find(key);
        if (it != state_->entries.end()) return it->second;
    }
    if (!store_) return nullptr;
    for (const std::u16string& target : CredentialTargetsFor(server)) {
        Credential credential;
        const std::uint32_t read = store_->Read(target, credential);
        if (read == kErrorNotFound) continue;
        if (read != 0) {
            fault = AccountFault{u"", target, read};
            return nullptr;
        }
        std::uint32_t error = 0;
        std::unique_ptr<CarriedAccount> logon = carrier_.Logon(credential, error);
        credential.password.Wipe();
        if (!logon) {
            fault = AccountFault{credential.account, target, error ? error : 1326u};
            return nullptr;
        }
        auto entry = std::make_shared<Entry>(Entry{std::move(credential.account), target, std::move(logon)});
        const std::lock_guard<std::mutex> lock(state_->mutex);
        // Another worker may have read it meanwhile, or the user signed in: the first one stays.
        auto [it, added] = state_->entries.emplace(key, entry);
        return it->second;
    }
    return nullptr;
}

std::unique_ptr<TerminalServer> ServerAccounts::Open(const std::u16string& serverName) {
    std::optional<AccountFault> fault;
    std::shared_ptr<Entry> entry = serverName.empty() ? nullptr : EntryFor(serverName, fault);
    const std::u16string key = FoldCase(serverName);
    if (fault) {
        const std::uint32_t error = fault->error;
        state_->SetFault(key, std::move(*fault));
        return std::make_unique<RefusedServer>(error);
    }
    if (!entry) return inner_.Open(serverName);
    const std::uint32_t error = entry->logon->Enter();
    if (error) {
        state_->SetFault(key, {entry->account, entry->target, error});
        return std::make_unique<RefusedServer>(error);
    }
    std::unique_ptr<TerminalServer> opened;
    try {
        opened = inner_.Open(serverName);
    } catch (...) {
        entry->logon->Leave();
        throw;
    }
    entry->logon->Leave();
    state_->ClearFault(key);
    return std::make_unique<CarriedServer>(std::move(opened), std::move(entry), state_, key);
}

bool ServerAccounts::RegisterSessionNotification(std::uintptr_t window) {
    return inner_.RegisterSessionNotification(window);
}

void ServerAccounts::UnregisterSessionNotification(std::uintptr_t window) {
    inner_.UnregisterSessionNotification(window);
}

std::uint32_t ServerAccounts::SignIn(const std::u16string& server, Credential credential, bool remember,
                                     std::uint32_t* storeError) {
    if (storeError) *storeError = 0;
    std::uint32_t error = 0;
    std::unique_ptr<CarriedAccount> logon = carrier_.Logon(credential, error);
    if (!logon) {
        credential.password.Wipe();
        return error ? error : 1326u;
    }
    if (remember && store_) {
        const std::uint32_t written = store_->Write(ServerCredentialTarget(server), credential);
        if (storeError) *storeError = written;
    }
    credential.password.Wipe();
    const std::u16string key = FoldCase(server);
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->entries[key] = std::make_shared<Entry>(Entry{std::move(credential.account), u"", std::move(logon)});
    state_->faults.erase(key);
    return 0;
}

std::uint32_t ServerAccounts::CarryEverywhere(Credential credential) {
    std::uint32_t error = 0;
    std::unique_ptr<CarriedAccount> logon = carrier_.Logon(credential, error);
    credential.password.Wipe();
    if (!logon) return error ? error : 1326u;
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->everywhere = std::make_shared<Entry>(Entry{std::move(credential.account), u"", std::move(logon)});
    return 0;
}

std::optional<std::u16string> ServerAccounts::AccountOf(const std::u16string& server) const {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->everywhere) return state_->everywhere->account;
    const auto it = state_->entries.find(FoldCase(server));
    if (it == state_->entries.end()) return std::nullopt;
    return it->second->account;
}

std::optional<std::u16string> ServerAccounts::EntryInUse(const std::u16string& server) const {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    const auto it = state_->entries.find(FoldCase(server));
    if (it == state_->entries.end() || it->second->target.empty()) return std::nullopt;
    return it->second->target;
}

std::optional<std::u16string> ServerAccounts::StoredTarget(const std::u16string& server) const {
    if (!store_ || server.empty()) return std::nullopt;
    for (const std::u16string& target : CredentialTargetsFor(server)) {
        Credential credential;
        const std::uint32_t read = store_->Read(target, credential);
        credential.password.Wipe();
        if (read != kErrorNotFound) return target;  // an entry, readable or not
    }
    return std::nullopt;
}

std::uint32_t ServerAccounts::Forget(const std::u16string& server, const std::u16string& target) {
    {
        const std::u16string key = FoldCase(server);
        const std::lock_guard<std::mutex> lock(state_->mutex);
        state_->entries.erase(key);
        state_->faults.erase(key);
        // The domain's entry served other servers too: they read the store again.
        if (!target.empty())
            for (auto it = state_->entries.begin(); it != state_->entries.end();)
                it = it->second->target == target ? state_->entries.erase(it) : std::next(it);
    }
    if (target.empty() || !store_) return 0;
    return store_->Remove(target);
}

std::optional<AccountFault> ServerAccounts::Fault(const std::u16string& server) const {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    const auto it = state_->faults.find(FoldCase(server));
    if (it == state_->faults.end()) return std::nullopt;
    return it->second;
}

}  // namespace tarvenix
