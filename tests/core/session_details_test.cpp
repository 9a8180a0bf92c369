#include "sessions/session_details.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "tests/common/fake_terminal_services.h"

namespace tarvenix {
namespace {

using testing::FakeSession;
using testing::FakeTerminalServices;

constexpr std::int64_t kNow = 134000000000000000;  // some day in 2025

TEST(SessionDetails, ReadFromTheServerAndWrittenAsLines) {
    FakeTerminalServices wts;
    FakeSession s;
    s.id = 3;
    s.state = 4;
    s.user = u"Петрова";
    s.clientName = u"ПК-07";
    s.winStation = u"";
    s.address = testing::IPv4(10, 0, 0, 7);
    s.times = SessionTimes{kNow - 600 * kTicksPerSecond, kNow - 300 * kTicksPerSecond, kNow - 7200 * kTicksPerSecond,
                           kNow, kNow - 3600 * kTicksPerSecond};
    s.clientBuild = 22621;
    s.clientDirectory = u"C:\\Windows\\System32\\mstscax.dll";
    s.display = ClientDisplay{1920, 1080, 24};
    s.protocol = 2;
    wts.servers[u"TS01"].sessions = {s};
    wts.servers[u"TS01"].processes = {{3, 100, u"a.exe"}, {4, 101, u"b.exe"}, {3, 102, u"c.exe"}};

    SessionDetails d;
    auto server = wts.Open(u"TS01");
    ASSERT_TRUE(FindSessionDetails(*server, u"TS01", 3, d).ok);
    const auto lines = DetailLines(d, [](std::int64_t ticks) { return Ascii(std::to_string((kNow - ticks) / kTicksPerSecond)); });
    const std::vector<std::pair<std::u16string, std::u16string>> expected = {
        {u"ID", u"3"},
        {u"Учетная запись", u"Петрова"},
        {u"Имя компьютера", u"ПК-07"},
        {u"IP адрес", u"10.0.0.7"},
        {u"Состояние сессии", u"Disconnected"},
        {u"Сессия", u""},
        {u"Сервер", u"TS01"},
        {u"Вход", u"7200"},
        {u"Подключение", u"3600"},
        {u"Отключение", u"300"},
        {u"Последний ввод", u"600"},
        {u"Сборка клиента", u"22621"},
        {u"Экран клиента", u"1920 x 1080, 24 бит"},
        {u"Протокол", u"RDP"},
        {u"Папка клиента", u"C:\\Windows\\System32\\mstscax.dll"},
        {u"Процессов", u"2"},
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(DetailsText({{u"ID", u"3"}, {u"Протокол", u"RDP"}}), u"ID\t3\r\nПротокол\tRDP\r\n");
    const std::string json = DetailsJson(d);
    EXPECT_NE(json.find("\"client_build\": 22621, \"display\": {\"width\": 1920, \"height\": 1080, \"color_depth_bits\": 24}, "
                        "\"protocol\": 2, \"protocol_name\": \"RDP\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"process_count\": 2}"), std::string::npos) << json;

    // Queries that fail leave their lines empty; no such session is 7022.
    FakeSession bare;
    bare.id = 5;
    bare.user = u"ivanov";
    bare.times = std::nullopt;
    wts.servers[u"TS01"].sessions.push_back(bare);
    wts.servers[u"TS01"].processEnumerateError = 5;
    SessionDetails b;
    ASSERT_TRUE(FindSessionDetails(*server, u"TS01", 5, b).ok);
    for (const auto& [caption, value] : DetailLines(b, nullptr)) {
        const bool listed = caption == u"ID" || caption == u"Учетная запись" || caption == u"Состояние сессии" || caption == u"Сервер";
        if (!listed) {
            EXPECT_EQ(value, u"") << Utf16ToUtf8(caption);
        }
    }
    EXPECT_NE(DetailsJson(b).find("\"display\": null, \"protocol\": null"), std::string::npos);
    EXPECT_EQ(FindSessionDetails(*server, u"TS01", 9, b).error, 7022u);
}

TEST(SessionDetails, DisplayAndProtocolTexts) {
    EXPECT_EQ(DisplayText(ClientDisplay{1280, 1024, 32}), u"1280 x 1024, 32 бит");
    EXPECT_EQ(DisplayText(ClientDisplay{1024, 768, 16}), u"1024 x 768, 15 бит");  // code 16 is 15 bits
    EXPECT_EQ(DisplayText(ClientDisplay{800, 600, 7}), u"800 x 600");           // an unknown depth code
    EXPECT_EQ(DisplayText(ClientDisplay{}), u"");
    EXPECT_EQ(ProtocolText(0u), u"Консоль");
    EXPECT_EQ(ProtocolText(9u), u"9");
    EXPECT_EQ(ProtocolText(std::nullopt), u"");
}

}  // namespace
}  // namespace tarvenix
