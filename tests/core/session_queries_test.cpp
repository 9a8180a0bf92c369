#include "sessions/session_queries.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "sessions/session_columns.h"
#include "tests/common/fake_terminal_services.h"

namespace tarvenix {
namespace {

using testing::FakeServer;
using testing::FakeSession;
using testing::FakeTerminalServices;
using testing::IPv4;

TEST(ConnectStateName, NamesEveryStateAndUnknown) {
    const struct { std::uint32_t state; const char16_t* name; } cases[] = {
        {0, u"Active"}, {1, u"Connected"}, {2, u"ConnectQuery"}, {3, u"Shadow"}, {4, u"Disconnected"},
        {5, u"Idle"}, {6, u"Listen"}, {7, u"Reset"}, {8, u"Down"}, {9, u"Init"},
        {10, u"Unknown"}, {42, u"Unknown"}, {0xFFFFFFFFu, u"Unknown"},
    };
    for (const auto& c : cases) EXPECT_EQ(ConnectStateName(c.state), c.name) << c.state;
}

TEST(ClientIPv4Text, UsesAddressBytesTwoToFive) {
    EXPECT_EQ(ClientIPv4Text(IPv4(10, 0, 0, 5)), u"10.0.0.5");
    EXPECT_EQ(ClientIPv4Text(IPv4(0, 255, 0, 255)), u"0.255.0.255");
    ClientAddress a = IPv4(192, 168, 1, 2);
    a.bytes[0] = 7;  // port bytes are not part of the address
    a.bytes[1] = 9;
    a.bytes[6] = 1;
    EXPECT_EQ(ClientIPv4Text(a), u"192.168.1.2");
    a.family = 23;  // AF_INET6
    EXPECT_EQ(ClientIPv4Text(a), u"");
    a.family = 0;
    EXPECT_EQ(ClientIPv4Text(a), u"");
}

class InventoryTest : public ::testing::Test {
protected:
    FakeTerminalServices wts;
    FakeServer& server = wts.servers[u"TS01"];
};

TEST_F(InventoryTest, BuildsRowsInEnumerationOrderAndCountsActive) {
    server.sessions = {
        {7, 0, u"ivanov", u"PC-7", u"RDP-Tcp#1", IPv4(10, 0, 0, 5)},
        {3, 4, u"Петров", u"ноут", u"RDP-Tcp#2", std::nullopt},
        {0xFFFFFFFFu, 0, u"max", u"", u"", IPv4(255, 0, 0, 255)},
        {12, 11, u"x", u"c", u"w", std::nullopt},
    };
    SessionInventory inv = ReadSessionInventory(wts, u"TS01");
    ASSERT_FALSE(inv.enumerationFailed);
    ASSERT_EQ(inv.rows.size(), 4u);
    EXPECT_EQ(inv.activeCount, 2);
    const Session& r0 = inv.rows[0];
    EXPECT_EQ(r0.server, u"TS01");
    EXPECT_EQ(r0.id, 7u);
    EXPECT_EQ(r0.user, u"ivanov");
    EXPECT_EQ(r0.clientName, u"PC-7");
    EXPECT_EQ(r0.address, u"10.0.0.5");
    EXPECT_EQ(CellText(SessionField::State, r0), u"Active");
    EXPECT_EQ(r0.winStation, u"RDP-Tcp#1");
    EXPECT_EQ(inv.rows[1].user, u"Петров");
    EXPECT_EQ(CellText(SessionField::State, inv.rows[1]), u"Disconnected");
    EXPECT_EQ(inv.rows[1].address, u"");
    EXPECT_EQ(CellText(SessionField::Id, inv.rows[2]), u"4294967295");
    EXPECT_EQ(inv.rows[2].address, u"255.0.0.255");
    EXPECT_EQ(CellText(SessionField::State, inv.rows[3]), u"Unknown");
}

TEST_F(InventoryTest, QueriesEachSessionInFixedOrderAndClosesTheServer) {
    server.sessions = {{2, 0, u"a", u"c", u"w", std::nullopt}, {5, 6, std::nullopt, std::nullopt, u"RDP-Tcp", std::nullopt}};
    ReadSessionInventory(wts, u"TS01");
    const std::vector<std::string> expected = {
        "open TS01", "enumerate TS01",
        "query 2 10 TS01", "query 2 5 TS01", "query 2 6 TS01", "query 2 14 TS01", "query 2 24 TS01",
        // Without a user there is no row: its times are not asked for.
        "query 5 10 TS01", "query 5 5 TS01", "query 5 6 TS01", "query 5 14 TS01",
    };
    EXPECT_EQ(wts.calls, expected);
    EXPECT_EQ(wts.opened, 1);
    EXPECT_EQ(wts.closed, 1);
}

TEST_F(InventoryTest, SessionTimesGiveIdleAndLogonAndAFailedQueryKeepsTheRow) {
    constexpr std::int64_t kMinute = kTicksPerMinute;
    constexpr std::int64_t kNow = 133'000'000'000'000'000;  // some time in 2022
    FakeSession active{1, 0, u"a", u"c", u"w", std::nullopt};
    active.times = SessionTimes{kNow - 65 * kMinute, 0, kNow - 600 * kMinute, kNow};
    FakeSession disconnected{2, 4, u"b", u"c", u"w", std::nullopt};
    disconnected.times = SessionTimes{kNow - kMinute, kNow - (2 * 24 * 60 + 190) * kMinute, kNow - 5000 * kMinute, kNow};
    FakeSession failing{3, 0, u"c", u"c", u"w", std::nullopt};  // times: nullopt, the query fails
    server.sessions = {active, disconnected, failing};
    const SessionInventory inv = ReadSessionInventory(wts, u"TS01");
    ASSERT_EQ(inv.rows.size(), 3u);
    EXPECT_EQ(CellText(SessionField::Idle, inv.rows[0]), u"1:05");
    EXPECT_EQ(inv.rows[0].logonTicks, kNow - 600 * kMinute);
    EXPECT_EQ(CellText(SessionField::Idle, inv.rows[1]), u"2+03:10") << "a disconnected session is idle since it was disconnected";
    EXPECT_EQ(CellText(SessionField::Idle, inv.rows[2]), u"");
    EXPECT_FALSE(inv.rows[2].idleTicks.has_value());
    EXPECT_FALSE(inv.rows[2].logonTicks.has_value());
    EXPECT_EQ(inv.rows[2].user, u"c") << "the row stays";
}

TEST_F(InventoryTest, SessionsWithoutUserNameAreLeftOutAndNotCounted) {
    server.sessions = {
        {0, 0, u"", u"", u"Services", std::nullopt},            // empty user name
        {65536, 0, std::nullopt, u"", u"RDP-Tcp", std::nullopt},  // failed user query
        {4, 0, u"u", std::nullopt, std::nullopt, std::nullopt},   // other queries fail
    };
    SessionInventory inv = ReadSessionInventory(wts, u"TS01");
    ASSERT_EQ(inv.rows.size(), 1u);
    EXPECT_EQ(inv.activeCount, 1);
    EXPECT_EQ(inv.rows[0].id, 4u);
    EXPECT_EQ(inv.rows[0].clientName, u"");
    EXPECT_EQ(inv.rows[0].winStation, u"");
    EXPECT_EQ(inv.rows[0].address, u"");
}

TEST_F(InventoryTest, AllSessionsWithoutUserGiveEmptyInventory) {
    server.sessions = {{0, 0, u"", u"", u"", std::nullopt}, {1, 6, std::nullopt, u"", u"", std::nullopt}};
    SessionInventory inv = ReadSessionInventory(wts, u"TS01");
    EXPECT_FALSE(inv.enumerationFailed);
    EXPECT_TRUE(inv.rows.empty());
    EXPECT_EQ(inv.activeCount, 0);
}

TEST_F(InventoryTest, FailedEnumerationReportsTheSystemError) {
    server.enumerateError = 5;
    server.sessions = {{1, 0, u"a", u"", u"", std::nullopt}};
    SessionInventory denied = ReadSessionInventory(wts, u"TS01");
    EXPECT_TRUE(denied.enumerationFailed);
    EXPECT_EQ(denied.error, 5u);
    EXPECT_TRUE(denied.rows.empty());
    EXPECT_EQ(denied.activeCount, 0);

    SessionInventory unknown = ReadSessionInventory(wts, u"nowhere");
    EXPECT_TRUE(unknown.enumerationFailed);
    EXPECT_EQ(unknown.error, 1722u);
    EXPECT_EQ(wts.closed, wts.opened);
}

TEST_F(InventoryTest, ServerNameIsPassedUnchanged) {
    wts.servers[u" TS01 "].sessions = {{1, 0, u"a", u"", u"", std::nullopt}};
    SessionInventory inv = ReadSessionInventory(wts, u" TS01 ");
    EXPECT_EQ(inv.rows.size(), 1u);
    EXPECT_EQ(wts.calls.front(), "open  TS01 ");
}

// --- A session's identity ---

Session Seen(std::uint32_t id, const char16_t* user, std::optional<std::int64_t> logon, const char16_t* domain = u"CORP",
             const char16_t* server = u"TS01") {
    Session s;
    s.server = server;
    s.id = id;
    s.user = user;
    s.domain = domain;
    s.logonTicks = logon;
    return s;
}

TEST(SessionIdentity, SameServerIdUserDomainAndLogon) {
    const Session listed = Seen(3, u"petrova", 1000);
    const struct {
        const char* name;
        Session now;
        bool same;
    } cases[] = {
        {"same ID and user", Seen(3, u"petrova", 1000), true},
        {"user and server in another case", Seen(3, u"PETROVA", 1000, u"corp", u"ts01"), true},
        {"ID reused by another user", Seen(3, u"ivanov", 2000), false},
        {"same user, another logon", Seen(3, u"petrova", 2000), false},
        {"same user of another domain", Seen(3, u"petrova", 1000, u"OTHER"), false},
        {"another ID", Seen(4, u"petrova", 1000), false},
        {"another server", Seen(3, u"petrova", 1000, u"CORP", u"TS02"), false},
        {"logon time unknown on one side", Seen(3, u"petrova", std::nullopt), true},
        {"domain unknown on one side", Seen(3, u"petrova", 1000, u""), true},
    };
    for (const auto& c : cases) EXPECT_EQ(SameSession(listed, c.now), c.same) << c.name;
}

TEST(SessionIdentity, CheckAgainstWhatTheServerSaysNow) {
    const Session listed = Seen(3, u"petrova", 1000);
    EXPECT_EQ(CheckHolder(listed, {u"petrova", u"CORP", 1000}), SessionCheck::Same);
    EXPECT_EQ(CheckHolder(listed, {u"ivanov", u"CORP", 2000}), SessionCheck::ChangedHands);
    EXPECT_EQ(CheckHolder(listed, {u"petrova", u"CORP", 2000}), SessionCheck::ChangedHands)
        << "she logged off and on again: another session";
    EXPECT_EQ(CheckHolder(listed, {u"", u"", std::nullopt}), SessionCheck::Ended);
}

TEST_F(InventoryTest, ConfirmingASessionAsksTheSessionInformationOnce) {
    FakeSession petrova{3, 0, u"petrova", u"c", u"w", std::nullopt};
    petrova.times = SessionTimes{0, 0, 1000, 5000};
    petrova.domain = u"CORP";
    FakeSession refusing{5, 0, u"sidorov", u"c", u"w", std::nullopt};  // no session information: the user name decides
    server.sessions = {petrova, refusing};
    const std::unique_ptr<TerminalServer> open = wts.Open(u"TS01");
    const struct {
        const char* name;
        Session seen;
        SessionCheck check;
        const char16_t* holder;
    } cases[] = {
        {"the same logon", Seen(3, u"petrova", 1000), SessionCheck::Same, u""},
        {"another user now", Seen(3, u"ivanov", 900), SessionCheck::ChangedHands, u"petrova"},
        {"another logon of the same user", Seen(3, u"petrova", 900), SessionCheck::ChangedHands, u"petrova"},
        {"gone", Seen(4, u"petrova", 1000), SessionCheck::Ended, u""},
        {"no session information, same user", Seen(5, u"sidorov", std::nullopt), SessionCheck::Same, u""},
        {"no session information, another user", Seen(5, u"petrova", std::nullopt), SessionCheck::ChangedHands,
         u"sidorov"},
    };
    for (const auto& c : cases) {
        const SessionConfirmation now = ConfirmSession(*open, c.seen);
        EXPECT_TRUE(now.failure.ok) << c.name;
        EXPECT_EQ(now.check, c.check) << c.name;
        EXPECT_EQ(now.holder, c.holder) << c.name;
    }
    wts.calls.clear();
    ConfirmSession(*open, Seen(3, u"petrova", 1000));
    EXPECT_EQ(wts.calls, std::vector<std::string>{"query 3 24 TS01"}) << "one query for a server that answers it";
}

}  // namespace
}  // namespace tarvenix
