#pragma once
// The save files of one generation folder as the saved-data pages list them: each file named
// after an object of the set, with that object's library, object and type and the time the
// file was written.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"
#include "common/Clock.h"

namespace zorva {

struct SaveFileRow {
    std::string fileName;
    std::string library;
    std::string object;  // as the set names it: "SALES*01" for the file SALES#01
    std::string type;
    LocalTime written;

    friend bool operator==(const SaveFileRow&, const SaveFileRow&) = default;
};

// Index of the first of the table's first 99 rows whose host object name (first '*' -> '#')
// equals `fileName`.
std::optional<std::size_t> FindObjectRow(std::span<const ObjectRow> table,
                                         std::string_view fileName);

// A file's modification time as local calendar time.
LocalTime LocalFileTime(std::filesystem::file_time_type time);

// A row per regular file of the folder that FindObjectRow finds, in name order; files of no
// object (the host's SAVLIBS list, a download's hidden temporary file) are left out. nullopt
// when the folder cannot be listed.
std::optional<std::vector<SaveFileRow>> ListSaveFileRows(const std::filesystem::path& folder,
                                                         std::span<const ObjectRow> table);

}  // namespace zorva
