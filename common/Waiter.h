#pragma once
// Every wait of the programs (retry pauses, poll periods) goes through a Waiter, so that a
// cancel request ends it at once and tests can run "61 attempts, 1 second apart" instantly.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zorva {

class Waiter {
public:
    virtual ~Waiter() = default;
    // Waits for `duration`; false when interrupted (before or during the wait).
    virtual bool WaitFor(std::chrono::milliseconds duration) = 0;
    // Ends the current wait and every later one until Reset. Safe from any thread.
    virtual void Interrupt() = 0;
    virtual bool Interrupted() const = 0;
    virtual void Reset() = 0;
};

// Real waits on a condition variable.
class SleepingWaiter final : public Waiter {
public:
    bool WaitFor(std::chrono::milliseconds duration) override;
    void Interrupt() override;
    bool Interrupted() const override { return interrupted_.load(); }
    void Reset() override { interrupted_.store(false); }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> interrupted_{false};
};

}  // namespace zorva
