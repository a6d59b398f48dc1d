#include "velmoro/engine/ObjectEditor.h"

#include <algorithm>

#include "common/SavedData.h"

namespace zorva::velmoro {
namespace {

bool IsEmpty(const ObjectRow& row) {
    return row.library.empty() && row.object.empty() && row.type.empty();
}

ObjectRow EmptyRow() {
    return ObjectRow{};
}

EditorLine LineFor(const ObjectRow& row) {
    EditorLine line{row.library, row.object, row.type, false, 1, row.checkMark};
    if (row.optionCode >= '1' && row.optionCode <= '6') {
        const int code = row.optionCode - '0';
        line.Protected = code > 3;
        line.compression = code > 3 ? code - 3 : code;
    }
    return line;
}

}  // namespace

ObjectEditor::ObjectEditor(const std::vector<ObjectRow>& setRows) : rows_(setRows) {
    rows_.resize(kMaxRows, EmptyRow());
    savedRows_ = rows_;
}

EditorLines ObjectEditor::ShowRows() const {
    EditorLines lines;
    for (int k = 0; k < kVisibleLines; ++k) lines[k] = LineFor(rows_[topRow_ + k]);
    return lines;
}

void ObjectEditor::CollectRows(const EditorLines& lines) {
    for (int k = 0; k < kVisibleLines; ++k) {
        ObjectRow& row = rows_[topRow_ + k];
        row.library = lines[k].library;
        row.object = lines[k].object;
        row.type = lines[k].type;
        row.optionCode = OptionCodeFor(row.type, lines[k].Protected, lines[k].compression);
    }
}

void ObjectEditor::Scroll(const EditorLines& shown, ScrollAction action, int thumbPosition) {
    CollectRows(shown);
    int top = topRow_;
    switch (action) {
        case ScrollAction::LineUp:
            top -= 1;
            break;
        case ScrollAction::LineDown:
            top += 1;
            break;
        case ScrollAction::PageUp:
            top -= kVisibleLines;
            break;
        case ScrollAction::PageDown:
            top += kVisibleLines;
            break;
        case ScrollAction::Thumb:
            top = thumbPosition;
            break;
        case ScrollAction::Other:
            break;
    }
    topRow_ = std::clamp(top, 0, kMaxTopRow);
}

void ObjectEditor::Clear() {
    for (ObjectRow& row : rows_) {
        row.library.clear();
        row.object.clear();
        row.type.clear();
        row.objectKind = ' ';
        row.optionCode = ' ';
        row.checkMark = 0;
    }
}

// The kind goes back with the names: a failed "登録" may have set it for names that are no
// longer there, and a library row stored with another row's kind would be saved wrongly.
void ObjectEditor::Cancel() {
    rows_ = savedRows_;
    ResetMarks();
}

void ObjectEditor::ResetMarks() {
    for (ObjectRow& row : rows_) row.checkMark = 0;
}

ListCheck ObjectEditor::CheckList(std::size_t& count, std::string& message) {
    Compact(count);
    if (count == 0) {
        message = "オブジェクトが入力されていません";
        return ListCheck::NoObjects;
    }
    if (MarkIncompleteRows(count)) {
        message = "オブジェクト一覧にエラーがあります";
        return ListCheck::RowError;
    }
    if (MarkDuplicates(count)) {
        message = "オブジェクト一覧に重複があります";
        return ListCheck::Duplicate;
    }
    message.clear();
    return ListCheck::Accepted;
}

void ObjectEditor::Compact(std::size_t& count) {
    std::vector<ObjectRow> filled;
    for (const ObjectRow& row : rows_)
        if (!IsEmpty(row)) filled.push_back(row);
    count = filled.size();
    filled.resize(kMaxRows, EmptyRow());
    rows_ = std::move(filled);
}

// A row needs all three names, each made only of the characters its edit takes (pasted text
// is not filtered while typed, so it is checked here; lower case counts as upper case).
bool ObjectEditor::MarkIncompleteRows(std::size_t count) {
    bool marked = false;
    for (std::size_t i = 0; i < count; ++i) {
        ObjectRow& row = rows_[i];
        const bool complete = !row.library.empty() && !row.object.empty() && !row.type.empty();
        // Each name is normalised, whether or not an earlier one failed.
        const bool libraryValid = NormalizeName(row.library, kLibraryCharacters);
        const bool objectValid = NormalizeName(row.object, kObjectCharacters);
        const bool typeValid = NormalizeName(row.type, kTypeCharacters);
        const bool valid = libraryValid && objectValid && typeValid;
        if (complete && valid) {
            row.objectKind = ObjectKindFor(row.library, row.type);
            // *SPL… rows always save with option '1', whatever was pasted or upper-cased.
            row.optionCode = row.type.substr(0, 4) == "*SPL" ? '1' : row.optionCode;
        } else {
            row.checkMark = -1;
            marked = true;
        }
    }
    return marked;
}

// Two rows whose host object names are equal would share one save file on the host and on
// the PC, so one backup would overwrite the other: LIBA/CUST and LIBB/CUST, or QSYS/ARLIB
// and ARLIB/ARLIB, count as the same object just as two equal rows do.
bool ObjectEditor::MarkDuplicates(std::size_t count) {
    bool marked = false;
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
            if (HostObjectName(rows_[i].object) != HostObjectName(rows_[j].object)) continue;
            rows_[i].checkMark = rows_[j].checkMark = -1;
            marked = true;
        }
    }
    return marked;
}

std::vector<ObjectRow> ObjectEditor::SetRows() const {
    std::vector<ObjectRow> rows = rows_;
    while (!rows.empty() && IsEmpty(rows.back())) rows.pop_back();
    return rows;
}

int LineNumber(int topRow, int line) {
    return topRow + line + 1;
}

bool NormalizeName(std::string& text, std::string_view allowed) {
    bool valid = true;
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (allowed.find(c) == std::string_view::npos) valid = false;
    }
    return valid;
}

}  // namespace zorva::velmoro
