// An error that escapes a command handler and reaches the application's
// default error handler (the error box), as a file that cannot be opened does.
#pragma once

#include <stdexcept>
#include <string>

#include "app/error_text.h"
#include "app/services.h"
#include "app/text.h"

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
bool RunReportingErrors(Dialogs& dialogs, F&& handler) {
    try {
        handler();
        return true;
    } catch (const AppError& e) {
        dialogs.ShowError(DefaultErrorBoxText(e.Message()));
    } catch (const std::exception& e) {
        dialogs.ShowError(DefaultErrorBoxText(Utf8ToUtf16(e.what())));
    }
    return false;
}

}  // namespace tarvenix
