#pragma once
// What the transfer agent keeps of the settings file (the set folder name as 19 bytes, the
// time limit and the poll period of a host job) and how its daily log lines end (CR LF).

#include "common/DailyLog.h"
#include "common/Settings.h"

namespace zorva::qivftp {

inline constexpr SettingsReading kTransferSettings{
    .setFolderWidth = 19, .monitorTimer = false, .jobTimers = true};
inline constexpr DailyLogStyle kTransferLogStyle{.lineEnd = "\r\n", .lineBuffer = 256};

}  // namespace zorva::qivftp
