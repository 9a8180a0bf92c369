// The session list's listings: Get data and F5 (one server or the farm view),
// cancel, the automatic refresh and its chooser, and what a listing's end
// shows (see session_listing.h for the listing itself).
#include "sessions/session_list_win.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "base/app_error.h"
#include "base/settings_options.h"
#include "base/dpi_win.h"
#include "base/error_text.h"
#include "base/text_fold.h"
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
    SetStatus(u"Отменено.");
}

void SessionList::OnListed(ListingResult result) {
    const bool foreground = result.mode == ListingMode::Foreground;
    RunReportingErrors(boxes_, [&] {
        if (foreground) SetBusy(false);
        if (!result.farm) SetStatus(result.statusLine);
        if (result.replace) ShowSessions(std::move(result.listed), !foreground);
        if (live_) WatchListed();
        // A failed server of the farm is named on the line under the
        // counters, never in a box.
        if (result.farm) {
            serverErrors_ = result.serverErrors;
            SetFailures(std::move(result.failures), listedServers_.size());
        }
        if (!result.message.empty()) ReportFailure(result);
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
    SetStatus(FailureLineText(failures_.size(), servers));
}

void SessionList::CreateRefreshChooser(HWND footer, const Fonts& fonts) {
    refreshLabel_ = CreateLabel(footer, 8, 7, u"Обновлять каждые:", fonts.normal());
    refreshChooser_ = CreateChild(0, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, {110, 3, 70, 150},
                                  footer, kIdRefreshChooser, fonts.normal());
    FillRefreshChooser(ClampRefreshSeconds(services_.refreshSeconds));
    SetAutoRefresh(services_.refreshSeconds);
    if (services_.live) SetLive(true);
}

void SessionList::FillRefreshChooser(int seconds) {
    refreshChoices_ = RefreshChoicesFor(seconds);
    // Live mode after the periods; it needs more room than the box has closed.
    refreshChoices_.items.push_back({kLiveChoice, u"Следить за изменениями"});
    const ComboBoxRef chooser(refreshChooser_);
    chooser.Clear();
    for (const RefreshChoice& item : refreshChoices_.items) chooser.Add(item.text);
    chooser.SetDroppedWidth(Scale(170, WindowDpi(refreshChooser_)));
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
    if (live_) {
        // The period is kept for when live mode ends.
        refresh_.Set(seconds);
        refresh_.Stop();
        return;
    }
    const ComboBoxRef chooser(refreshChooser_);
    if (chooser.Selected() != index) chooser.Select(index);
    refresh_.Set(seconds);
}

void SessionList::SetLive(bool on) {
    if (on == live_) return;
    live_ = on;
    const ComboBoxRef chooser(refreshChooser_);
    if (on) {
        refresh_.Stop();
        chooser.Select(static_cast<int>(refreshChoices_.items.size()) - 1);
        WatchListed();
        return;
    }
    if (liveFarm_) liveFarm_->Stop();
    liveDeferred_.clear();
    SetStatus(status_);
    SetAutoRefresh(refresh_.Seconds());
}

std::vector<PolledServer> SessionList::PolledServers() const {
    return liveFarm_ ? liveFarm_->Polled() : std::vector<PolledServer>();
}

LiveFarm& SessionList::Watcher() {
    if (!liveFarm_) {
        const auto second = services_.refreshSecond;
        LiveSettings settings;
        // A server that cannot be watched is listed at the refresh period
        // chosen last (30 s when it was off).
        const int period = refresh_.Seconds() > 0 ? refresh_.Seconds() : 30;
        settings.pollEvery = second * period;
        settings.retryMax = second * 60;
        settings.idleEvery = second * services_.idleSeconds;
        settings.listing.parallel = services_.parallelSessions;
        settings.listing.timeout = services_.serverTimeout;
        settings.listing.formatLogon = LocalLogonText;
        settings.clientDetails = [this] { return !chosen_.empty(); };
        LiveCallbacks callbacks;
        callbacks.listed = [this](const std::u16string& server, InventoryOutcome outcome) {
            OnLiveListed(server, std::move(outcome));
        };
        callbacks.idle = [this](const std::u16string& server, std::vector<IdleAnswer> answers) {
            OnIdleAnswers(server, std::move(answers));
        };
        callbacks.watchChanged = [this] { SetStatus(status_); };
        callbacks.idleSessions = [this] {
            // Nobody looks at a minimised or hidden window: no pass.
            HWND top = list_.Handle() ? GetAncestor(list_.Handle(), GA_ROOT) : nullptr;
            if (busy_ || !top || !IsWindowVisible(top) || IsIconic(top)) return std::vector<Session>();
            return allSessions_;
        };
        liveFarm_ = std::make_unique<LiveFarm>(terminal_, *services_.executor, *services_.dispatcher,
                                               std::move(settings), std::move(callbacks));
    }
    return *liveFarm_;
}

void SessionList::WatchListed() {
    if (!live_) return;
    std::vector<std::u16string> servers;
    if (listedFarm_) {
        servers = listedServers_;
    } else if (!listedServer_.empty()) {
        servers.push_back(listedServer_);
    }
    Watcher().Watch(servers);
    // What changed while a Get data was going is listed now.
    for (const std::u16string& server : std::exchange(liveDeferred_, {})) Watcher().Relist(server);
    SetStatus(status_);
}

void SessionList::OnLiveListed(const std::u16string& server, InventoryOutcome outcome) {
    if (busy_) {
        // A Get data is going: its answer may be older than this change.
        liveDeferred_.push_back(server);
        return;
    }
    RunReportingErrors(boxes_, [&] {
        const SessionInventory& inventory = outcome.inventory;
        if (outcome.timedOut || inventory.enumerationFailed) {
            // The rows stay as they were; the line under the counters says why.
            SetStatus(outcome.timedOut ? ServerTimeoutText(server, static_cast<std::uint32_t>(services_.serverTimeout.count()))
                                       : u"Не удалось обновить список " + server + u": " +
                                             SystemErrorLine(inventory.error, services_.Describer()));
            return;
        }
        std::vector<Session> sessions =
            listedFarm_ ? ReplaceServerSessions(allSessions_, server, std::move(outcome.inventory.rows), listedServers_)
                        : std::move(outcome.inventory.rows);
        ShowSessions(MakeListedRows(std::move(sessions), filter_), true);
    });
}

void SessionList::OnIdleAnswers(const std::u16string& server, std::vector<IdleAnswer> answers) {
    if (busy_) return;
    bool changed = false, relist = false;
    for (const IdleAnswer& answer : answers) {
        for (Session& session : allSessions_) {
            if (session.id != answer.id || FoldCase(session.server) != FoldCase(server)) continue;
            if (!answer.ok) {
                // Gone without an event seen yet (another failure says nothing).
                if (answer.error == 7022) relist = true;
                continue;
            }
            const SessionHolder holder{answer.info.user, answer.info.domain, LogonTicks(answer.info.times)};
            if (CheckHolder(session, holder) != SessionCheck::Same || answer.info.state != session.state) {
                relist = true;  // another logon holds it, or its state changed
                continue;
            }
            const auto idle = IdleTicks(answer.info.times, answer.info.state);
            if (idle != session.idleTicks || !session.timesKnown) {
                session.idleTicks = idle;
                session.timesKnown = true;
                changed = true;
            }
        }
    }
    if (changed) RunReportingErrors(boxes_, [&] { ShowSessions(MakeListedRows(allSessions_, filter_), true); });
    if (relist && liveFarm_) liveFarm_->Relist(server);
}

void SessionList::SetStatus(std::u16string text) {
    status_ = std::move(text);
    std::u16string line = status_;
    const std::vector<PolledServer> polled = PolledServers();
    if (live_ && !polled.empty()) {
        // With a line there already, the names only (the reasons are one click away).
        if (line.empty()) {
            line = PolledLineText(polled, services_.Describer());
        } else {
            line += u"; без уведомлений: ";
            for (std::size_t i = 0; i < polled.size(); ++i) line += (i ? u", " : u"") + polled[i].server;
        }
    }
    SetLabelText(progressLabel_, line);
    if (sessionMenu_)
        EnableMenuItem(sessionMenu_, kCmdServerFailures,
                       MF_BYCOMMAND | (failures_.empty() && polled.empty() ? MF_GRAYED : MF_ENABLED));
}

void SessionList::RefreshInBackground() {
    // A listing is going, or nothing is listed: this tick is skipped.
    if (live_ ||(listing_ && listing_->Going()) || (listedServer_.empty() && !listedFarm_)) return;
    Listing().Start(ListingMode::Background, listedFarm_,
                    listedFarm_ ? listedServers_ : std::vector<std::u16string>{listedServer_}, filter_, allSessions_);
}

}  // namespace tarvenix
