// Texts of the message window: the status after a send, the report of the
// sessions a message did not reach, and the errors of the template file.
// Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarvenix {

inline constexpr char16_t kTemplateSavedStatus[] = u"Шаблон сохранен.";
inline constexpr char16_t kTemplateLoadedStatus[] = u"Шаблон загружен.";
inline constexpr char16_t kTemplateFileName[] = u"message.txt";

// A session the message did not reach, with the system error code.
struct MessageFailure {
    std::uint32_t sessionId = 0;
    std::uint32_t error = 0;
};

// The status after a send to `addressed` sessions, `failed` of which failed.
// Without failures: "Сообщение отправлено!" below two sessions (none
// included), else "Сообщения отправлены!". A failed send never reads as sent.
std::u16string MessageSendStatus(std::size_t addressed, std::size_t failed);

// The report of the failed sessions: one line per error code, in the order
// the codes first occurred, naming the sessions and the system's text.
// `describe` gives the system text of a code (empty when it has none).
std::u16string MessageFailureText(const std::u16string& server, const std::vector<MessageFailure>& failures,
                                  const std::function<std::u16string(std::uint32_t)>& describe);

// What failed while the template file was being handled.
enum class TemplateFileStep { Create, Write, Open, Read };

// The text of a template-file error as the default error handler shows it
// (before its full-stop rule): "File access denied" for a refused access,
// "The specified file was not found" when the file or its folder is missing
// on opening, else the step, the path and the system's text.
std::u16string TemplateFileErrorText(TemplateFileStep step, std::uint32_t code, const std::u16string& path,
                                     const std::u16string& systemText);

}  // namespace tarvenix
