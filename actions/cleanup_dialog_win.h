// "Завершить отключённые сессии…": the clean-up rule over the listed server
// or the farm. The dialog lists the matching sessions first (server, ID,
// user, disconnected for), read afresh from their servers; "Завершить сессии"
// then logs them off after one question, each checked before acting (the same
// logon, still disconnected), with one report that has a line per server.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "actions/cleanup_rule.h"
#include "actions/tool_dialog_win.h"
#include "base/engine.h"
#include "base/list_ordering.h"
#include "base/report_list_win.h"
#include "base/services.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

enum CleanupCommandId : int {
    kCmdCleanupDisconnected = command_ranges::kCleanup.first,  // in the session menu
};
static_assert(FitsIn(command_ranges::kCleanup, kCmdCleanupDisconnected));

enum CleanupControlId : int {
    kIdCleanupAmount = command_ranges::kCleanupWindow.first,
    kIdCleanupUnit,
    kIdCleanupUser,
    kIdCleanupPreview,   // "Показать"
    kIdCleanupList,
    kIdCleanupLogoff,    // "Завершить сессии"
    kIdCleanupClose,     // "Закрыть"
};
static_assert(FitsIn(command_ranges::kCleanupWindow, kIdCleanupClose));

inline constexpr char16_t kCleanupCommandText[] = u"Завершить отключённые сессии…";
inline constexpr char16_t kCleanupCaption[] = u"Завершить отключённые сессии";
inline constexpr char16_t kCleanupAmountError[] =
    u"Укажите, как давно сессии отключены: целое число от 1 до 99999.";

class CleanupDialog final : public ToolDialog, public CommandTarget {
public:
    // servers: the servers the session list shows now (the listed one, or
    // the farm's); activity: the main window's wait cursor.
    CleanupDialog(const Services& services, TerminalServices& terminal, Activity& activity,
                  std::function<std::vector<std::u16string>()> servers);
    ~CleanupDialog() override {
        CancelWork();
        DestroyNow();
    }

    void Create(HWND owner);
    void AddMenuItems(HMENU sessionMenu);

    // What the menu command does before the window shows: takes the servers
    // the list shows now and starts the preview; false (and a message) when
    // no server is listed.
    bool Begin();
    // The rule as the controls give it; nothing (and a message) for an amount
    // that is no number from 1 to 99999.
    std::optional<CleanupRule> Rule();
    // Lists the servers afresh and shows the sessions the rule matches.
    void Preview();
    // Logs off the previewed sessions after one question; then previews again.
    void LogOff();
    bool Busy() const { return busy_; }

    HWND AmountBox() const { return amount_; }
    HWND UnitBox() const { return unit_; }
    HWND UserBox() const { return user_; }
    HWND FoundLabel() const { return found_; }
    HWND LogoffButton() const { return logoffButton_; }
    ReportList& List() { return list_; }
    const std::vector<Session>& Matched() const { return matched_; }
    const std::vector<std::u16string>& Servers() const { return servers_; }

    CommandRange Commands() const override { return command_ranges::kCleanup; }
    void OnCommand(int id) override;
    void CancelWork() override { runs_.Cancel(); }

protected:
    void OnControl(int id) override;
    HWND FirstFocus() const override { return amount_; }
    void OnDpi(int dpi) override {
        list_.SetDpi(dpi);
        PlaceList(dpi);
    }
    void OnClose() override;

private:
    void SetBusy(bool busy);
    void PlaceList(int dpi);

    TerminalServices& terminal_;
    Activity& activity_;
    std::function<std::vector<std::u16string>()> serverList_;
    OrderingState ordering_;  // the preview's own
    ReportList list_;
    CancelToken runs_;
    bool busy_ = false;
    bool loggingOff_ = false;
    std::vector<std::u16string> servers_;
    std::vector<Session> matched_;
    HWND amount_ = nullptr, unit_ = nullptr, user_ = nullptr, found_ = nullptr;
    HWND previewButton_ = nullptr, logoffButton_ = nullptr, closeButton_ = nullptr;
};

}  // namespace tarvenix
