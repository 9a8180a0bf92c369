// The engine's listing of a server (StartInventory on the system thread
// pool) against the farm double, compared with the sequential inventory.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/engine_win.h"
#include "base/text.h"
#include "sessions/server_listing_run.h"
#include "sessions/session_columns.h"
#include "sessions/session_queries.h"
#include "tests/win/farm_test_support.h"
#include "tests/win/window_test_support.h"

namespace tarvenix::testing {
namespace {

using FarmEngineTest = FarmTest;

std::vector<std::vector<std::u16string>> RowTexts(const SessionInventory& inventory) {
    std::vector<std::vector<std::u16string>> out;
    for (const Session& r : inventory.rows) {
        std::vector<std::u16string>& row = out.emplace_back();
        for (int field = 0; field <= static_cast<int>(SessionField::WinStation); ++field)
            row.push_back(CellText(static_cast<SessionField>(field), r));
    }
    return out;
}

// The engine on the system thread pool gives the same rows, counters and
// errors as the one-after-another inventory, on the demo farm and on a
// generated farm where every tenth session's queries fail; nothing is left
// open however the calls interleave.
TEST_F(FarmEngineTest, EngineGivesTheSequentialInventoryOnTheDemoAndAGeneratedFarm) {
    const std::wstring demo = FolderOf(FarmDouble::Get().module) + L"farm.json";
    const std::string generated =
        FarmWith(R"({"name":"GEN","latency_ms":2,"generate":{"sessions":250,"failing_every":10,"query_error":1722}})");
    const struct {
        const char* name;
        bool useDemo;
        std::vector<std::u16string> servers;
    } cases[] = {
        {"demo farm", true, {u"TS01", u"TS02.corp.example", u"СЕРВЕР-БУХ"}},
        {"generated farm", false, {u"GEN"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.useDemo) {
            ASSERT_TRUE(FarmDouble::Get().load(demo.c_str(), logPath_.c_str()));
        } else {
            LoadFarm(generated);
        }
        for (const std::u16string& server : c.servers) {
            SCOPED_TRACE(Utf16ToUtf8(server));
            const SessionInventory sequential = ReadSessionInventory(wts, server);
            ThreadPoolExecutor executor(16);
            WindowDispatcher dispatcher;
            std::optional<InventoryOutcome> outcome;
            InventoryCallbacks callbacks;
            callbacks.finished = [&](InventoryOutcome o) { outcome = std::move(o); };
            StartInventory(wts, executor, dispatcher, server, InventoryOptions{}, CancelToken(), std::move(callbacks));
            ASSERT_TRUE(PumpUntil([&] { return outcome.has_value(); }, 20000)) << "the run did not end";
            EXPECT_FALSE(outcome->timedOut);
            EXPECT_EQ(outcome->inventory.enumerationFailed, sequential.enumerationFailed);
            EXPECT_EQ(outcome->inventory.error, sequential.error);
            EXPECT_EQ(outcome->inventory.activeCount, sequential.activeCount);
            EXPECT_EQ(RowTexts(outcome->inventory), RowTexts(sequential));
            executor.Shutdown(true);
            ExpectNothingLeftOpen();
        }
    }
}

}  // namespace
}  // namespace tarvenix::testing
