// "Сведения о сессии…" (and Enter on a session row): one session's details in
// a small window: the six columns, its times, the client's build, display,
// protocol and directory, and how many processes it runs; "Копировать" puts
// them on the clipboard. The session is checked (the same logon) before its
// details are read.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "actions/tool_dialog_win.h"
#include "base/engine.h"
#include "base/list_ordering.h"
#include "base/report_list_win.h"
#include "base/services.h"
#include "sessions/session_details.h"
#include "sessions/session_list.h"
#include "sessions/terminal_services.h"

namespace tarvenix {

enum SessionDetailsCommandId : int {
    kCmdSessionDetails = command_ranges::kSessionDetails.first,  // the session menu's item, Enter on a row
};
static_assert(FitsIn(command_ranges::kSessionDetails, kCmdSessionDetails));

enum SessionDetailsControlId : int {
    kIdDetailsList = command_ranges::kDetailsWindow.first,
    kIdDetailsCopy,   // "Копировать"
    kIdDetailsClose,  // "Закрыть"
};
static_assert(FitsIn(command_ranges::kDetailsWindow, kIdDetailsClose));

inline constexpr char16_t kDetailsCaption[] = u"Сведения о сессии";

class SessionDetailsWindow final : public ToolDialog, public CommandTarget {
public:
    // listHandle: the session list's control, whose Enter opens the window.
    SessionDetailsWindow(const Services& services, TerminalServices& terminal, Activity& activity,
                         const SessionListView& sessions, std::function<HWND()> listHandle);
    ~SessionDetailsWindow() override {
        CancelWork();
        DestroyNow();
    }

    void Create(HWND owner);
    void AddMenuItems(HMENU sessionMenu);

    // Checks the first selected session and reads its details on the
    // engine; the window shows them when they come (a session that ended or
    // changed hands is said instead). False when no row is selected.
    bool Begin();
    bool Busy() const { return busy_; }
    const std::optional<SessionDetails>& Details() const { return details_; }
    std::u16string Text() const;  // what "Копировать" puts on the clipboard
    void Copy();

    ReportList& List() { return list_; }

    CommandRange Commands() const override { return command_ranges::kSessionDetails; }
    void OnCommand(int id) override;
    KeyAnswer TranslateKey(const MSG& msg) override;
    void CancelWork() override { runs_.Cancel(); }

protected:
    void OnControl(int id) override;
    HWND FirstFocus() const override { return list_.Handle(); }
    void OnDpi(int dpi) override {
        list_.SetDpi(dpi);
        PlaceList(dpi);
    }

private:
    void PlaceList(int dpi);
    void Show(const SessionDetails& details);

    TerminalServices& terminal_;
    Activity& activity_;
    const SessionListView& sessions_;
    std::function<HWND()> listHandle_;
    OrderingState ordering_;
    ReportList list_;
    CancelToken runs_;
    bool busy_ = false;
    bool showWhenRead_ = false;  // the menu command shows the window once the details came
    std::optional<SessionDetails> details_;
    std::vector<std::pair<std::u16string, std::u16string>> lines_;
    HWND copyButton_ = nullptr, closeButton_ = nullptr;
};

}  // namespace tarvenix
