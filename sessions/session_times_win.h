// The logon time as the list shows it: the user's local time in the short
// date and time formats.
#pragma once

#include <cstdint>
#include <string>

namespace tarvenix {

// Empty when the time cannot be converted.
std::u16string LocalLogonText(std::int64_t fileTimeTicks);

}  // namespace tarvenix
