#include "velmoro/engine/SetupKeys.h"

#include <string>

#include "common/ProfileFile.h"

namespace zorva::velmoro {

bool EnsureSetupKeys(const std::filesystem::path& iniPath, std::string_view version) {
    ProfileFile ini = ProfileFile::Load(iniPath);
    struct Key {
        std::string_view section, key;
        std::string value;
    };
    const Key keys[] = {{"SYSTEM", "VERSION", std::string(version)},
                        {"TIMER", "MONTIMER", std::to_string(kDefaultMonitorInterval)},
                        {"TIMER", "FILETIMER", std::to_string(kDefaultFileTimer)},
                        {"TIMER", "JOBTIMER", std::to_string(kDefaultJobTimer)}};
    bool changed = false;
    for (const Key& key : keys) {
        if (ini.HasKey(key.section, key.key)) continue;
        ini.SetText(key.section, key.key, key.value);
        changed = true;
    }
    return !changed || ini.Save(iniPath);
}

int SchedulerPeriod(int monitorInterval, DailyLog& log) {
    if (monitorInterval > 0) return monitorInterval;
    log.WriteDailyLog(kMonitorIntervalReplaced);
    return kDefaultMonitorInterval;
}

}  // namespace zorva::velmoro
