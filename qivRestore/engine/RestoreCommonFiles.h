#pragma once
// What the restore program keeps of the settings file (the set folder name as 19 bytes, the
// time limit and the poll period of a host job) and how its daily log lines end (LF alone).

#include "common/DailyLog.h"
#include "common/Settings.h"

namespace zorva::qivrestore {

inline constexpr SettingsReading kRestoreSettings{
    .setFolderWidth = 19, .monitorTimer = false, .jobTimers = true};
inline constexpr DailyLogStyle kRestoreLogStyle{.lineEnd = "\n", .lineBuffer = 256};

}  // namespace zorva::qivrestore
