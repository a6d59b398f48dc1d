#pragma once
// The settings that no dialog writes: the version text and the three timer periods. Without
// them every period would be 0 (a job ending at once on its time limit, an agent polling
// without pause), so the agent puts in what is missing at start-up and the scheduler never
// runs on a period of 0.

#include <chrono>
#include <string_view>

#include "common/DailyLog.h"
#include "common/ProfileFile.h"

namespace zorva::velmoro {

inline constexpr std::chrono::milliseconds kDefaultMonitorInterval{60000};
inline constexpr std::chrono::milliseconds kDefaultFileTimer{10000};
inline constexpr std::chrono::milliseconds kDefaultJobTimer{43200000};

inline constexpr std::string_view kMonitorIntervalReplaced =
    "MONTIMERの値が0以下のため60000ミリ秒で監視する";

// Puts in each of VERSION, MONTIMER, FILETIMER and JOBTIMER that the file lacks, with its
// default; a key that is present keeps its value, even an empty one. True when one was added.
bool EnsureSetupKeys(ProfileFile& ini, std::string_view version);

// The scheduler timer's period: MONTIMER, or the default for 0 and less (logged).
std::chrono::milliseconds SchedulerPeriod(std::chrono::milliseconds monitorInterval, DailyLog& log);

}  // namespace zorva::velmoro
