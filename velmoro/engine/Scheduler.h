#pragma once
// The scheduler tick as a state machine. A tick finds the due job; for a PC start job it starts
// the transfer agent and books the run when that program has ended; for waiting host start jobs
// it polls the host on a worker, runs the requested set and deletes the start file. Every tick
// ends by recalculating the stopped PC start jobs, saving the job file and refreshing the list;
// then the shell starts its timer again. Ticks never overlap.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/Program.h"
#include "common/Reporter.h"
#include "common/Waiter.h"
#include "common/host/HostFactory.h"
#include "velmoro/engine/AgentState.h"
#include "velmoro/engine/HostStart.h"
#include "velmoro/engine/Launch.h"

namespace zorva::velmoro {

inline constexpr std::string_view kAgentTitle = "Velmoro";

// A due job whose set the agent has not loaded (missing, unreadable or past the 99 loaded).
std::string DueJobWithoutSetText(std::string_view setName);

// What the tick shows and how it hands blocking work away.
class SchedulerShell {
public:
    virtual ~SchedulerShell() = default;
    virtual void SetTitle(std::string_view title) = 0;
    virtual void RefreshJobList() = 0;
    // Runs `work` away from the caller's thread, then `then` back on it. Tests run both at once.
    virtual void RunInBackground(std::function<void()> work, std::function<void()> then) = 0;
    // The tick has ended: the timer may run again.
    virtual void TickEnded() = 0;
};

class Scheduler {
public:
    // A host-start poll connects with `hostFactory`, waiting through `hostWaiter`.
    Scheduler(const ProgramContext& context, AgentState& state, ProgramStarter& starter,
              Reporter& reporter, SchedulerShell& shell, HostFactory hostFactory,
              Waiter& hostWaiter);

    // One tick of the timer. Ignored while an earlier tick has not ended.
    void Tick();
    bool TickRunning() const { return running_; }
    int StartPollMisses() const { return poller_.StartPollMisses(); }

    // The agent ends: a tick still waiting for the transfer agent is left unbooked, and the
    // shell is no longer called.
    void Abandon() { abandoned_ = true; }

private:
    void RunDueSet(int setIndex);
    void PollHost();
    void RunRequestedSet(const std::string& setName);
    void NoteDueMoment(const std::string& setName);
    void BookRun(const std::string& setName);
    void EndTick();

    const ProgramContext& context_;
    AgentState& state_;
    ProgramStarter& starter_;
    Reporter& reporter_;
    SchedulerShell& shell_;
    HostFactory hostFactory_;
    Waiter& hostWaiter_;
    HostStartPoller poller_;
    std::shared_ptr<HostConnection> host_;  // open from a poll to the deletion of its file
    // When the running job came due: the job list may be reread while it runs (a job deleted
    // from the pop-up menu), which would recalculate the moment its duration counts from.
    JobRecord dueMoment_;
    bool running_ = false;
    bool abandoned_ = false;
};

// Recalculates the next run of every stopped PC start job, so that an activated job never
// starts for a moment that passed while it was stopped.
void RecalcStoppedJobs(JobTable& jobs, const SetTable& sets, const Clock& clock);

}  // namespace zorva::velmoro
