#include "common/Waiter.h"

namespace zorva {

bool SleepingWaiter::WaitFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, duration, [this] { return interrupted_.load(); });
    return !interrupted_.load();
}

void SleepingWaiter::Interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_.store(true);
    }
    wake_.notify_all();
}

}  // namespace zorva
