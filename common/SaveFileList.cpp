#include "common/SaveFileList.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "common/SavedData.h"

namespace zorva {

std::optional<std::size_t> FindObjectRow(std::span<const ObjectRow> table,
                                         std::string_view fileName) {
    // Only the forward mapping is sound: a name may itself begin with '#' ("#SAL*" is saved as
    // "#SAL#"), so turning a '#' back into '*' would name another object.
    const std::size_t searched = std::min(table.size(), kMaxRows);
    for (std::size_t i = 0; i < searched; ++i) {
        if (HostObjectName(table[i].object) == fileName) return i;
    }
    return std::nullopt;
}

LocalTime LocalFileTime(std::filesystem::file_time_type time) {
    const auto system = std::chrono::file_clock::to_sys(time);
    const std::time_t seconds = std::chrono::system_clock::to_time_t(system);
    std::tm local{};
    localtime_r(&seconds, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
            local.tm_min,         local.tm_sec,     local.tm_wday};
}

std::optional<std::vector<SaveFileRow>> ListSaveFileRows(const std::filesystem::path& folder,
                                                         std::span<const ObjectRow> table) {
    const auto names = ListSaveFiles(folder);
    if (!names) return std::nullopt;
    std::vector<SaveFileRow> rows;
    for (const std::string& name : *names) {
        const std::optional<std::size_t> index = FindObjectRow(table, name);
        if (!index) continue;
        std::error_code error;
        const auto written = std::filesystem::last_write_time(folder / name, error);
        if (error) continue;  // gone since it was listed
        const ObjectRow& row = table[*index];
        rows.push_back({name, row.library, row.object, row.type, LocalFileTime(written)});
    }
    return rows;
}

}  // namespace zorva
