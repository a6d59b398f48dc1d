#include "velmoro/engine/Launch.h"

namespace zorva::velmoro {

bool ProgramStarter::StartTransferAgent(const std::string& setName,
                                        std::function<void(bool ran)> ended) {
    if (transferRunning_) {
        state_.lastError = kTransferAlreadyRunning;
        reporter_.MessageAndStatus(kTransferAlreadyRunning);
        return false;
    }
    transferRunning_ = true;
    state_.lastError.clear();
    SetJobStatus(state_.jobs, setName, kStatusRunning);
    if (onJobsChanged) onJobsChanged();
    launcher_.Start(
        kTransferAgentProgram, {setName},
        [this, ended = std::move(ended)](const LaunchOutcome& outcome) {
            transferRunning_ = false;
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
    launcher_.Start(program, arguments, [this](const LaunchOutcome& outcome) {
        if (outcome.ran) return;
        state_.lastError = outcome.errorText;
        reporter_.Status(outcome.errorText);
    });
}

void ProgramStarter::StartLogViewer(const std::string& setName) {
    StartViewer(kLogViewerProgram,
                setName.empty() ? std::vector<std::string>{} : std::vector<std::string>{setName});
}

void ProgramStarter::StartRestore() {
    StartViewer(kRestoreProgram, {});
}

void ProgramStarter::StartSavedDataViewer() {
    StartViewer(kSavedDataViewerProgram, {});
}

}  // namespace zorva::velmoro
