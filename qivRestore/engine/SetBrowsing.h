#pragma once
// What the restore window lists: the set names of the set folder and the generation folders
// of a set below BASEDIR. It only reads.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"

namespace zorva::restore {

// True for a name the restore program takes as a set: 1 to 10 bytes, not hidden, no '/', no
// '.' (a set file has no extension; a rewrite's temporary file has one), no control character
// or blank. Wider than the agent's rule for new names: sets such as "A01" are found too.
bool IsBrowsableSetName(std::string_view name);

// The regular files of the set folder whose names IsBrowsableSetName accepts, in name order;
// nullopt when the folder cannot be listed. Sub-folders and links are no sets.
std::optional<std::vector<std::string>> ListSetNames(const std::filesystem::path& setFolder);

// The set's file as the restore program reads it (description and object rows of five
// fields); nullopt when the name is no set name or the file cannot be read.
std::optional<BackupSet> ReadSetForRestore(const std::filesystem::path& setFolder,
                                           std::string_view setName);

struct GenerationFolder {
    std::string Name;  // the folder's own name
    std::string Path;  // from the set's folder, joined with '/'
    int Depth = 1;     // 1 directly below the set's folder

    friend bool operator==(const GenerationFolder&, const GenerationFolder&) = default;
};

struct GenerationTree {
    std::vector<GenerationFolder> Folders;  // depth first, each level in name order
    std::vector<std::string> Unreadable;    // paths of folders that could not be listed
};

// Items deeper than seven levels below the set cannot be chosen, so they are not listed; the
// bound also keeps a looping tree finite. Links are not followed.
inline constexpr int kMaxTreeDepth = 7;

GenerationTree ListGenerationTree(const std::filesystem::path& setDataFolder);

}  // namespace zorva::restore
