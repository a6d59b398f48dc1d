#pragma once
// The wait for a submitted host job, shared by the transfer agent and the restore program: a
// poll every period (measured from the end of the previous poll), a time limit counted from a
// start the program chooses, and ten failed list fetches in a row ending the wait as a host
// that does not answer.
//
// No thread of its own: the time limit lives in a Waiter that cuts every wait at the deadline
// and answers Interrupted() from then on. Hand that waiter (PollWaiter) to the host session as
// well, and libcurl's progress callback aborts a transfer that is still running when the limit
// passes. Time comes from an injectable steady clock, so tests run the limit in milliseconds.

#include <atomic>
#include <chrono>
#include <functional>

#include "common/Waiter.h"

namespace zorva {

// Monotonic time for periods and limits (the local calendar time is Clock's business).
class SteadyClock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    virtual ~SteadyClock() = default;
    virtual time_point Now() const = 0;
};

class SystemSteadyClock final : public SteadyClock {
public:
    time_point Now() const override { return std::chrono::steady_clock::now(); }
};

// A Waiter that also ends at a deadline. Interrupt and Reset go to the inner waiter; the
// deadline stays until it is set again.
class DeadlineWaiter final : public Waiter {
public:
    DeadlineWaiter(Waiter& inner, const SteadyClock& clock) : inner_(inner), clock_(clock) {}

    void SetDeadline(SteadyClock::time_point deadline) { deadline_.store(deadline); }
    void ClearDeadline() { deadline_.store(SteadyClock::time_point::max()); }
    bool DeadlinePassed() const { return clock_.Now() >= deadline_.load(); }

    bool WaitFor(std::chrono::milliseconds duration) override;
    void Interrupt() override { inner_.Interrupt(); }
    bool Interrupted() const override { return inner_.Interrupted() || DeadlinePassed(); }
    void Reset() override { inner_.Reset(); }

private:
    Waiter& inner_;
    const SteadyClock& clock_;
    std::atomic<SteadyClock::time_point> deadline_{SteadyClock::time_point::max()};
};

// What one poll of the host's list found (the values are the programs' historic codes).
enum class PollResult { Complete = 1, Retry = 2, NoResponse = 3, Incomplete = 4 };

// How a wait ended.
enum class WaitEnd { Complete, NoResponse, TimeLimit, Interrupted };

// FILETIMER as a poll period: 0 or less would poll without a pause, so it is taken as 10 s.
std::chrono::milliseconds PollPeriod(std::chrono::milliseconds fileTimer);
// JOBTIMER as a time limit: 0 (or less) means the limit is reached at once.
std::chrono::milliseconds TimeLimit(std::chrono::milliseconds jobTimer);

class HostJobWait {
public:
    static constexpr int kMaxFailedFetches = 10;

    // `waiter` is the program's own (a stop request interrupts it).
    HostJobWait(Waiter& waiter, const SteadyClock& clock);

    // The waiter for everything that must end with the time limit: the polls and the host
    // session's transfers and retry pauses.
    Waiter& PollWaiter() { return deadlineWaiter_; }

    void StartTimeLimit(SteadyClock::time_point start, std::chrono::milliseconds limit);
    void StopTimeLimit() { deadlineWaiter_.ClearDeadline(); }
    bool TimeLimitPassed() const { return deadlineWaiter_.DeadlinePassed(); }
    // True when the program asked to stop (as opposed to the limit passing).
    bool StopRequested() const { return waiter_.Interrupted(); }

    // The failed-fetch rule, for the poll to apply at its start and after its fetch. True when
    // ten fetches in a row have failed: the count starts again and the poll answers NoResponse
    // without trying.
    bool GiveUpFetching();
    void FetchFailed() { ++failedFetches_; }
    void FetchSucceeded() { failedFetches_ = 0; }
    int FailedFetches() const { return failedFetches_; }

    // Waits `period`, polls, and again, until a poll answers Complete or NoResponse, the time
    // limit passes or the program's waiter is interrupted. A poll's Complete or NoResponse
    // counts even when the limit passed during that poll.
    WaitEnd Run(std::chrono::milliseconds period, const std::function<PollResult()>& poll);

private:
    WaitEnd Ended() const;

    Waiter& waiter_;
    DeadlineWaiter deadlineWaiter_;
    int failedFetches_ = 0;
};

}  // namespace zorva
