#pragma once
// The object list of the restore program: one row per save file of the chosen generation,
// named after the set's object rows (common/SaveFileList), with its check box and the words
// of its 状況 column.

#include <string>
#include <string_view>
#include <vector>

#include "common/SaveFileList.h"

namespace zorva::qivrestore {

struct RestoreRow {
    std::string library;
    std::string object;  // as the set stores it: "SALES*01" for the file SALES#01
    std::string type;
    std::string date;    // JapaneseDateTime of the file's time
    std::string status;  // 状況
    bool checked = true;

    friend bool operator==(const RestoreRow&, const RestoreRow&) = default;
};

// The list rows for the save files of a generation, every row checked.
std::vector<RestoreRow> RestoreRowsFrom(const std::vector<SaveFileRow>& files);

// '1' for exactly "*LIB", '3' for exactly "*SPL", else '2'.
char TypeCode(std::string_view type);

// The 状況 word of a restore status code of the host's list.
std::string RestoreStatusText(char code);

// The texts the upload writes into 状況.
inline constexpr std::string_view kCreateFailedText = "SAVF作成失敗";
inline constexpr std::string_view kUploadFailedText = "転送失敗";
inline constexpr std::string_view kUploadedText = "転送完了";
inline constexpr std::string_view kRestoredText = "復元完了";

}  // namespace zorva::qivrestore
