// Fakes of the credential store and the account carrier, for the engine and
// window tests: the store keeps its entries in memory; the carrier makes the
// calling thread "carry" an account by setting a thread-local name (and can
// hand that name on, to the farm double for one), and can be told to fail.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/credentials.h"

namespace tarvenix::testing {

class FakeCredentialStore final : public CredentialStore {
public:
    struct Stored {
        std::u16string account;
        std::u16string password;
    };
    std::mutex mutex;
    std::map<std::u16string, Stored> entries;      // by target
    std::map<std::u16string, std::uint32_t> readErrors;  // targets whose read fails
    std::vector<std::u16string> reads, writes, removals;

    std::uint32_t Read(const std::u16string& target, Credential& credential) override {
        const std::lock_guard<std::mutex> lock(mutex);
        reads.push_back(target);
        if (auto e = readErrors.find(target); e != readErrors.end()) return e->second;
        const auto it = entries.find(target);
        if (it == entries.end()) return kErrorNotFound;
        credential.account = it->second.account;
        credential.password = Secret(it->second.password.data(), it->second.password.size());
        return 0;
    }
    std::uint32_t Write(const std::u16string& target, const Credential& credential) override {
        const std::lock_guard<std::mutex> lock(mutex);
        writes.push_back(target);
        entries[target] = {credential.account, std::u16string(credential.password.Data(), credential.password.Length())};
        return 0;
    }
    std::uint32_t Remove(const std::u16string& target) override {
        const std::lock_guard<std::mutex> lock(mutex);
        removals.push_back(target);
        return entries.erase(target) ? 0 : kErrorNotFound;
    }
};

// The account (and password) the calling thread carries now; empty: its own.
struct CarriedNow {
    std::u16string account;
    std::u16string password;
};
inline CarriedNow& ThreadCarries() {
    thread_local CarriedNow now;
    return now;
}

class FakeCarrier final : public AccountCarrier {
public:
    std::mutex mutex;
    std::vector<std::u16string> logons;  // the accounts logged on, in order
    std::uint32_t logonError = 0;        // non-zero: every logon fails with it
    std::uint32_t enterError = 0;        // non-zero: every Enter fails with it
    // Told on every Enter and Leave (account and password; empty on Leave).
    std::function<void(const CarriedNow&)> onChange;

    std::unique_ptr<CarriedAccount> Logon(const Credential& credential, std::uint32_t& error) override {
        const std::lock_guard<std::mutex> lock(mutex);
        logons.push_back(credential.account);
        if (logonError) {
            error = logonError;
            return nullptr;
        }
        return std::make_unique<Logon_>(*this, credential.account,
                                        std::u16string(credential.password.Data(), credential.password.Length()));
    }

private:
    class Logon_ final : public CarriedAccount {
    public:
        Logon_(FakeCarrier& owner, std::u16string account, std::u16string password)
            : owner_(owner), account_{std::move(account), std::move(password)} {}
        std::uint32_t Enter() override {
            if (owner_.enterError) return owner_.enterError;
            ThreadCarries() = account_;
            if (owner_.onChange) owner_.onChange(account_);
            return 0;
        }
        void Leave() override {
            ThreadCarries() = {};
            if (owner_.onChange) owner_.onChange({});
        }

    private:
        FakeCarrier& owner_;
        CarriedNow account_;
    };
};

inline Credential MakeCredential(const std::u16string& account, const std::u16string& password) {
    return Credential{account, Secret(password.data(), password.size())};
}

}  // namespace tarvenix::testing
