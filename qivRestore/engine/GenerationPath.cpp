#include "qivRestore/engine/GenerationPath.h"

#include <string>

#include "common/GenerationTree.h"
#include "common/TextFields.h"

namespace zorva::qivrestore {
namespace fs = std::filesystem;

std::optional<fs::path> ResolveGeneration(const fs::path& setDataFolder,
                                          std::string_view generation) {
    const auto parts = SplitRuns(generation, "/");
    if (generation.empty() || generation.front() == '/' || parts.empty() ||
        parts.size() > static_cast<std::size_t>(kMaxGenerationDepth)) {
        return std::nullopt;
    }
    fs::path folder = setDataFolder;
    for (std::string_view part : parts) {
        if (part.starts_with('.')) return std::nullopt;
        folder /= std::string(part);
        std::error_code error;
        if (!fs::is_directory(fs::symlink_status(folder, error))) return std::nullopt;
    }
    return folder;
}

}  // namespace zorva::qivrestore
