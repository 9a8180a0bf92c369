// Executors for tests: one that runs work at once on the calling thread (the
// window tests see the calls in a fixed order), and one that runs each piece
// of work on a thread of its own (the engine's real concurrency).
#pragma once

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/engine.h"

namespace tarvenix::testing {

class InlineExecutor final : public Executor {
public:
    void Submit(std::function<void()> work) override { work(); }
};

// Every Submit starts a thread; Join waits for all of them (the destructor too).
class ThreadExecutor final : public Executor {
public:
    ~ThreadExecutor() override { Join(); }
    void Submit(std::function<void()> work) override {
        std::lock_guard<std::mutex> lock(mutex_);
        threads_.emplace_back(std::move(work));
    }
    void Join() {
        for (;;) {
            std::vector<std::thread> threads;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                threads.swap(threads_);
            }
            if (threads.empty()) return;
            for (std::thread& t : threads) t.join();
        }
    }

private:
    std::mutex mutex_;
    std::vector<std::thread> threads_;
};

}  // namespace tarvenix::testing
