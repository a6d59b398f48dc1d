#include "common/SavedData.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>

namespace zorva {
namespace {

namespace fs = std::filesystem;

constexpr const char* kWeekdayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};

constexpr std::string_view kTemporarySuffix = ".part";
constexpr std::size_t kTagDigits = 8;

std::string MonthStamp(const LocalTime& t, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%d%02d%02d", t.year, t.month, day);
    return text;
}

std::string ReplaceFirst(std::string_view text, char from, char to) {
    std::string result(text);
    if (auto at = result.find(from); at != std::string::npos) result[at] = to;
    return result;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

std::string HostObjectName(std::string_view object) {
    return ReplaceFirst(object, '*', '#');
}

std::optional<std::filesystem::path> SaveFilePath(const std::filesystem::path& saveFolder,
                                                  std::string_view object) {
    const std::string name = HostObjectName(object);
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        return std::nullopt;
    }
    return saveFolder / name;
}

bool IsUsableBaseDir(std::string_view baseDir) {
    return baseDir.starts_with('/');
}

std::string SetFolder(const Settings& settings, std::string_view setName) {
    // BASEDIR already ends with "/": the set name follows it directly.
    return settings.baseDir + std::string(setName) + "/";
}

std::string RetentionFolderName(std::string_view retentionDays) {
    if (retentionDays.empty() || retentionDays == "." || retentionDays == ".." ||
        retentionDays.find('/') != std::string_view::npos) {
        return "0";
    }
    return std::string(retentionDays);
}

std::string RetentionFolder(const SaveSchedule& schedule, const Settings& settings) {
    return SetFolder(settings, schedule.setName) + RetentionFolderName(schedule.retentionDays);
}

std::string ComputeSaveFolder(const SaveSchedule& schedule, const Settings& settings,
                              const LocalTime& today) {
    const std::string setFolder = SetFolder(settings, schedule.setName);
    if (schedule.dailyKind == DailyKind::Weekdays) {
        const int weekday = today.weekday >= 0 && today.weekday < 7 ? today.weekday : 0;
        return setFolder + kWeekdayNames[weekday];
    }
    if (schedule.dailyKind == DailyKind::EveryDay)
        return RetentionFolder(schedule, settings) + "/" + DateStamp(today);
    if (schedule.monthlyKind == MonthlyKind::FirstDay) return setFolder + MonthStamp(today, 1);
    if (schedule.monthlyKind == MonthlyKind::LastDay) return setFolder + MonthStamp(today, 31);
    return setFolder + DateStamp(today);
}

bool MakeSaveFolder(const std::string& saveFolder, Reporter& output) {
    // Each missing level is made private (0700): saved data is for its owner only. Folders
    // that exist already keep their mode.
    fs::path level;
    int reason = ENOTDIR;  // every level existed, the last one not as a folder
    for (const fs::path& part : fs::path(saveFolder)) {
        level /= part;
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
            reason = errno;
            break;
        }
    }
    std::error_code error;
    // An existing folder is success; an existing file of that name is not.
    if (!fs::is_directory(saveFolder, error)) {
        output.MessageAndStatus(saveFolder + "が作成できません：" +
                                std::error_code(reason, std::generic_category()).message());
        return false;
    }
    return true;
}

std::string DownloadTemporaryName(std::string_view fileName, unsigned tag) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x", tag);
    return "." + std::string(fileName) + suffix + std::string(kTemporarySuffix);
}

bool IsDownloadTemporaryName(std::string_view name) {
    // "." + at least one character + "." + eight hex digits + ".part"
    const std::size_t tail = 1 + kTagDigits + kTemporarySuffix.size();
    if (name.size() < 2 + tail || name.front() != '.' || !name.ends_with(kTemporarySuffix)) {
        return false;
    }
    const std::string_view tag = name.substr(name.size() - tail);
    return tag.front() == '.' &&
           std::all_of(tag.begin() + 1, tag.begin() + 1 + kTagDigits, IsHexDigit);
}

void RemoveDownloadTemporaries(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        if (it->symlink_status(error).type() != fs::file_type::regular) continue;
        if (IsDownloadTemporaryName(it->path().filename().string())) {
            fs::remove(it->path(), error);
            error.clear();
        }
    }
}

std::optional<std::vector<std::string>> ListSaveFiles(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) return std::nullopt;
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) return std::nullopt;
        // symlink_status: a link is never a save file, whatever it points at.
        if (it->symlink_status(error).type() != fs::file_type::regular) continue;
        std::string name = it->path().filename().string();
        if (!IsDownloadTemporaryName(name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());  // std::string compares as unsigned bytes
    return names;
}

}  // namespace zorva
