// Message boxes that show nothing and answer Yes / Cancel, for benchmarks that drive
// the real windows.
#pragma once

#include "base/services.h"

namespace tarvenix::testing {

class SilentDialogs final : public Dialogs {
public:
    void ShowMessage(WindowRef, const std::u16string&) override {}
    bool Confirm(WindowRef, const std::u16string&) override { return true; }
    void ShowError(WindowRef, const std::u16string&) override {}
    std::optional<std::u16string> OpenFile(WindowRef, const OpenFileRequest&) override { return std::nullopt; }
    std::optional<std::u16string> SaveFile(WindowRef, const OpenFileRequest&) override { return std::nullopt; }
};

}  // namespace tarvenix::testing
