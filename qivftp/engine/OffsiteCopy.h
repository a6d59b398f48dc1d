#pragma once
// The off-site copy after a job ([OFFSITE]): each local generation of the set that has no
// snapshot of its present content yet goes to the restic repository, then the set's
// snapshots beyond KEEP are forgotten (and, once a week per repository, pruned).
//
// A failure never touches the local generation or the job's result: it is reported, and the
// generation, still without its snapshot, is copied by the next job of the set.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Reporter.h"
#include "common/Settings.h"
#include "common/offsite/ResticRunner.h"

namespace zorva::qivftp {

// Beside zorva.ini: the day each repository was last pruned ("YYYYMMDD<TAB>repository").
inline constexpr std::string_view kPruneStateFileName = "offsite-prune.txt";
inline constexpr int kPruneIntervalDays = 7;

struct OffsiteOutcome {
    int copied = 0;               // generations that got their snapshot
    std::int64_t bytesAdded = 0;  // new data in the repository, after deduplication
    std::string failure;          // the first failure's line; empty when all went well

    friend bool operator==(const OffsiteOutcome&, const OffsiteOutcome&) = default;
};

struct OffsiteJob {
    std::filesystem::path programFolder;
    std::string setName;
    std::filesystem::path setFolder;  // BASEDIR/SET
    std::string host;                 // the terminal id: PCs sharing a repository stay apart
    int keep = 7;                     // snapshots kept of the set
    std::chrono::milliseconds timeLimit{0};
    LocalTime now;
    std::function<bool()> stopRequested;
};

// KEEP, or the set's own retention: its days for an every-day set, else a week of folders.
int SnapshotsToKeep(const OffsiteSettings& settings, bool everyDay,
                    const std::string& retentionDays);

// The generations (paths below the set folder) to copy, oldest change first: of the newest
// `keep` local generations, those whose manifest digest no snapshot of theirs carries.
struct LocalGeneration {
    std::string path;
    std::filesystem::file_time_type changed;
    std::string manifestDigest;
};
std::vector<std::string> GenerationsToCopy(std::vector<LocalGeneration> local,
                                           const std::vector<offsite::Snapshot>& snapshots,
                                           int keep);

// True when the repository was not pruned in the last kPruneIntervalDays days.
bool PruneDue(std::string_view stateFileBytes, std::string_view repository, const LocalTime& now);
// The state file with the repository's line set to `now`.
std::string WithPruneDay(std::string_view stateFileBytes, std::string_view repository,
                         const LocalTime& now);

OffsiteOutcome CopyOffsite(const OffsiteSettings& settings, const OffsiteJob& job,
                           offsite::ResticRunner& restic, Reporter& output);

// The report mail's one line about the copy.
std::string OffsiteMailLine(const OffsiteOutcome& outcome);

}  // namespace zorva::qivftp
