#include "qivftp/engine/Purge.h"

#include <algorithm>
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

// In name (byte) order, as the original platform's file system lists a folder.
std::vector<fs::directory_entry> ListEntries(fs::directory_iterator it) {
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) break;
        entries.push_back(*it);
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.path().filename().string() < b.path().filename().string();
    });
    return entries;
}

bool IsDayFolder(const fs::directory_entry& entry) {
    return IsRealFolder(entry) && IsDayFolderName(entry.path().filename().string());
}

// The newest day folder that holds a save file: the last good copy, which no retention
// period may take (a host down for longer than the period would otherwise cost every copy).
std::string NewestDayWithSaveFiles(const std::vector<fs::directory_entry>& entries) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (!IsDayFolder(*it)) continue;
        const auto files = ListSaveFiles(it->path());
        if (files && !files->empty()) return it->path().filename().string();
    }
    return {};
}

}  // namespace

std::string DateDaysAgo(const LocalTime& today, int days) {
    // A negative period keeps everything up to today, never a cut-off in the future.
    return DateStamp(AddDays(CalendarDate(today), -std::max(days, 0)));
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
    const int days = RetentionCount(job.retentionDays);
    const std::string cutOff = DateDaysAgo(clock.Now(), days);

    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return output.MessageAndStatus("削除対象ディレクトリに移動出来ない");
    }
    fs::directory_iterator it(folder, error);
    if (error) return output.MessageAndStatus("削除対象ディレクトリを取得出来ない");

    const std::vector<fs::directory_entry> entries = ListEntries(std::move(it));
    const std::string lastGoodCopy = NewestDayWithSaveFiles(entries);
    for (const fs::directory_entry& entry : entries) {
        const std::string name = entry.path().filename().string();
        // Eight digits on both sides, so the byte order of the texts is the date order.
        if (!IsDayFolder(entry) || !(name < cutOff) || name == lastGoodCopy) continue;
        if (!DeleteFilesInFolder(entry.path()) || !fs::remove(entry.path(), error)) {
            output.MessageAndStatus("削除対象ディレクトリの削除に失敗した");
        }
    }
}

}  // namespace zorva::qivftp
