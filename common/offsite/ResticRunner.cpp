#include "common/offsite/ResticRunner.h"

namespace zorva::offsite {
namespace {

// A run that did not end by itself or could not start; empty when restic exited (its error
// text then tells).
std::string RunEndText(const RunResult& result, std::chrono::milliseconds timeLimit) {
    switch (result.end) {
        case RunEnd::NotStarted:
            return "オフサイト：resticを起動できない：" + result.errorText;
        case RunEnd::TimedOut:
            return "オフサイト：resticが" + std::to_string(timeLimit.count() / 1000) +
                   "秒以内に終わらないため中止した";
        case RunEnd::Stopped:
            return "オフサイト：resticを中止した";
        case RunEnd::Exited:
            break;
    }
    return {};
}

}  // namespace

std::string RunFailureText(const RunResult& result, const ResticAccess& access,
                           std::chrono::milliseconds timeLimit) {
    if (result.Succeeded()) return {};
    if (result.end != RunEnd::Exited) return RunEndText(result, timeLimit);
    return ResticFailureText(result.errorText, access);
}

CollectedRun RunCollectingOutput(ResticRunner& restic, const ResticCommand& command,
                                 std::function<bool()> stopRequested,
                                 std::chrono::milliseconds timeLimit) {
    CollectedRun run;
    run.result =
        restic.Run(command, {[&run](std::string_view line) { (run.output += line) += '\n'; },
                             std::move(stopRequested), timeLimit});
    return run;
}

Expected<std::vector<Snapshot>> ListSnapshots(ResticRunner& restic, const ResticAccess& access,
                                              std::string_view host, std::string_view setName,
                                              std::function<bool()> stopRequested,
                                              std::chrono::milliseconds timeLimit) {
    const CollectedRun run = RunCollectingOutput(restic, SnapshotsCommand(access, host, setName),
                                                 std::move(stopRequested), timeLimit);
    if (!run.result.Succeeded())
        return MakeFailure(FailureCode::ReadFailed, RunFailureText(run.result, access, timeLimit));
    return ParseSnapshots(run.output);
}

}  // namespace zorva::offsite
