// Alternate credentials for servers: an account and its password, the names
// of their entries in the system's credential store, and the two narrow
// platform interfaces behind them: the store (the Windows Credential Manager)
// and the carrier that makes a thread's calls carry an account. Portable.
//
// A password lives only in a Secret: one buffer of its own, never copied,
// wiped when the Secret goes away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvenix {

// A password: a NUL-terminated buffer of its own, moved (never copied) and
// overwritten with zeros when the Secret is destroyed or wiped.
class Secret {
public:
    Secret() = default;
    // Copies the text; the caller wipes its own copy.
    Secret(const char16_t* text, std::size_t length);
    ~Secret() { Wipe(); }
    Secret(Secret&& other) noexcept;
    Secret& operator=(Secret&& other) noexcept;
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;

    // Never null: an empty Secret gives "".
    const char16_t* Data() const { return buffer_ ? buffer_.get() : u""; }
    std::size_t Length() const { return length_; }
    bool Empty() const { return length_ == 0; }
    bool Equals(std::u16string_view text) const;
    void Wipe();

private:
    std::unique_ptr<char16_t[]> buffer_;
    std::size_t length_ = 0;
};

// Overwrites memory with zeros in a way the compiler keeps.
void WipeMemory(void* data, std::size_t bytes);

// An account as the user gives it: "DOMAIN\user", "user@domain.example" or
// "user", and its password.
struct Credential {
    std::u16string account;
    Secret password;
};

// The account split for a logon: "CORP\admin" is user "admin" of domain
// "CORP"; "admin@corp.example" and "admin" are the user with no domain.
struct AccountParts {
    std::u16string domain;
    std::u16string user;
};
AccountParts SplitAccount(const std::u16string& account);
// The account text is usable: a user name, and a domain when a "\" is given.
bool ValidAccount(const std::u16string& account);

// The program's own entries in the store: "Tarvenix/TS01" for a server,
// "Tarvenix/*.corp.example" for every server of a DNS domain.
inline constexpr char16_t kCredentialTargetPrefix[] = u"Tarvenix/";
std::u16string ServerCredentialTarget(const std::u16string& server);
std::u16string DomainCredentialTarget(const std::u16string& domain);
// The DNS domain of a server name ("corp.example" of "ts02.corp.example");
// nothing for a single-label name or an address.
std::optional<std::u16string> ServerDnsDomain(const std::u16string& server);
// The entries a server may use, in the order they are tried: its own, then
// its DNS domain's.
std::vector<std::u16string> CredentialTargetsFor(const std::u16string& server);
// A target as the command line takes it: the full name, or what follows
// "Tarvenix/" ("TS01", "*.corp.example").
std::u16string CredentialTargetFromText(const std::u16string& text);

inline constexpr std::uint32_t kErrorNotFound = 1168;  // ERROR_NOT_FOUND: no such entry

// The system's credential store, for the program's generic entries.
class CredentialStore {
public:
    virtual ~CredentialStore() = default;
    // 0 and the entry; kErrorNotFound when there is none; else the error.
    virtual std::uint32_t Read(const std::u16string& target, Credential& credential) = 0;
    // Writes (or replaces) the entry: 0 or the error.
    virtual std::uint32_t Write(const std::u16string& target, const Credential& credential) = 0;
    // Removes the entry: 0, kErrorNotFound, or the error.
    virtual std::uint32_t Remove(const std::u16string& target) = 0;
};

// A logon whose account calls carry: Enter makes the calling thread carry it
// (0, or the system error), Leave makes it carry its own again. Enter and
// Leave come in pairs on one thread.
class CarriedAccount {
public:
    virtual ~CarriedAccount() = default;
    virtual std::uint32_t Enter() = 0;
    virtual void Leave() = 0;
};

// Makes logons for accounts whose credentials are used for outgoing
// connections only.
class AccountCarrier {
public:
    virtual ~AccountCarrier() = default;
    // The logon, or null with the system error in `error`.
    virtual std::unique_ptr<CarriedAccount> Logon(const Credential& credential, std::uint32_t& error) = 0;
};

// The system errors after which another account may help: access denied, a
// wrong name or password, an account locked, disabled, expired, or not
// allowed to log on here, a password that must change.
bool IsAccountError(std::uint32_t error);

}  // namespace tarvenix
