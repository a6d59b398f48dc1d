#pragma once
// The saved data below BASEDIR: one folder per set, below it one generation folder per run
// named by the set's schedule and the day, in it one save file per object named by its host
// object name. The transfer agent writes this layout; the purge, the restore program and the
// saved-data viewer read it.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"
#include "common/Clock.h"
#include "common/Reporter.h"
#include "common/Settings.h"

namespace zorva {

// The fields of a backup set that place its generation folders.
struct SaveSchedule {
    std::string setName;
    DailyKind dailyKind = DailyKind::Unset;
    std::string retentionDays;
    MonthlyKind monthlyKind = MonthlyKind::Unset;
};

// The object name with its first '*' (only the first) replaced by '#': the name of the save
// file on the host and on the PC.
std::string HostObjectName(std::string_view object);

// Where the save file of `object` (a name the host reported) goes in `saveFolder`: a direct
// child named by HostObjectName, or nothing when that name could leave the folder (empty,
// ".", "..", or holding "/" or a NUL byte).
std::optional<std::filesystem::path> SaveFilePath(const std::filesystem::path& saveFolder,
                                                  std::string_view object);

// True for a BASEDIR that can hold saved data: an absolute folder. An empty or relative one
// would put the save folders into the program folder, where a set's folder is the name of its
// request file.
bool IsUsableBaseDir(std::string_view baseDir);

// BASEDIR + set + "/": the folder holding every generation of a set.
std::string SetFolder(const Settings& settings, std::string_view setName);

// The retention text as the name of one folder level. A text that cannot be a folder name
// of its own (empty, ".", ".." or holding a "/") becomes "0", so neither the save folder nor
// the purge ever leaves the set's folder.
std::string RetentionFolderName(std::string_view retentionDays);

// BASEDIR + set + "/" + retention folder: where an every-day set keeps its day folders.
std::string RetentionFolder(const SaveSchedule& schedule, const Settings& settings);

// The generation folder of a job run on `today`:
//   ticked weekdays  BASEDIR + set + "/" + English weekday name
//   every day        RetentionFolder + "/" + YYYYMMDD
//   first day        BASEDIR + set + "/" + YYYYMM01
//   last day         BASEDIR + set + "/" + YYYYMM31 (31 whatever the month's length)
//   otherwise        BASEDIR + set + "/" + YYYYMMDD
std::string ComputeSaveFolder(const SaveSchedule& schedule, const Settings& settings,
                              const LocalTime& today);

// Creates the folder and every missing parent, each with mode 0700. On failure the message
// and status line are the path followed by "が作成できません", a full-width colon and the
// system's reason.
bool MakeSaveFolder(const std::string& saveFolder, Reporter& output);

// The hidden name a download is written to until it is complete: "." + name + "." + eight
// hex digits of `tag` + ".part".
std::string DownloadTemporaryName(std::string_view fileName, unsigned tag);
// True for a name of that form: never a save file, whatever its size.
bool IsDownloadTemporaryName(std::string_view fileName);

// Removes the download temporaries a killed run left in the folder (they can be gigabytes).
// Only one run per program folder writes at a time, so none of them is still being written.
void RemoveDownloadTemporaries(const std::filesystem::path& folder);

// The save files of a generation folder: its regular files in name (byte) order, without
// download temporaries, folders, links or anything else. nullopt when the folder cannot be
// listed.
std::optional<std::vector<std::string>> ListSaveFiles(const std::filesystem::path& folder);

}  // namespace zorva
