#include "sessions/live_farm.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "base/error_text.h"
#include "base/text_fold.h"

namespace tarvenix {

namespace {

std::atomic<int> g_waitersRunning{0};

}  // namespace

// What a waiter's thread shares with the window thread. The server object is
// held through a Holder: whoever lets go of it last (the waiter, or a flush
// still under way) closes the handle, and only then is the waiter ended.
struct LiveFarm::Waiter {
    struct Holder {
        std::unique_ptr<TerminalServer> server;
        std::shared_ptr<Waiter> waiter;
        ~Holder() {
            server.reset();  // the handle is closed here, on this thread
            std::lock_guard<std::mutex> lock(waiter->mutex);
            waiter->ended = true;
            waiter->changed.notify_all();
        }
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::shared_ptr<Holder> holder;  // while the wait goes
    bool stop = false;
    bool ended = false;
};

struct LiveFarm::Server {
    std::u16string name;
    std::u16string key;  // folded
    std::shared_ptr<Waiter> waiter;
    CancelToken waiterToken;           // this waiter's posts
    bool watched = true;               // false: polled instead
    std::uint32_t error = 0;           // why not watched
    std::chrono::milliseconds retry{0};
    bool gathering = false;            // a listing is due after the pause
    bool listing = false;
    bool again = false;                // events came while it was listed
    CancelToken listingToken;
    CancelToken pollTimer;
    CancelToken retryTimer;
    bool polling = false;
};

LiveFarm::LiveFarm(TerminalServices& terminal, Executor& executor, Dispatcher& dispatcher, LiveSettings settings,
                   LiveCallbacks callbacks)
    : terminal_(terminal),
      executor_(executor),
      dispatcher_(dispatcher),
      settings_(std::move(settings)),
      callbacks_(std::move(callbacks)) {}

LiveFarm::~LiveFarm() { Stop(); }

int LiveFarm::WaitersRunning() { return g_waitersRunning.load(); }

LiveFarm::Server* LiveFarm::Find(const std::u16string& name) {
    const std::u16string key = FoldCase(name);
    for (auto& server : servers_)
        if (server->key == key) return server.get();
    return nullptr;
}

void LiveFarm::Watch(const std::vector<std::u16string>& servers) {
    std::vector<std::unique_ptr<Server>> kept;
    for (const std::u16string& name : servers) {
        const std::u16string key = FoldCase(name);
        if (std::any_of(kept.begin(), kept.end(), [&](const auto& s) { return s->key == key; })) continue;
        auto it = std::find_if(servers_.begin(), servers_.end(), [&](const auto& s) { return s && s->key == key; });
        if (it != servers_.end()) {
            kept.push_back(std::move(*it));
            continue;
        }
        auto server = std::make_unique<Server>();
        server->name = name;
        server->key = key;
        StartWaiter(*server);
        kept.push_back(std::move(server));
    }
    bool changed = false;
    for (auto& old : servers_) {
        if (!old) continue;
        StopWaiter(*old);
        changed = changed || !old->watched;
    }
    servers_ = std::move(kept);
    if (changed && callbacks_.watchChanged) callbacks_.watchChanged();
    if (!servers_.empty()) {
        if (settings_.idleEvery.count() > 0 && !idleScheduled_) ScheduleIdle();
    } else {
        idleTimer_.Cancel();
        idleScheduled_ = false;
    }
}

void LiveFarm::StartWaiter(Server& server) {
    auto waiter = std::make_shared<Waiter>();
    server.waiter = waiter;
    server.waiterToken = CancelToken();
    const CancelToken token = server.waiterToken;
    Server* s = &server;
    // Posted to the window thread under the waiter's lock while it is not
    // stopped, so that nothing reaches the dispatcher once Stop returned.
    auto onEvent = [this, s, token] {
        if (!token.Cancelled()) OnEvent(*s);
    };
    auto onFailed = [this, s, token](std::uint32_t error) {
        if (!token.Cancelled()) OnWaitFailed(*s, error);
    };
    TerminalServices* terminal = &terminal_;
    Dispatcher* dispatcher = &dispatcher_;
    const std::u16string name = server.name;
    ++g_waitersRunning;
    std::thread([waiter, terminal, dispatcher, name, onEvent, onFailed] {
        auto holder = std::make_shared<Waiter::Holder>();
        holder->waiter = waiter;
        holder->server = terminal->Open(name);
        {
            std::lock_guard<std::mutex> lock(waiter->mutex);
            if (!waiter->stop) waiter->holder = holder;
        }
        while (true) {
            {
                std::lock_guard<std::mutex> lock(waiter->mutex);
                if (waiter->stop) break;
            }
            std::uint32_t events = session_events::kNone;
            const CallResult result = holder->server->WaitSystemEvent(session_events::kAll, events);
            std::unique_lock<std::mutex> lock(waiter->mutex);
            if (waiter->stop) break;
            if (!result.ok) {
                const std::uint32_t error = result.error;
                dispatcher->Post([onFailed, error] { onFailed(error); });
                break;
            }
            if (events != session_events::kNone) {
                dispatcher->Post(onEvent);
            } else {
                // Released by nobody's stop: wait again, but never in a tight loop.
                waiter->changed.wait_for(lock, std::chrono::seconds(1), [&] { return waiter->stop; });
            }
        }
        {
            std::lock_guard<std::mutex> lock(waiter->mutex);
            waiter->holder.reset();
        }
        holder.reset();  // the handle closed (unless a flush still holds it)
        --g_waitersRunning;
    }).detach();
}

void LiveFarm::StopWaiter(Server& server) {
    server.waiterToken.Cancel();
    server.listingToken.Cancel();
    server.pollTimer.Cancel();
    server.retryTimer.Cancel();
    server.polling = false;
    server.gathering = false;
    server.listing = false;
    const std::shared_ptr<Waiter> waiter = std::move(server.waiter);
    if (!waiter) return;
    std::shared_ptr<Waiter::Holder> holder;
    {
        std::lock_guard<std::mutex> lock(waiter->mutex);
        waiter->stop = true;
        holder = waiter->holder;
        waiter->changed.notify_all();
    }
    // The flush is a call to the server too: made on a thread of its own, so
    // that a server that no longer answers holds nobody up.
    if (holder) std::thread([holder]() mutable {
            holder->server->FlushWaits();
            holder.reset();
        }).detach();
}

void LiveFarm::Stop() {
    for (auto& server : servers_) StopWaiter(*server);
    const bool polled = std::any_of(servers_.begin(), servers_.end(), [](const auto& s) { return !s->watched; });
    servers_.clear();
    idleTimer_.Cancel();
    idleScheduled_ = false;
    if (polled && callbacks_.watchChanged) callbacks_.watchChanged();
}

bool LiveFarm::Close(std::chrono::milliseconds grace) {
    std::vector<std::shared_ptr<Waiter>> waiters;
    for (auto& server : servers_)
        if (server->waiter) waiters.push_back(server->waiter);
    Stop();
    const auto deadline = std::chrono::steady_clock::now() + grace;
    bool all = true;
    for (const auto& waiter : waiters) {
        std::unique_lock<std::mutex> lock(waiter->mutex);
        if (!waiter->changed.wait_until(lock, deadline, [&] { return waiter->ended; })) all = false;
    }
    return all;
}

void LiveFarm::Relist(const std::u16string& name) {
    if (Server* server = Find(name)) OnEvent(*server);
}

void LiveFarm::OnEvent(Server& server) {
    if (server.listing) {
        server.again = true;
        return;
    }
    if (server.gathering) return;
    server.gathering = true;
    const CancelToken token = server.waiterToken;
    Server* s = &server;
    dispatcher_.PostAfter(settings_.gather, [this, s, token] {
        if (token.Cancelled()) return;
        s->gathering = false;
        ListServer(*s);
    });
}

void LiveFarm::ListServer(Server& server) {
    server.listing = true;
    server.again = false;
    server.listingToken = CancelToken();
    Server* s = &server;
    InventoryCallbacks callbacks;
    callbacks.finished = [this, s](InventoryOutcome outcome) {
        s->listing = false;
        if (callbacks_.listed) callbacks_.listed(s->name, std::move(outcome));
        if (s->again) OnEvent(*s);
    };
    InventoryOptions options = settings_.listing;
    if (settings_.clientDetails) options.clientDetails = settings_.clientDetails();
    StartInventory(terminal_, executor_, dispatcher_, server.name, options, server.listingToken, std::move(callbacks));
}

void LiveFarm::OnWaitFailed(Server& server, std::uint32_t error) {
    // The waiter's thread has ended with its failure.
    server.waiter.reset();
    server.waiterToken.Cancel();
    const bool news = server.watched || server.error != error;
    server.watched = false;
    server.error = error;
    if (news && callbacks_.watchChanged) callbacks_.watchChanged();
    SchedulePoll(server);
    ScheduleRetry(server);
}

void LiveFarm::SchedulePoll(Server& server) {
    if (server.polling) return;
    server.polling = true;
    server.pollTimer = CancelToken();
    const CancelToken token = server.pollTimer;
    Server* s = &server;
    dispatcher_.PostAfter(settings_.pollEvery, [this, s, token] {
        if (token.Cancelled()) return;
        s->polling = false;
        if (s->watched) return;
        if (s->listing) {
            s->again = true;
        } else {
            ListServer(*s);
        }
        SchedulePoll(*s);
    });
}

void LiveFarm::ScheduleRetry(Server& server) {
    server.retry = server.retry.count() == 0 ? settings_.retryFirst : std::min(server.retry * 2, settings_.retryMax);
    server.retryTimer = CancelToken();
    const CancelToken token = server.retryTimer;
    Server* s = &server;
    dispatcher_.PostAfter(server.retry, [this, s, token] {
        if (token.Cancelled()) return;
        StartWaiter(*s);
        // A wait that has not failed after a while: watched again.
        const CancelToken waiterToken = s->waiterToken;
        dispatcher_.PostAfter(settings_.settle, [this, s, waiterToken] {
            if (waiterToken.Cancelled() || s->watched) return;
            s->watched = true;
            s->error = 0;
            s->retry = std::chrono::milliseconds(0);
            s->pollTimer.Cancel();
            s->polling = false;
            if (callbacks_.watchChanged) callbacks_.watchChanged();
            OnEvent(*s);  // what changed while it was not watched
        });
    });
}

std::vector<PolledServer> LiveFarm::Polled() const {
    std::vector<PolledServer> polled;
    for (const auto& server : servers_)
        if (!server->watched) polled.push_back({server->name, server->error});
    return polled;
}

void LiveFarm::ScheduleIdle() {
    idleScheduled_ = true;
    idleTimer_ = CancelToken();
    const CancelToken token = idleTimer_;
    dispatcher_.PostAfter(settings_.idleEvery, [this, token] {
        if (token.Cancelled()) return;
        IdlePass();
        if (!token.Cancelled()) ScheduleIdle();
    });
}

void LiveFarm::IdlePass() {
    if (!callbacks_.idleSessions || !callbacks_.idle) return;
    // Each server's sessions, asked one after another on one worker; the
    // servers at once. No enumeration: a session that appeared comes with
    // its event.
    std::map<std::u16string, std::vector<Session>> byServer;
    for (Session& session : callbacks_.idleSessions())
        if (Find(session.server)) byServer[FoldCase(session.server)].push_back(std::move(session));
    for (auto& [key, sessions] : byServer) {
        Server* server = Find(sessions.front().server);
        const std::u16string name = server->name;
        std::vector<std::uint32_t> ids;
        for (const Session& session : sessions) ids.push_back(session.id);
        TerminalServices* terminal = &terminal_;
        RunAsync<std::vector<IdleAnswer>>(
            executor_, dispatcher_, idleTimer_, settings_.listing.timeout,
            [terminal, name, ids] {
                std::vector<IdleAnswer> answers;
                const std::unique_ptr<TerminalServer> open = terminal->Open(name);
                for (std::uint32_t id : ids) {
                    IdleAnswer answer;
                    answer.id = id;
                    const CallResult result = open->QuerySessionInfo(id, answer.info);
                    answer.ok = result.ok;
                    answer.error = result.error;
                    answers.push_back(std::move(answer));
                }
                return answers;
            },
            [this, name](std::vector<IdleAnswer> answers) { callbacks_.idle(name, std::move(answers)); });
    }
}

std::u16string PolledLineText(const std::vector<PolledServer>& polled, const DescribeError& describe) {
    if (polled.empty()) return {};
    std::u16string line = u"Без уведомлений, опрашиваются: ";
    for (std::size_t i = 0; i < polled.size(); ++i) {
        if (i) line += u"; ";
        line += polled[i].server + u" (" + SystemErrorLine(polled[i].error, describe) + u")";
    }
    return line;
}

}  // namespace tarvenix
