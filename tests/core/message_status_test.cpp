#include "actions/message_status.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"

namespace tarvenix {
namespace {

TEST(MessageSendStatus, NeverReadsAsSentWhenASendFailed) {
    const struct { std::size_t addressed, failed; const char16_t* status; } cases[] = {
        {0, 0, u"Сообщение отправлено!"},
        {1, 0, u"Сообщение отправлено!"},
        {2, 0, u"Сообщения отправлены!"},
        {7, 0, u"Сообщения отправлены!"},
        {1, 1, u"Сообщение не отправлено!"},
        {2, 2, u"Сообщения не отправлены!"},
        {3, 1, u"Отправлено не всем: 2 из 3."},
        {12, 11, u"Отправлено не всем: 1 из 12."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MessageSendStatus(c.addressed, c.failed), c.status) << c.addressed << " " << c.failed;
}

TEST(MessageFailureText, GroupsSessionsByErrorInFirstOccurrenceOrder) {
    const auto describe = [](std::uint32_t code) -> std::u16string {
        return code == 7022 ? u"Сеанс не найден." : std::u16string();
    };
    const std::u16string text =
        MessageFailureText(u"TS01", {{5, 1722}, {7, 7022}, {4294967295u, 1722}}, describe);
    EXPECT_EQ(text,
              u"Не удалось отправить сообщение на сервере TS01:\r\n"
              u"Сессии 5, 4294967295: Код ошибки 1722 (1722)\r\n"
              u"Сессия 7: Сеанс не найден. (7022)");
}

TEST(MessageFailureText, LocalMachineNamesNoServer) {
    EXPECT_EQ(MessageFailureText(u"", {{3, 5}}, nullptr), u"Не удалось отправить сообщение:\r\nСессия 3: Код ошибки 5 (5)");
}

TEST(TemplateFileErrorText, AccessAndMissingFilesHaveTheirOwnTexts) {
    const std::u16string path = u"C:\\app\\message.txt";
    const struct { TemplateFileStep step; std::uint32_t code; const char16_t* text; } cases[] = {
        {TemplateFileStep::Create, 5, u"File access denied"},
        {TemplateFileStep::Write, 5, u"File access denied"},
        {TemplateFileStep::Open, 5, u"File access denied"},
        {TemplateFileStep::Open, 2, u"The specified file was not found"},
        {TemplateFileStep::Open, 3, u"The specified file was not found"},
        // A missing folder on writing is not a missing file.
        {TemplateFileStep::Create, 3, u"Cannot create file \"C:\\app\\message.txt\". Путь не найден."},
        {TemplateFileStep::Write, 112, u"Cannot write file \"C:\\app\\message.txt\". Путь не найден."},
        {TemplateFileStep::Read, 23, u"Cannot read file \"C:\\app\\message.txt\". Путь не найден."},
        {TemplateFileStep::Open, 32, u"Cannot open file \"C:\\app\\message.txt\". Путь не найден."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TemplateFileErrorText(c.step, c.code, path, u"Путь не найден."), c.text) << c.code;
    EXPECT_EQ(TemplateFileErrorText(TemplateFileStep::Create, 1234, path, u""),
              u"Cannot create file \"C:\\app\\message.txt\". Error 1234");
}

}  // namespace
}  // namespace tarvenix
