#include "servers/directory_win.h"

#include <oleauto.h>

#define SECURITY_WIN32
#include <activeds.h>
#include <security.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "base/com_win.h"
#include "base/win_text.h"

namespace tarvenix {
namespace {

using Microsoft::WRL::ComPtr;

// The connection's "ADSI Flag" value: bind without asking for Windows
// authentication.
constexpr DWORD kPlainBindFlags = 0x80000000u;
constexpr DWORD kPageSize = 1000;

std::u16string EnvironmentVariable(const wchar_t* name) {
    const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0) return std::u16string();
    std::vector<wchar_t> buffer(needed);
    const DWORD length = GetEnvironmentVariableW(name, buffer.data(), needed);
    if (length == 0 || length >= needed) return std::u16string();
    return U16(buffer.data(), length);
}

std::u16string FromAnsi(const char* text, int length) {
    if (length <= 0) return std::u16string();
    const int wide = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    if (wide <= 0) return std::u16string();
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, length, out.data(), wide);
    return U16(out.c_str(), out.size());
}

// An open search; closed when it goes.
class SearchHandle {
public:
    explicit SearchHandle(IDirectorySearch* search) : search_(search) {}
    ~SearchHandle() {
        if (handle_) search_->CloseSearchHandle(handle_);
    }
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;
    ADS_SEARCH_HANDLE* Out() { return &handle_; }
    ADS_SEARCH_HANDLE Get() const { return handle_; }

private:
    IDirectorySearch* search_;
    ADS_SEARCH_HANDLE handle_ = nullptr;
};

// A column read from the current row; freed when it goes.
class Column {
public:
    explicit Column(IDirectorySearch* search) : search_(search) {}
    ~Column() {
        if (filled_) search_->FreeColumn(&column_);
    }
    Column(const Column&) = delete;
    Column& operator=(const Column&) = delete;
    HRESULT Read(ADS_SEARCH_HANDLE handle, const wchar_t* name) {
        const HRESULT hr = search_->GetColumn(handle, const_cast<LPWSTR>(name), &column_);
        filled_ = SUCCEEDED(hr);
        return hr;
    }
    // The first value as text; empty when there is none or it is no string.
    std::u16string FirstText() const {
        if (column_.dwNumValues == 0 || !column_.pADsValues) return std::u16string();
        const ADSVALUE& v = column_.pADsValues[0];
        switch (v.dwType) {
        case ADSTYPE_DN_STRING: return U16(v.DNString);
        case ADSTYPE_CASE_EXACT_STRING: return U16(v.CaseExactString);
        case ADSTYPE_CASE_IGNORE_STRING: return U16(v.CaseIgnoreString);
        case ADSTYPE_PRINTABLE_STRING: return U16(v.PrintableString);
        case ADSTYPE_NUMERIC_STRING: return U16(v.NumericString);
        default: return std::u16string();
        }
    }

private:
    IDirectorySearch* search_;
    ADS_SEARCH_COLUMN column_{};
    bool filled_ = false;
};

}  // namespace

std::u16string AdsiDirectoryService::UserNameDnsDomain() {
    char buffer[251] = {};
    ULONG size = 250;
    if (GetUserNameExA(NameDnsDomain, buffer, &size)) {
        int length = 0;
        while (length < static_cast<int>(sizeof buffer) && buffer[length] != '\0') ++length;
        return FromAnsi(buffer, length);
    }
    // Not a domain account as far as the system says (always so under Wine):
    // the environment Windows gives domain users.
    const std::u16string domain = EnvironmentVariable(L"USERDNSDOMAIN");
    if (domain.empty()) return std::u16string();
    return domain + u"\\" + EnvironmentVariable(L"USERNAME");
}

bool AdsiDirectoryService::Search(const std::u16string& queryText, std::vector<std::u16string>& names) {
    // Left after every object of the search has gone.
    const ComApartment com(ComApartment::Kind::MultiThreaded);
    const auto query = TranslateQuery(queryText);
    if (!query) {
        lastResult_ = E_INVALIDARG;
        return false;
    }

    // Wine takes a path without a server for a server name, and crashes on
    // one with a comma; the domain's own name finds its controller on Windows
    // as well.
    const auto path = PathWithServer(query->path);
    if (!path) {
        lastResult_ = E_ADS_BAD_PATHNAME;
        return false;
    }

    // The signed-in user's credentials first. Any failure of that bind leads
    // to one plain bind: a directory without Windows authentication refuses
    // the first with a code that differs by client, and an unreachable or
    // wrong path fails the second bind as well.
    ComPtr<IDirectorySearch> search;
    HRESULT hr = ADsOpenObject(Wz(*path), nullptr, nullptr, ADS_SECURE_AUTHENTICATION, IID_IDirectorySearch,
                               reinterpret_cast<void**>(search.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) {
        hr = ADsOpenObject(Wz(*path), nullptr, nullptr, kPlainBindFlags, IID_IDirectorySearch,
                           reinterpret_cast<void**>(search.ReleaseAndGetAddressOf()));
    }
    if (FAILED(hr) || !search) {
        lastResult_ = FAILED(hr) ? hr : E_POINTER;
        return false;
    }

    ADS_SEARCHPREF_INFO prefs[2] = {};
    prefs[0].dwSearchPref = ADS_SEARCHPREF_SEARCH_SCOPE;
    prefs[0].vValue.dwType = ADSTYPE_INTEGER;
    prefs[0].vValue.Integer = ADS_SCOPE_SUBTREE;
    prefs[1].dwSearchPref = ADS_SEARCHPREF_PAGESIZE;
    prefs[1].vValue.dwType = ADSTYPE_INTEGER;
    prefs[1].vValue.Integer = kPageSize;
    hr = search->SetSearchPreference(prefs, 2);
    // Paging is an optimisation; the scope is not.
    if (FAILED(hr) && prefs[0].dwStatus != ADS_STATUS_S_OK) {
        hr = search->SetSearchPreference(prefs, 1);
        if (FAILED(hr)) {
            lastResult_ = hr;
            return false;
        }
    }

    std::vector<std::wstring> attributeText;
    for (const auto& a : query->attributes) attributeText.push_back(W(a));
    std::vector<LPWSTR> attributes;
    for (auto& a : attributeText) attributes.push_back(a.data());
    std::wstring filter = W(query->filter);

    SearchHandle handle(search.Get());
    hr = search->ExecuteSearch(filter.data(), attributes.data(), static_cast<DWORD>(attributes.size()), handle.Out());
    if (FAILED(hr)) {
        lastResult_ = hr;
        return false;
    }

    hr = search->GetFirstRow(handle.Get());
    for (;;) {
        if (hr == S_ADS_NOMORE_ROWS) break;
        if (FAILED(hr)) {
            lastResult_ = hr;
            return false;
        }
        {
            // The column lookup ignores case: directories spell it "name".
            Column column(search.Get());
            const HRESULT read = column.Read(handle.Get(), L"Name");
            if (SUCCEEDED(read)) {
                names.push_back(column.FirstText());
            } else if (read == E_ADS_COLUMN_NOT_SET) {
                names.push_back(std::u16string());  // a record without a name
            } else {
                lastResult_ = read;
                return false;
            }
        }
        hr = search->GetNextRow(handle.Get());
    }
    lastResult_ = S_OK;
    return true;
}

int AdsiDirectoryService::CompareNames(const std::u16string& a, const std::u16string& b) {
    const int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, Wz(a), static_cast<int>(a.size()), Wz(b),
                                      static_cast<int>(b.size()));
    if (result == 0) return a.compare(b);  // invalid arguments only; keep an order anyway
    return result - CSTR_EQUAL;
}

}  // namespace tarvenix
