#include "qivRestore/engine/GenerationFiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

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
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) return std::nullopt;
    std::vector<SaveFileEntry> files;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) return std::nullopt;
        const std::string name = it->path().filename().string();
        struct stat info {};
        if (name.starts_with('.') || ::lstat(it->path().c_str(), &info) != 0 ||
            !S_ISREG(info.st_mode)) {
            continue;
        }
        files.push_back({name, ToLocalTime(info.st_mtime)});
    }
    std::sort(files.begin(), files.end(),
              [](const SaveFileEntry& a, const SaveFileEntry& b) { return a.Name < b.Name; });
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
