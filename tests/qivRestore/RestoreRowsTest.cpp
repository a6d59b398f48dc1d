#include "qivRestore/engine/RestoreRows.h"

#include <gtest/gtest.h>

namespace zorva::qivrestore {
namespace {

TEST(RestoreRowsTest, RowsKeepTheSetsNamesAndStartChecked) {
    const std::vector<SaveFileRow> files = {
        {"ARLIB", "QSYS", "ARLIB", "*LIB", {2007, 3, 5, 9, 7, 2, 1}},
        {"SALES#01", "SALESLIB", "SALES*01", "*FILE", {2026, 12, 31, 23, 59, 58, 4}},
    };
    const std::vector<RestoreRow> expected = {
        {"QSYS", "ARLIB", "*LIB", "2007年03月05日 09時07分02秒", "", true},
        {"SALESLIB", "SALES*01", "*FILE", "2026年12月31日 23時59分58秒", "", true},
    };
    EXPECT_EQ(RestoreRowsFrom(files), expected);
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
}  // namespace zorva::qivrestore
