#include "velmoro/engine/Scheduler.h"

#include "common/Clock.h"
#include "common/DailyLog.h"
#include "velmoro/engine/AgentHostSession.h"
#include "velmoro/engine/Schedule.h"

namespace zorva::velmoro {

std::string DueJobWithoutSetText(std::string_view setName) {
    return "ジョブ：" + std::string(setName) +
           "のバックアップセットが読み込まれていないため実行しない";
}

void RecalcStoppedJobs(JobTable& jobs, const SetTable& sets, const Clock& clock) {
    for (JobRecord& job : jobs.records) {
        if (!job.active && job.startMethod == StartMethod::Pc) CalcNextRun(job, sets, clock);
    }
}

Scheduler::Scheduler(const ProgramContext& context, AgentState& state, ProgramStarter& starter,
                     Reporter& reporter, SchedulerShell& shell, HostFactory hostFactory,
                     Waiter& hostWaiter)
    : context_(context),
      state_(state),
      starter_(starter),
      reporter_(reporter),
      shell_(shell),
      hostFactory_(std::move(hostFactory)),
      hostWaiter_(hostWaiter),
      poller_(context.folder / ".hoststart", reporter) {}

void Scheduler::Tick() {
    if (running_ || abandoned_) return;
    running_ = true;
    shell_.SetTitle(kAgentTitle);
    reporter_.Status("");
    const DueWork due = FindDueJob(state_.jobs, state_.sets, context_.clock);
    for (const std::string& setName : due.unloadedSets) {
        reporter_.MessageAndStatus(DueJobWithoutSetText(setName));
    }
    switch (due.kind) {
        case DueWork::Kind::Set:
            return RunDueSet(static_cast<int>(due.setIndex));
        case DueWork::Kind::HostStart:
            return PollHost();
        case DueWork::Kind::Nothing:
            return EndTick();
    }
}

void Scheduler::RunDueSet(int setIndex) {
    const std::string setName = state_.sets.sets[static_cast<std::size_t>(setIndex)].setName;
    NoteDueMoment(setName);
    auto booked = [this, setName](bool) {
        if (abandoned_) return;
        BookRun(setName);
        EndTick();
    };
    // A refused or failed start is booked like a run: it is not retried at the next tick.
    if (!starter_.StartTransferAgent(setName, booked)) booked(false);
}

void Scheduler::PollHost() {
    auto result = std::make_shared<HostStartPollResult>();
    hostWaiter_.Reset();
    std::shared_ptr<HostConnection> host =
        MakeAgentHost(hostFactory_, state_.settings, hostWaiter_, reporter_);
    const std::string termId = state_.settings.termId;
    auto jobs = std::make_shared<std::vector<JobRecord>>(state_.jobs.records);
    shell_.RunInBackground(
        [this, host, termId, jobs, result] { *result = poller_.Poll(*host, termId, *jobs); },
        [this, host, result] {
            if (abandoned_) return;
            if (result->waitingTitle) shell_.SetTitle(kHostStartWaitingTitle);
            if (result->setName.empty()) {
                EndTick();
                return;
            }
            host_ = host;
            RunRequestedSet(result->setName);
        });
}

void Scheduler::RunRequestedSet(const std::string& setName) {
    NoteDueMoment(setName);
    // Only a run that really started answers the request; one refused (another transfer agent
    // runs) or that could not start leaves it on the host for the next tick, unbooked.
    auto finished = [this, setName](bool ran) {
        if (abandoned_) return;
        shell_.SetTitle(kHostStartWaitingTitle);
        std::shared_ptr<HostConnection> host = std::move(host_);
        const std::string termId = state_.settings.termId;
        shell_.RunInBackground([this, host, termId, ran] { poller_.FinishRun(*host, termId, ran); },
                               [this, setName, ran] {
                                   if (abandoned_) return;
                                   if (ran) BookRun(setName);
                                   EndTick();
                               });
    };
    if (!starter_.StartTransferAgent(setName, finished)) finished(false);
}

void Scheduler::NoteDueMoment(const std::string& setName) {
    const auto jobIndex = FindJobBySetName(state_.jobs, setName);
    if (jobIndex) dueMoment_ = state_.jobs.records[*jobIndex];
}

void Scheduler::BookRun(const std::string& setName) {
    if (const auto jobIndex = FindJobBySetName(state_.jobs, setName)) {
        JobRecord& job = state_.jobs.records[*jobIndex];
        job.nextRun = dueMoment_.nextRun;
        CalcLastDuration(job, context_.clock);
    }
    RecordJobRun(state_.jobs, state_.sets, FindSetByName(state_.sets, setName), context_.clock);
    SetJobStatus(state_.jobs, setName, JobStatus::Waiting);
}

void Scheduler::EndTick() {
    RecalcStoppedJobs(state_.jobs, state_.sets, context_.clock);
    if (SaveJobs(state_.jobs) == JobFileWrite::Failed)
        context_.log.WriteDailyLog(kJobFileWriteFailed);
    shell_.RefreshJobList();
    running_ = false;
    shell_.TickEnded();
}

}  // namespace zorva::velmoro
