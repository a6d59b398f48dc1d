#include "qivRestore/engine/SetBrowsing.h"

#include <algorithm>

#include "common/FileIo.h"

namespace zorva::restore {
namespace fs = std::filesystem;

namespace {

// Entry names of `folder` that satisfy `keep`, in name order; nullopt when it cannot be listed.
template <class Keep>
std::optional<std::vector<std::string>> Entries(const fs::path& folder, Keep keep) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) return std::nullopt;
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) return std::nullopt;
        std::error_code statusError;
        const fs::file_status status = it->symlink_status(statusError);
        const std::string name = it->path().filename().string();
        if (!statusError && keep(name, status)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void AddFolders(const fs::path& folder, const std::string& path, int depth, GenerationTree& tree) {
    const auto names = Entries(folder, [](const std::string&, const fs::file_status& status) {
        return fs::is_directory(status);  // symlink_status: a link is not a folder here
    });
    if (!names) {
        tree.Unreadable.push_back(path);
        return;
    }
    for (const std::string& name : *names) {
        const std::string childPath = path.empty() ? name : path + "/" + name;
        tree.Folders.push_back({name, childPath, depth});
        if (depth < kMaxTreeDepth) AddFolders(folder / name, childPath, depth + 1, tree);
    }
}

}  // namespace

bool IsBrowsableSetName(std::string_view name) {
    if (name.empty() || name.size() > 10) return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F || c == '/' || c == '.';
    });
}

std::optional<std::vector<std::string>> ListSetNames(const fs::path& setFolder) {
    return Entries(setFolder, [](const std::string& name, const fs::file_status& status) {
        return fs::is_regular_file(status) && IsBrowsableSetName(name);
    });
}

std::optional<BackupSet> ReadSetForRestore(const fs::path& setFolder, std::string_view setName) {
    if (!IsBrowsableSetName(setName)) return std::nullopt;
    const auto bytes = ReadFileBytes(setFolder / std::string(setName), kSetFileReadLimit);
    if (!bytes) return std::nullopt;
    return ParseSetFile(*bytes, setName);
}

GenerationTree ListGenerationTree(const fs::path& setDataFolder) {
    GenerationTree tree;
    AddFolders(setDataFolder, "", 1, tree);
    return tree;
}

}  // namespace zorva::restore
