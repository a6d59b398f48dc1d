#pragma once
#include <chrono>

#include "common/HostJobWait.h"
#include "tests/support/InstantWaiter.h"

namespace zorva::test {

// A steady clock that moves only when told; Follow() makes every wait of an InstantWaiter
// advance it by the waited duration, so limits and periods play out in no time.
class FakeSteadyClock final : public SteadyClock {
public:
    time_point Now() const override { return now_; }
    void Advance(std::chrono::milliseconds by) { now_ += by; }
    std::chrono::milliseconds Elapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now_ - time_point{});
    }
    void Follow(InstantWaiter& waiter) {
        waiter.onWait = [this, &waiter](std::size_t) { Advance(waiter.Waits().back()); };
    }

private:
    time_point now_{};
};

}  // namespace zorva::test
