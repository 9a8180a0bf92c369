// The Windows implementations of the platform services the windows use.
#pragma once

#include <windows.h>

#include "app/services.h"

namespace tarvenix {

class WinDialogs final : public Dialogs {
public:
    // Boxes are owned by the active window of the program, or by owner.
    explicit WinDialogs(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    void ShowMessage(const std::u16string& text) override;
    bool Confirm(const std::u16string& text) override;
    void ShowError(const std::u16string& text) override;
    std::optional<std::u16string> OpenFile(const OpenFileRequest& request) override;

private:
    HWND Owner() const;
    HWND owner_;
};

class WinShell final : public Shell {
public:
    explicit WinShell(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    std::uint32_t Execute(const std::u16string& file, const std::u16string& parameters, int showCommand) override;

private:
    HWND owner_;
};

class WinErrorTexts final : public ErrorTexts {
public:
    std::u16string Describe(std::uint32_t code) override;
};

// The directory of the running executable, with its trailing separator.
std::u16string ApplicationDirectory();

}  // namespace tarvenix
