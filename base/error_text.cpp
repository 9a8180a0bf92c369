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

std::u16string ServerTimeoutText(const std::u16string& server, std::uint32_t timeoutMs) {
    return u"Сервер " + server + u" не ответил за " + DecimalU32((timeoutMs + 999) / 1000) + u" с.";
}

}  // namespace tarvenix
