#include "base/credentials.h"

#include <algorithm>

namespace tarvenix {

void WipeMemory(void* data, std::size_t bytes) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < bytes; ++i) p[i] = 0;
}

Secret::Secret(const char16_t* text, std::size_t length) : buffer_(new char16_t[length + 1]), length_(length) {
    std::copy(text, text + length, buffer_.get());
    buffer_[length] = u'\0';
}

Secret::Secret(Secret&& other) noexcept : buffer_(std::move(other.buffer_)), length_(other.length_) {
    other.length_ = 0;
}

Secret& Secret::operator=(Secret&& other) noexcept {
    if (this != &other) {
        Wipe();
        buffer_ = std::move(other.buffer_);
        length_ = other.length_;
        other.length_ = 0;
    }
    return *this;
}

bool Secret::Equals(std::u16string_view text) const {
    return std::u16string_view(Data(), length_) == text;
}

void Secret::Wipe() {
    if (buffer_) WipeMemory(buffer_.get(), (length_ + 1) * sizeof(char16_t));
    buffer_.reset();
    length_ = 0;
}

AccountParts SplitAccount(const std::u16string& account) {
    const auto slash = account.find(u'\\');
    if (slash == std::u16string::npos) return {u"", account};
    return {account.substr(0, slash), account.substr(slash + 1)};
}

bool ValidAccount(const std::u16string& account) {
    const AccountParts parts = SplitAccount(account);
    if (parts.user.empty() || parts.user.find(u'\\') != std::u16string::npos) return false;
    if (account.find(u'\\') != std::u16string::npos && parts.domain.empty()) return false;
    const auto at = parts.user.find(u'@');
    // "user@domain": both halves given.
    if (at != std::u16string::npos && (at == 0 || at + 1 == parts.user.size())) return false;
    return true;
}

std::u16string ServerCredentialTarget(const std::u16string& server) { return kCredentialTargetPrefix + server; }

std::u16string DomainCredentialTarget(const std::u16string& domain) {
    return std::u16string(kCredentialTargetPrefix) + u"*." + domain;
}

std::optional<std::u16string> ServerDnsDomain(const std::u16string& server) {
    std::u16string name = server;
    while (!name.empty() && name.back() == u'.') name.pop_back();  // "ts02.corp.example." is fully qualified
    if (name.find(u':') != std::u16string::npos) return std::nullopt;  // an IPv6 address
    const bool address = std::all_of(name.begin(), name.end(), [](char16_t c) { return c == u'.' || (c >= u'0' && c <= u'9'); });
    if (address) return std::nullopt;
    const auto dot = name.find(u'.');
    if (dot == std::u16string::npos || dot == 0 || dot + 1 >= name.size()) return std::nullopt;
    return name.substr(dot + 1);
}

std::vector<std::u16string> CredentialTargetsFor(const std::u16string& server) {
    std::vector<std::u16string> targets{ServerCredentialTarget(server)};
    if (const auto domain = ServerDnsDomain(server)) targets.push_back(DomainCredentialTarget(*domain));
    return targets;
}

std::u16string CredentialTargetFromText(const std::u16string& text) {
    const std::u16string_view prefix(kCredentialTargetPrefix);
    if (text.size() >= prefix.size()) {
        bool same = true;
        for (std::size_t i = 0; i < prefix.size() && same; ++i) {
            char16_t c = text[i];
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
            char16_t p = prefix[i];
            if (p >= u'A' && p <= u'Z') p = static_cast<char16_t>(p - u'A' + u'a');
            same = c == p;
        }
        if (same) return std::u16string(prefix) + text.substr(prefix.size());
    }
    return std::u16string(prefix) + text;
}

bool IsAccountError(std::uint32_t error) {
    switch (error) {
        case 5:     // ERROR_ACCESS_DENIED
        case 1326:  // ERROR_LOGON_FAILURE
        case 1327:  // ERROR_ACCOUNT_RESTRICTION
        case 1328:  // ERROR_INVALID_LOGON_HOURS
        case 1330:  // ERROR_PASSWORD_EXPIRED
        case 1331:  // ERROR_ACCOUNT_DISABLED
        case 1385:  // ERROR_LOGON_TYPE_NOT_GRANTED
        case 1793:  // ERROR_ACCOUNT_EXPIRED
        case 1907:  // ERROR_PASSWORD_MUST_CHANGE
        case 1909:  // ERROR_ACCOUNT_LOCKED_OUT
            return true;
        default:
            return false;
    }
}

}  // namespace tarvenix
