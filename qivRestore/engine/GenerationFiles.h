#pragma once
// The save files of one generation folder, as the restore program offers them.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "qivRestore/engine/RestoreRows.h"

namespace zorva::restore {

// The save files of `folder` (ListSaveFiles: regular files in name order, never a download's
// temporary, a folder or a link) with their local modification times; nullopt when the folder
// cannot be listed.
std::optional<std::vector<SaveFileEntry>> ListGenerationFiles(const std::filesystem::path& folder);

// The generation folder BASEDIR + set + "/" + `generation`, when `generation` is a relative
// path of one to seven plain folder names (no ".", "..", empty or hidden part) that exists
// as a folder; nullopt otherwise. Deeper trees are not offered by the window either.
std::optional<std::filesystem::path> ResolveGeneration(std::string_view baseDir,
                                                       std::string_view setName,
                                                       std::string_view generation);

inline constexpr std::size_t kMaxGenerationDepth = 7;

}  // namespace zorva::restore
