#include "common/HostJobWait.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/FakeSteadyClock.h"
#include "tests/support/InstantWaiter.h"

namespace zorva {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

struct ScriptedPoll {
    PollResult result;
    milliseconds takes{0};  // how long the poll runs (a slow list fetch)
};

struct WaitCase {
    std::string name;
    milliseconds period;
    milliseconds limit;
    std::vector<ScriptedPoll> polls;  // after the script: Incomplete at once
    WaitEnd expectedEnd;
    std::vector<milliseconds> expectedPollStarts;  // on the fake clock, limit started at 0
};

class HostJobWaitRunTest : public testing::TestWithParam<WaitCase> {};

TEST_P(HostJobWaitRunTest, PollsOnePeriodAfterEachPollUntilAnEnd) {
    const WaitCase& c = GetParam();
    test::InstantWaiter waiter;
    test::FakeSteadyClock clock;
    clock.Follow(waiter);
    HostJobWait wait(waiter, clock);
    wait.StartTimeLimit(clock.Now(), c.limit);

    std::vector<milliseconds> starts;
    const WaitEnd end = wait.Run(c.period, [&] {
        const std::size_t n = starts.size();
        starts.push_back(clock.Elapsed());
        if (n >= c.polls.size()) return PollResult::Incomplete;
        clock.Advance(c.polls[n].takes);
        return c.polls[n].result;
    });

    EXPECT_EQ(end, c.expectedEnd);
    EXPECT_EQ(starts, c.expectedPollStarts);
}

const WaitCase kWaitCases[] = {
    {"ThreeIncompleteThenComplete",
     100ms,
     10s,
     {{PollResult::Incomplete, 30ms},
      {PollResult::Incomplete, 30ms},
      {PollResult::Incomplete, 30ms},
      {PollResult::Complete, 30ms}},
     WaitEnd::Complete,
     {100ms, 230ms, 360ms, 490ms}},
    {"RetryKeepsWaiting",
     50ms,
     10s,
     {{PollResult::Retry}, {PollResult::Retry}, {PollResult::Complete}},
     WaitEnd::Complete,
     {50ms, 100ms, 150ms}},
    {"NoResponseEnds",
     10ms,
     10s,
     {{PollResult::Retry}, {PollResult::NoResponse}},
     WaitEnd::NoResponse,
     {10ms, 20ms}},
    {"ZeroLimitEndsBeforeAnyPoll", 100ms, 0ms, {}, WaitEnd::TimeLimit, {}},
    {"LimitCutsTheWaitShort", 100ms, 250ms, {}, WaitEnd::TimeLimit, {100ms, 200ms}},
    {"LimitExactlyAtAPollIsNotPolled", 100ms, 200ms, {}, WaitEnd::TimeLimit, {100ms}},
    {"LimitPassingDuringAnUnfinishedPollEndsAtOnce",
     100ms,
     150ms,
     {{PollResult::Incomplete, 80ms}, {PollResult::Complete}},
     WaitEnd::TimeLimit,
     {100ms}},
    {"CompletionDuringTheLastPollStillCounts",
     100ms,
     150ms,
     {{PollResult::Complete, 80ms}},
     WaitEnd::Complete,
     {100ms}},
    {"NoResponseDuringTheLastPollStillCounts",
     100ms,
     150ms,
     {{PollResult::NoResponse, 80ms}},
     WaitEnd::NoResponse,
     {100ms}},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostJobWaitRunTest, testing::ValuesIn(kWaitCases),
                         [](const auto& test) { return test.param.name; });

TEST(HostJobWaitTest, LimitCountsFromTheGivenStartNotFromTheFirstWait) {
    test::InstantWaiter waiter;
    test::FakeSteadyClock clock;
    clock.Follow(waiter);
    HostJobWait wait(waiter, clock);
    wait.StartTimeLimit(clock.Now(), 1000ms);  // the window opens
    clock.Advance(900ms);                      // the operator picks the data, uploads
    int polls = 0;
    const WaitEnd end = wait.Run(60ms, [&] {
        ++polls;
        return PollResult::Incomplete;
    });
    EXPECT_EQ(end, WaitEnd::TimeLimit);
    EXPECT_EQ(polls, 1);  // at 960 ms; the next wait is cut at 1000 ms
    EXPECT_EQ(clock.Elapsed(), 1000ms);
}

TEST(HostJobWaitTest, StopRequestEndsTheWaitAsInterruptedEvenPastTheLimit) {
    test::InstantWaiter waiter;
    test::FakeSteadyClock clock;
    clock.Follow(waiter);
    HostJobWait wait(waiter, clock);
    wait.StartTimeLimit(clock.Now(), 150ms);
    const WaitEnd end = wait.Run(100ms, [&] {
        clock.Advance(100ms);
        waiter.Interrupt();
        return PollResult::Incomplete;
    });
    EXPECT_EQ(end, WaitEnd::Interrupted);
}

TEST(HostJobWaitTest, WithoutLimitOnlyAStopRequestEndsAnEndlessWait) {
    test::InstantWaiter waiter;
    test::FakeSteadyClock clock;
    clock.Follow(waiter);
    HostJobWait wait(waiter, clock);
    int polls = 0;
    const WaitEnd end = wait.Run(1h, [&] {
        if (++polls == 500) waiter.Interrupt();
        return PollResult::Retry;
    });
    EXPECT_EQ(end, WaitEnd::Interrupted);
    EXPECT_EQ(polls, 500);
}

// The poll of both programs: give up before fetching after ten failed fetches in a row.
PollResult PollWithFetch(HostJobWait& wait, bool fetched) {
    if (wait.GiveUpFetching()) return PollResult::NoResponse;
    if (!fetched) {
        wait.FetchFailed();
        return PollResult::Retry;
    }
    wait.FetchSucceeded();
    return PollResult::Incomplete;
}

struct FetchCase {
    std::string name;
    std::vector<bool> fetches;  // outcome of each fetch tried; then every fetch fails
    int expectedPolls;
};

class HostJobWaitFetchTest : public testing::TestWithParam<FetchCase> {};

TEST_P(HostJobWaitFetchTest, TenFailedFetchesInARowEndAsNoResponse) {
    const FetchCase& c = GetParam();
    test::InstantWaiter waiter;
    test::FakeSteadyClock clock;
    HostJobWait wait(waiter, clock);
    std::size_t tried = 0;
    int polls = 0;
    const WaitEnd end = wait.Run(1s, [&] {
        ++polls;
        const bool fetched = tried < c.fetches.size() && c.fetches[tried];
        const PollResult result = PollWithFetch(wait, fetched);
        if (result != PollResult::NoResponse) ++tried;
        return result;
    });
    EXPECT_EQ(end, WaitEnd::NoResponse);
    EXPECT_EQ(polls, c.expectedPolls);
    EXPECT_EQ(wait.FailedFetches(), 0);  // the count starts again
}

const FetchCase kFetchCases[] = {
    {"HostNeverAnswers", {}, 11},
    {"OneGoodFetchStartsTheCountAgain",
     {false, false, false, false, false, false, false, false, false, true},
     21},
    {"GoodFetchesFirst", {true, true, true}, 14},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostJobWaitFetchTest, testing::ValuesIn(kFetchCases),
                         [](const auto& test) { return test.param.name; });

TEST(DeadlineWaiterTest, AnswersInterruptedOnceTheDeadlineHasComeSoTransfersAbort) {
    test::InstantWaiter inner;
    test::FakeSteadyClock clock;
    DeadlineWaiter waiter(inner, clock);
    waiter.SetDeadline(clock.Now() + 500ms);
    EXPECT_FALSE(waiter.Interrupted());
    clock.Advance(499ms);
    EXPECT_FALSE(waiter.Interrupted());
    clock.Advance(1ms);
    EXPECT_TRUE(waiter.Interrupted());
    EXPECT_FALSE(waiter.WaitFor(1s));
    waiter.Reset();  // a reset clears stop requests, not the deadline
    EXPECT_TRUE(waiter.Interrupted());
    waiter.ClearDeadline();
    EXPECT_FALSE(waiter.Interrupted());
    EXPECT_TRUE(waiter.WaitFor(1s));
}

TEST(DeadlineWaiterTest, ForwardsStopRequestsToTheProgramsWaiter) {
    test::InstantWaiter inner;
    test::FakeSteadyClock clock;
    DeadlineWaiter waiter(inner, clock);
    waiter.Interrupt();
    EXPECT_TRUE(inner.Interrupted());
    EXPECT_FALSE(waiter.WaitFor(1ms));
}

TEST(DeadlineWaiterTest, RealWaitEndsAtTheDeadlineNotAtTheRequestedDuration) {
    SleepingWaiter inner;
    SystemSteadyClock clock;
    DeadlineWaiter waiter(inner, clock);
    const auto start = clock.Now();
    waiter.SetDeadline(start + 30ms);
    EXPECT_FALSE(waiter.WaitFor(1h));
    EXPECT_LT(clock.Now() - start, 10s);  // generous: a busy machine may be slow
    EXPECT_GE(clock.Now() - start, 30ms);
}

struct TimerSettingCase {
    int value;
    milliseconds period;
    milliseconds limit;
};

TEST(HostJobWaitTest, TimerSettingsBecomePeriodAndLimit) {
    const TimerSettingCase cases[] = {
        {5000, 5000ms, 5000ms}, {1, 1ms, 1ms}, {0, 10000ms, 0ms}, {-7, 10000ms, 0ms}};
    for (const TimerSettingCase& c : cases) {
        EXPECT_EQ(PollPeriod(milliseconds(c.value)), c.period) << c.value;
        EXPECT_EQ(TimeLimit(milliseconds(c.value)), c.limit) << c.value;
    }
}

}  // namespace
}  // namespace zorva
