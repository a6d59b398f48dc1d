#pragma once
// The purge of old generations of an every-day set: before the job connects, the day folders
// older than the retention period are removed from below the set's retention folder.

#include <filesystem>
#include <string>
#include <string_view>

#include "common/Clock.h"
#include "common/Settings.h"
#include "qivftp/engine/TransferJob.h"

namespace zorva::qivftp {

// The date `days` days before `today` as YYYYMMDD; `today` itself when `days` is 0 or less.
std::string DateDaysAgo(const LocalTime& today, int days);

// The retention period in days: the leading number of the retention text, 0 when there is
// none.
int RetentionCount(std::string_view retentionDays);

// True for a name of exactly eight digits: the only folders the purge may remove.
bool IsDayFolderName(std::string_view name);

// Deletes every entry directly in `folder` that is not a folder (a symbolic link is removed
// itself, never followed); single failures are ignored and subfolders stay. False only when
// the folder cannot be listed.
bool DeleteFilesInFolder(const std::filesystem::path& folder);

// Removes each day folder below the retention folder whose name sorts before the cut-off
// date (today minus the retention count), in name order: its files first, then the folder.
// Anything that is not a real folder named by eight digits stays, and so does the newest day
// folder holding save files that verify against its manifest (or, without a manifest, any
// save file), however old. Each failure is one message and status line;
// the purge goes on with the next folder. The current folder of the process is not changed.
void PurgeOldGenerations(const TransferJob& job, const Settings& settings, const Clock& clock,
                         Reporter& output);

}  // namespace zorva::qivftp
