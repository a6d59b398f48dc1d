#include "velmoro/engine/Scheduler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Codec.h"
#include "common/DailyLog.h"
#include "common/FileIo.h"
#include "tests/support/FakeClock.h"
#include "tests/support/InstantWaiter.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempFolder.h"
#include "tests/velmoro/AgentDoubles.h"
#include "velmoro/engine/AgentCommonFiles.h"
#include "velmoro/engine/Schedule.h"

namespace zorva::velmoro {
namespace {

using zorva::test::FakeClock;
using zorva::test::ScriptedHost;
using Op = ScriptedHost::Op;

BackupSet DailySet(std::string name, std::string saveTime, char method = '1') {
    BackupSet set;
    set.setName = std::move(name);
    set.startMethod = StartMethod{method};  // as the set file spells it
    set.scheduleKind = ScheduleKind::Daily;
    set.dailyKind = DailyKind::EveryDay;
    set.saveTime = std::move(saveTime);
    return set;
}

// An agent with its sets and jobs, a clock at 2026-03-02 21:59 and a scheduler over doubles.
struct Agent {
    zorva::test::TempFolder folder;
    FakeClock clock{2026, 3, 2, 21, 59, 0};
    DailyLog log{kAgentLogStyle, folder.path() / "LOG_DAT", true, clock};
    ProgramContext context{folder.path(), clock, log};
    AgentState state;
    zorva::test::RecordingLauncher launcher;
    zorva::test::RecordingReporter reporter;
    zorva::test::InstantShell shell;
    ProgramStarter starter{launcher, state, reporter};
    std::shared_ptr<ScriptedHost> host = std::make_shared<ScriptedHost>();
    int connections = 0;
    zorva::test::InstantWaiter hostWaiter;
    Scheduler scheduler{context,
                        state,
                        starter,
                        reporter,
                        shell,
                        [this](const Settings&, Waiter&, HostSessionObserver&) {
                            ++connections;
                            // one scripted host for every poll
                            return std::shared_ptr<HostConnection>(host);
                        },
                        hostWaiter};

    Agent() {
        std::filesystem::create_directories(folder / "LOG_DAT");
        state.jobs.file = folder / "schedule.txt";
        state.settings.termId = "PC01";
    }
    void AddJob(const BackupSet& set) {
        state.sets.sets.push_back(set);
        state.sets.currentSet = static_cast<int>(state.sets.sets.size()) - 1;
        const Expected<void> registered = RegisterJob(state.jobs, state.sets, clock);
        ASSERT_TRUE(registered) << registered.error().text;
    }
    const JobRecord& Job(std::size_t i) const { return state.jobs.records.at(i); }
    std::string DailyLogText() const {
        return ReadFileBytes(folder / "LOG_DAT" / DailyLog::FileName(clock.Now())).value_or("");
    }
};

TEST(Scheduler, DueJobRunsOnceAndIsBookedWhenTheTransferAgentEnds) {
    Agent agent;
    agent.AddJob(DailySet("PAYROLL", "2200"));
    agent.scheduler.Tick();
    EXPECT_TRUE(agent.launcher.started.empty());  // 21:59: not due
    EXPECT_EQ(agent.shell.ticksEnded, 1);

    agent.clock.Set(2026, 3, 2, 22, 0, 7);
    agent.scheduler.Tick();
    ASSERT_EQ(agent.launcher.started.size(), 1u);
    EXPECT_EQ(agent.launcher.started[0].program, "qivftp");
    EXPECT_EQ(agent.launcher.started[0].arguments, std::vector<std::string>{"PAYROLL"});
    EXPECT_EQ(agent.Job(0).status, JobStatus::Running);
    EXPECT_TRUE(agent.scheduler.TickRunning());
    EXPECT_EQ(agent.shell.ticksEnded, 1);  // the timer stays stopped while it runs

    agent.scheduler.Tick();  // a stray tick while it runs starts nothing
    EXPECT_EQ(agent.launcher.started.size(), 1u);

    agent.clock.Set(2026, 3, 2, 23, 12, 48);
    agent.launcher.Finish(0);
    EXPECT_EQ(agent.shell.ticksEnded, 2);
    EXPECT_EQ(agent.Job(0).status, JobStatus::Waiting);
    EXPECT_EQ(agent.Job(0).lastRunText, " 2026/03/02 23:12");
    EXPECT_EQ(agent.Job(0).lastDuration, "01:12:41");
    EXPECT_EQ(agent.Job(0).nextRunText, "2026/03/03 22:00");
    std::string file = ReadFileBytes(agent.folder / "schedule.txt").value_or("");
    EXPECT_NE(file.find(",PAYROLL,"), std::string::npos);
    EXPECT_NE(file.find(" 2026/03/02 23:12,2026/03/03 22:00,01:12:41,"), std::string::npos);

    agent.scheduler.Tick();  // the same minute again: not due twice
    EXPECT_EQ(agent.launcher.started.size(), 1u);
}

TEST(Scheduler, DurationCountsFromTheDueMomentEvenWhenTheListIsReread) {
    Agent agent;
    agent.AddJob(DailySet("PAYROLL", "2200"));
    agent.AddJob(DailySet("OTHER", "2300"));
    agent.clock.Set(2026, 3, 2, 22, 0, 7);
    agent.scheduler.Tick();
    // The user deletes the other job meanwhile: the list is written and read back.
    auto log = [](std::string_view) {};
    ASSERT_EQ(DeleteJob(agent.state.jobs, 1, agent.state.sets, agent.clock, log),
              JobFileWrite::Written);
    agent.clock.Set(2026, 3, 2, 22, 10, 9);
    agent.launcher.Finish(0);
    EXPECT_EQ(agent.Job(0).lastDuration, "00:10:02");
    EXPECT_EQ(agent.state.jobs.records.size(), 1u);
}

TEST(Scheduler, TwoJobsDueInOneMinuteStartOnConsecutiveTicksInListOrder) {
    Agent agent;
    agent.AddJob(DailySet("FIRST", "2200"));
    agent.AddJob(DailySet("SECOND", "2200"));
    agent.clock.Set(2026, 3, 2, 22, 0, 30);
    agent.scheduler.Tick();
    agent.launcher.Finish(0);
    agent.scheduler.Tick();
    ASSERT_EQ(agent.launcher.started.size(), 2u);
    EXPECT_EQ(agent.launcher.started[0].arguments[0], "FIRST");
    EXPECT_EQ(agent.launcher.started[1].arguments[0], "SECOND");
}

TEST(Scheduler, FailedStartIsBookedAndNotRetried) {
    Agent agent;
    agent.AddJob(DailySet("PAYROLL", "2200"));
    agent.launcher.startFails = true;
    agent.clock.Set(2026, 3, 2, 22, 0, 0);
    agent.scheduler.Tick();
    EXPECT_EQ(agent.state.lastError, kTransferStartFailed);
    EXPECT_EQ(agent.Job(0).status, JobStatus::Waiting);
    EXPECT_EQ(agent.Job(0).nextRunText, "2026/03/03 22:00");
    EXPECT_EQ(agent.Job(0).lastRunText, " 2026/03/02 22:00");
    EXPECT_FALSE(agent.starter.TransferRunning());
    EXPECT_EQ(agent.reporter.messages, std::vector<std::string>{std::string(kTransferStartFailed) +
                                                                "：No such file or directory"});
    agent.scheduler.Tick();
    EXPECT_EQ(agent.launcher.started.size(), 1u);
}

TEST(Scheduler, JobStoppedWhileItRunsIsWaitingWhenTheRunEnds) {
    for (char method : {'1', '2'}) {
        Agent agent;
        agent.AddJob(DailySet("PAYROLL", "2200", method));
        agent.host->files["ZORVADATA/PC01"] = "PAYROLL\r\n";
        agent.clock.Set(2026, 3, 2, 22, 0, 0);
        agent.scheduler.Tick();
        ASSERT_EQ(SetJobActive(agent.state.jobs, 0, false), JobFileWrite::Written);
        agent.launcher.Finish(0);
        const std::string file = ReadFileBytes(agent.folder / "schedule.txt").value_or("");
        EXPECT_EQ(file.find(ToCp932(kStatusRunning)), std::string::npos) << method;
    }
}

TEST(Scheduler, DueJobOfASetNotLoadedIsLoggedAndHoldsUpNoOther) {
    Agent agent;
    agent.state.sets.sets = {DailySet("PAYROLL", "2200")};
    const std::string tail = ", 2026/03/01 09:00, ,2026/03/02 22:00, ,ＰＣ起動,実行前\r\n";
    ASSERT_TRUE(
        WriteFileAtomically(agent.state.jobs.file, ToCp932("1,GONE" + tail + "1,PAYROLL" + tail)));
    ASSERT_TRUE(LoadJobs(agent.state.jobs, agent.state.sets, agent.clock, [](std::string_view) {}));
    agent.clock.Set(2026, 3, 2, 22, 0, 0);
    agent.scheduler.Tick();
    ASSERT_EQ(agent.launcher.started.size(), 1u);
    EXPECT_EQ(agent.launcher.started[0].arguments, std::vector<std::string>{"PAYROLL"});
    EXPECT_EQ(agent.reporter.messages, std::vector<std::string>{DueJobWithoutSetText("GONE")});
}

TEST(Scheduler, UnwritableJobFileIsLoggedAndTheTickEnds) {
    Agent agent;
    agent.AddJob(DailySet("PAYROLL", "2200"));
    std::filesystem::remove(agent.folder / "schedule.txt");
    std::filesystem::create_directories(agent.folder / "schedule.txt" / "in the way");
    agent.scheduler.Tick();
    EXPECT_NE(agent.DailyLogText().find(ToCp932(kJobFileWriteFailed)), std::string::npos);
    EXPECT_EQ(agent.shell.ticksEnded, 1);
    EXPECT_EQ(agent.shell.refreshes, 1);
}

TEST(Scheduler, StoppedJobDoesNotStartForATimeMissedWhileStopped) {
    Agent agent;
    agent.AddJob(DailySet("PAYROLL", "2200"));
    agent.state.jobs.records[0].active = 0;
    for (int minute : {0, 1, 2}) {
        agent.clock.Set(2026, 3, 2, 22, minute, 0);
        agent.scheduler.Tick();
    }
    agent.state.jobs.records[0].active = 1;
    agent.clock.Set(2026, 3, 2, 22, 3, 0);
    agent.scheduler.Tick();
    EXPECT_TRUE(agent.launcher.started.empty());
    EXPECT_EQ(agent.Job(0).nextRunText, "2026/03/03 22:00");
}

TEST(Scheduler, SecondTransferAgentIsRefused) {
    Agent agent;
    agent.AddJob(DailySet("PAYROLL", "2200"));
    ASSERT_TRUE(agent.starter.StartTransferAgent("PAYROLL", {}));
    EXPECT_FALSE(agent.starter.StartTransferAgent("PAYROLL", {}));
    EXPECT_EQ(agent.state.lastError, kTransferAlreadyRunning);
    EXPECT_EQ(agent.reporter.statuses.back(), kTransferAlreadyRunning);
    EXPECT_EQ(agent.launcher.started.size(), 1u);
}

TEST(Scheduler, ViewersNeverHoldUpTheScheduler) {
    Agent agent;
    agent.AddJob(DailySet("PAYROLL", "2200"));
    agent.starter.StartLogViewer("");
    agent.starter.StartLogViewer("PAYROLL");
    agent.starter.StartRestore();
    agent.starter.StartSavedDataViewer();
    agent.clock.Set(2026, 3, 2, 22, 0, 0);
    agent.scheduler.Tick();
    ASSERT_EQ(agent.launcher.started.size(), 5u);
    EXPECT_EQ(agent.launcher.started[0].program, "qivLog");
    EXPECT_TRUE(agent.launcher.started[0].arguments.empty());
    EXPECT_EQ(agent.launcher.started[1].arguments, std::vector<std::string>{"PAYROLL"});
    EXPECT_EQ(agent.launcher.started[2].program, "qivRestore");
    EXPECT_EQ(agent.launcher.started[3].program, "qivWH");
    EXPECT_EQ(agent.launcher.started[4].program, "qivftp");
    agent.launcher.Finish(2, false, "Permission denied");
    EXPECT_EQ(agent.state.lastError, "qivRestoreの起動に失敗した：Permission denied");
}

TEST(Scheduler, AbandonedRunIsNotBooked) {
    Agent agent;
    agent.AddJob(DailySet("PAYROLL", "2200"));
    agent.clock.Set(2026, 3, 2, 22, 0, 0);
    agent.scheduler.Tick();
    agent.scheduler.Abandon();
    agent.launcher.Finish(0);
    EXPECT_EQ(agent.Job(0).lastRunText, " ");
    EXPECT_EQ(agent.shell.ticksEnded, 0);
}

// Host-started jobs.

Agent& WithHostJob(Agent& agent, int active = 1) {
    agent.AddJob(DailySet("PAYROLL", "", '2'));
    agent.state.jobs.records[0].active = active;
    return agent;
}

TEST(HostStart, RequestRunsTheSetOnceAndDeletesTheStartFile) {
    Agent agent;
    WithHostJob(agent);
    agent.host->files["ZORVADATA/PC01"] = "PAYROLL\r\n";
    agent.clock.Set(2026, 3, 2, 10, 0, 5);
    agent.scheduler.Tick();
    ASSERT_EQ(agent.launcher.started.size(), 1u);
    EXPECT_EQ(agent.launcher.started[0].arguments, std::vector<std::string>{"PAYROLL"});
    EXPECT_TRUE(agent.host->files.count("ZORVADATA/PC01"));  // deleted only after the run
    EXPECT_EQ(agent.reporter.statuses.back(), kHostStartReceived);

    agent.clock.Set(2026, 3, 2, 10, 20, 6);
    agent.launcher.Finish(0);
    EXPECT_FALSE(agent.host->files.count("ZORVADATA/PC01"));
    EXPECT_EQ(agent.shell.title, kHostStartWaitingTitle);
    EXPECT_EQ(agent.Job(0).lastDuration, "00:20:01");
    EXPECT_EQ(agent.Job(0).lastRunText, " 2026/03/02 10:20");
    EXPECT_EQ(agent.Job(0).status, JobStatus::Waiting);
    EXPECT_FALSE(agent.host->IsOpen());

    agent.scheduler.Tick();  // no file any more: waits
    EXPECT_EQ(agent.launcher.started.size(), 1u);
    EXPECT_EQ(agent.shell.title, kHostStartWaitingTitle);
}

TEST(HostStart, RequestForAStoppedOrPcStartJobStaysOnTheHost) {
    for (bool pcJob : {false, true}) {
        SCOPED_TRACE(pcJob ? "PC start job" : "stopped job");
        Agent agent;
        if (pcJob) {
            WithHostJob(agent);
            agent.AddJob(DailySet("OTHER", "2300"));
        } else {
            WithHostJob(agent, 0);
            agent.AddJob(DailySet("WAITER", "", '2'));  // keeps the polls going
        }
        const std::string requested = pcJob ? "OTHER" : "PAYROLL";
        agent.host->files["ZORVADATA/PC01"] = requested + "\r\n";
        for (int i = 0; i < 2; ++i) agent.scheduler.Tick();
        EXPECT_TRUE(agent.launcher.started.empty());
        EXPECT_TRUE(agent.host->files.count("ZORVADATA/PC01"));
        EXPECT_EQ(agent.reporter.messages,
                  (std::vector<std::string>(2, std::string(kHostStartReceived))));
        EXPECT_FALSE(agent.host->IsOpen());
    }
}

TEST(HostStart, RequestWhoseRunDidNotStartStaysUnbookedForTheNextTick) {
    for (bool busy : {true, false}) {  // another transfer agent runs, or it cannot start
        Agent agent;
        WithHostJob(agent);
        agent.host->files["ZORVADATA/PC01"] = "PAYROLL\r\n";
        agent.launcher.startFails = !busy;
        if (busy) agent.starter.StartTransferAgent("OTHER", {});
        agent.scheduler.Tick();
        EXPECT_TRUE(agent.host->files.count("ZORVADATA/PC01")) << busy;
        EXPECT_EQ(agent.Job(0).lastRunText, " ");
        EXPECT_FALSE(agent.host->IsOpen());
    }
}

TEST(HostStart, BadStartFiles) {
    struct Case {
        std::string label;
        std::string content;
        std::vector<std::string> messages;
        bool deleted;
    };
    const std::vector<Case> cases = {
        {"unknown set", "NOSUCH\r\n", {std::string(kHostStartUnknownSet)}, true},
        {"twenty letters",
         std::string(20, 'P') + "AYROLL",
         {std::string(kHostStartUnknownSet)},
         true},
        {"binary junk",
         std::string("\x00\xff\x81\x01PAYROLL", 11),
         {std::string(kHostStartUnknownSet)},
         true},
        {"name past 20 bytes",
         std::string(19, ' ') + "\r\nPAYROLL",
         {std::string(kHostStartUnknownSet)},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Agent agent;
        WithHostJob(agent);
        agent.host->files["ZORVADATA/PC01"] = c.content;
        agent.scheduler.Tick();
        EXPECT_TRUE(agent.launcher.started.empty());
        EXPECT_EQ(agent.reporter.messages, c.messages);
        EXPECT_EQ(!agent.host->files.count("ZORVADATA/PC01"), c.deleted);
        EXPECT_FALSE(std::filesystem::exists(agent.folder / ".hoststart"));
    }
}

TEST(HostStart, EmptyStartFileGetsOneMorePollBeforeItIsDiscarded) {
    Agent agent;
    WithHostJob(agent);
    agent.host->files["ZORVADATA/PC01"] = "\r\nPAYROLL\r\n";
    agent.scheduler.Tick();  // misses 0 -> 1, kept
    EXPECT_TRUE(agent.host->files.count("ZORVADATA/PC01"));
    EXPECT_EQ(agent.scheduler.StartPollMisses(), 1);
    agent.scheduler.Tick();  // at 1: discarded
    EXPECT_FALSE(agent.host->files.count("ZORVADATA/PC01"));
    EXPECT_EQ(agent.reporter.messages, std::vector<std::string>{std::string(kHostStartEmpty)});
    EXPECT_EQ(agent.scheduler.StartPollMisses(), 0);
    EXPECT_TRUE(agent.launcher.started.empty());
}

TEST(HostStart, NoticeComesOnceInSixtyOnePolls) {
    Agent agent;
    WithHostJob(agent);
    std::vector<int> noticeAt;
    for (int poll = 1; poll <= 122; ++poll) {
        agent.reporter.messages.clear();
        agent.scheduler.Tick();
        if (!agent.reporter.messages.empty()) {
            EXPECT_EQ(agent.reporter.messages,
                      std::vector<std::string>{std::string(kHostStartNoAnswer)});
            noticeAt.push_back(poll);
        }
    }
    EXPECT_EQ(noticeAt, (std::vector<int>{61, 122}));
    EXPECT_EQ(agent.shell.title, kHostStartWaitingTitle);
    EXPECT_EQ(agent.connections, 122);  // each poll its own connection
}

TEST(HostStart, RefusedLogOnLeavesTheTitleAndRunsNothing) {
    Agent agent;
    WithHostJob(agent);
    agent.host->files["ZORVADATA/PC01"] = "PAYROLL\r\n";
    agent.host->Script(Op::Open, {HostStatus::Failed, HostStatus::Failed});
    agent.scheduler.Tick();
    agent.scheduler.Tick();
    EXPECT_TRUE(agent.launcher.started.empty());
    EXPECT_EQ(agent.shell.title, kAgentTitle);
    EXPECT_EQ(agent.shell.ticksEnded, 2);
    EXPECT_TRUE(agent.host->Arguments(Op::GetFile).empty());
}

TEST(HostStart, DuePcStartJobWinsOverThePoll) {
    Agent agent;
    WithHostJob(agent);
    agent.AddJob(DailySet("NIGHTLY", "2200"));
    agent.host->files["ZORVADATA/PC01"] = "PAYROLL\r\n";
    agent.clock.Set(2026, 3, 2, 22, 0, 0);
    agent.scheduler.Tick();
    EXPECT_EQ(agent.connections, 0);
    ASSERT_EQ(agent.launcher.started.size(), 1u);
    EXPECT_EQ(agent.launcher.started[0].arguments[0], "NIGHTLY");
}

}  // namespace
}  // namespace zorva::velmoro
