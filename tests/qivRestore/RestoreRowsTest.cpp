#include "qivRestore/engine/RestoreRows.h"

#include <gtest/gtest.h>

namespace zorva::restore {
namespace {

ObjectRow Row(std::string library, std::string object, std::string type, char option = '2') {
    return ObjectRow{std::move(library), std::move(object), std::move(type), '2', option, 0};
}

struct FindCase {
    std::string name;
    std::vector<std::string> objects;
    std::string file;
    std::optional<std::size_t> expected;
};

TEST(RestoreRowsTest, FindObjectRowMatchesStoredAndHostNames) {
    const FindCase cases[] = {
        {"ExactName", {"PAYROLL", "SALES"}, "SALES", 1},
        {"HashBecomesStar", {"PAYROLL", "SALES*01"}, "SALES#01", 1},
        {"OnlyTheFirstHashTurns", {"SAL*ES*1"}, "SAL#ES*1", 0},
        {"SecondHashDoesNotTurn", {"SAL#ES*1"}, "SAL#ES#1", std::nullopt},
        {"StoredHashStillMatches", {"AB#C"}, "AB#C", 0},
        {"FirstOfTwoMatches", {"X*", "X#"}, "X#", 0},
        {"ListFileIsNoObject", {"PAYROLL"}, "SAVLIBS", std::nullopt},
        {"CaseCounts", {"PAYROLL"}, "payroll", std::nullopt},
        {"AllUsr", {"*ALLUSR"}, "#ALLUSR", 0},
    };
    for (const FindCase& c : cases) {
        std::vector<ObjectRow> table;
        for (const auto& object : c.objects) table.push_back(Row("LIB", object, "*FILE"));
        EXPECT_EQ(FindObjectRow(table, c.file), c.expected) << c.name;
    }
}

TEST(RestoreRowsTest, OnlyTheFirstNinetyNineEntriesAreSearched) {
    std::vector<ObjectRow> table(120, Row("LIB", "OTHER", "*FILE"));
    table[98].Object = "LAST";
    table[99].Object = "BEYOND";
    EXPECT_EQ(FindObjectRow(table, "LAST"), 98u);
    EXPECT_EQ(FindObjectRow(table, "BEYOND"), std::nullopt);
}

TEST(RestoreRowsTest, RowsComeFromTheObjectTableAndSkipStrayFiles) {
    const std::vector<ObjectRow> table = {Row("SALESLIB", "SALES*01", "*FILE", '5'),
                                          Row("QSYS", "ARLIB", "*LIB", '1')};
    const LocalTime t{2007, 3, 5, 9, 7, 2, 1};
    const std::vector<SaveFileEntry> files = {
        {"ARLIB", t}, {"SALES#01", t}, {"SAVLIBS", t}, {"UNKNOWN", t}};
    const std::vector<RestoreRow> expected = {
        {"QSYS", "ARLIB", "*LIB", "2007年03月05日 09時07分02秒", "", true},
        {"SALESLIB", "SALES*01", "*FILE", "2007年03月05日 09時07分02秒", "", true},
    };
    EXPECT_EQ(BuildRestoreRows(files, table), expected);
}

TEST(RestoreRowsTest, FileTimeTextPadsEveryFieldButTheYear) {
    EXPECT_EQ(FileTimeText({2026, 12, 31, 23, 59, 58, 4}), "2026年12月31日 23時59分58秒");
    EXPECT_EQ(FileTimeText({999, 1, 2, 3, 4, 5, 0}), "999年01月02日 03時04分05秒");
}

TEST(RestoreRowsTest, TypeCodesAndStatusWords) {
    const std::pair<std::string, char> types[] = {{"*LIB", '1'},  {"*SPL", '3'}, {"*FILE", '2'},
                                                  {"*SPLF", '2'}, {"*lib", '2'}, {"", '2'}};
    for (const auto& [type, code] : types) EXPECT_EQ(TypeCode(type), code) << type;
    const std::pair<char, std::string> words[] = {
        {'0', "復元完了"},       {'7', "既に存在している"},
        {'8', "復元対象無し"},   {'9', "復元失敗"},
        {'A', "圧縮解凍に失敗"}, {'a', "不明"},
        {'P', "不明"},           {' ', "不明"},
        {'\xff', "不明"}};
    for (const auto& [code, word] : words) EXPECT_EQ(RestoreStatusText(code), word) << code;
}

}  // namespace
}  // namespace zorva::restore
