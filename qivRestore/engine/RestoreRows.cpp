#include "qivRestore/engine/RestoreRows.h"

#include "common/DateTime.h"

namespace zorva::qivrestore {

std::vector<RestoreRow> RestoreRowsFrom(const std::vector<SaveFileRow>& files) {
    std::vector<RestoreRow> rows;
    for (const SaveFileRow& file : files) {
        rows.push_back(
            {file.library, file.object, file.type, JapaneseDateTime(file.written), {}, true});
    }
    return rows;
}

char TypeCode(std::string_view type) {
    if (type == "*LIB") return '1';
    if (type == "*SPL") return '3';
    return '2';
}

std::string RestoreStatusText(char code) {
    switch (code) {
        case '0':
            return std::string(kRestoredText);
        case '7':
            return "既に存在している";
        case '8':
            return "復元対象無し";
        case '9':
            return "復元失敗";
        case 'A':
            return "圧縮解凍に失敗";
        default:
            return "不明";
    }
}

}  // namespace zorva::qivrestore
