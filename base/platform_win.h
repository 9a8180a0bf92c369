// The Windows implementations of the platform services the windows use.
#pragma once

#include <windows.h>

#include "base/services.h"

namespace tarvenix {

// Message boxes owned by the window the caller names (never "whatever is active"),
// with the buttons captioned "OK", "&Yes" and "Cancel" whatever the system's
// language.
class WinDialogs final : public Dialogs {
public:
    void ShowMessage(WindowRef owner, const std::u16string& text) override;
    bool Confirm(WindowRef owner, const std::u16string& text) override;
    void ShowError(WindowRef owner, const std::u16string& text) override;
    std::optional<std::u16string> OpenFile(WindowRef owner, const OpenFileRequest& request) override;
    std::optional<std::u16string> SaveFile(WindowRef owner, const OpenFileRequest& request) override;
    bool OfferSignIn(WindowRef owner, const std::u16string& report) override;
    std::optional<EnteredCredential> AskCredentials(WindowRef owner, const CredentialRequest& request) override;
};

class WinShell final : public Shell {
public:
    std::uint32_t Execute(WindowRef owner, const std::u16string& file, const std::u16string& parameters,
                          int showCommand) override;
};

class WinErrorTexts final : public ErrorTexts {
public:
    std::u16string Describe(std::uint32_t code) override;
};

// The user's list separator (";" on Russian systems, "," on English ones).
char16_t ListSeparator();

// Puts Unicode text on the clipboard; false when the clipboard is not to be had.
bool PutTextOnClipboard(HWND owner, const std::u16string& text);

// The directory of the running executable, with its trailing separator.
std::u16string ApplicationDirectory();

inline HWND ToHwnd(WindowRef ref) { return reinterpret_cast<HWND>(ref); }
inline WindowRef ToRef(HWND hwnd) { return reinterpret_cast<WindowRef>(hwnd); }

}  // namespace tarvenix
