// An error that escapes a command handler and reaches the application's
// default error handler (the error box), as a file that cannot be opened does.
#pragma once

#include <stdexcept>
#include <string>

#include "app/text.h"

namespace tarvenix {

class AppError : public std::runtime_error {
public:
    explicit AppError(std::u16string message) : std::runtime_error(Utf16ToUtf8(message)), message_(std::move(message)) {}
    const std::u16string& Message() const { return message_; }

private:
    std::u16string message_;
};

}  // namespace tarvenix
