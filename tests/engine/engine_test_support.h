// The window thread of the engine's tests: callbacks posted by the workers
// wait in a queue until the test runs them, and timers fire when the test
// says the time has come. A gate holds worker calls until the test opens it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "base/engine.h"
#include "tests/common/fake_terminal_services.h"
#include "tests/common/test_executors.h"
#include <gtest/gtest.h>

namespace tarvenix::testing {

class ManualDispatcher final : public Dispatcher {
public:
    void Post(std::function<void()> callback) override {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(callback));
        changed_.notify_all();
    }
    void PostAfter(std::chrono::milliseconds, std::function<void()> callback) override {
        std::lock_guard<std::mutex> lock(mutex_);
        timers_.push_back(std::move(callback));
    }
    // Runs what has been posted so far (and what those callbacks post).
    void RunPosted() {
        for (;;) {
            std::function<void()> next;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (queue_.empty()) return;
                next = std::move(queue_.front());
                queue_.pop_front();
            }
            next();
        }
    }
    // Every time-out that was set has passed.
    void FireTimers() {
        std::vector<std::function<void()>> due;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            due.swap(timers_);
        }
        for (auto& t : due) t();
    }
    // Runs posted callbacks until done() holds; false after the limit (a
    // hang is a failure, not a stuck test).
    bool RunUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            RunPosted();
            if (done()) return true;
            if (std::chrono::steady_clock::now() > end) return done();
            // Something posted, or a short while (the condition may not come by a post).
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait_for(lock, std::chrono::milliseconds(5), [this] { return !queue_.empty(); });
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::function<void()>> timers_;
};

// Closed until Open(); Wait() blocks until then.
class Gate {
public:
    void Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// Opens once `count` arrivals have come.
class Barrier {
public:
    explicit Barrier(int count) : left_(count) {}
    void Arrive() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (--left_ <= 0) {
            changed_.notify_all();
            return;
        }
        changed_.wait(lock, [this] { return left_ <= 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int left_;
};

// Runs on real threads against the fake servers; the test is the window thread.
class EngineFixture : public ::testing::Test {
protected:
    // Everything the workers do is over (nothing is waiting at a gate): what
    // the callbacks start in turn is waited for too.
    void Drain() {
        executor.Join();
        dispatcher.RunPosted();
        executor.Join();
        dispatcher.RunPosted();
    }

    FakeTerminalServices wts;
    ThreadExecutor executor;
    ManualDispatcher dispatcher;
};

}  // namespace tarvenix::testing
