#pragma once
// A generation named on the command line, as a folder below the set's saved data.

#include <filesystem>
#include <optional>
#include <string_view>

namespace zorva::qivrestore {

// `setDataFolder` / `generation`, when `generation` is a relative path of one to seven
// folder names (kMaxGenerationDepth; no ".", "..", empty or hidden part) that leads through
// real folders, not links; nullopt otherwise. The window offers no deeper folder either.
std::optional<std::filesystem::path> ResolveGeneration(const std::filesystem::path& setDataFolder,
                                                       std::string_view generation);

}  // namespace zorva::qivrestore
