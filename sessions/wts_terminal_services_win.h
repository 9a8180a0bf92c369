// The terminal-services interface over wtsapi32.
#pragma once

#include "sessions/terminal_services.h"

namespace tarvenix {

class WtsTerminalServices final : public TerminalServices {
public:
    std::unique_ptr<TerminalServer> Open(const std::u16string& serverName) override;
    bool RegisterSessionNotification(std::uintptr_t window) override;
    void UnregisterSessionNotification(std::uintptr_t window) override;
};

}  // namespace tarvenix
