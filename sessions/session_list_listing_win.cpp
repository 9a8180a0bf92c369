// The session list's listings: Get data and F5 (one server or the farm view),
// cancel, the automatic refresh and its chooser, and what a listing's end
// shows (see session_listing.h for the listing itself).
#include "sessions/session_list_win.h"

#include <commctrl.h>

#include <algorithm>

#include "base/app_error.h"
#include "base/settings_options.h"
#include "base/win_text.h"
#include "sessions/session_times_win.h"

namespace tarvenix {

void SessionList::GetData() {
    if (allServers_) {
        std::vector<std::u16string> servers = DistinctServers(farmServers_ ? farmServers_() : std::vector<std::u16string>());
        if (servers.empty()) {
            boxes_.ShowMessage(u"Список серверов пуст: добавьте серверы в список (Enter в поле сервера, TXT или LDAP).");
            return;
        }
        StartListing(true, std::move(servers));
        return;
    }
    const std::u16string server = serverText_();
    if (server.empty()) {
        boxes_.ShowMessage(u"Вы не указали сервер!");
        return;
    }
    StartListing(false, {server});
}

void SessionList::Refresh() {
    if (listedFarm_) {
        StartListing(true, listedServers_);
    } else if (!listedServer_.empty()) {
        StartListing(false, {listedServer_});
    }
}

SessionListing& SessionList::Listing() {
    if (!listing_) {
        ListingSettings settings;
        settings.parallelSessions = services_.parallelSessions;
        settings.parallelServers = services_.parallelServers;
        settings.farmParallelSessions = services_.farmParallelSessions;
        settings.timeout = services_.serverTimeout;
        settings.formatLogon = LocalLogonText;
        settings.clientDetails = [this] { return !chosen_.empty(); };
        settings.describe = services_.Describer();
        listing_ = std::make_unique<SessionListing>(terminal_, *services_.executor, *services_.dispatcher,
                                                    std::move(settings));
        listing_->progress = [this](const std::u16string& text) {
            if (busy_) SetLabelText(progressLabel_, text);
        };
        listing_->finished = [this](ListingResult result) { OnListed(std::move(result)); };
    }
    return *listing_;
}

void SessionList::StartListing(bool farm, std::vector<std::u16string> servers) {
    if (farm != listedFarm_) list_.SetColumns(ListColumns(farm));
    listedFarm_ = farm;
    if (farm) {
        listedServers_ = servers;
    } else {
        listedServer_ = servers.front();
        listedServers_.clear();
    }
    // The list and the counters are emptied together: a run that is
    // cancelled or fails leaves both empty.
    list_.Clear();
    allRows_.clear();
    allSessions_.clear();
    activeCount_ = 0;
    rowCount_ = 0;
    ShowCounters();
    list_.Ordering().sortedColumn = -1;
    SetFailures({}, 0);
    SetBusy(true);
    if (shownLabel_) SetLabelText(shownLabel_, u"");
    // A listing still going never writes into the list.
    Listing().Start(ListingMode::Foreground, farm, std::move(servers), filter_);
}

void SessionList::Cancel() {
    if (!busy_) return;
    if (listing_) listing_->Cancel();
    SetBusy(false);
    SetLabelText(progressLabel_, u"Отменено.");
}

void SessionList::OnListed(ListingResult result) {
    const bool foreground = result.mode == ListingMode::Foreground;
    RunReportingErrors(boxes_, [&] {
        if (foreground) SetBusy(false);
        if (!result.farm) SetLabelText(progressLabel_, result.statusLine);
        if (result.replace) ShowSessions(std::move(result.listed), !foreground);
        // A failed server of the farm is named on the line under the
        // counters, never in a box.
        if (result.farm) SetFailures(std::move(result.failures), listedServers_.size());
        if (!result.message.empty()) boxes_.ShowMessage(result.message);
        if (foreground) SetFocus(list_.Handle());
    });
}

void SessionList::SetAllServers(bool on) {
    allServers_ = on;
    ButtonRef(allServersButton_).SetChecked(on);
    // Listed at once in the new view; one server needs a name in the box.
    if (on || !serverText_().empty()) GetData();
}

void SessionList::SetFailures(std::vector<std::u16string> failures, std::size_t servers) {
    failures_ = std::move(failures);
    if (sessionMenu_) EnableMenuItem(sessionMenu_, kCmdServerFailures, MF_BYCOMMAND | (failures_.empty() ? MF_GRAYED : MF_ENABLED));
    SetLabelText(progressLabel_, FailureLineText(failures_.size(), servers));
}

void SessionList::CreateRefreshChooser(HWND footer, const Fonts& fonts) {
    refreshLabel_ = CreateLabel(footer, 8, 7, u"Обновлять каждые:", fonts.normal());
    refreshChooser_ = CreateChild(0, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, {110, 3, 70, 150},
                                  footer, kIdRefreshChooser, fonts.normal());
    FillRefreshChooser(ClampRefreshSeconds(services_.refreshSeconds));
    SetAutoRefresh(services_.refreshSeconds);
}

void SessionList::FillRefreshChooser(int seconds) {
    refreshChoices_ = RefreshChoicesFor(seconds);
    const ComboBoxRef chooser(refreshChooser_);
    chooser.Clear();
    for (const RefreshChoice& item : refreshChoices_.items) chooser.Add(item.text);
}

void SessionList::SetAutoRefresh(int seconds) {
    // A period remembered from settings.ini that is none of the usual ones
    // (45 s) is kept as it is, as an item of its own.
    seconds = ClampRefreshSeconds(seconds);
    const auto& items = refreshChoices_.items;
    if (std::none_of(items.begin(), items.end(), [seconds](const RefreshChoice& c) { return c.seconds == seconds; }))
        FillRefreshChooser(seconds);
    int index = 0;
    for (std::size_t i = 0; i < refreshChoices_.items.size(); ++i)
        if (refreshChoices_.items[i].seconds == seconds) index = static_cast<int>(i);
    const ComboBoxRef chooser(refreshChooser_);
    if (chooser.Selected() != index) chooser.Select(index);
    refresh_.Set(seconds);
}

void SessionList::RefreshInBackground() {
    // A listing is going, or nothing is listed: this tick is skipped.
    if ((listing_ && listing_->Going()) || (listedServer_.empty() && !listedFarm_)) return;
    Listing().Start(ListingMode::Background, listedFarm_,
                    listedFarm_ ? listedServers_ : std::vector<std::u16string>{listedServer_}, filter_, allSessions_);
}

}  // namespace tarvenix
