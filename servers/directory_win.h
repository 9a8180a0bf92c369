// The directory through ADSI (IDirectorySearch), the signed-in user's DNS
// domain name, and the user's collation.
#pragma once

#include <windows.h>

#include "servers/directory.h"

namespace tarvenix {

// Any thread may search: Search joins the calling thread to COM's
// multithreaded apartment for the while (a thread that is in a single-threaded
// apartment already searches from there).
class AdsiDirectoryService : public DirectoryService {
public:
    // GetUserNameExA(NameDnsDomain); where that fails, USERDNSDOMAIN and
    // USERNAME from the environment in the same "domain\account" form.
    std::u16string UserNameDnsDomain() override;
    // Binds with the signed-in user's credentials; where the directory refuses
    // that bind, once more without them (flag 0x80000000). Waits as long as
    // the directory takes.
    bool Search(const std::u16string& queryText, std::vector<std::u16string>& names) override;
    // CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE).
    int CompareNames(const std::u16string& a, const std::u16string& b) override;

    // The result of the last failing step of Search (S_OK after a success).
    HRESULT LastResult() const { return lastResult_; }

private:
    HRESULT lastResult_ = S_OK;
};

}  // namespace tarvenix
