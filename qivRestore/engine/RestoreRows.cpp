#include "qivRestore/engine/RestoreRows.h"

#include <algorithm>
#include <cstdio>

namespace zorva::restore {

std::optional<std::size_t> FindObjectRow(const std::vector<ObjectRow>& table,
                                         std::string_view name) {
    std::optional<std::string> starred;
    if (auto hash = name.find('#'); hash != std::string_view::npos) {
        starred = std::string(name);
        (*starred)[hash] = '*';
    }
    const std::size_t searched = std::min(table.size(), kObjectTableSearched);
    for (std::size_t i = 0; i < searched; ++i) {
        if (table[i].Object == name || (starred && table[i].Object == *starred)) return i;
    }
    return std::nullopt;
}

std::string FileTimeText(const LocalTime& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%d年%02d月%02d日 %02d時%02d分%02d秒", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::vector<RestoreRow> BuildRestoreRows(const std::vector<SaveFileEntry>& files,
                                         const std::vector<ObjectRow>& table) {
    std::vector<RestoreRow> rows;
    for (const SaveFileEntry& file : files) {
        const auto entry = FindObjectRow(table, file.Name);
        if (!entry) continue;
        const ObjectRow& object = table[*entry];
        rows.push_back(
            {object.Library, object.Object, object.Type, FileTimeText(file.Modified), {}, true});
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

}  // namespace zorva::restore
