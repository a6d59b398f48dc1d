#include "common/HostJobWait.h"

#include <algorithm>

namespace zorva {

using namespace std::chrono_literals;

bool DeadlineWaiter::WaitFor(std::chrono::milliseconds duration) {
    if (Interrupted()) return false;
    const auto deadline = deadline_.load();
    if (deadline != SteadyClock::time_point::max()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock_.Now());
        if (left <= duration) {
            inner_.WaitFor(std::max(left, 0ms));
            return false;  // the deadline has come (or the inner waiter was interrupted)
        }
    }
    return inner_.WaitFor(duration) && !Interrupted();
}

std::chrono::milliseconds PollPeriod(std::chrono::milliseconds fileTimer) {
    return fileTimer > 0ms ? fileTimer : 10'000ms;
}

std::chrono::milliseconds TimeLimit(std::chrono::milliseconds jobTimer) {
    return std::max(jobTimer, 0ms);
}

HostJobWait::HostJobWait(Waiter& waiter, const SteadyClock& clock)
    : waiter_(waiter), deadlineWaiter_(waiter, clock) {}

void HostJobWait::StartTimeLimit(SteadyClock::time_point start, std::chrono::milliseconds limit) {
    deadlineWaiter_.SetDeadline(start + limit);
}

bool HostJobWait::GiveUpFetching() {
    if (failedFetches_ < kMaxFailedFetches) return false;
    failedFetches_ = 0;
    return true;
}

WaitEnd HostJobWait::Ended() const {
    // A stop request of the program wins over the limit passing at the same moment.
    if (waiter_.Interrupted()) return WaitEnd::Interrupted;
    return TimeLimitPassed() ? WaitEnd::TimeLimit : WaitEnd::Interrupted;
}

WaitEnd HostJobWait::Run(std::chrono::milliseconds period,
                         const std::function<PollResult()>& poll) {
    while (deadlineWaiter_.WaitFor(period)) {
        const PollResult result = poll();
        if (result == PollResult::Complete) return WaitEnd::Complete;
        if (result == PollResult::NoResponse) return WaitEnd::NoResponse;
        if (deadlineWaiter_.Interrupted()) break;
    }
    return Ended();
}

}  // namespace zorva
