#include "qivftp/engine/OffsiteCopy.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "common/DateTime.h"
#include "common/FileIo.h"
#include "common/Manifest.h"
#include "common/Settings.h"
#include "common/Sha256.h"
#include "common/TextFields.h"

namespace zorva::qivftp {
namespace {

namespace fs = std::filesystem;
using offsite::ResticAccess;

constexpr std::size_t kDigestDigits = 16;
constexpr std::size_t kStateFileLimit = 64 * 1024;
constexpr int kWeekOfFolders = 7;

LocalGeneration Describe(const fs::path& setFolder, const std::string& path) {
    const fs::path folder = setFolder / path;
    const fs::path manifest = folder / kManifestFileName;
    std::error_code error;
    fs::file_time_type changed = fs::last_write_time(manifest, error);
    if (error) changed = fs::last_write_time(folder, error);
    const Expected<std::string> digest = Sha256OfFile(manifest);
    return {path, changed, digest ? digest->substr(0, kDigestDigits) : "none"};
}

std::int64_t FolderBytes(const fs::path& folder) {
    std::int64_t bytes = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.is_regular_file(error))
            bytes += static_cast<std::int64_t>(entry.file_size(error));
    }
    return bytes;
}

// The day a state line names, for this repository only.
std::optional<long long> PrunedDay(std::string_view line, std::string_view repository) {
    if (line.size() < 10 || line[8] != '\t' || line.substr(9) != repository) return std::nullopt;
    if (line.substr(0, 8).find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const auto digits = [&line](std::size_t at, std::size_t count) {
        return ParseDecimal(line.substr(at, count));
    };
    return DaySerial(digits(0, 4), digits(4, 2), digits(6, 2));
}

class Copier {
public:
    Copier(const OffsiteJob& job, const ResticAccess& access, offsite::ResticRunner& restic,
           Reporter& output)
        : job_(job), access_(access), restic_(restic), output_(output) {}

    std::optional<std::vector<offsite::Snapshot>> Snapshots() {
        auto snapshots = offsite::ListSnapshots(restic_, access_, job_.host, job_.setName,
                                                job_.stopRequested, job_.timeLimit);
        if (!snapshots) return Fail(snapshots.error().text), std::nullopt;
        return std::move(*snapshots);
    }

    bool Copy(const std::string& generation) {
        const fs::path folder = job_.setFolder / generation;
        const LocalGeneration local = Describe(job_.setFolder, generation);
        const offsite::SnapshotTags tags{job_.setName, generation, FolderBytes(folder),
                                         local.manifestDigest};
        output_.Message("オフサイトコピー中… " + generation);
        std::optional<offsite::BackupSummary> summary;
        int shownPercent = -1;
        const bool ran = Run(offsite::BackupCommand(access_, job_.host, tags, folder),
                             [&](std::string_view line) {
                                 const auto parsed = offsite::ParseBackupLine(line);
                                 if (const auto* s = std::get_if<offsite::BackupStatus>(&parsed))
                                     ShowProgress(generation, *s, shownPercent);
                                 if (const auto* s = std::get_if<offsite::BackupSummary>(&parsed))
                                     summary = *s;
                                 if (const auto* e = std::get_if<offsite::BackupError>(&parsed))
                                     output_.Message("オフサイト：" + e->text);
                             });
        if (!ran) return false;
        if (summary) {
            outcome_.bytesAdded += summary->dataAdded;
            output_.Message("オフサイトコピー完了：" + generation + " 処理 " +
                            offsite::ByteSizeText(summary->bytesProcessed) + " 追加 " +
                            offsite::ByteSizeText(summary->dataAdded) + " スナップショット " +
                            summary->snapshotId.substr(0, 8));
        }
        ++outcome_.copied;
        return true;
    }

    void Forget(int keep) {
        const fs::path statePath = job_.programFolder / kPruneStateFileName;
        const std::string state = ReadRegularFileBytes(statePath, kStateFileLimit).value_or("");
        const bool prune = PruneDue(state, access_.repository, job_.now);
        output_.Status(prune ? "オフサイト整理中（prune）" : "オフサイト整理中");
        if (!Run(offsite::ForgetCommand(access_, job_.host, job_.setName, keep, prune), {}) ||
            !prune)
            return;
        if (const std::error_code error = TryWriteFileAtomically(
                statePath, WithPruneDay(state, access_.repository, job_.now), 0600))
            output_.Message(LocalFileFailureText(statePath, error));
    }

    OffsiteOutcome& Outcome() { return outcome_; }

    void Fail(const std::string& text) {
        if (outcome_.failure.empty()) outcome_.failure = text;
        output_.Message(text);
    }

private:
    bool Run(const offsite::ResticCommand& command, std::function<void(std::string_view)> onLine) {
        const offsite::RunResult result =
            restic_.Run(command, {std::move(onLine), job_.stopRequested, job_.timeLimit});
        if (result.Succeeded()) return true;
        Fail(offsite::RunFailureText(result, access_, job_.timeLimit));
        return false;
    }

    void ShowProgress(const std::string& generation, const offsite::BackupStatus& status,
                      int& shownPercent) {
        const int percent = static_cast<int>(std::floor(status.fraction * 100));
        if (percent == shownPercent) return;
        shownPercent = percent;
        output_.Status("オフサイトコピー中… " + generation + " " +
                       offsite::ByteSizeText(status.bytesDone) + " / " +
                       offsite::ByteSizeText(status.totalBytes));
    }

    const OffsiteJob& job_;
    const ResticAccess& access_;
    offsite::ResticRunner& restic_;
    Reporter& output_;
    OffsiteOutcome outcome_;
};

}  // namespace

int SnapshotsToKeep(const OffsiteSettings& settings, bool everyDay,
                    const std::string& retentionDays) {
    if (settings.keep) return *settings.keep;
    const int days = ParseDecimal(retentionDays);
    return everyDay && days > 0 ? days : kWeekOfFolders;
}

std::vector<std::string> GenerationsToCopy(std::vector<LocalGeneration> local,
                                           const std::vector<offsite::Snapshot>& snapshots,
                                           int keep) {
    std::sort(local.begin(), local.end(), [](const LocalGeneration& a, const LocalGeneration& b) {
        return a.changed > b.changed;
    });
    if (local.size() > static_cast<std::size_t>(std::max(keep, 0)))
        local.resize(static_cast<std::size_t>(std::max(keep, 0)));
    std::vector<std::string> toCopy;
    for (auto it = local.rbegin(); it != local.rend(); ++it) {
        const bool copied =
            std::any_of(snapshots.begin(), snapshots.end(), [&](const offsite::Snapshot& s) {
                return s.generation == it->path && s.manifestDigest == it->manifestDigest;
            });
        if (!copied) toCopy.push_back(it->path);
    }
    return toCopy;
}

bool PruneDue(std::string_view stateFileBytes, std::string_view repository, const LocalTime& now) {
    for (std::string_view line : SplitLines(stateFileBytes)) {
        if (const auto day = PrunedDay(line, repository))
            return DaySerial(now.year, now.month, now.day) - *day >= kPruneIntervalDays;
    }
    return true;
}

std::string WithPruneDay(std::string_view stateFileBytes, std::string_view repository,
                         const LocalTime& now) {
    std::string out = DateStamp(now) + "\t" + std::string(repository) + "\n";
    for (std::string_view line : SplitLines(stateFileBytes)) {
        if (line.size() < 9 || line.substr(9) != repository) (out += line) += '\n';
    }
    return out;
}

OffsiteOutcome CopyOffsite(const OffsiteSettings& settings, const OffsiteJob& job,
                           offsite::ResticRunner& restic, Reporter& output) {
    const auto access = offsite::OpenResticAccess(settings, job.programFolder);
    if (!access) {
        output.Message(access.error().text);
        return {0, 0, access.error().text};
    }
    Copier copier(job, *access, restic, output);
    const auto snapshots = copier.Snapshots();
    if (!snapshots) return copier.Outcome();
    std::vector<LocalGeneration> local;
    for (const std::string& path : VerifiableGenerations(job.setFolder))
        local.push_back(Describe(job.setFolder, path));
    for (const std::string& generation : GenerationsToCopy(local, *snapshots, job.keep)) {
        if (!copier.Copy(generation)) return copier.Outcome();
    }
    copier.Forget(job.keep);
    return copier.Outcome();
}

std::string OffsiteMailLine(const OffsiteOutcome& outcome) {
    std::string line = "オフサイトコピー : " + std::to_string(outcome.copied) + "世代 追加 " +
                       offsite::ByteSizeText(outcome.bytesAdded);
    return outcome.failure.empty() ? line : line + " 失敗 " + outcome.failure;
}

}  // namespace zorva::qivftp
