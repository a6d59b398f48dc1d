#include "velmoro/engine/Launch.h"

namespace zorva::velmoro {
namespace {

// The end of a run frees its job whether or not the job was stopped meanwhile (SetJobStatus
// leaves a stopped job alone, which would keep it "実行中" for good).
void EndJobRun(JobTable& jobs, std::string_view setName) {
    for (JobRecord& job : jobs.records) {
        if (job.setName == setName && job.status == JobStatus::Running) {
            job.status = JobStatus::Waiting;
        }
    }
}

std::vector<std::string> SetArgument(const std::string& setName) {
    return setName.empty() ? std::vector<std::string>{} : std::vector<std::string>{setName};
}

}  // namespace

bool ProgramStarter::StartTransferAgent(const std::string& setName,
                                        std::function<void(bool ran)> ended) {
    if (transferRunning_) {
        state_.lastError = kTransferAlreadyRunning;
        reporter_.MessageAndStatus(kTransferAlreadyRunning);
        return false;
    }
    transferRunning_ = true;
    state_.lastError.clear();
    SetJobStatus(state_.jobs, setName, JobStatus::Running);
    if (onJobsChanged) onJobsChanged();
    launcher_.Start(
        kTransferAgentProgram, {setName},
        [this, setName, ended = std::move(ended)](const LaunchOutcome& outcome) {
            transferRunning_ = false;
            EndJobRun(state_.jobs, setName);
            if (!outcome.ran) {
                state_.lastError = kTransferStartFailed;
                reporter_.Message(std::string(kTransferStartFailed) + "：" + outcome.errorText);
            }
            if (ended) ended(outcome.ran);
        });
    return true;
}

void ProgramStarter::StartViewer(std::string_view program, std::vector<std::string> arguments) {
    state_.lastError.clear();
    // `program` names one of the constants above: it outlives every launch.
    launcher_.Start(program, arguments, [this, program](const LaunchOutcome& outcome) {
        if (outcome.ran) return;
        // A button that opens nothing must say which program and why, wherever the user looks.
        state_.lastError = std::string(program) + "の起動に失敗した：" + outcome.errorText;
        reporter_.MessageAndStatus(state_.lastError);
        if (onStartFailed) onStartFailed(state_.lastError);
    });
}

void ProgramStarter::StartLogViewer(const std::string& setName) {
    StartViewer(kLogViewerProgram, SetArgument(setName));
}

void ProgramStarter::StartRestore(const std::string& setName) {
    StartViewer(kRestoreProgram, SetArgument(setName));
}

void ProgramStarter::StartSavedDataViewer(const std::string& setName) {
    StartViewer(kSavedDataViewerProgram, SetArgument(setName));
}

}  // namespace zorva::velmoro
