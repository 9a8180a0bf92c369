// The engine that keeps remote work off the window thread. Portable: the work
// runs on an Executor (the system thread pool on Windows, std::threads in the
// tests), and its results come back to the window thread through a
// Dispatcher. Every run has a CancelToken; a cancelled (or superseded) run
// never delivers a result, and what it made is released on a worker, never on
// the window thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

namespace tarvenix {

// Shared by a run and whoever may cancel it. Copies share one flag.
class CancelToken {
public:
    CancelToken() : cancelled_(std::make_shared<std::atomic<bool>>(false)) {}
    void Cancel() const { cancelled_->store(true); }
    bool Cancelled() const { return cancelled_->load(); }

private:
    std::shared_ptr<std::atomic<bool>> cancelled_;
};

// Runs work on worker threads.
class Executor {
public:
    virtual ~Executor() = default;
    virtual void Submit(std::function<void()> work) = 0;
};

// Runs callbacks on the window thread, in the order they were posted.
class Dispatcher {
public:
    virtual ~Dispatcher() = default;
    virtual void Post(std::function<void()> callback) = 0;
    // Runs the callback on the window thread once the delay has passed.
    virtual void PostAfter(std::chrono::milliseconds delay, std::function<void()> callback) = 0;
};

// The window thread of a program without windows (the command line): posted
// callbacks and due timers run on whichever thread calls RunUntil, in order.
class QueueDispatcher final : public Dispatcher {
public:
    QueueDispatcher();
    ~QueueDispatcher() override;
    void Post(std::function<void()> callback) override;
    void PostAfter(std::chrono::milliseconds delay, std::function<void()> callback) override;
    // Runs callbacks as they come, and timers as they fall due, until done()
    // holds (asked before waiting and after every callback).
    void RunUntil(const std::function<bool()>& done);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// An executor that lets at most `limit` of the work it was given run at once
// on the executor beneath; the rest waits, in the order it came. Shared by
// several runs, it bounds them together. Must outlive the work given to it.
class LimitedExecutor final : public Executor {
public:
    LimitedExecutor(Executor& inner, std::size_t limit);
    void Submit(std::function<void()> work) override;

private:
    struct State;
    Executor& inner_;
    std::shared_ptr<State> state_;
};

// Runs work(0) .. work(count - 1) on the executor with at most `limit` of them
// in flight; each item runs once, on one worker. Once the token is cancelled no
// further item starts. whenDone runs exactly once, on the worker that finished
// last (or at once when count is 0), after every started item has returned.
void ForEachBounded(Executor& executor, std::size_t count, std::size_t limit, const CancelToken& token,
                    std::function<void(std::size_t)> work, std::function<void()> whenDone);

// Hands a result made on a worker to done on the window thread, unless the
// token is cancelled by then. Whatever a cancelled result owns (a server
// handle, thousands of rows) is never released on the window thread: when the
// posted callback finds the token cancelled, it gives the result back to the
// executor, which drops it on a worker. Call it on a worker; `executor` must
// outlive the posted callback.
template <typename T>
void PostResult(Executor& executor, Dispatcher& dispatcher, const CancelToken& token, std::shared_ptr<T> result,
                std::function<void(T)> done) {
    dispatcher.Post([&executor, token, result = std::move(result), done = std::move(done)]() mutable {
        if (!token.Cancelled()) {
            if (done) done(std::move(*result));
            return;
        }
        executor.Submit([dropped = std::move(result)]() mutable { dropped.reset(); });
    });
}

// Runs work on the executor and hands its result to done on the window thread,
// unless the token was cancelled by then. With a time-out, when the work has
// not returned in time, timedOut runs instead (on the window thread) and the
// work's result, whenever it comes, is dropped on the worker (so whatever it
// owns, a server handle, is released there, without anyone waiting for it).
// A result of a cancelled run is dropped on a worker too: on the worker that
// made it when the cancel came first, else as PostResult drops it. `executor`
// and `dispatcher` must outlive the work and the callbacks they were given.
template <typename T>
void RunAsync(Executor& executor, Dispatcher& dispatcher, const CancelToken& token,
              std::optional<std::chrono::milliseconds> timeout, std::function<T()> work,
              std::function<void(T)> done, std::function<void()> timedOut = {}) {
    // 0: running, 1: the work returned first, 2: the time-out came first.
    auto phase = std::make_shared<std::atomic<int>>(0);
    if (timeout) {
        dispatcher.PostAfter(*timeout, [phase, token, timedOut] {
            int running = 0;
            if (!phase->compare_exchange_strong(running, 2)) return;
            if (!token.Cancelled() && timedOut) timedOut();
        });
    }
    executor.Submit([&executor, &dispatcher, phase, token, work = std::move(work), done = std::move(done)]() mutable {
        if (token.Cancelled()) {
            phase->store(1);
            return;
        }
        auto result = std::make_shared<T>(work());
        int running = 0;
        if (!phase->compare_exchange_strong(running, 1)) return;  // too late: dropped here
        if (token.Cancelled()) return;                            // cancelled meanwhile: dropped here
        PostResult<T>(executor, dispatcher, token, std::move(result), std::move(done));
    });
}

}  // namespace tarvenix
