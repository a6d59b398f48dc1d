#pragma once
// Runs restic as a child process. Engines see only this interface; the programs hand them the
// QProcess runner (common/ui/QtResticRunner), tests a scripted one.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/offsite/Restic.h"

namespace zorva::offsite {

enum class RunEnd {
    Exited,      // exitCode tells how
    NotStarted,  // restic is not installed or cannot be run
    TimedOut,    // killed at the time limit
    Stopped,     // killed on a stop request
};

struct RunResult {
    RunEnd end = RunEnd::NotStarted;
    int exitCode = -1;
    std::string errorText;  // restic's standard error (its end, when long)

    bool Succeeded() const { return end == RunEnd::Exited && exitCode == 0; }
};

struct RunControl {
    std::function<void(std::string_view line)> onLine;  // each line of standard output
    std::function<bool()> stopRequested;                // polled a few times a second
    std::chrono::milliseconds timeLimit{0};             // 0: none
};

class ResticRunner {
public:
    virtual ~ResticRunner() = default;
    // Blocks until restic ends or is killed; for a worker thread.
    virtual RunResult Run(const ResticCommand& command, const RunControl& control) = 0;
};

// The outcome of a run as one line: empty on success.
std::string RunFailureText(const RunResult& result, const ResticAccess& access,
                           std::chrono::milliseconds timeLimit);

// A run whose standard output is wanted whole (a --json document).
struct CollectedRun {
    RunResult result;
    std::string output;
};
CollectedRun RunCollectingOutput(ResticRunner& restic, const ResticCommand& command,
                                 std::function<bool()> stopRequested,
                                 std::chrono::milliseconds timeLimit);

// The snapshots of `setName` from `host` (empty: every set, every host); a failed run as its
// one line.
Expected<std::vector<Snapshot>> ListSnapshots(ResticRunner& restic, const ResticAccess& access,
                                              std::string_view host, std::string_view setName,
                                              std::function<bool()> stopRequested,
                                              std::chrono::milliseconds timeLimit);

}  // namespace zorva::offsite
