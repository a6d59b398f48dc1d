#include "qivftp/engine/SaveFolder.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace zorva::qivftp {
namespace {

constexpr const char* kWeekdayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};

std::string MonthStamp(const LocalTime& t, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%d%02d%02d", t.year, t.month, day);
    return text;
}

std::string SetFolder(const TransferJob& job, const Settings& settings) {
    // BASEDIR already ends with "/": the set name follows it directly.
    return settings.BaseDir + job.SetName + "/";
}

}  // namespace

std::string RetentionFolderName(std::string_view retentionDays) {
    if (retentionDays.empty() || retentionDays == "." || retentionDays == ".." ||
        retentionDays.find('/') != std::string_view::npos) {
        return "0";
    }
    return std::string(retentionDays);
}

std::string RetentionFolder(const TransferJob& job, const Settings& settings) {
    return SetFolder(job, settings) + RetentionFolderName(job.RetentionDays);
}

std::string ComputeSaveFolder(const TransferJob& job, const Settings& settings,
                              const LocalTime& today) {
    if (job.DailyKind == '2') {
        const int weekday = today.weekday >= 0 && today.weekday < 7 ? today.weekday : 0;
        return SetFolder(job, settings) + kWeekdayNames[weekday];
    }
    if (job.DailyKind == '1') return RetentionFolder(job, settings) + "/" + DateStamp(today);
    if (job.MonthlyKind == '1') return SetFolder(job, settings) + MonthStamp(today, 1);
    if (job.MonthlyKind == '2') return SetFolder(job, settings) + MonthStamp(today, 31);
    return SetFolder(job, settings) + DateStamp(today);
}

bool MakeSaveFolder(const std::string& saveFolder, Reporter& output) {
    std::error_code error;
    std::filesystem::create_directories(saveFolder, error);
    // An existing folder is success; an existing file of that name is not.
    if (!std::filesystem::is_directory(saveFolder, error)) {
        output.MessageAndStatus(saveFolder + "が作成できません");
        return false;
    }
    return true;
}

}  // namespace zorva::qivftp
