// Server names gathered from several sources, as the command line takes them.
#include "servers/server_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvenix {
namespace {

using Names = std::vector<std::u16string>;
using Outcome = ServerList::Outcome;

// A source that gives what it was told to, and counts how often it was read.
class ScriptedSource final : public ServerSource {
public:
    ScriptedSource(Outcome outcome, Names names, std::u16string failure) {
        list_.outcome = outcome;
        list_.names = std::move(names);
        list_.failure = std::move(failure);
    }
    ServerList Read() override {
        ++reads;
        return list_;
    }
    int reads = 0;

private:
    ServerList list_;
};

TEST(TypedServers, GiveTheNamesAsTypedWithDuplicatesAndBlanks) {
    TypedServers typed({u"TS01", u"", u"ts01", u"Сервер"});
    const ServerList list = typed.Read();
    EXPECT_TRUE(list.Complete());
    EXPECT_EQ(list.names, (Names{u"TS01", u"", u"ts01", u"Сервер"}));
    EXPECT_TRUE(list.failure.empty());
    // Read again, the same.
    EXPECT_EQ(typed.Read().names, list.names);
}

// Sources A, B, C in this order, each as the case says; what the gathering
// gives, and which sources were asked.
TEST(GatherServers, NamesInSourceOrderAFailurePartWayGoesOnAnUnreadSourceStops) {
    struct Script {
        Outcome outcome;
        Names names;
    };
    const Script complete1{Outcome::Complete, {u"a1", u"a2"}};
    const Script complete2{Outcome::Complete, {u"b1"}};
    const Script complete3{Outcome::Complete, {u"c1", u"a1"}};
    const struct {
        const char* what;
        Script a, b, c;
        Names names;
        Names failures;
        bool stopped;
        std::vector<int> reads;
    } cases[] = {
        {"all read", complete1, complete2, complete3, {u"a1", u"a2", u"b1", u"c1", u"a1"}, {}, false, {1, 1, 1}},
        {"B fails part-way: its names count, C is still read", complete1, {Outcome::Incomplete, {u"b-partial"}},
         complete3, {u"a1", u"a2", u"b-partial", u"c1", u"a1"}, {u"B"}, false, {1, 1, 1}},
        {"B cannot be read: C is not asked", complete1, {Outcome::NotRead, {}}, complete3, {u"a1", u"a2"}, {u"B"},
         true, {1, 1, 0}},
        {"A fails part-way, then C cannot be read", {Outcome::Incomplete, {}}, complete2, {Outcome::NotRead, {}},
         {u"b1"}, {u"A", u"C"}, true, {1, 1, 1}},
        {"the first cannot be read: nothing else is asked", {Outcome::NotRead, {}}, complete2, complete3, {},
         {u"A"}, true, {1, 0, 0}},
    };
    for (const auto& c : cases) {
        ScriptedSource a(c.a.outcome, c.a.names, u"A"), b(c.b.outcome, c.b.names, u"B"),
            cc(c.c.outcome, c.c.names, u"C");
        const GatheredServers gathered = GatherServers({&a, &b, &cc});
        EXPECT_EQ(gathered.names, c.names) << c.what;
        EXPECT_EQ(gathered.failures, c.failures) << c.what;
        EXPECT_EQ(gathered.stopped, c.stopped) << c.what;
        EXPECT_EQ((std::vector<int>{a.reads, b.reads, cc.reads}), c.reads) << c.what;
    }
}

}  // namespace
}  // namespace tarvenix
