// An error that escapes a command handler and reaches the application's
// default error handler (the error box), as a file that cannot be opened does.
#pragma once

#include <stdexcept>
#include <string>

#include "base/error_text.h"
#include "base/services.h"
#include "base/text.h"

namespace tarvenix {

class AppError : public std::runtime_error {
public:
    explicit AppError(std::u16string message) : std::runtime_error(Utf16ToUtf8(message)), message_(std::move(message)) {}
    const std::u16string& Message() const { return message_; }

private:
    std::u16string message_;
};

// Runs a command handler as the application's event dispatch does: an error
// that escapes it goes to the default error box. False when one escaped.
template <typename F>
bool RunReportingErrors(const OwnedDialogs& boxes, F&& handler) {
    try {
        handler();
        return true;
    } catch (const AppError& e) {
        boxes.ShowError(DefaultErrorBoxText(e.Message()));
    } catch (const std::exception& e) {
        boxes.ShowError(DefaultErrorBoxText(Utf8ToUtf16(e.what())));
    }
    return false;
}

}  // namespace tarvenix
