#include "velmoro/engine/OffsiteSetup.h"

#include <map>

namespace zorva::velmoro {
namespace {

using namespace std::chrono_literals;

// A dialog button should not wait for a dead backend for long.
constexpr std::chrono::milliseconds kButtonTimeLimit = 120s;

offsite::RunResult RunRestic(offsite::ResticRunner& restic, const offsite::ResticCommand& command,
                             const std::function<bool()>& stopRequested) {
    return offsite::RunCollectingOutput(restic, command, stopRequested, kButtonTimeLimit).result;
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
    const auto probe = RunRestic(restic, offsite::SnapshotsCommand(*access, "", ""), stopRequested);
    if (probe.Succeeded()) return {true, "リポジトリは既に初期化されている"};
    if (probe.end != offsite::RunEnd::Exited ||
        offsite::ProblemOf(probe.errorText) != offsite::ResticProblem::NoRepository)
        return {false, offsite::RunFailureText(probe, *access, kButtonTimeLimit)};
    const auto init = RunRestic(restic, offsite::InitCommand(*access), stopRequested);
    if (!init.Succeeded()) return {false, offsite::RunFailureText(init, *access, kButtonTimeLimit)};
    return {true, "リポジトリを初期化した：" + access->repository};
}

OffsiteSetupResult CheckOffsiteRepository(const OffsiteSettings& settings,
                                          const std::filesystem::path& programFolder,
                                          const std::string& host, offsite::ResticRunner& restic,
                                          const std::function<bool()>& stopRequested) {
    const auto access = offsite::OpenResticAccess(settings, programFolder);
    if (!access) return {false, access.error().text};
    const auto snapshots =
        offsite::ListSnapshots(restic, *access, host, "", stopRequested, kButtonTimeLimit);
    if (!snapshots) return {false, snapshots.error().text};
    return {true, SnapshotSummary(*snapshots)};
}

}  // namespace zorva::velmoro
