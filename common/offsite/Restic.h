#pragma once
// Off-site copies through the restic command: the checked access to a repository, the command
// lines, and what restic's --json output and its error text say. No process is started here.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/Expected.h"
#include "common/Settings.h"

namespace zorva::offsite {

// What restic is run with once the settings' files have been checked. The password itself is
// never read by us: restic reads its file.
struct ResticAccess {
    std::string repository;
    std::string passwordFile;
    std::vector<std::string> environment;  // "KEY=VALUE" from ENVFILE, for restic alone
    std::string cacheFolder;               // in the program folder, never $HOME

    friend bool operator==(const ResticAccess&, const ResticAccess&) = default;
};

// Refuses a password or environment file that is missing, not a regular file or readable or
// writable by anyone but its owner, and an environment line that is no KEY=VALUE.
Expected<ResticAccess> OpenResticAccess(const OffsiteSettings& settings,
                                        const std::filesystem::path& programFolder);

// Variables restic would take a password or repository from: never inherited by restic, so
// that only the settings decide.
inline constexpr std::string_view kOverriddenVariables[] = {
    "RESTIC_PASSWORD", "RESTIC_PASSWORD_COMMAND", "RESTIC_PASSWORD_FILE", "RESTIC_REPOSITORY",
    "RESTIC_REPOSITORY_FILE"};

struct ResticCommand {
    std::vector<std::string> arguments;    // after the program name
    std::vector<std::string> environment;  // "KEY=VALUE" added to restic's environment
    std::string workingFolder;             // empty: the program's own

    friend bool operator==(const ResticCommand&, const ResticCommand&) = default;
};

// The tags that tie a snapshot to this system: the set, the generation folder below the set
// ("7/20261207"), the save files' size, and the digest of the generation's manifest that tells
// a changed generation (a weekday folder used again) from the copied one.
struct SnapshotTags {
    std::string setName;
    std::string generation;
    std::int64_t bytes = 0;
    std::string manifestDigest;  // 16 hex digits, "none" without a manifest
};

ResticCommand InitCommand(const ResticAccess& access);
// `setName` empty: the snapshots of every set of `host`.
ResticCommand SnapshotsCommand(const ResticAccess& access, std::string_view host,
                               std::string_view setName);
// Run in the generation folder, so that a snapshot holds the save files at its top.
ResticCommand BackupCommand(const ResticAccess& access, std::string_view host,
                            const SnapshotTags& tags, const std::filesystem::path& generation);
// Keeps the newest `keep` snapshots of the set from `host`; `prune` also frees the space.
ResticCommand ForgetCommand(const ResticAccess& access, std::string_view host,
                            std::string_view setName, int keep, bool prune);
ResticCommand RestoreCommand(const ResticAccess& access, std::string_view snapshotId,
                             const std::filesystem::path& target);
// The command an operator runs to clear a lock a killed run left.
std::string UnlockCommandLine(const ResticAccess& access);

// --- what restic says

struct BackupStatus {
    double fraction = 0;  // 0 to 1
    std::int64_t bytesDone = 0;
    std::int64_t totalBytes = 0;
    friend bool operator==(const BackupStatus&, const BackupStatus&) = default;
};

struct BackupSummary {
    std::int64_t bytesProcessed = 0;
    std::int64_t dataAdded = 0;  // after deduplication
    std::string snapshotId;
    friend bool operator==(const BackupSummary&, const BackupSummary&) = default;
};

struct BackupError {
    std::string text;  // "during item: message"
    friend bool operator==(const BackupError&, const BackupError&) = default;
};

// A line restic did not mean for us (or no JSON) is monostate.
using BackupLine = std::variant<std::monostate, BackupStatus, BackupSummary, BackupError>;
BackupLine ParseBackupLine(std::string_view line);

struct Snapshot {
    std::string id;
    std::string shortId;
    std::int64_t time = 0;  // seconds since the epoch
    std::string host;
    std::string setName;  // from the tags; empty for a snapshot this system did not make
    std::string generation;
    std::optional<std::int64_t> bytes;
    std::string manifestDigest;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

// The snapshot list of `restic snapshots --json`, oldest first as restic gives it.
Expected<std::vector<Snapshot>> ParseSnapshots(std::string_view json);

// "2026-12-07T20:06:46.891547495+09:00" as seconds since the epoch.
std::optional<std::int64_t> ParseResticTime(std::string_view text);

enum class ResticProblem { WrongPassword, NoRepository, Locked, Other };

// The one line of the daily log about a failed restic run, from its standard error.
ResticProblem ProblemOf(std::string_view errorText);
std::string ResticFailureText(std::string_view errorText, const ResticAccess& access);

// 1536 -> "1.5KB", for the progress and summary messages.
std::string ByteSizeText(std::int64_t bytes);

}  // namespace zorva::offsite
