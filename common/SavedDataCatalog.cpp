#include "common/SavedDataCatalog.h"

#include <utility>

#include "common/SetFolderReader.h"

namespace zorva {

SavedDataCatalog::SavedDataCatalog(std::filesystem::path programFolder, ViewerFolders folders,
                                   std::size_t rowFieldCount)
    : programFolder_(std::move(programFolder)),
      folders_(std::move(folders)),
      rowFieldCount_(rowFieldCount) {}

std::optional<std::vector<std::string>> SavedDataCatalog::SetNames() const {
    return ListSetNames(SetFolderPath(programFolder_, folders_.backupSetFolder));
}

bool SavedDataCatalog::LoadSet(std::string_view name) {
    setName_ = std::string(name);
    description_.clear();
    objects_.clear();
    const auto set = ReadSetForBrowsing(SetFolderPath(programFolder_, folders_.backupSetFolder),
                                        name, rowFieldCount_);
    if (!set) return false;
    description_ = set->description;
    objects_ = set->rows;
    return true;
}

std::filesystem::path SavedDataCatalog::SetDataFolder() const {
    // BASEDIR ends with '/' and the set name follows it directly; a relative BASEDIR is taken
    // from the program folder, which is where the programs run.
    return programFolder_ / (folders_.baseDir + setName_);
}

std::filesystem::path SavedDataCatalog::GenerationFolder(std::string_view treePath) const {
    return SetDataFolder() / (std::string(treePath) + "/");
}

GenerationTree SavedDataCatalog::Tree() const {
    // Without a set name the path would be BASEDIR itself: the sets' folders are no
    // generations of anything.
    if (!IsBrowsableSetName(setName_)) return GenerationTree{{}, {""}};
    return ListGenerationTree(SetDataFolder());
}

std::optional<std::vector<SaveFileRow>> SavedDataCatalog::Files(std::string_view treePath) const {
    if (!IsBrowsableSetName(setName_)) return std::nullopt;
    return ListSaveFileRows(GenerationFolder(treePath), objects_);
}

}  // namespace zorva
