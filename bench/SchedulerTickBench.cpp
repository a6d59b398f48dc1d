// How much CPU one scheduler tick of the agent takes with a full job list (100 jobs), measured
// on the engine without a window: the due search, the recalculation of the stopped jobs and the
// rewrite of schedule.txt. Goal: under 10 ms per tick. Run by hand; not a test.
//
//   build/bin/velmoro_tick_bench [ticks]

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/DailyLog.h"
#include "velmoro/engine/AgentCommonFiles.h"
#include "velmoro/engine/Schedule.h"
#include "velmoro/engine/Scheduler.h"

namespace {

using namespace zorva;
using namespace zorva::velmoro;

// Moves on one minute per tick, so that every tick recalculates against a new moment.
class SteppingClock final : public Clock {
public:
    LocalTime Now() const override { return now_; }
    void Step() {
        if (++now_.minute == 60) {
            now_.minute = 0;
            now_.hour = (now_.hour + 1) % 24;
        }
    }

private:
    LocalTime now_{2026, 12, 7, 9, 0, 0, WeekdayOf(2026, 12, 7)};
};

class InstantLauncher final : public ProgramLauncher {
public:
    void Start(std::string_view, const std::vector<std::string>&, Ended ended) override {
        ++starts;
        ended(LaunchOutcome{true, {}});
    }
    int starts = 0;
};

class SilentReporter final : public Reporter {
public:
    void Message(std::string_view) override {}
    void Status(std::string_view) override {}
};

class BenchShell final : public SchedulerShell {
public:
    void SetTitle(std::string_view) override {}
    void RefreshJobList() override {}
    void RunInBackground(std::function<void()> work, std::function<void()> then) override {
        work();
        then();
    }
    void TickEnded() override {}
};

double CpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// 100 PC start sets of every schedule kind, every other job stopped; save times spread over
// the day so that some ticks find a due job and start the (instant) transfer agent.
void FillAgent(AgentState& state, const std::filesystem::path& folder) {
    state.jobs.file = folder / kJobFileName;
    for (int i = 0; i < 100; ++i) {
        BackupSet set;
        set.setName = "SET" + std::string(1, static_cast<char>('A' + i / 26)) +
                      std::string(1, static_cast<char>('A' + i % 26));
        set.startMethod = StartMethod::Pc;
        set.scheduleKind = i % 3 == 2 ? ScheduleKind::Monthly : ScheduleKind::Daily;
        set.dailyKind = i % 3 == 0 ? DailyKind::EveryDay : DailyKind::Weekdays;
        set.weekdayFlags = "1010100";
        constexpr MonthlyKind kMonthly[] = {MonthlyKind::FirstDay, MonthlyKind::LastDay,
                                            MonthlyKind::GivenDay};
        set.monthlyKind = kMonthly[i % 3];
        set.monthDay = "15";
        char time[8];
        std::snprintf(time, sizeof time, "%02d%02d", 9 + i / 60, i % 60);
        set.saveTime = time;
        state.sets.sets.push_back(set);
        JobRecord job;
        job.active = i % 2;
        job.setName = set.setName;
        job.submittedText = " 2026/12/01 09:00";
        job.lastRunText = job.lastDuration = " ";
        job.startMethod = StartMethod::Pc;
        job.status = JobStatus::Waiting;
        state.jobs.records.push_back(job);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    const int ticks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 600;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("velmoro-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "LOG_DAT");

    SteppingClock clock;
    DailyLog log(velmoro::kAgentLogStyle, folder / "LOG_DAT", false, clock);
    ProgramContext context{folder, clock, log};
    AgentState state;
    FillAgent(state, folder);
    for (JobRecord& job : state.jobs.records) CalcNextRun(job, state.sets, clock);
    InstantLauncher launcher;
    SilentReporter reporter;
    BenchShell shell;
    ProgramStarter starter(launcher, state, reporter);
    SleepingWaiter hostWaiter;
    Scheduler scheduler(context, state, starter, reporter, shell, {}, hostWaiter);

    std::vector<double> samples;
    for (int i = 0; i < ticks; ++i) {
        clock.Step();
        const double before = CpuMilliseconds();
        scheduler.Tick();
        samples.push_back(CpuMilliseconds() - before);
    }
    std::filesystem::remove_all(folder);

    std::sort(samples.begin(), samples.end());
    const double median = samples[samples.size() / 2];
    const double p99 = samples[samples.size() * 99 / 100];
    std::printf("ticks %d, jobs 100, transfer agent starts %d\n", ticks, launcher.starts);
    std::printf("CPU per tick: median %.3f ms, 99th percentile %.3f ms, max %.3f ms\n", median, p99,
                samples.back());
    std::printf("goal < 10 ms: %s\n", p99 < 10.0 ? "met" : "NOT met");
    return p99 < 10.0 ? 0 : 1;
}
