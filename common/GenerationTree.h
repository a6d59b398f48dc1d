#pragma once
// The generation folders of a backup set below BASEDIR as the saved-data pages show them: a
// tree listed depth first, each level in name order.

#include <filesystem>
#include <string>
#include <vector>

namespace zorva {

// Items deeper than this below the set's root cannot be chosen, so they are not listed either;
// the bound also keeps a pathological tree finite.
inline constexpr int kMaxGenerationDepth = 7;

struct GenerationFolder {
    std::string name;  // the folder's own name
    std::string path;  // from the set's folder, joined with '/'
    int depth = 1;     // 1 for a folder directly below the set's folder

    friend bool operator==(const GenerationFolder&, const GenerationFolder&) = default;
};

struct GenerationTree {
    std::vector<GenerationFolder> folders;  // depth first: each folder before its sub-folders
    std::vector<std::string> unreadable;    // folders that could not be listed (the root: "")
};

// Lists the folders below `setFolder`. Symbolic links are not followed (a link is not listed)
// and a folder met again on its own path (a loop through a bind mount) is not entered.
GenerationTree ListGenerationTree(const std::filesystem::path& setFolder);

}  // namespace zorva
