#include "velmoro/engine/Schedule.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/FakeClock.h"

namespace zorva::velmoro {
namespace {

using zorva::test::FakeClock;

struct At {
    int year, month, day, hour, minute, second = 0;
    friend bool operator==(const At&, const At&) = default;
};

// The next run in the moments of these tests; all zeros when none was calculated.
At NextOf(const JobRecord& job) {
    const LocalTime t = job.nextRun.value_or(LocalTime{0, 0, 0, 0, 0, 0, 0});
    return At{t.year, t.month, t.day, t.hour, t.minute, t.second};
}

void SetClock(FakeClock& clock, const At& at) {
    clock.Set(at.year, at.month, at.day, at.hour, at.minute, at.second);
}

struct Schedule {
    char group;
    char dailyKind;
    std::string weekdayFlags;
    std::string saveTime;
    char monthlyKind;
    std::string monthDay;
};

Schedule EveryDay(std::string time) {
    return {'1', '1', "", std::move(time), ' ', ""};
}
Schedule Weekdays(std::string flags, std::string time) {
    return {'1', '2', std::move(flags), std::move(time), ' ', ""};
}
Schedule Monthly(char kind, std::string day, std::string time) {
    return {'2', '0', "1111111", std::move(time), kind, std::move(day)};
}
Schedule FirstDay(std::string time) {
    return Monthly('1', "", std::move(time));
}
Schedule LastDay(std::string time) {
    return Monthly('2', "", std::move(time));
}
Schedule GivenDay(std::string day, std::string time) {
    return Monthly('3', std::move(day), std::move(time));
}

SetTable OneSet(const Schedule& s) {
    BackupSet set;
    set.setName = "PAYROLL";
    set.startMethod = StartMethod::Pc;
    set.scheduleKind = ScheduleKind{s.group};  // as the set file spells the kinds
    set.dailyKind = DailyKind{s.dailyKind};
    set.weekdayFlags = s.weekdayFlags;
    set.saveTime = s.saveTime;
    set.monthlyKind = MonthlyKind{s.monthlyKind};
    set.monthDay = s.monthDay;
    return SetTable{{set}, 0, 0};
}

struct NextRun {
    int year, month, day, hour, minute;
    std::string text;
};

// What a job holds before the calculation; a schedule without a next run must leave it so.
const NextRun kEarlier{1999, 9, 9, 9, 9, "1999/09/09 09:09"};

JobRecord JobWithEarlierNextRun() {
    JobRecord job;
    job.setName = "PAYROLL";
    job.nextRun =
        LocalTime{kEarlier.year, kEarlier.month, kEarlier.day, kEarlier.hour, kEarlier.minute, 33};
    job.nextRunText = kEarlier.text;
    return job;
}

struct NextRunCase {
    const char* name;
    At now;
    Schedule schedule;
    std::optional<NextRun> expected;  // nullopt: the fields stay as they were
};

class CalcNextRunTest : public ::testing::TestWithParam<NextRunCase> {};

TEST_P(CalcNextRunTest, FillsTheNextRunFields) {
    const NextRunCase& c = GetParam();
    FakeClock clock;
    SetClock(clock, c.now);
    JobRecord job = JobWithEarlierNextRun();
    CalcNextRun(job, OneSet(c.schedule), clock);

    const NextRun& want = c.expected ? *c.expected : kEarlier;
    // Only the due test sets the second.
    EXPECT_EQ(NextOf(job), (At{want.year, want.month, want.day, want.hour, want.minute, 33}));
    EXPECT_EQ(job.nextRunText, want.text);
}

// clang-format off
const NextRunCase kNextRunCases[] = {
    // Every day: the present minute counts as passed.
    {"EveryDayAtTheSaveTime", {2024, 5, 10, 9, 30}, EveryDay("0930"), NextRun{2024, 5, 11, 9, 30, "2024/05/11 09:30"}},
    {"EveryDayAMinuteBefore", {2024, 5, 10, 9, 29}, EveryDay("0930"), NextRun{2024, 5, 10, 9, 30, "2024/05/10 09:30"}},
    {"EveryDayOnNewYearsEve", {2024, 12, 31, 23, 59}, EveryDay("2300"), NextRun{2025, 1, 1, 23, 0, "2025/01/01 23:00"}},
    {"EveryDayFeb28Of1900IsNotLeap", {1900, 2, 28, 12, 0}, EveryDay("0100"), NextRun{1900, 3, 1, 1, 0, "1900/03/01 01:00"}},
    // Ticked weekdays, Monday first.
    {"MondayOnlyOnAMondayAfterTheTime", {2024, 5, 13, 22, 0}, Weekdays("1000000", "2200"), NextRun{2024, 5, 20, 22, 0, "2024/05/20 22:00"}},
    {"MondayOnlyOnAMondayBeforeTheTime", {2024, 5, 13, 21, 59}, Weekdays("1000000", "2200"), NextRun{2024, 5, 13, 22, 0, "2024/05/13 22:00"}},
    {"MondayOnlyOnASunday", {2024, 5, 12, 23, 0}, Weekdays("1000000", "2200"), NextRun{2024, 5, 13, 22, 0, "2024/05/13 22:00"}},
    {"SundayOnlyOnNewYearsEve", {2022, 12, 31, 8, 0}, Weekdays("0000001", "0700"), NextRun{2023, 1, 1, 7, 0, "2023/01/01 07:00"}},
    {"MondayAndFridayOnATuesday", {2024, 5, 14, 8, 0}, Weekdays("1000100", "0700"), NextRun{2024, 5, 17, 7, 0, "2024/05/17 07:00"}},
    {"FridayAndSaturdayOnAFridayAfterTheTime", {2024, 5, 31, 8, 0}, Weekdays("0000110", "0700"), NextRun{2024, 6, 1, 7, 0, "2024/06/01 07:00"}},
    {"ShortFlagsCountTheMissingDaysUnticked", {2024, 5, 15, 8, 0}, Weekdays("1", "0700"), NextRun{2024, 5, 20, 7, 0, "2024/05/20 07:00"}},
    {"NoWeekdayTicked", {2024, 5, 13, 8, 0}, Weekdays("0000000", "0700"), std::nullopt},
    // Last day of the month.
    {"LastDayOnDecember31AfterTheTime", {2024, 12, 31, 23, 51}, LastDay("2350"), NextRun{2025, 1, 31, 23, 50, "2025/01/31 23:50"}},
    {"LastDayOnDecember31BeforeTheTime", {2024, 12, 31, 23, 49}, LastDay("2350"), NextRun{2024, 12, 31, 23, 50, "2024/12/31 23:50"}},
    {"LastDayOnApril30AfterTheTime", {2024, 4, 30, 23, 51}, LastDay("2350"), NextRun{2024, 5, 31, 23, 50, "2024/05/31 23:50"}},
    {"LastDayOnJanuary31OfALeapYear", {2024, 1, 31, 23, 50}, LastDay("2350"), NextRun{2024, 2, 29, 23, 50, "2024/02/29 23:50"}},
    {"LastDayOnJanuary31Of2023", {2023, 1, 31, 23, 50}, LastDay("2350"), NextRun{2023, 2, 28, 23, 50, "2023/02/28 23:50"}},
    {"LastDayOnFebruary15Of2024", {2024, 2, 15, 10, 0}, LastDay("2350"), NextRun{2024, 2, 29, 23, 50, "2024/02/29 23:50"}},
    {"LastDayOnFebruary15Of2000", {2000, 2, 15, 10, 0}, LastDay("2350"), NextRun{2000, 2, 29, 23, 50, "2000/02/29 23:50"}},
    {"LastDayOnFebruary15Of1900", {1900, 2, 15, 10, 0}, LastDay("2350"), NextRun{1900, 2, 28, 23, 50, "1900/02/28 23:50"}},
    {"LastDayOnFebruary15Of2100", {2100, 2, 15, 10, 0}, LastDay("2350"), NextRun{2100, 2, 28, 23, 50, "2100/02/28 23:50"}},
    // First day of the month.
    {"FirstDayOnDecember1AfterTheTime", {2024, 12, 1, 23, 0}, FirstDay("2200"), NextRun{2025, 1, 1, 22, 0, "2025/01/01 22:00"}},
    {"FirstDayOnThe1stBeforeTheTime", {2024, 6, 1, 21, 0}, FirstDay("2200"), NextRun{2024, 6, 1, 22, 0, "2024/06/01 22:00"}},
    {"FirstDayInMidMonth", {2024, 3, 15, 21, 0}, FirstDay("2200"), NextRun{2024, 4, 1, 22, 0, "2024/04/01 22:00"}},
    // Given day.
    {"Day15OnDecember20", {2024, 12, 20, 10, 0}, GivenDay("15", "2200"), NextRun{2025, 1, 15, 22, 0, "2025/01/15 22:00"}},
    {"Day15OnTheTenth", {2024, 12, 10, 10, 0}, GivenDay("15", "2200"), NextRun{2024, 12, 15, 22, 0, "2024/12/15 22:00"}},
    {"Day15OnThe15thBeforeTheTime", {2024, 6, 15, 21, 59}, GivenDay("15", "2200"), NextRun{2024, 6, 15, 22, 0, "2024/06/15 22:00"}},
    {"Day15OnThe15thAtTheTime", {2024, 6, 15, 22, 0}, GivenDay("15", "2200"), NextRun{2024, 7, 15, 22, 0, "2024/07/15 22:00"}},
    {"Day31InAThirtyDayMonthIsNotCut", {2024, 4, 10, 10, 0}, GivenDay("31", "2200"), NextRun{2024, 4, 31, 22, 0, "2024/04/31 22:00"}},
    // The day part shows the given day as typed, except on that very day.
    {"Day5TypedShortOnTheTenth", {2024, 6, 10, 10, 0}, GivenDay("5", "2200"), NextRun{2024, 7, 5, 22, 0, "2024/07/ 5 22:00"}},
    {"Day5TypedShortOnThe5thAfterTheTime", {2024, 6, 5, 23, 0}, GivenDay("5", "2200"), NextRun{2024, 7, 5, 22, 0, "2024/07/05 22:00"}},
    {"Day5TypedShortOnThe5thBeforeTheTime", {2024, 6, 5, 21, 0}, GivenDay("5", "2200"), NextRun{2024, 6, 5, 22, 0, "2024/06/05 22:00"}},
    {"Day05TypedLongOnTheFirst", {2024, 6, 1, 10, 0}, GivenDay("05", "2200"), NextRun{2024, 6, 5, 22, 0, "2024/06/05 22:00"}},
    // Schedules that name no moment leave the job as it was.
    {"GivenDay0", {2024, 6, 10, 10, 0}, GivenDay("0", "2200"), std::nullopt},
    {"GivenDay32", {2024, 6, 10, 10, 0}, GivenDay("32", "2200"), std::nullopt},
    {"GivenDayLetters", {2024, 6, 10, 10, 0}, GivenDay("ab", "2200"), std::nullopt},
    {"MonthlyKindUnknown", {2024, 6, 10, 10, 0}, Monthly('4', "15", "2200"), std::nullopt},
    {"SaveTime2460", {2024, 6, 10, 10, 0}, EveryDay("2460"), std::nullopt},
    {"SaveTimeOneDigit", {2024, 6, 10, 10, 0}, EveryDay("9"), std::nullopt},
    {"SaveTimeEmpty", {2024, 6, 10, 10, 0}, EveryDay(""), std::nullopt},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Schedules, CalcNextRunTest, ::testing::ValuesIn(kNextRunCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(CalcNextRun, JobOfAMissingSetKeepsItsNextRun) {
    FakeClock clock(2024, 6, 10, 10, 0);
    SetTable sets = OneSet(EveryDay("2200"));
    JobRecord job = JobWithEarlierNextRun();
    job.setName = "PAYROL";  // names match exactly or not at all
    CalcNextRun(job, sets, clock);
    EXPECT_EQ(job.nextRunText, kEarlier.text);
    EXPECT_EQ(NextOf(job).year, kEarlier.year);
}

// ---- FindDueJob ----

JobRecord PcJob(std::string name, int active, const At& next) {
    JobRecord job;
    job.active = active;
    job.setName = std::move(name);
    job.startMethod = StartMethod::Pc;
    if (next.year != 0) {
        job.nextRun =
            LocalTime{next.year, next.month, next.day, next.hour, next.minute, next.second};
    }
    return job;
}

JobRecord HostJob(std::string name, int active) {
    JobRecord job = PcJob(std::move(name), active, {2020, 1, 1, 0, 0});
    job.startMethod = StartMethod::Host;
    return job;
}

SetTable SetsNamed(const std::vector<std::string>& names) {
    SetTable sets;
    for (const std::string& name : names) {
        BackupSet set;
        set.setName = name;
        sets.sets.push_back(set);
    }
    return sets;
}

struct DueCase {
    const char* name;
    At now;
    JobRecord job;
    bool due;
};

class FindDueJobSingle : public ::testing::TestWithParam<DueCase> {};

TEST_P(FindDueJobSingle, ComparesDateAndTimeOfDayApart) {
    const DueCase& c = GetParam();
    FakeClock clock;
    SetClock(clock, c.now);
    JobTable table{"unused", {c.job}};
    EXPECT_EQ(FindDueJob(table, SetsNamed({"OTHER", "PAYROLL"}), clock),
              c.due ? DueWork::RunSet(1) : DueWork{});
    EXPECT_EQ(NextOf(table.records[0]).second, c.due ? c.now.second : NextOf(c.job).second);
}

// clang-format off
const DueCase kDueCases[] = {
    {"YesterdayAt2300SeenAt0100", {2024, 6, 11, 1, 0, 5}, PcJob("PAYROLL", 1, {2024, 6, 10, 23, 0}), false},
    {"YesterdayAt2300SeenAt2300", {2024, 6, 11, 23, 0, 5}, PcJob("PAYROLL", 1, {2024, 6, 10, 23, 0}), true},
    {"TodayAMinuteEarly", {2024, 6, 10, 21, 59, 59}, PcJob("PAYROLL", 1, {2024, 6, 10, 22, 0}), false},
    {"TodayOnTheMinute", {2024, 6, 10, 22, 0, 0}, PcJob("PAYROLL", 1, {2024, 6, 10, 22, 0}), true},
    {"TodayLate", {2024, 6, 10, 23, 30, 17}, PcJob("PAYROLL", 1, {2024, 6, 10, 22, 0}), true},
    {"TomorrowAtTheSameTime", {2024, 6, 10, 22, 0, 0}, PcJob("PAYROLL", 1, {2024, 6, 11, 22, 0}), false},
    {"April31OnApril30", {2024, 4, 30, 23, 0, 0}, PcJob("PAYROLL", 1, {2024, 4, 31, 22, 0}), false},
    {"April31OnMay1", {2024, 5, 1, 22, 0, 9}, PcJob("PAYROLL", 1, {2024, 4, 31, 22, 0}), true},
    {"StoppedJob", {2024, 6, 10, 23, 0, 0}, PcJob("PAYROLL", 0, {2024, 6, 10, 22, 0}), false},
    {"NextRunNeverCalculated", {2024, 6, 10, 23, 0, 0}, PcJob("PAYROLL", 1, {0, 0, 0, 0, 0}), false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Moments, FindDueJobSingle, ::testing::ValuesIn(kDueCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(FindDueJob, StartsTheFirstDueJobInListOrderAndAnswersItsSetIndex) {
    FakeClock clock(2024, 6, 10, 22, 1, 42);
    SetTable sets = SetsNamed({"ALPHA", "BRAVO", "CHARLIE"});
    JobTable table{
        "unused",
        {PcJob("CHARLIE", 1, {2024, 6, 10, 23, 0, 7}), PcJob("BRAVO", 1, {2024, 6, 10, 22, 0, 7}),
         PcJob("ALPHA", 1, {2024, 6, 10, 21, 0, 7}), HostJob("HOSTED", 1)}};
    EXPECT_EQ(FindDueJob(table, sets, clock), DueWork::RunSet(1));
    EXPECT_EQ(NextOf(table.records[1]).second, 42);
    EXPECT_EQ(NextOf(table.records[2]).second, 7);   // due too, but waits for the next tick
    EXPECT_EQ(NextOf(table.records[3]).year, 2020);  // no host poll while a PC job runs
}

TEST(FindDueJob, DueJobOfAMissingSetIsNamedOnceAndHoldsBackNoOtherJob) {
    FakeClock clock(2024, 6, 10, 22, 0, 10);
    SetTable sets = SetsNamed({"PAYROLL"});
    JobTable table{"unused",
                   {PcJob("GONE", 1, {2024, 6, 10, 22, 0}),
                    PcJob("PAYROLL", 1, {2024, 6, 10, 22, 0}), HostJob("HOSTED", 1)}};
    DueWork expected = DueWork::RunSet(0);
    expected.unloadedSets = {"GONE"};
    EXPECT_EQ(FindDueJob(table, sets, clock), expected);
    EXPECT_EQ(NextOf(table.records[1]).second, 10);
    table.records[1].nextRun.reset();  // booked meanwhile
    EXPECT_EQ(FindDueJob(table, sets, clock), DueWork::PollHost());
}

TEST(FindDueJob, WithoutADuePcJobStampsActiveHostStartJobsWithTheMoment) {
    FakeClock clock(2024, 6, 10, 8, 15, 27);
    SetTable sets = SetsNamed({"PAYROLL", "HOSTED", "PAUSED"});
    JobTable table{
        "unused",
        {PcJob("PAYROLL", 1, {2024, 6, 10, 22, 0}), HostJob("HOSTED", 1), HostJob("PAUSED", 0)}};
    EXPECT_EQ(FindDueJob(table, sets, clock), DueWork::PollHost());
    const JobRecord& hosted = table.records[1];
    EXPECT_EQ(NextOf(hosted), (At{2024, 6, 10, 8, 15, 27}));
    EXPECT_EQ(NextOf(table.records[2]).year, 2020);  // stopped: not polled for

    table.records[1].active = 0;
    EXPECT_EQ(FindDueJob(table, sets, clock), DueWork{});
}

// ---- CalcLastDuration ----

struct DurationCase {
    const char* name;
    At start;
    At end;
    const char* text;
};

class CalcLastDurationTest : public ::testing::TestWithParam<DurationCase> {};

TEST_P(CalcLastDurationTest, CountsTheCalendarBetweenDueMomentAndNow) {
    const DurationCase& c = GetParam();
    FakeClock clock;
    SetClock(clock, c.end);
    JobRecord job = PcJob("PAYROLL", 1, c.start);
    CalcLastDuration(job, clock);
    EXPECT_EQ(job.lastDuration, c.text);
}

// clang-format off
const DurationCase kDurationCases[] = {
    {"PastMidnight", {2024, 6, 10, 23, 50, 10}, {2024, 6, 11, 1, 5, 40}, "01:15:30"},
    {"OverAMonthEnd", {2024, 4, 30, 23, 0, 0}, {2024, 5, 1, 0, 59, 59}, "01:59:59"},
    {"OverAYearEnd", {2024, 12, 31, 23, 59, 59}, {2025, 1, 1, 0, 0, 1}, "00:00:02"},
    {"OverFebruary29Of2000", {2000, 2, 28, 12, 0, 0}, {2000, 3, 1, 12, 0, 0}, "48:00:00"},
    {"OverFebruaryEndOf1900", {1900, 2, 28, 12, 0, 0}, {1900, 3, 1, 12, 0, 0}, "24:00:00"},
    {"MoreThan99Hours", {2024, 6, 1, 0, 0, 0}, {2024, 6, 6, 0, 0, 1}, "120:00:01"},
    {"ClockSetBackBeforeTheStart", {2024, 6, 10, 22, 0, 0}, {2024, 6, 10, 21, 0, 0}, "00:00:00"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Runs, CalcLastDurationTest, ::testing::ValuesIn(kDurationCases),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace zorva::velmoro
