#include "velmoro/engine/ObjectEditor.h"

#include <algorithm>

#include "common/SavedData.h"

namespace zorva::velmoro {
namespace {

bool IsEmpty(const ObjectRow& row) {
    return row.Library.empty() && row.Object.empty() && row.Type.empty();
}

ObjectRow EmptyRow() {
    return ObjectRow{};
}

EditorLine LineFor(const ObjectRow& row) {
    EditorLine line{row.Library, row.Object, row.Type, false, 1, row.CheckMark};
    if (row.OptionCode >= '1' && row.OptionCode <= '6') {
        const int code = row.OptionCode - '0';
        line.Protected = code > 3;
        line.Compression = code > 3 ? code - 3 : code;
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
        row.Library = lines[k].Library;
        row.Object = lines[k].Object;
        row.Type = lines[k].Type;
        row.OptionCode = OptionCodeFor(row.Type, lines[k].Protected, lines[k].Compression);
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
        row.Library.clear();
        row.Object.clear();
        row.Type.clear();
        row.ObjectKind = ' ';
        row.OptionCode = ' ';
        row.CheckMark = 0;
    }
}

// The kind goes back with the names: a failed "登録" may have set it for names that are no
// longer there, and a library row stored with another row's kind would be saved wrongly.
void ObjectEditor::Cancel() {
    rows_ = savedRows_;
    ResetMarks();
}

void ObjectEditor::ResetMarks() {
    for (ObjectRow& row : rows_) row.CheckMark = 0;
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
        const bool complete = !row.Library.empty() && !row.Object.empty() && !row.Type.empty();
        // Each name is normalised, whether or not an earlier one failed.
        const bool libraryValid = NormalizeName(row.Library, kLibraryCharacters);
        const bool objectValid = NormalizeName(row.Object, kObjectCharacters);
        const bool typeValid = NormalizeName(row.Type, kTypeCharacters);
        const bool valid = libraryValid && objectValid && typeValid;
        if (complete && valid) {
            row.ObjectKind = ObjectKindFor(row.Library, row.Type);
            // *SPL… rows always save with option '1', whatever was pasted or upper-cased.
            row.OptionCode = row.Type.substr(0, 4) == "*SPL" ? '1' : row.OptionCode;
        } else {
            row.CheckMark = -1;
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
            if (HostObjectName(rows_[i].Object) != HostObjectName(rows_[j].Object)) continue;
            rows_[i].CheckMark = rows_[j].CheckMark = -1;
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
