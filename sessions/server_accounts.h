// Servers reached under another account. ServerAccounts stands between the
// program and the terminal services: a server with an account (one the user
// signed in with, or an entry of the credential store for the server's own
// name, else for its DNS domain) is opened and called with that account
// carried by the calling thread, for each call only (Enter before, Leave
// after, on the worker that makes the call); every other server is opened
// as before, under the program's own account. Servers never share an
// account by accident: each call carries the account of its own server.
// Portable: the carrier and the store are interfaces.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "base/credentials.h"
#include "base/error_text.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

// Calls to a server could not carry its account: which account (or which
// store entry could not be read), and the system error.
struct AccountFault {
    std::u16string account;  // empty when the entry could not be read
    std::u16string target;   // the store's entry it came from (empty: signed in)
    std::uint32_t error = 0;
};

// "Не удалось выполнить вызов от имени CORP\admin: <system text> (6)", or
// for an entry that could not be read "Не удалось прочитать учётные данные
// Tarvenix/TS01: ...".
std::u16string AccountFaultText(const AccountFault& fault, const DescribeError& describe);

class ServerAccounts final : public TerminalServices {
public:
    // `inner` and `carrier` (and the store, when given) outlive this object
    // and every server it opened.
    ServerAccounts(TerminalServices& inner, AccountCarrier& carrier, CredentialStore* store);

    // TerminalServices: a server with an account gives a server whose every
    // call (its close included) carries it; when the account cannot be
    // carried, every call fails with the carrier's error (see Fault).
    std::unique_ptr<TerminalServer> Open(const std::u16string& serverName) override;
    bool RegisterSessionNotification(std::uintptr_t window) override;
    void UnregisterSessionNotification(std::uintptr_t window) override;

    // Calls to `server` carry this account from now on; with `remember` it
    // is also written to the store as the server's own entry (its error, if
    // any, in *storeError). The logon is made at once: 0, or its error (then
    // nothing changed). The password is wiped before this returns.
    std::uint32_t SignIn(const std::u16string& server, Credential credential, bool remember,
                         std::uint32_t* storeError = nullptr);
    // Calls to every server carry this account (the command line's
    // --credential and --ask-credentials): 0 or the logon's error.
    std::uint32_t CarryEverywhere(Credential credential);

    // The account calls to `server` carry now, if any (what the user signed
    // in with, or an entry read for it).
    std::optional<std::u16string> AccountOf(const std::u16string& server) const;
    // The store's entry the account `server` carries now was read from;
    // nothing when it has none, or the user signed in with it.
    std::optional<std::u16string> EntryInUse(const std::u16string& server) const;
    // The store's entry `server` would use: its own, else its domain's.
    std::optional<std::u16string> StoredTarget(const std::u16string& server) const;
    // The account of `server` dropped, and the store's entry `target` (when
    // not empty) removed: 0, or the store's error (kErrorNotFound when there
    // was no such entry).
    std::uint32_t Forget(const std::u16string& server, const std::u16string& target);
    // The last failure to carry the account of `server` since it was signed
    // in with or its entry read; nothing when its calls carry it.
    std::optional<AccountFault> Fault(const std::u16string& server) const;

private:
    struct Entry {
        std::u16string account;
        std::u16string target;  // the store entry it came from; empty when signed in
        std::unique_ptr<CarriedAccount> logon;
    };
    struct State {
        mutable std::mutex mutex;
        std::unordered_map<std::u16string, std::shared_ptr<Entry>> entries;  // by folded server name
        std::unordered_map<std::u16string, AccountFault> faults;
        std::shared_ptr<Entry> everywhere;
        void SetFault(const std::u16string& key, AccountFault fault);
        void ClearFault(const std::u16string& key);
    };
    class CarriedServer;
    class RefusedServer;

    // The account of a server: in memory, else read from the store (and its
    // logon made); null with *fault set when it could not be read or made.
    std::shared_ptr<Entry> EntryFor(const std::u16string& server, std::optional<AccountFault>& fault);

    TerminalServices& inner_;
    AccountCarrier& carrier_;
    CredentialStore* store_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace tarvenix
