#include "base/credentials_win.h"

#include <windows.h>
#include <wincred.h>

#include "base/handles_win.h"
#include "base/win_text.h"

namespace tarvenix {
namespace {

std::uint32_t LastError() {
    const DWORD e = GetLastError();
    return e != 0 ? e : ERROR_GEN_FAILURE;
}

// Owns what CredReadW returned; the password's bytes are wiped before it goes back.
struct CredentialFree {
    void operator()(CREDENTIALW* c) const {
        if (!c) return;
        if (c->CredentialBlob) WipeMemory(c->CredentialBlob, c->CredentialBlobSize);
        CredFree(c);
    }
};

class TokenAccount final : public CarriedAccount {
public:
    explicit TokenAccount(HANDLE token) : token_(token) {}
    std::uint32_t Enter() override {
        if (!ImpersonateLoggedOnUser(token_.Get())) return LastError();
        return 0;
    }
    void Leave() override { RevertToSelf(); }

private:
    UniqueHandle<handle_traits::Nullable<HANDLE, CloseHandle>> token_;
};

}  // namespace

std::uint32_t WinCredentialStore::Read(const std::u16string& target, Credential& credential) {
    CREDENTIALW* raw = nullptr;
    if (!CredReadW(Wz(target), CRED_TYPE_GENERIC, 0, &raw)) return LastError();
    const std::unique_ptr<CREDENTIALW, CredentialFree> owned(raw);
    credential.account = raw->UserName ? U16(raw->UserName) : std::u16string();
    const auto* blob = reinterpret_cast<const char16_t*>(raw->CredentialBlob);
    credential.password = blob ? Secret(blob, raw->CredentialBlobSize / sizeof(char16_t)) : Secret();
    if (credential.account.empty()) return ERROR_INVALID_DATA;  // an entry of ours always names its account
    return 0;
}

std::uint32_t WinCredentialStore::Write(const std::u16string& target, const Credential& credential) {
    std::wstring targetName = W(target), user = W(credential.account);
    std::wstring comment = L"Tarvenix";
    CREDENTIALW c{};
    c.Type = CRED_TYPE_GENERIC;
    c.TargetName = targetName.data();
    c.Comment = comment.data();
    c.CredentialBlobSize = static_cast<DWORD>(credential.password.Length() * sizeof(char16_t));
    c.CredentialBlob = reinterpret_cast<LPBYTE>(const_cast<char16_t*>(credential.password.Data()));
    c.Persist = CRED_PERSIST_LOCAL_MACHINE;
    c.UserName = user.data();
    if (!CredWriteW(&c, 0)) return LastError();
    return 0;
}

std::uint32_t WinCredentialStore::Remove(const std::u16string& target) {
    if (!CredDeleteW(Wz(target), CRED_TYPE_GENERIC, 0)) return LastError();
    return 0;
}

std::unique_ptr<CarriedAccount> LogonCarrier::Logon(const Credential& credential, std::uint32_t& error) {
    const AccountParts parts = SplitAccount(credential.account);
    const std::wstring user = W(parts.user), domain = W(parts.domain);
    HANDLE token = nullptr;
    if (!LogonUserW(user.c_str(), domain.empty() ? nullptr : domain.c_str(),
                    reinterpret_cast<const wchar_t*>(credential.password.Data()), LOGON32_LOGON_NEW_CREDENTIALS,
                    LOGON32_PROVIDER_WINNT50, &token)) {
        error = LastError();
        return nullptr;
    }
    return std::make_unique<TokenAccount>(token);
}

}  // namespace tarvenix
