#include "velmoro/engine/ObjectEditor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/velmoro/ObjectRows.h"

namespace zorva::velmoro {
namespace {

using test::Marked;
using test::Row;

// 99 rows with the given ones at their positions.
std::vector<ObjectRow> RowsAt(const std::vector<std::pair<std::size_t, ObjectRow>>& placed) {
    std::vector<ObjectRow> rows(kMaxRows);
    for (const auto& [index, row] : placed) rows[index] = row;
    return rows;
}

TEST(ObjectEditorTest, CompactionMovesFilledRowsToTheFrontInOrder) {
    ObjectEditor editor(RowsAt(
        {{2, Row("PAYLIB", "PAYROLL", "*FILE", '5')}, {6, Row("ARLIB", "*ALL", "*FILE", '3')}}));
    std::size_t count = 0;
    std::string message;
    ASSERT_EQ(editor.CheckList(count, message), ListCheck::Accepted) << message;
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(editor.Rows()[0].object, "PAYROLL");
    EXPECT_EQ(editor.Rows()[0].optionCode, '5');
    EXPECT_EQ(editor.Rows()[1].library, "ARLIB");
    EXPECT_EQ(editor.Rows()[1].optionCode, '3');
    EXPECT_TRUE(editor.Rows()[2].library.empty());
    EXPECT_EQ(editor.SetRows().size(), 2u);
}

struct ListCase {
    const char* name;
    std::vector<ObjectRow> rows;
    ListCheck expected;
    std::string message;
    std::vector<std::size_t> marked;
    std::string kinds;    // objectKind of each accepted row
    std::string options;  // optionCode of each accepted row
};

class ListCheckTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListCheckTest, GivesTheListsOutcome) {
    const ListCase& c = GetParam();
    ObjectEditor editor(c.rows);
    std::size_t count = 0;
    std::string message;
    EXPECT_EQ(editor.CheckList(count, message), c.expected);
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(Marked(editor.Rows()), c.marked);
    if (c.expected != ListCheck::Accepted) return;
    std::string kinds, options;
    for (std::size_t i = 0; i < count; ++i) {
        kinds += editor.Rows()[i].objectKind;
        options += editor.Rows()[i].optionCode;
    }
    EXPECT_EQ(kinds, c.kinds);
    EXPECT_EQ(options, c.options);
}

const char* kNone = "オブジェクトが入力されていません";
const char* kError = "オブジェクト一覧にエラーがあります";
const char* kDuplicate = "オブジェクト一覧に重複があります";

INSTANTIATE_TEST_SUITE_P(
    Lists, ListCheckTest,
    ::testing::Values(
        ListCase{"Empty", {}, ListCheck::NoObjects, kNone, {}, "", ""},
        ListCase{"MissingType",
                 {Row("PAYLIB", "PAYROLL", "*FILE"), Row("ARLIB", "CUST", "")},
                 ListCheck::RowError,
                 kError,
                 {1},
                 "",
                 ""},
        ListCase{"OnlyAType", {Row("", "", "*FILE")}, ListCheck::RowError, kError, {0}, "", ""},
        ListCase{"SameRowTwice",
                 {Row("PAYLIB", "PAYROLL", "*FILE"), Row("X", "Y", "*FILE"),
                  Row("PAYLIB", "PAYROLL", "*FILE")},
                 ListCheck::Duplicate,
                 kDuplicate,
                 {0, 2},
                 "",
                 ""},
        ListCase{"SameObjectInTwoLibraries",
                 {Row("LIBA", "CUST", "*FILE"), Row("LIBB", "CUST", "*FILE")},
                 ListCheck::Duplicate,
                 kDuplicate,
                 {0, 1},
                 "",
                 ""},
        ListCase{"LibraryAndObjectOfTheSameName",
                 {Row("QSYS", "ARLIB", "*LIB"), Row("ARLIB", "ARLIB", "*FILE")},
                 ListCheck::Duplicate,
                 kDuplicate,
                 {0, 1},
                 "",
                 ""},
        ListCase{"GenericNameAndItsSaveFileName",
                 {Row("LIBA", "ABC*", "*FILE"), Row("LIBB", "ABC#", "*FILE")},
                 ListCheck::Duplicate,
                 kDuplicate,
                 {0, 1},
                 "",
                 ""},
        ListCase{"IncompleteRowWinsOverDuplicate",
                 {Row("A", "X", "*FILE"), Row("B", "X", "*FILE"), Row("C", "", "*FILE")},
                 ListCheck::RowError,
                 kError,
                 {2},
                 "",
                 ""},
        ListCase{"Kinds",
                 {Row("QSYS", "PAYLIB", "*LIB", '4'), Row("QSPL", "PRT01", "*SPL", '1'),
                  Row("PAYLIB", "PAYROLL", "*FILE", '6'), Row("QSYS", "QPRINT", "*SPL", '1')},
                 ListCheck::Accepted,
                 "",
                 {},
                 "1321",
                 "4161"},
        ListCase{"SpoolTypeLongerThanSpl",
                 {Row("QSPL", "PRT01", "*SPLF", '1')},
                 ListCheck::Accepted,
                 "",
                 {},
                 "2",
                 "1"},
        ListCase{"PastedLowerCaseCountsAsUpperCase",
                 {Row("qsys", "paylib", "*lib", '1')},
                 ListCheck::Accepted,
                 "",
                 {},
                 "1",
                 "1"},
        ListCase{"PastedBlankInAName",
                 {Row("PAY LIB", "PAYROLL", "*FILE")},
                 ListCheck::RowError,
                 kError,
                 {0},
                 "",
                 ""},
        ListCase{"PastedDigitInAType",
                 {Row("PAYLIB", "PAYROLL", "*FILE1")},
                 ListCheck::RowError,
                 kError,
                 {0},
                 "",
                 ""},
        ListCase{"PastedJapaneseInAnObject",
                 {Row("PAYLIB", "給与", "*FILE")},
                 ListCheck::RowError,
                 kError,
                 {0},
                 "",
                 ""}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ObjectEditorTest, LowerCaseSplPastedStillSavesWithOptionOne) {
    std::vector<ObjectRow> rows = {Row("QSPL", "PRT01", "*spl", '6')};
    ObjectEditor editor(rows);
    std::size_t count = 0;
    std::string message;
    ASSERT_EQ(editor.CheckList(count, message), ListCheck::Accepted);
    EXPECT_EQ(editor.Rows()[0].type, "*SPL");
    EXPECT_EQ(editor.Rows()[0].objectKind, '3');
    EXPECT_EQ(editor.Rows()[0].optionCode, '1');
}

struct ShowCase {
    char option;
    bool isProtected;
    int compression;
};

class ShowRowsTest : public ::testing::TestWithParam<ShowCase> {};

TEST_P(ShowRowsTest, SetsTheBoxAndExactlyOneRadio) {
    ObjectEditor editor({Row("PAYLIB", "PAYROLL", "*FILE", GetParam().option)});
    const EditorLine line = editor.ShowRows()[0];
    EXPECT_EQ(line.Protected, GetParam().isProtected);
    EXPECT_EQ(line.compression, GetParam().compression);
}

INSTANTIATE_TEST_SUITE_P(OptionCodes, ShowRowsTest,
                         ::testing::Values(ShowCase{'1', false, 1}, ShowCase{'2', false, 2},
                                           ShowCase{'3', false, 3}, ShowCase{'4', true, 1},
                                           ShowCase{'5', true, 2}, ShowCase{'6', true, 3},
                                           ShowCase{' ', false, 1}, ShowCase{'7', false, 1},
                                           ShowCase{'0', false, 1}));

struct CollectCase {
    std::string type;
    bool isProtected;
    int compression;
    char option;
};

class CollectRowsTest : public ::testing::TestWithParam<CollectCase> {};

TEST_P(CollectRowsTest, BuildsTheOptionCode) {
    ObjectEditor editor({});
    EditorLines lines = editor.ShowRows();
    lines[3] = {"LIB", "OBJ", GetParam().type, GetParam().isProtected, GetParam().compression, 0};
    editor.CollectRows(lines);
    EXPECT_EQ(editor.Rows()[3].optionCode, GetParam().option);
    EXPECT_EQ(editor.Rows()[3].type, GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CollectRowsTest,
    ::testing::Values(CollectCase{"*FILE", false, 1, '1'}, CollectCase{"*FILE", true, 3, '6'},
                      CollectCase{"*FILE", true, 0, '3'}, CollectCase{"*FILE", false, 0, '0'},
                      CollectCase{"*SPL", true, 3, '1'}, CollectCase{"*SPLF", true, 2, '1'}));

struct ScrollCase {
    int start;
    ScrollAction action;
    int thumb;
    int expected;
};

class ScrollTest : public ::testing::TestWithParam<ScrollCase> {};

TEST_P(ScrollTest, KeepsTheTopRowWithinTheRows) {
    ObjectEditor editor({});
    editor.Scroll(editor.ShowRows(), ScrollAction::Thumb, GetParam().start);
    editor.Scroll(editor.ShowRows(), GetParam().action, GetParam().thumb);
    EXPECT_EQ(editor.TopRow(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Actions, ScrollTest,
                         ::testing::Values(ScrollCase{0, ScrollAction::LineUp, 0, 0},
                                           ScrollCase{5, ScrollAction::LineUp, 0, 4},
                                           ScrollCase{89, ScrollAction::LineDown, 0, 89},
                                           ScrollCase{88, ScrollAction::LineDown, 0, 89},
                                           ScrollCase{5, ScrollAction::PageUp, 0, 0},
                                           ScrollCase{85, ScrollAction::PageDown, 0, 89},
                                           ScrollCase{10, ScrollAction::PageDown, 0, 20},
                                           ScrollCase{10, ScrollAction::Thumb, 42, 42},
                                           ScrollCase{10, ScrollAction::Thumb, 120, 89},
                                           ScrollCase{10, ScrollAction::Other, 42, 10}));

TEST(ObjectEditorTest, ScrollingToTheBottomShowsRowsNinetyToNinetyNine) {
    std::vector<ObjectRow> rows(kMaxRows);
    rows[98] = Row("LAST", "ROW", "*FILE");
    ObjectEditor editor(rows);
    editor.Scroll(editor.ShowRows(), ScrollAction::Thumb, kMaxTopRow);
    EXPECT_EQ(LineNumber(editor.TopRow(), 0), 90);
    EXPECT_EQ(LineNumber(editor.TopRow(), 9), 99);
    EXPECT_EQ(editor.ShowRows()[9].library, "LAST");
}

TEST(ObjectEditorTest, ScrollingCollectsWhatTheLinesShowBeforeMoving) {
    ObjectEditor editor({});
    EditorLines lines = editor.ShowRows();
    lines[9] = {"TYPED", "BEFORE", "*FILE", true, 2, 0};
    editor.Scroll(lines, ScrollAction::LineDown);
    EXPECT_EQ(editor.TopRow(), 1);
    EXPECT_EQ(editor.ShowRows()[8], (EditorLine{"TYPED", "BEFORE", "*FILE", true, 2, 0}));
    EXPECT_EQ(editor.Rows()[9].optionCode, '5');
}

// What each way out of the dialog leaves in the rows.
TEST(ObjectEditorTest, CancelRestoresTheOpeningRowsAndClearsMarks) {
    const std::vector<ObjectRow> opening = {Row("PAYLIB", "PAYROLL", "*FILE", '4')};
    ObjectEditor editor(opening);
    EditorLines lines = editor.ShowRows();
    lines[0].library = "OTHER";
    lines[1] = {"NEW", "ROW", "", false, 1, 0};
    editor.CollectRows(lines);
    std::size_t count = 0;
    std::string message;
    ASSERT_EQ(editor.CheckList(count, message), ListCheck::RowError);
    editor.Clear();
    editor.Cancel();
    EXPECT_EQ(editor.SetRows(), opening);
    EXPECT_TRUE(Marked(editor.Rows()).empty());
}

TEST(ObjectEditorTest, EscapeKeepsCollectedRowsWithTheirGaps) {
    ObjectEditor editor({Row("PAYLIB", "PAYROLL", "*FILE")});
    EditorLines lines = editor.ShowRows();
    lines[3] = {"LATER", "ROW", "*FILE", false, 3, 0};
    editor.CollectRows(lines);
    const std::vector<ObjectRow> kept = editor.SetRows();
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[0].library, "PAYLIB");
    EXPECT_TRUE(kept[1].library.empty());
    EXPECT_EQ(kept[3].library, "LATER");
    EXPECT_EQ(kept[3].optionCode, '3');
}

TEST(ObjectEditorTest, ClearEmptiesEveryRowButCancelStillRestores) {
    std::vector<ObjectRow> rows(kMaxRows, Row("LIB", "OBJ", "*FILE", '6'));
    rows[50].checkMark = -1;
    ObjectEditor editor(rows);
    editor.Clear();
    EXPECT_TRUE(editor.SetRows().empty());
    for (const EditorLine& line : editor.ShowRows())
        EXPECT_EQ(line, (EditorLine{"", "", "", false, 1, 0}));
    editor.Cancel();
    EXPECT_EQ(editor.SetRows().size(), kMaxRows);
    EXPECT_EQ(editor.Rows()[50].checkMark, 0);
}

}  // namespace
}  // namespace zorva::velmoro
