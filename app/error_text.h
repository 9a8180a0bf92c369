// Texts of errors shown by the application's default error handler.
#pragma once

#include <string>

namespace tarvenix {

// The error's text with a full stop appended when its last character has a
// code above that of "." (so texts ending in ".", "!" or a blank stay as they are).
std::u16string DefaultErrorBoxText(const std::u16string& message);

}  // namespace tarvenix
