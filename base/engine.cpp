#include "base/engine.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace tarvenix {

namespace {

struct BoundedRun {
    std::size_t count = 0;
    CancelToken token;
    std::function<void(std::size_t)> work;
    std::function<void()> whenDone;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> lanesLeft{0};

    // One lane takes items until none is left or the run is cancelled.
    void RunLane() {
        for (;;) {
            if (token.Cancelled()) break;
            const std::size_t i = next.fetch_add(1);
            if (i >= count) break;
            work(i);
        }
        if (lanesLeft.fetch_sub(1) == 1) {
            std::function<void()> done = std::move(whenDone);
            work = nullptr;  // what the work holds goes now, before the run ends
            if (done) done();
        }
    }
};

}  // namespace

void ForEachBounded(Executor& executor, std::size_t count, std::size_t limit, const CancelToken& token,
                    std::function<void(std::size_t)> work, std::function<void()> whenDone) {
    if (count == 0) {
        if (whenDone) whenDone();
        return;
    }
    auto run = std::make_shared<BoundedRun>();
    run->count = count;
    run->token = token;
    run->work = std::move(work);
    run->whenDone = std::move(whenDone);
    const std::size_t lanes = std::max<std::size_t>(1, std::min(limit, count));
    run->lanesLeft.store(lanes);
    for (std::size_t lane = 0; lane < lanes; ++lane) executor.Submit([run] { run->RunLane(); });
}

struct LimitedExecutor::State {
    std::mutex mutex;
    std::size_t limit = 1;
    std::size_t running = 0;
    std::deque<std::function<void()>> waiting;
};

LimitedExecutor::LimitedExecutor(Executor& inner, std::size_t limit)
    : inner_(inner), state_(std::make_shared<State>()) {
    state_->limit = std::max<std::size_t>(1, limit);
}

void LimitedExecutor::Submit(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->running >= state_->limit) {
            state_->waiting.push_back(std::move(work));
            return;
        }
        ++state_->running;
    }
    // A slot is taken: run this work, then whatever waits, on the same
    // worker, until nothing waits; then give the slot back.
    Executor& inner = inner_;
    inner.Submit([state = state_, work = std::move(work)]() mutable {
        std::function<void()> next = std::move(work);
        for (;;) {
            next();
            next = nullptr;
            std::lock_guard<std::mutex> lock(state->mutex);
            if (state->waiting.empty()) {
                --state->running;
                return;
            }
            next = std::move(state->waiting.front());
            state->waiting.pop_front();
        }
    });
}

struct QueueDispatcher::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> queue;
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> timers;
};

QueueDispatcher::QueueDispatcher() : state_(std::make_unique<State>()) {}
QueueDispatcher::~QueueDispatcher() = default;

void QueueDispatcher::Post(std::function<void()> callback) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->queue.push_back(std::move(callback));
    state_->changed.notify_all();
}

void QueueDispatcher::PostAfter(std::chrono::milliseconds delay, std::function<void()> callback) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->timers.emplace(std::chrono::steady_clock::now() + delay, std::move(callback));
    state_->changed.notify_all();
}

void QueueDispatcher::RunUntil(const std::function<bool()>& done) {
    while (!done()) {
        std::function<void()> next;
        {
            std::unique_lock<std::mutex> lock(state_->mutex);
            for (;;) {
                if (!state_->queue.empty()) {
                    next = std::move(state_->queue.front());
                    state_->queue.pop_front();
                    break;
                }
                const auto now = std::chrono::steady_clock::now();
                if (!state_->timers.empty() && state_->timers.begin()->first <= now) {
                    next = std::move(state_->timers.begin()->second);
                    state_->timers.erase(state_->timers.begin());
                    break;
                }
                if (state_->timers.empty()) {
                    state_->changed.wait(lock);
                } else {
                    state_->changed.wait_until(lock, state_->timers.begin()->first);
                }
            }
        }
        next();
    }
}

}  // namespace tarvenix
