#pragma once
// The object list of the restore program: one row per save file of the chosen generation,
// named after the set's object rows, and the words of its 状況 column.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"
#include "common/Clock.h"

namespace zorva::restore {

inline constexpr std::size_t kObjectTableSearched = 99;

struct RestoreRow {
    std::string Library;
    std::string Object;  // as the set stores it: "SALES*01" for the file SALES#01
    std::string Type;
    std::string Date;    // the file's time, FileTimeText
    std::string Status;  // 状況
    bool Checked = true;

    friend bool operator==(const RestoreRow&, const RestoreRow&) = default;
};

// A save file found in a generation folder.
struct SaveFileEntry {
    std::string Name;
    LocalTime Modified;
};

// Index of the first of the first 99 entries whose Object is `name`, or, for a name holding
// '#', is the name with its first '#' turned back into '*'; nullopt when none matches.
std::optional<std::size_t> FindObjectRow(const std::vector<ObjectRow>& table,
                                         std::string_view name);

// "2007年03月05日 09時07分02秒".
std::string FileTimeText(const LocalTime& t);

// The list rows for the files of a generation, in the files' order: files that match no
// object (a SAVLIBS list, strays) are left out; every row starts checked.
std::vector<RestoreRow> BuildRestoreRows(const std::vector<SaveFileEntry>& files,
                                         const std::vector<ObjectRow>& table);

// '1' for exactly "*LIB", '3' for exactly "*SPL", else '2'.
char TypeCode(std::string_view type);

// The 状況 word of a restore status code of the host's list.
std::string RestoreStatusText(char code);

// The texts the upload writes into 状況.
inline constexpr std::string_view kCreateFailedText = "SAVF作成失敗";
inline constexpr std::string_view kUploadFailedText = "転送失敗";
inline constexpr std::string_view kUploadedText = "転送完了";
inline constexpr std::string_view kRestoredText = "復元完了";

}  // namespace zorva::restore
