#include "app/error_text.h"

namespace tarvenix {

std::u16string DefaultErrorBoxText(const std::u16string& message) {
    if (!message.empty() && message.back() > u'.') return message + u".";
    return message;
}

}  // namespace tarvenix
