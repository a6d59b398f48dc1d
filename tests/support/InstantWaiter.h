#pragma once
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

#include "common/Waiter.h"

namespace zorva::test {

// Returns at once and records every requested duration; `onWait` lets a test act at the
// moment of a wait (interrupt, advance a clock, change the peer).
class InstantWaiter final : public Waiter {
public:
    bool WaitFor(std::chrono::milliseconds duration) override {
        {
            std::lock_guard lock(mutex_);
            waits_.push_back(duration);
        }
        if (onWait) onWait(WaitCount());
        return !interrupted_.load();
    }
    void Interrupt() override { interrupted_.store(true); }
    bool Interrupted() const override { return interrupted_.load(); }
    void Reset() override { interrupted_.store(false); }

    std::vector<std::chrono::milliseconds> Waits() const {
        std::lock_guard lock(mutex_);
        return waits_;
    }
    std::size_t WaitCount() const {
        std::lock_guard lock(mutex_);
        return waits_.size();
    }

    std::function<void(std::size_t waitNumber)> onWait;

private:
    mutable std::mutex mutex_;
    std::vector<std::chrono::milliseconds> waits_;
    std::atomic<bool> interrupted_{false};
};

}  // namespace zorva::test
