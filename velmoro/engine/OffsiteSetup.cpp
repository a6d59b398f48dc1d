#include "velmoro/engine/OffsiteSetup.h"

#include <map>

namespace zorva::velmoro {
namespace {

using namespace std::chrono_literals;

// A dialog button should not wait for a dead backend for long.
constexpr std::chrono::milliseconds kButtonTimeLimit = 120s;

struct Run {
    offsite::RunResult result;
    std::string output;
};

Run RunRestic(offsite::ResticRunner& restic, const offsite::ResticCommand& command,
              const std::function<bool()>& stopRequested) {
    Run run;
    run.result =
        restic.Run(command, {[&run](std::string_view line) { (run.output += line) += '\n'; },
                             stopRequested, kButtonTimeLimit});
    return run;
}

std::string SnapshotSummary(const std::vector<offsite::Snapshot>& snapshots) {
    std::map<std::string, int> perSet;
    for (const offsite::Snapshot& snapshot : snapshots)
        ++perSet[snapshot.setName.empty() ? "-" : snapshot.setName];
    std::string text = "接続できた：スナップショット" + std::to_string(snapshots.size()) + "件";
    for (const auto& [set, count] : perSet) text += "\n" + set + " : " + std::to_string(count);
    return text;
}

}  // namespace

OffsiteSetupResult InitOffsiteRepository(const OffsiteSettings& settings,
                                         const std::filesystem::path& programFolder,
                                         offsite::ResticRunner& restic,
                                         const std::function<bool()>& stopRequested) {
    const auto access = offsite::OpenResticAccess(settings, programFolder);
    if (!access) return {false, access.error().text};
    // Only a repository that is not there is created: init over a reachable one would fail
    // anyway, and a wrong password must not look like a missing repository.
    const Run probe = RunRestic(restic, offsite::SnapshotsCommand(*access, "", ""), stopRequested);
    if (probe.result.Succeeded()) return {true, "リポジトリは既に初期化されている"};
    if (probe.result.end != offsite::RunEnd::Exited ||
        offsite::ProblemOf(probe.result.errorText) != offsite::ResticProblem::NoRepository)
        return {false, offsite::RunFailureText(probe.result, *access, kButtonTimeLimit)};
    const Run init = RunRestic(restic, offsite::InitCommand(*access), stopRequested);
    if (!init.result.Succeeded())
        return {false, offsite::RunFailureText(init.result, *access, kButtonTimeLimit)};
    return {true, "リポジトリを初期化した：" + access->repository};
}

OffsiteSetupResult CheckOffsiteRepository(const OffsiteSettings& settings,
                                          const std::filesystem::path& programFolder,
                                          const std::string& host, offsite::ResticRunner& restic,
                                          const std::function<bool()>& stopRequested) {
    const auto access = offsite::OpenResticAccess(settings, programFolder);
    if (!access) return {false, access.error().text};
    const Run run = RunRestic(restic, offsite::SnapshotsCommand(*access, host, ""), stopRequested);
    if (!run.result.Succeeded())
        return {false, offsite::RunFailureText(run.result, *access, kButtonTimeLimit)};
    const auto snapshots = offsite::ParseSnapshots(run.output);
    if (!snapshots) return {false, snapshots.error().text};
    return {true, SnapshotSummary(*snapshots)};
}

}  // namespace zorva::velmoro
