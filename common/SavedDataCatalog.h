#pragma once
// What the saved-data viewer and the restore program browse: the sets, the chosen set's
// description and object rows, its generation folders below BASEDIR and the save files in one
// of them. It only reads.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"
#include "common/GenerationTree.h"
#include "common/SaveFileList.h"
#include "common/Settings.h"

namespace zorva {

class SavedDataCatalog {
public:
    // `rowFieldCount`: fields an object row needs (the viewer 4, the restore program 5).
    SavedDataCatalog(std::filesystem::path programFolder, ViewerFolders folders,
                     std::size_t rowFieldCount);

    // The set names in name order; nullopt when the set folder cannot be listed.
    std::optional<std::vector<std::string>> SetNames() const;

    // Makes `name` the chosen set and reads its file. The object table is emptied first, so
    // no row of an earlier set is ever found; when the file cannot be read, false, and the
    // description is empty too.
    bool LoadSet(std::string_view name);

    const std::string& SetName() const { return setName_; }
    const std::string& Description() const { return description_; }
    const std::vector<ObjectRow>& ObjectTable() const { return objects_; }

    // BASEDIR + set name: the root of the chosen set's generations.
    std::filesystem::path SetDataFolder() const;
    // The chosen set's generation folders; only the root, unreadable, without a valid set.
    GenerationTree Tree() const;
    // The generation folder of a tree path ("7/20260301"), with a trailing '/'.
    std::filesystem::path GenerationFolder(std::string_view treePath) const;
    // The rows of that folder; nullopt when it cannot be listed.
    std::optional<std::vector<SaveFileRow>> Files(std::string_view treePath) const;

private:
    std::filesystem::path programFolder_;
    ViewerFolders folders_;
    std::size_t rowFieldCount_;
    std::string setName_;
    std::string description_;
    std::vector<ObjectRow> objects_;
};

}  // namespace zorva
