// The session list's listing without the window, on real threads against the
// fake servers: what each mode leaves in the list, the failures it reports,
// a superseded run that delivers nothing, the rows picked by the find text,
// and the schedule of the automatic refresh.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "sessions/session_columns.h"
#include "sessions/session_listing.h"
#include "tests/common/fake_terminal_services.h"
#include "tests/common/test_executors.h"
#include "tests/engine/engine_test_support.h"

namespace tarvenix::testing {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::u16string>;

FakeServer Users(const std::u16string& prefix, std::uint32_t n) {
    FakeServer server;
    for (std::uint32_t i = 1; i <= n; ++i) {
        FakeSession s;
        s.id = i;
        s.user = prefix + DecimalU32(i);
        s.clientName = u"PC-" + prefix;
        s.winStation = u"RDP-Tcp";
        server.sessions.push_back(s);
    }
    return server;
}

Texts UsersOf(const std::vector<Session>& sessions) {
    Texts users;
    for (const Session& s : sessions) users.push_back(s.user);
    return users;
}

Session Listed(const std::u16string& server, std::uint32_t id, const std::u16string& user) {
    Session s;
    s.server = server;
    s.id = id;
    s.user = user;
    return s;
}

class ListingTest : public EngineFixture {
protected:
    ListingTest() {
        ListingSettings settings;
        settings.timeout = 1000ms;  // fired by hand
        settings.describe = [](std::uint32_t code) { return u"ошибка " + DecimalU32(code); };
        listing = std::make_unique<SessionListing>(wts, executor, dispatcher, std::move(settings));
        listing->progress = [this](const std::u16string& text) { progress.push_back(text); };
        listing->finished = [this](ListingResult r) {
            ++finishedCount;
            result = std::move(r);
        };
    }
    void TearDown() override {
        listing.reset();
        Drain();
    }
    bool RunToEnd() {
        const bool ended = dispatcher.RunUntil([&] { return finishedCount > 0; });
        Drain();
        return ended;
    }

    SessionFilter filter;
    std::unique_ptr<SessionListing> listing;
    int finishedCount = 0;
    ListingResult result;
    Texts progress;
};

TEST_F(ListingTest, AForegroundListingOfOneServerGivesItsRowsPickedByTheFindText) {
    wts.servers[u"TS01"] = Users(u"ivanov", 3);
    wts.servers[u"TS01"].sessions[1].user = u"petrova";
    wts.servers[u"TS01"].sessions[1].clientName = u"PC-2";
    filter.Set(u"ИВАН");  // no match: Cyrillic against Latin
    filter.Set(u"IVAN");
    listing->Start(ListingMode::Foreground, false, {u"TS01"}, filter);
    EXPECT_TRUE(listing->Foreground());
    ASSERT_TRUE(RunToEnd());
    EXPECT_FALSE(listing->Going());
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), u"Получение данных...");
    EXPECT_EQ(progress.back(), u"Получено 3 из 3");
    EXPECT_TRUE(result.replace);
    EXPECT_TRUE(result.message.empty());
    EXPECT_EQ(UsersOf(result.listed.sessions), (Texts{u"ivanov1", u"petrova", u"ivanov3"}));
    ASSERT_EQ(result.listed.rows.size(), 3u);
    EXPECT_EQ(result.listed.rows[1].item, 1u);
    EXPECT_EQ(result.listed.rows[1][static_cast<std::size_t>(SessionField::User)], u"petrova");
    ASSERT_TRUE(result.listed.shown);
    ASSERT_EQ(result.listed.shown->size(), 2u);
    EXPECT_EQ((*result.listed.shown)[1].item, 2u);
}

TEST_F(ListingTest, AFailureIsABoxInTheForegroundAndALineInTheBackgroundThatKeepsTheRows) {
    wts.servers[u"TS01"] = Users(u"a", 2);
    wts.servers[u"TS01"].enumerateError = 5;
    listing->Start(ListingMode::Foreground, false, {u"TS01"}, filter);
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(result.replace) << "the emptied list stays empty";
    EXPECT_TRUE(result.listed.sessions.empty());
    EXPECT_NE(result.message.find(u"Не удалось получить список сессий сервера TS01."), std::u16string::npos);
    EXPECT_NE(result.message.find(u"ошибка 5"), std::u16string::npos);
    EXPECT_TRUE(result.statusLine.empty());

    finishedCount = 0;
    progress.clear();
    listing->Start(ListingMode::Background, false, {u"TS01"}, filter, {Listed(u"TS01", 1, u"a1")});
    ASSERT_TRUE(RunToEnd());
    EXPECT_FALSE(result.replace) << "the rows the user had stay";
    EXPECT_TRUE(result.message.empty()) << "no box in the background";
    EXPECT_NE(result.statusLine.find(u"Не удалось обновить список: "), std::u16string::npos);
    EXPECT_TRUE(progress.empty()) << "no progress in the background";
}

TEST_F(ListingTest, AServerOutOfTimeSaysHowMuchItGave) {
    wts.servers[u"TS01"] = Users(u"a", 2);
    Gate hang;
    wts.beforeCall = [&](const std::string& call) {
        if (call == "enumerate TS01") hang.Wait();
    };
    listing->Start(ListingMode::Foreground, false, {u"TS01"}, filter);
    dispatcher.FireTimers();
    dispatcher.RunPosted();
    EXPECT_EQ(finishedCount, 1);
    EXPECT_EQ(result.message, u"Сервер TS01 не ответил за 1 с. Список сессий не получен.");
    hang.Open();
    Drain();
    EXPECT_EQ(finishedCount, 1) << "the late answer is dropped";
}

TEST_F(ListingTest, TheFarmInTheBackgroundKeepsTheRowsOfAServerThatFailedInItsPlace) {
    wts.servers[u"TS01"] = Users(u"a", 2);
    wts.servers[u"TS02"] = Users(u"b", 1);
    wts.servers[u"TS02"].enumerateError = 5;
    wts.servers[u"TS03"] = Users(u"c", 1);
    const std::vector<Session> had = {Listed(u"TS01", 1, u"old-a"), Listed(u"ts02", 7, u"b-kept"),
                                      Listed(u"TS03", 1, u"old-c")};
    listing->Start(ListingMode::Background, true, {u"TS01", u"TS02", u"TS03"}, filter, had);
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(result.farm);
    EXPECT_TRUE(result.replace);
    EXPECT_EQ(UsersOf(result.listed.sessions), (Texts{u"a1", u"a2", u"b-kept", u"c1"}));
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].rfind(u"TS02: ", 0), 0u);
    for (std::size_t i = 0; i < result.listed.rows.size(); ++i) EXPECT_EQ(result.listed.rows[i].item, i);

    // In the foreground the failed server has no rows (the list was emptied).
    finishedCount = 0;
    listing->Start(ListingMode::Foreground, true, {u"TS01", u"TS02", u"TS03"}, filter, had);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(UsersOf(result.listed.sessions), (Texts{u"a1", u"a2", u"c1"}));
    EXPECT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(progress.back(), u"Серверов 3 из 3");
}

TEST_F(ListingTest, RowsPickedByAnotherTextThanTheOneInForceAtTheEndAreNotGivenAsPicked) {
    wts.servers[u"TS01"] = Users(u"a", 2);
    wts.servers[u"TS02"] = Users(u"b", 2);
    Gate second;
    wts.beforeCall = [&](const std::string& call) {
        if (call == "enumerate TS02") second.Wait();
    };
    // TS01 is picked by "a", TS02 by "b", and at the end the text is "a"
    // again: TS02's rows picked by "b" must not be shown as picked by "a".
    filter.Set(u"a");
    listing->progress = [&](const std::u16string& text) {
        if (text == u"Серверов 1 из 2") {
            filter.Set(u"b");
            second.Open();
        }
        if (text == u"Серверов 2 из 2") filter.Set(u"a");
    };
    listing->Start(ListingMode::Foreground, true, {u"TS01", u"TS02"}, filter);
    const bool ended = dispatcher.RunUntil([&] { return finishedCount > 0; });
    second.Open();
    Drain();
    ASSERT_TRUE(ended);
    EXPECT_EQ(result.listed.sessions.size(), 4u);
    EXPECT_FALSE(result.listed.shown) << "picked again by the list when shown";
}

TEST_F(ListingTest, ANewListingSupersedesTheOneGoingWhichDeliversNothing) {
    wts.servers[u"OLD"] = Users(u"o", 2);
    wts.servers[u"NEW"] = Users(u"n", 1);
    Gate old;
    wts.beforeCall = [&](const std::string& call) {
        if (call == "enumerate OLD") old.Wait();
    };
    listing->Start(ListingMode::Foreground, false, {u"OLD"}, filter);
    listing->Start(ListingMode::Foreground, false, {u"NEW"}, filter);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return finishedCount == 1; }));
    old.Open();
    Drain();
    EXPECT_EQ(finishedCount, 1);
    EXPECT_EQ(UsersOf(result.listed.sessions), (Texts{u"n1"}));

    listing->Cancel();
    EXPECT_FALSE(listing->Going());
}

TEST(SessionFilterTest, TextsFoldedAndWhetherTheyOnlyNarrow) {
    struct Case {
        std::u16string before, after;
        bool changed, narrowing;
    } cases[] = {
        {u"", u"pe", true, true},         {u"pe", u"PET", true, true},   {u"pet", u"pe", true, false},
        {u"pet", u"ПЕТ", true, false},    {u"ПЕТ", u"пет", false, false}, {u"pe", u"xpe", true, true},
        {u"ab", u"", true, false},
    };
    for (const Case& c : cases) {
        SessionFilter filter;
        filter.Set(c.before);
        const SessionFilter::Change change = filter.Set(c.after);
        EXPECT_EQ(change.changed, c.changed) << "case " << (&c - cases);
        EXPECT_EQ(change.narrowing, c.narrowing) << "case " << (&c - cases);
    }
    SessionFilter filter;
    filter.Set(u"петр");
    Session s = Listed(u"TS01", 1, u"Петрова");
    EXPECT_TRUE(filter.Matches(s));
    s.user = u"ivanov";
    s.clientName = u"ПЕТРОВ-NB";
    EXPECT_TRUE(filter.Matches(s));
    s.clientName = u"PC";
    EXPECT_FALSE(filter.Matches(s));
}

// Records the delays asked for; fires by hand.
class TimerDispatcher final : public Dispatcher {
public:
    void Post(std::function<void()> callback) override { callback(); }
    void PostAfter(std::chrono::milliseconds delay, std::function<void()> callback) override {
        delays.push_back(delay);
        timers.push_back(std::move(callback));
    }
    void Fire() {
        std::vector<std::function<void()>> due;
        due.swap(timers);
        for (auto& t : due) t();
    }
    std::vector<std::chrono::milliseconds> delays;
    std::vector<std::function<void()>> timers;
};

TEST(RefreshScheduleTest, TicksEveryPeriodANewPeriodCountsFromNowAndOffStops) {
    TimerDispatcher dispatcher;
    int ticks = 0;
    RefreshSchedule schedule(&dispatcher, 10ms, [&] { ++ticks; });
    schedule.Set(15);
    ASSERT_EQ(dispatcher.delays, (std::vector<std::chrono::milliseconds>{150ms}));
    dispatcher.Fire();
    EXPECT_EQ(ticks, 1);
    dispatcher.Fire();
    EXPECT_EQ(ticks, 2) << "the next tick was set after the first";
    schedule.Set(30);  // the pending 15-second tick is dropped
    dispatcher.Fire();
    EXPECT_EQ(ticks, 3) << "one tick of the new period, none of the old";
    EXPECT_EQ(dispatcher.delays.back(), 300ms);
    schedule.Set(0);
    dispatcher.Fire();
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(dispatcher.timers.empty());
}

TEST(ListingTexts, FailureAndShownLines) {
    EXPECT_EQ(FailureLineText(0, 20), u"");
    EXPECT_EQ(FailureLineText(2, 20), u"Не ответили: 2 из 20 (подробнее)");
    EXPECT_EQ(ShownText(false, 5, 12), u"");
    EXPECT_EQ(ShownText(true, 5, 12), u"Показано: 5 из 12");
}

TEST(ReplaceServerSessions, OneServersSessionsTakeTheirPlaceInTheFarmsOrder) {
    const std::vector<std::u16string> order{u"TS01", u"TS02", u"TS03"};
    const std::vector<Session> all{Listed(u"TS01", 1, u"a"), Listed(u"ts02", 2, u"b"), Listed(u"TS02", 3, u"c"),
                                   Listed(u"TS03", 4, u"d")};
    struct Case {
        const char* what;
        std::u16string server;
        std::vector<Session> fresh;
        Texts users;
    } cases[] = {
        {"a logon and a logoff in the middle", u"TS02", {Listed(u"TS02", 3, u"c"), Listed(u"TS02", 9, u"x")},
         {u"a", u"c", u"x", u"d"}},
        {"the first server empty now", u"ts01", {}, {u"b", u"c", u"d"}},
        {"a server that had none", u"TS03", {Listed(u"TS03", 4, u"d"), Listed(u"TS03", 5, u"e")},
         {u"a", u"b", u"c", u"d", u"e"}},
        {"a server outside the order goes last", u"TS09", {Listed(u"TS09", 1, u"z")}, {u"a", u"b", u"c", u"d", u"z"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UsersOf(ReplaceServerSessions(all, c.server, c.fresh, order)), c.users) << c.what;
}

}  // namespace
}  // namespace tarvenix::testing
