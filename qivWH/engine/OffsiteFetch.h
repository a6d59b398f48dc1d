#pragma once
// The off-site side of the saved-data viewer: a set's snapshots in the restic repository, and
// bringing one back to BASEDIR/<set>/<generation> so that the restore program sends it as any
// other generation. Blocking; the window runs it on a worker thread.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/Expected.h"
#include "common/ProfileFile.h"
#include "common/offsite/ResticRunner.h"

namespace zorva::qivwh {

struct OffsiteContext {
    offsite::ResticAccess access;
    std::string host;  // the terminal id the snapshots were made under
    std::filesystem::path baseDir;
    std::string setName;
    std::function<bool()> stopRequested;
};

// Fails when [OFFSITE] names no repository, BASEDIR is unusable or a file is refused.
Expected<OffsiteContext> OpenOffsite(const std::filesystem::path& programFolder,
                                     const ProfileFile& settings, const std::string& setName);

Expected<std::vector<offsite::Snapshot>> ListSetSnapshots(const OffsiteContext& context,
                                                          offsite::ResticRunner& restic);

// Restores the snapshot (full id or its first eight digits or more) into a folder beside the
// set, checks it against its manifest and only then moves it to its generation's place, which
// must not exist. Returns the generation path ("7/20261207").
Expected<std::string> FetchSnapshot(const OffsiteContext& context, offsite::ResticRunner& restic,
                                    const std::string& snapshotId);

// "2026/12/07 20:06" in local time.
std::string SnapshotTimeText(std::int64_t seconds);
// The columns the command line and the window show: id, date, generation, size.
std::vector<std::string> SnapshotColumns(const offsite::Snapshot& snapshot);

// `qivWH --offsite SET` and `qivWH --fetch SET SNAPSHOT`.
struct OffsiteArguments {
    std::string setName;
    std::optional<std::string> snapshot;  // --fetch
};
std::optional<Expected<OffsiteArguments>> ParseOffsiteArguments(
    const std::vector<std::string>& arguments);
// Exit code 0 done, 1 the repository or the fetch failed, 2 the settings do not allow it.
int RunOffsiteCommand(const std::filesystem::path& programFolder, const OffsiteArguments& arguments,
                      offsite::ResticRunner& restic, std::ostream& out, std::ostream& err);

}  // namespace zorva::qivwh
