#include "common/GenerationTree.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <system_error>
#include <utility>

namespace zorva {
namespace {

using FolderId = std::pair<dev_t, ino_t>;

class TreeLister {
public:
    explicit TreeLister(GenerationTree& tree) : tree_(tree) {}

    void List(const std::filesystem::path& folder, const std::string& path, int depth) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0) return Unreadable(path);
        const FolderId id{info.st_dev, info.st_ino};
        if (!onPath_.insert(id).second) return;  // a loop: this folder is already open above
        std::vector<std::string> names;
        if (!SubFolderNames(folder, names)) {
            Unreadable(path);
        } else {
            for (const std::string& name : names) {
                const std::string childPath = path.empty() ? name : path + "/" + name;
                tree_.folders.push_back({name, childPath, depth});
                if (depth < kMaxGenerationDepth) List(folder / name, childPath, depth + 1);
            }
        }
        onPath_.erase(id);
    }

private:
    void Unreadable(const std::string& path) { tree_.unreadable.push_back(path); }

    static bool SubFolderNames(const std::filesystem::path& folder,
                               std::vector<std::string>& names) {
        std::error_code error;
        std::filesystem::directory_iterator it(folder, error);
        if (error) return false;
        for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
            if (error) return false;
            std::error_code ignored;
            if (it->is_symlink(ignored) || !it->is_directory(ignored)) continue;
            names.push_back(it->path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return true;
    }

    GenerationTree& tree_;
    std::set<FolderId> onPath_;
};

}  // namespace

GenerationTree ListGenerationTree(const std::filesystem::path& setFolder) {
    GenerationTree tree;
    TreeLister(tree).List(setFolder, "", 1);
    return tree;
}

}  // namespace zorva
