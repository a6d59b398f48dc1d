#pragma once
// Starting the other programs of the system. The agent never waits on its own thread: a start
// hands back at once and the launcher tells when the program has ended (or could not start),
// so the window stays live while a backup runs. The launcher behind the interface is QProcess
// in the program and a recording double in tests.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Reporter.h"
#include "velmoro/engine/AgentState.h"

namespace zorva::velmoro {

inline constexpr std::string_view kTransferAgentProgram = "qivftp";
inline constexpr std::string_view kLogViewerProgram = "qivLog";
inline constexpr std::string_view kRestoreProgram = "qivRestore";
inline constexpr std::string_view kSavedDataViewerProgram = "qivWH";

inline constexpr std::string_view kTransferAlreadyRunning = "既にダウンロードが開始されている";
inline constexpr std::string_view kTransferStartFailed = "ダウンロードプログラムの起動に失敗した";

struct LaunchOutcome {
    bool ran = false;       // started and ended
    std::string errorText;  // the system's text when it could not be started
};

class ProgramLauncher {
public:
    using Ended = std::function<void(const LaunchOutcome&)>;
    virtual ~ProgramLauncher() = default;
    // Starts `program` (a bare name) with `arguments` in the program folder, without a shell.
    // `ended` is called once, later, on the caller's thread: when the program has ended or
    // could not be started. A launcher destroyed first never calls it.
    virtual void Start(std::string_view program, const std::vector<std::string>& arguments,
                       Ended ended) = 0;
};

// StartProgramAndWait and its callers over the launcher. Only the transfer agent is counted:
// one at a time; the viewers and the restore program run beside anything.
class ProgramStarter {
public:
    ProgramStarter(ProgramLauncher& launcher, AgentState& state, Reporter& reporter)
        : launcher_(launcher), state_(state), reporter_(reporter) {}

    // Refuses while a transfer agent runs (false, lastError and status line and daily log
    // "既にダウンロードが開始されている"). Otherwise marks the set's job "実行中" and starts
    // qivftp with the set name; `ended(true)` once it ran, `ended(false)` with lastError
    // "ダウンロードプログラムの起動に失敗した" when it could not be started.
    bool StartTransferAgent(const std::string& setName, std::function<void(bool ran)> ended);
    // Each opens on `setName` (the set the operator chose); empty: no argument.
    void StartLogViewer(const std::string& setName);
    void StartRestore(const std::string& setName = {});
    void StartSavedDataViewer(const std::string& setName = {});

    bool TransferRunning() const { return transferRunning_; }

    // Called when the job list must show a changed status at once.
    std::function<void()> onJobsChanged;
    // Called with the text (program and the system's reason) when a viewer or the restore
    // program could not be started; it has gone to the daily log and the status line already.
    std::function<void(const std::string& text)> onStartFailed;

private:
    void StartViewer(std::string_view program, std::vector<std::string> arguments);

    ProgramLauncher& launcher_;
    AgentState& state_;
    Reporter& reporter_;
    bool transferRunning_ = false;
};

}  // namespace zorva::velmoro
