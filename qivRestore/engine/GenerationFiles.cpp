#include "qivRestore/engine/GenerationFiles.h"

#include <sys/stat.h>

#include <ctime>

#include "common/SavedData.h"
#include "common/TextFields.h"

namespace zorva::restore {
namespace fs = std::filesystem;

namespace {

LocalTime ToLocalTime(std::time_t time) {
    std::tm tm{};
    localtime_r(&time, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
            tm.tm_min,         tm.tm_sec,     tm.tm_wday};
}

}  // namespace

std::optional<std::vector<SaveFileEntry>> ListGenerationFiles(const fs::path& folder) {
    const auto names = ListSaveFiles(folder);
    if (!names) return std::nullopt;
    std::vector<SaveFileEntry> files;
    for (const std::string& name : *names) {
        // Hidden names are never saved data, whatever made them.
        if (name.starts_with('.')) continue;
        struct stat info {};
        // A file removed since the listing is no longer saved data.
        if (::lstat((folder / name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        files.push_back({name, ToLocalTime(info.st_mtime)});
    }
    return files;
}

std::optional<fs::path> ResolveGeneration(std::string_view baseDir, std::string_view setName,
                                          std::string_view generation) {
    const auto parts = SplitRuns(generation, "/");
    if (generation.empty() || generation.front() == '/' || parts.empty() ||
        parts.size() > kMaxGenerationDepth) {
        return std::nullopt;
    }
    fs::path folder = fs::path(std::string(baseDir)) / std::string(setName);
    for (std::string_view part : parts) {
        if (part.starts_with('.')) return std::nullopt;
        folder /= std::string(part);
        std::error_code error;
        // Every step is a real folder, not a link leading elsewhere.
        if (!fs::is_directory(fs::symlink_status(folder, error))) return std::nullopt;
    }
    return folder;
}

}  // namespace zorva::restore
