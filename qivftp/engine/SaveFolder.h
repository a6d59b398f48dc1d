#pragma once
// Where a job's save files go: one generation folder below BASEDIR and the set's folder,
// named by the set's schedule and the day of the run.

#include <string>
#include <string_view>

#include "common/Clock.h"
#include "common/Settings.h"
#include "qivftp/engine/TransferJob.h"

namespace zorva::qivftp {

// The retention text as the name of one folder level. A text that cannot be a folder name
// of its own (empty, ".", ".." or holding a "/") becomes "0", so neither the save folder nor
// the purge ever leaves the set's folder.
std::string RetentionFolderName(std::string_view retentionDays);

// BASEDIR + set + "/" + retention folder: where an every-day set keeps its day folders.
std::string RetentionFolder(const TransferJob& job, const Settings& settings);

// The generation folder of a job run on `today`:
//   DailyKind '2'    BASEDIR + set + "/" + English weekday name
//   DailyKind '1'    RetentionFolder + "/" + YYYYMMDD
//   MonthlyKind '1'  BASEDIR + set + "/" + YYYYMM01
//   MonthlyKind '2'  BASEDIR + set + "/" + YYYYMM31 (31 whatever the month's length)
//   otherwise        BASEDIR + set + "/" + YYYYMMDD
std::string ComputeSaveFolder(const TransferJob& job, const Settings& settings,
                              const LocalTime& today);
inline std::string ComputeSaveFolder(const TransferJob& job, const Settings& settings,
                                     const Clock& clock) {
    return ComputeSaveFolder(job, settings, clock.Now());
}

// Creates the folder and every missing parent. On failure the message and status line are
// the path followed by "が作成できません".
bool MakeSaveFolder(const std::string& saveFolder, Reporter& output);

}  // namespace zorva::qivftp
