#include "common/SetFolderReader.h"

#include <algorithm>
#include <system_error>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/Settings.h"
#include "common/TextFields.h"

namespace zorva {
namespace {

// Only a set name may become a path below the set folder.
std::optional<std::string> ReadSetBytes(const std::filesystem::path& setFolder,
                                        std::string_view setName, std::size_t limit) {
    if (!IsBrowsableSetName(setName)) return std::nullopt;
    return ReadRegularFileBytes(setFolder / std::string(setName), limit);
}

}  // namespace

bool IsBrowsableSetName(std::string_view name) {
    return !name.empty() && name.size() <= 10 && std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '.' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

std::filesystem::path SetFolderPath(const std::filesystem::path& programFolder,
                                    std::string_view setFolderName) {
    // The agent writes the default whenever the setting is empty; a viewer started before the
    // agent ever ran looks where the agent will put it.
    return programFolder /
           std::string(setFolderName.empty() ? kDefaultSetFolderName : setFolderName);
}

std::optional<std::vector<std::string>> ListSetNames(const std::filesystem::path& setFolder) {
    std::error_code error;
    std::filesystem::directory_iterator it(setFolder, error);
    if (error) return std::nullopt;
    std::vector<std::string> names;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error) break;
        std::string name = it->path().filename().string();
        if (IsBrowsableSetName(name) && it->is_regular_file(error))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    if (names.size() > kMaxSets) names.resize(kMaxSets);
    return names;
}

std::optional<std::string> ReadSetDescription(const std::filesystem::path& setFolder,
                                              std::string_view setName) {
    const auto bytes = ReadSetBytes(setFolder, setName, kDescriptionReadLimit);
    if (!bytes) return std::nullopt;
    const auto lines = SplitLines(*bytes);
    return lines.empty() ? std::string() : FromCp932(CutCp932(lines.front(), kDescriptionWidth));
}

std::optional<BackupSet> ReadSetForBrowsing(const std::filesystem::path& setFolder,
                                            std::string_view setName, std::size_t rowFieldCount) {
    const auto bytes = ReadSetBytes(setFolder, setName, kSetFileReadLimit);
    if (!bytes) return std::nullopt;
    return ParseSetFile(*bytes, setName, rowFieldCount);
}

}  // namespace zorva
