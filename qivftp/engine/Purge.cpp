#include "qivftp/engine/Purge.h"

#include <cstdio>
#include <system_error>
#include <vector>

#include "common/SavedData.h"

namespace zorva::qivftp {
namespace {

namespace fs = std::filesystem;

// A folder of its own, not a symbolic link to one: links are never followed out of the
// purge folder.
bool IsRealFolder(const fs::directory_entry& entry) {
    std::error_code error;
    return entry.symlink_status(error).type() == fs::file_type::directory;
}

std::vector<fs::directory_entry> ListEntries(fs::directory_iterator it) {
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) break;
        entries.push_back(*it);
    }
    return entries;
}

}  // namespace

std::string DateDaysAgo(const LocalTime& today, int days) {
    int year = today.year, month = today.month, day = today.day;
    for (int i = 0; i < days; ++i) {
        if (day > 1) {
            --day;
        } else if (month == 1) {
            --year;
            month = 12;
            day = 31;
        } else {
            --month;
            day = DaysInMonth(year, month);
        }
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
    return text;
}

int RetentionCount(std::string_view retentionDays) {
    return ParseDecimal(retentionDays);
}

bool IsDayFolderName(std::string_view name) {
    if (name.size() != 8) return false;
    for (char c : name) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool DeleteFilesInFolder(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) return false;
    for (const fs::directory_entry& entry : ListEntries(std::move(it))) {
        if (!IsRealFolder(entry)) fs::remove(entry.path(), error);
    }
    return true;
}

void PurgeOldGenerations(const TransferJob& job, const Settings& settings, const Clock& clock,
                         Reporter& output) {
    const std::string folder = RetentionFolder(ScheduleOf(job), settings);
    const int days = RetentionCount(job.RetentionDays);
    const std::string cutOff = DateDaysAgo(clock.Now(), days);

    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return output.MessageAndStatus("削除対象ディレクトリに移動出来ない");
    }
    fs::directory_iterator it(folder, error);
    if (error) return output.MessageAndStatus("削除対象ディレクトリを取得出来ない");

    for (const fs::directory_entry& entry : ListEntries(std::move(it))) {
        const std::string name = entry.path().filename().string();
        // Eight digits on both sides, so the byte order of the texts is the date order.
        if (!IsRealFolder(entry) || !IsDayFolderName(name) || !(name < cutOff)) continue;
        if (!DeleteFilesInFolder(entry.path()) || !fs::remove(entry.path(), error)) {
            output.MessageAndStatus("削除対象ディレクトリの削除に失敗した");
        }
    }
}

}  // namespace zorva::qivftp
