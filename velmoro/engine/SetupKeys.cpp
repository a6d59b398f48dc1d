#include "velmoro/engine/SetupKeys.h"

#include <string>

namespace zorva::velmoro {

bool EnsureSetupKeys(ProfileFile& ini, std::string_view version) {
    struct Key {
        std::string_view section, key;
        std::string value;
    };
    const Key keys[] = {{"SYSTEM", "VERSION", std::string(version)},
                        {"TIMER", "MONTIMER", std::to_string(kDefaultMonitorInterval.count())},
                        {"TIMER", "FILETIMER", std::to_string(kDefaultFileTimer.count())},
                        {"TIMER", "JOBTIMER", std::to_string(kDefaultJobTimer.count())}};
    bool changed = false;
    for (const Key& key : keys) {
        if (ini.HasKey(key.section, key.key)) continue;
        ini.SetText(key.section, key.key, key.value);
        changed = true;
    }
    return changed;
}

std::chrono::milliseconds SchedulerPeriod(std::chrono::milliseconds monitorInterval,
                                          DailyLog& log) {
    if (monitorInterval > std::chrono::milliseconds::zero()) return monitorInterval;
    log.WriteDailyLog(kMonitorIntervalReplaced);
    return kDefaultMonitorInterval;
}

}  // namespace zorva::velmoro
