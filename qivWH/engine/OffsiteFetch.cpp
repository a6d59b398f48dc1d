#include "qivWH/engine/OffsiteFetch.h"

#include <fcntl.h>
#include <stdio.h>

#include <algorithm>
#include <ctime>

#include "common/FileIo.h"
#include "common/Manifest.h"
#include "common/SavedData.h"
#include "common/SetFolderReader.h"
#include "common/Settings.h"

namespace zorva::qivwh {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kShortIdDigits = 8;
constexpr std::string_view kFetchFolderName = ".offsite-fetch";
constexpr int kFailed = 1;
constexpr int kRefused = 2;

Unexpected Refusal(const std::string& text) {
    return MakeFailure(FailureCode::BadArgument, "オフサイト：" + text);
}

Expected<void> Restore(const OffsiteContext& context, offsite::ResticRunner& restic,
                       const std::string& snapshotId, const fs::path& target) {
    const offsite::RunResult result =
        restic.Run(offsite::RestoreCommand(context.access, snapshotId, target),
                   {{}, context.stopRequested, std::chrono::milliseconds::zero()});
    if (!result.Succeeded())
        return MakeFailure(FailureCode::ReadFailed,
                           offsite::RunFailureText(result, context.access, {}));
    return {};
}

// A generation path from a tag must stay below the set's folder.
bool IsSafeGeneration(const std::string& generation) {
    if (generation.empty() || generation.front() == '/') return false;
    const fs::path path(generation);
    return std::none_of(path.begin(), path.end(),
                        [](const fs::path& part) { return part == ".." || part == "."; });
}

Expected<offsite::Snapshot> FindSnapshot(const std::vector<offsite::Snapshot>& snapshots,
                                         const std::string& id) {
    if (id.size() >= kShortIdDigits) {
        for (const offsite::Snapshot& snapshot : snapshots) {
            if (snapshot.id.rfind(id, 0) == 0) return snapshot;
        }
    }
    return MakeFailure(FailureCode::NotFound, "オフサイト：スナップショット" + id + "がない");
}

// The restored folder must hold what its manifest says before it takes a generation's place.
Expected<void> CheckRestored(const fs::path& folder) {
    if (!fs::exists(folder / kManifestFileName)) return {};
    const auto verdicts = VerifyGeneration(folder);
    if (!verdicts) return Unexpected{verdicts.error()};
    if (!AllVerified(*verdicts))
        return MakeFailure(FailureCode::ReadFailed,
                           "オフサイト：取得したデータがSHA256SUMS.txtと一致しない");
    return {};
}

Expected<void> MoveIntoPlace(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::create_directories(to.parent_path(), error);
    if (error) return MakeFailure(FailureCode::WriteFailed, LocalFileFailureText(to, error));
    // Never over a generation that appeared meanwhile.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
        return MakeFailure(FailureCode::WriteFailed, LocalFileFailureText(to, LastError()));
    SyncFolder(to.parent_path());
    return {};
}

}  // namespace

Expected<OffsiteContext> OpenOffsite(const fs::path& programFolder, const ProfileFile& settings,
                                     const std::string& setName) {
    const OffsiteSettings offsite = OffsiteSettingsFrom(settings);
    if (!offsite.Enabled()) return Refusal("[OFFSITE] REPOSITORYが設定されていない");
    const ViewerFolders folders = ViewerFoldersFrom(settings, 255);
    if (!IsUsableBaseDir(folders.baseDir))
        return Refusal("保管用ベースディレクトリの指定が不正です");
    auto access = offsite::OpenResticAccess(offsite, programFolder);
    if (!access) return Unexpected{access.error()};
    return OffsiteContext{
        std::move(*access), settings.GetText("LOCAL", "TERMID", 10), folders.baseDir, setName, {}};
}

Expected<std::vector<offsite::Snapshot>> ListSetSnapshots(const OffsiteContext& context,
                                                          offsite::ResticRunner& restic) {
    return offsite::ListSnapshots(restic, context.access, context.host, context.setName,
                                  context.stopRequested, std::chrono::milliseconds::zero());
}

Expected<std::string> FetchSnapshot(const OffsiteContext& context, offsite::ResticRunner& restic,
                                    const std::string& snapshotId) {
    const auto snapshots = ListSetSnapshots(context, restic);
    if (!snapshots) return Unexpected{snapshots.error()};
    const auto snapshot = FindSnapshot(*snapshots, snapshotId);
    if (!snapshot) return Unexpected{snapshot.error()};
    if (snapshot->setName != context.setName || !IsSafeGeneration(snapshot->generation))
        return Refusal("スナップショット" + snapshotId + "はこのセットの世代でない");
    const fs::path target = context.baseDir / context.setName / snapshot->generation;
    if (fs::exists(target))
        return Refusal("世代" + context.setName + "/" + snapshot->generation + "はローカルにある");

    const fs::path staging =
        context.baseDir / kFetchFolderName / (context.setName + "-" + snapshot->shortId);
    std::error_code error;
    fs::remove_all(staging, error);  // what a killed fetch left
    fs::create_directories(staging.parent_path(), error);
    fs::permissions(staging.parent_path(), fs::perms::owner_all, error);
    Expected<void> placed = Restore(context, restic, snapshot->id, staging);
    if (placed) placed = CheckRestored(staging);
    fs::permissions(staging, fs::perms::owner_all, error);  // saved data stays private
    if (placed) placed = MoveIntoPlace(staging, target);
    fs::remove_all(staging, error);
    if (!placed) return Unexpected{placed.error()};
    return snapshot->generation;
}

std::string SnapshotTimeText(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M", &local);
    return text;
}

std::vector<std::string> SnapshotColumns(const offsite::Snapshot& snapshot) {
    return {snapshot.shortId, SnapshotTimeText(snapshot.time), snapshot.generation,
            snapshot.bytes ? offsite::ByteSizeText(*snapshot.bytes) : "-"};
}

std::optional<Expected<OffsiteArguments>> ParseOffsiteArguments(
    const std::vector<std::string>& arguments) {
    if (arguments.empty() || (arguments[0] != "--offsite" && arguments[0] != "--fetch"))
        return std::nullopt;
    const bool fetch = arguments[0] == "--fetch";
    if (arguments.size() != (fetch ? 3U : 2U) || !IsBrowsableSetName(arguments[1])) {
        return Expected<OffsiteArguments>(MakeFailure(
            FailureCode::BadArgument,
            fetch ? "--fetch needs a set name and a snapshot id" : "--offsite needs a set name"));
    }
    OffsiteArguments parsed{arguments[1], std::nullopt};
    if (fetch) parsed.snapshot = arguments[2];
    return Expected<OffsiteArguments>(parsed);
}

int RunOffsiteCommand(const fs::path& programFolder, const OffsiteArguments& arguments,
                      offsite::ResticRunner& restic, std::ostream& out, std::ostream& err) {
    const Expected<ProfileFile> ini = ProfileFile::Load(SettingsPath(programFolder));
    const auto context = ini ? OpenOffsite(programFolder, *ini, arguments.setName)
                             : Expected<OffsiteContext>(Unexpected{ini.error()});
    if (!context) {
        err << "qivWH: " << context.error().text << "\n";
        return kRefused;
    }
    if (arguments.snapshot) {
        const auto fetched = FetchSnapshot(*context, restic, *arguments.snapshot);
        if (!fetched) {
            err << "qivWH: " << fetched.error().text << "\n";
            return kFailed;
        }
        out << arguments.setName << "/" << *fetched << ": fetched\n";
        return 0;
    }
    const auto snapshots = ListSetSnapshots(*context, restic);
    if (!snapshots) {
        err << "qivWH: " << snapshots.error().text << "\n";
        return kFailed;
    }
    for (const offsite::Snapshot& snapshot : *snapshots) {
        const auto columns = SnapshotColumns(snapshot);
        for (std::size_t i = 0; i < columns.size(); ++i) out << (i ? "\t" : "") << columns[i];
        out << "\n";
    }
    return 0;
}

}  // namespace zorva::qivwh
