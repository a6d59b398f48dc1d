#pragma once
// What the agent keeps of the settings file (the set folder name as 63 bytes and MONTIMER,
// the period of its scheduler) and how its daily log lines end (LF, CR LF: its old buffer's
// habit, kept so that the files read as before).

#include "common/DailyLog.h"
#include "common/Settings.h"

namespace zorva::velmoro {

inline constexpr SettingsReading kAgentSettings{
    .setFolderWidth = 63, .monitorTimer = true, .jobTimers = false};
inline constexpr DailyLogStyle kAgentLogStyle{.lineEnd = "\n\r\n", .lineBuffer = 260};

}  // namespace zorva::velmoro
