#pragma once
// The rules of the object editor ("REGSET") without its window: the 99 object rows of a set
// seen through ten lines, what scrolling collects, what "キャンセル" restores and "クリア"
// empties, and the list checks of "登録" before the host is asked.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"

namespace zorva::velmoro {

inline constexpr int kVisibleLines = 10;
inline constexpr int kMaxTopRow = static_cast<int>(kMaxRows) - kVisibleLines;  // 89

// Characters each edit takes besides control characters (typed lower case becomes upper case).
inline constexpr std::string_view kLibraryCharacters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ#$._@";
inline constexpr std::string_view kObjectCharacters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ#$._@*";
inline constexpr std::string_view kTypeCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ*";

// What one of the ten lines shows.
struct EditorLine {
    std::string library;
    std::string object;
    std::string type;
    bool Protected = false;
    int compression = 1;  // 1 Low, 2 Med, 3 High; 0 when no radio button is on
    int checkMark = 0;    // -1: drawn on light red

    friend bool operator==(const EditorLine&, const EditorLine&) = default;
};
using EditorLines = std::array<EditorLine, kVisibleLines>;

enum class ScrollAction { LineUp, LineDown, PageUp, PageDown, Thumb, Other };

// The outcome of the list checks of "登録".
enum class ListCheck { Accepted, NoObjects, RowError, Duplicate };

class ObjectEditor {
public:
    // Takes the set's rows (padded to 99) and keeps a copy for "キャンセル".
    explicit ObjectEditor(const std::vector<ObjectRow>& setRows);

    int TopRow() const { return topRow_; }
    const std::vector<ObjectRow>& Rows() const { return rows_; }
    std::vector<ObjectRow>& Rows() { return rows_; }

    // The ten lines for rows TopRow .. TopRow + 9.
    EditorLines ShowRows() const;
    // The ten lines back into rows TopRow .. TopRow + 9.
    void CollectRows(const EditorLines& lines);
    // Collects the lines shown, then moves TopRow (kept within 0 .. 89).
    void Scroll(const EditorLines& shown, ScrollAction action, int thumbPosition = 0);
    // Empties all 99 rows ("クリア"); the copy for "キャンセル" stays.
    void Clear();
    // Puts the rows of the opening back, with no marks ("キャンセル").
    void Cancel();
    void ResetMarks();

    // "登録" up to the host check: compacts the rows, sets objectKind, marks faulty rows.
    // `count` is the number of rows left after compaction; `message` the error text.
    ListCheck CheckList(std::size_t& count, std::string& message);

    // The rows as the set keeps them: trailing empty rows dropped. A row after an empty one
    // stays (as the editor left it); the set file and the object list stop at the first row
    // with an empty library.
    std::vector<ObjectRow> SetRows() const;

private:
    void Compact(std::size_t& count);
    bool MarkIncompleteRows(std::size_t count);
    bool MarkDuplicates(std::size_t count);

    std::vector<ObjectRow> rows_;
    std::vector<ObjectRow> savedRows_;
    int topRow_ = 0;
};

// The number a line's label shows: TopRow + line + 1.
int LineNumber(int topRow, int line);

// Upper-cases a-z and tells whether every character is one of `allowed`: typed text already
// is, pasted text is checked when the list is registered.
bool NormalizeName(std::string& text, std::string_view allowed);

}  // namespace zorva::velmoro
