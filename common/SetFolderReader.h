#pragma once
// What the restore program and the two viewers read of the set folder: the set names, a set's
// description and its object rows. They never write it.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"

namespace zorva {

// The log viewer finds a set's description in this many bytes at the start of its file.
inline constexpr std::size_t kDescriptionReadLimit = 130;

// The set folder below the program folder, from the BACKUPSET setting ("BACKUPSET" when empty).
std::filesystem::path SetFolderPath(const std::filesystem::path& programFolder,
                                    std::string_view setFolderName);

// True for a name the browsing programs take as a set: 1 to 10 bytes, no '/', no '.' (a set
// file has no extension; a rewrite's temporary file has one), no control character. Wider than the
// agent's rule for new names, since sets such as "SET01" are found in set folders too.
bool IsBrowsableSetName(std::string_view name);

// The names of the regular files in the set folder that IsBrowsableSetName accepts, in name
// order, at most kMaxSets; nullopt when the folder cannot be listed. Hidden files (an
// interrupted write's temporary file, say) are not sets.
std::optional<std::vector<std::string>> ListSetNames(const std::filesystem::path& setFolder);

// Line 1 of the set's file read from its first kDescriptionReadLimit bytes; nullopt when the
// file cannot be read.
std::optional<std::string> ReadSetDescription(const std::filesystem::path& setFolder,
                                              std::string_view setName);

// The set's file as the saved-data pages read it: the description and the object rows that
// carry at least `rowFieldCount` fields; nullopt when the file cannot be read.
std::optional<BackupSet> ReadSetForBrowsing(const std::filesystem::path& setFolder,
                                            std::string_view setName, std::size_t rowFieldCount);

}  // namespace zorva
