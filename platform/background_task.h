// A value computed on a thread of its own and waited for with a bound. The
// thread is never joined: one that does not return holds up neither its
// waiters, who give up at their deadline, nor the process, which ends without
// it. What it computes lives as long as the task or the thread, whichever is
// longer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace platform {

// What a task's thread does once it has handed over its value.
enum class ThreadEnd {
    Returns,
    // Stays, idle, until the process ends: for work that leaves per-thread
    // state in system libraries (a display connection, a Direct3D context).
    // Under Wine such a thread's end tears that state down while the window
    // thread draws, and was seen to hang the settings dialog as it showed.
    StaysUntilProcessEnds,
};

template <typename T>
class BackgroundTask {
public:
    using Clock = std::chrono::steady_clock;

    BackgroundTask() = default;

    // Starts `work` at once. A work that throws counts as one that failed: its
    // waiters get nothing.
    static BackgroundTask Start(std::function<T()> work, ThreadEnd end = ThreadEnd::Returns) {
        BackgroundTask task;
        task.state_ = std::make_shared<State>();
        try {
            std::thread([state = task.state_, work = std::move(work), end] {
                std::optional<T> value;
                try {
                    value.emplace(work());
                } catch (...) {
                }
                state->Finish(std::move(value));
                if (end == ThreadEnd::StaysUntilProcessEnds)
                    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
            }).detach();
        } catch (...) {
            task.state_->Finish(std::nullopt); // no thread to be had: failed
        }
        return task;
    }

    bool Started() const { return state_ != nullptr; }

    // The value, once the work has returned; null when it has not by
    // `deadline`, when it failed, or when the task was never started. The
    // value stays where it is for later calls, for as long as the task lives.
    const T* WaitUntil(Clock::time_point deadline) const {
        bool done = false;
        return WaitUntil(deadline, done);
    }
    // The same, and in `done` whether the work had returned (or failed) then.
    const T* WaitUntil(Clock::time_point deadline, bool& done) const {
        done = false;
        if (!state_) return nullptr;
        std::unique_lock<std::mutex> lock(state_->mutex);
        if (!state_->changed.wait_until(lock, deadline, [this] { return state_->done; })) return nullptr;
        done = true;
        return state_->value ? &*state_->value : nullptr;
    }

    // Whether the work has returned (or failed) by now.
    bool Done() const {
        if (!state_) return false;
        const std::lock_guard<std::mutex> lock(state_->mutex);
        return state_->done;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
        std::optional<T> value;

        void Finish(std::optional<T> result) {
            const std::lock_guard<std::mutex> lock(mutex);
            value = std::move(result);
            done = true;
            changed.notify_all();
        }
    };
    std::shared_ptr<State> state_;
};

} // namespace platform
