// The Windows side of alternate credentials: the Credential Manager as the
// store (generic entries, kept for this user on this machine), and logons of
// type LOGON32_LOGON_NEW_CREDENTIALS as the carrier: the token keeps the
// caller's own identity locally and presents the given account on outgoing
// connections only; a worker impersonates it around one call and reverts.
#pragma once

#include "base/credentials.h"

namespace tarvenix {

class WinCredentialStore final : public CredentialStore {
public:
    std::uint32_t Read(const std::u16string& target, Credential& credential) override;
    std::uint32_t Write(const std::u16string& target, const Credential& credential) override;
    std::uint32_t Remove(const std::u16string& target) override;
};

class LogonCarrier final : public AccountCarrier {
public:
    std::unique_ptr<CarriedAccount> Logon(const Credential& credential, std::uint32_t& error) override;
};

}  // namespace tarvenix
