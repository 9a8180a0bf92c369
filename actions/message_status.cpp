#include "actions/message_status.h"

#include "base/error_text.h"

#include "base/text.h"

namespace tarvenix {

std::u16string MessageSendStatus(std::size_t addressed, std::size_t failed) {
    if (failed == 0) return addressed < 2 ? u"Сообщение отправлено!" : u"Сообщения отправлены!";
    if (failed >= addressed) return addressed < 2 ? u"Сообщение не отправлено!" : u"Сообщения не отправлены!";
    return u"Отправлено не всем: " + DecimalU32(static_cast<std::uint32_t>(addressed - failed)) + u" из " +
           DecimalU32(static_cast<std::uint32_t>(addressed)) + u".";
}

std::u16string MessageFailureText(const std::u16string& server, const std::vector<MessageFailure>& failures,
                                  const std::function<std::u16string(std::uint32_t)>& describe) {
    struct Group {
        std::uint32_t error;
        std::vector<std::uint32_t> sessions;
    };
    std::vector<Group> groups;
    for (const MessageFailure& f : failures) {
        Group* group = nullptr;
        for (Group& g : groups)
            if (g.error == f.error) group = &g;
        if (!group) {
            groups.push_back({f.error, {}});
            group = &groups.back();
        }
        group->sessions.push_back(f.sessionId);
    }
    std::u16string text = server.empty() ? std::u16string(u"Не удалось отправить сообщение:")
                                         : u"Не удалось отправить сообщение на сервере " + server + u":";
    for (const Group& g : groups) {
        text += g.sessions.size() == 1 ? u"\r\nСессия " : u"\r\nСессии ";
        for (std::size_t i = 0; i < g.sessions.size(); ++i) {
            if (i > 0) text += u", ";
            text += DecimalU32(g.sessions[i]);
        }
        text += u": " + SystemErrorLine(g.error, describe);
    }
    return text;
}

std::u16string TemplateFileErrorText(TemplateFileStep step, std::uint32_t code, const std::u16string& path,
                                     const std::u16string& systemText) {
    constexpr std::uint32_t kAccessDenied = 5, kFileNotFound = 2, kPathNotFound = 3;
    if (code == kAccessDenied) return u"File access denied";
    if (step == TemplateFileStep::Open && (code == kFileNotFound || code == kPathNotFound))
        return u"The specified file was not found";
    std::u16string text;
    switch (step) {
        case TemplateFileStep::Create: text = u"Cannot create file \""; break;
        case TemplateFileStep::Write: text = u"Cannot write file \""; break;
        case TemplateFileStep::Open: text = u"Cannot open file \""; break;
        case TemplateFileStep::Read: text = u"Cannot read file \""; break;
    }
    text += path + u"\". ";
    text += systemText.empty() ? u"Error " + DecimalU32(code) : systemText;
    return text;
}

}  // namespace tarvenix
