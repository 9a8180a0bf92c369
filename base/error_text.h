// Error texts: the default error box's full-stop rule and the one way the
// program words a system error. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tarvenix {

// The error's text with a full stop appended when its last character has a
// code above that of "." (so texts ending in ".", "!" or a blank stay as they are).
std::u16string DefaultErrorBoxText(const std::u16string& message);

// The system's text of an error code, empty when it has none.
using DescribeError = std::function<std::u16string(std::uint32_t code)>;

// "<system text> (<code>)", or "Код ошибки <code> (<code>)" when the system has no text.
std::u16string SystemErrorLine(std::uint32_t code, const DescribeError& describe);

// A report of one failure: the heading, a line break, the system error line.
std::u16string SystemErrorReport(const std::u16string& heading, std::uint32_t code, const DescribeError& describe);

// "Сервер NAME не ответил за N с." (the time-out in whole seconds).
std::u16string ServerTimeoutText(const std::u16string& server, std::uint32_t timeoutMs);

}  // namespace tarvenix
