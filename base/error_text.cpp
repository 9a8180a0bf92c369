#include "base/error_text.h"

#include "base/text.h"

namespace tarvenix {

std::u16string DefaultErrorBoxText(const std::u16string& message) {
    if (!message.empty() && message.back() > u'.') return message + u".";
    return message;
}

std::u16string SystemErrorLine(std::uint32_t code, const DescribeError& describe) {
    std::u16string reason = describe ? describe(code) : std::u16string();
    if (reason.empty()) reason = u"Код ошибки " + DecimalU32(code);
    return reason + u" (" + DecimalU32(code) + u")";
}

std::u16string SystemErrorReport(const std::u16string& heading, std::uint32_t code, const DescribeError& describe) {
    return heading + u"\r\n" + SystemErrorLine(code, describe);
}

}  // namespace tarvenix
