#include "common/SavedDataCatalog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fstream>

#include "common/Codec.h"
#include "common/SetFolderReader.h"
#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A program folder with its set folder and a BASEDIR below it.
class SavedData : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(program_ / "BACKUPSET"); }

    void WriteSet(const std::string& name, const std::string& utf8) {
        WriteFile(program_ / "BACKUPSET" / name, ToCp932(utf8));
    }
    void WriteSave(const std::string& generation, const std::string& file) {
        WriteFile(program_ / "data" / generation / file, "save file");
    }
    SavedDataCatalog Viewer() const { return {program_.path(), {"BACKUPSET", "data/"}, 4}; }

    test::TempFolder program_;
};

const std::string kHeader = "売上の保管\r\n1\r\n1\t2200\r\n1\t7\r\n \t\r\n";

TEST_F(SavedData, SetNamesInNameOrderWithoutFoldersOrOtherFiles) {
    for (const char* name :
         {"SALES", "B01", "A01", ".A01.tmp", "A.x7Qz2k", "lower", "TOOLONGNAME"}) {
        WriteSet(name, kHeader);
    }
    fs::create_directory(program_ / "BACKUPSET" / "FOLDER");
    EXPECT_EQ(Viewer().SetNames(), (std::vector<std::string>{"A01", "B01", "SALES", "lower"}));
    EXPECT_FALSE((SavedDataCatalog{program_.path(), {"MISSING", "data/"}, 4}).SetNames());
}

TEST_F(SavedData, FilesOfAGenerationNameTheirObjects) {
    WriteSet("SALES", kHeader +
                          "SALESLIB\tSALES*01\t*FILE\t2\r\n"  // four fields are enough here
                          "PAYLIB\tPAY\t*FILE\t2\t2\t\r\n");
    for (const char* file : {"SALES#01", "SAVLIBS", "OTHER", ".SALES#01.x1.part", "PAY"}) {
        WriteSave("SALES/7/20260301", file);
    }
    fs::create_directory(program_ / "data" / "SALES" / "7" / "20260301" / "PAYDIR");
    SavedDataCatalog viewer = Viewer();
    ASSERT_TRUE(viewer.LoadSet("SALES"));
    EXPECT_EQ(viewer.Description(), "売上の保管");
    const auto rows = viewer.Files("7/20260301");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[0].fileName, "PAY");
    EXPECT_EQ((*rows)[1].fileName, "SALES#01");
    EXPECT_EQ((*rows)[1].library, "SALESLIB");
    EXPECT_EQ((*rows)[1].object, "SALES*01");
    EXPECT_EQ((*rows)[1].type, "*FILE");

    // The restore program needs five fields: the four-field row is not an object there.
    SavedDataCatalog restore{program_.path(), {"BACKUPSET", "data/"}, 5};
    ASSERT_TRUE(restore.LoadSet("SALES"));
    EXPECT_EQ(restore.Files("7/20260301")->size(), 1u);
    EXPECT_FALSE(viewer.Files("7/missing"));
}

TEST_F(SavedData, LoadingASetForgetsTheObjectsOfTheOneBefore) {
    WriteSet("LONG", kHeader + "LIB\tA\t*FILE\t2\t2\r\nLIB\tB\t*FILE\t2\t2\r\n");
    WriteSet("SHORT", kHeader + "LIB\tB\t*FILE\t2\t2\r\n");
    WriteSave("SHORT/20260301", "A");
    WriteSave("SHORT/20260301", "B");
    SavedDataCatalog viewer = Viewer();
    ASSERT_TRUE(viewer.LoadSet("LONG"));
    ASSERT_TRUE(viewer.LoadSet("SHORT"));
    const auto rows = viewer.Files("20260301");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 1u);
    EXPECT_EQ(rows->front().object, "B");

    // An unreadable set leaves nothing of the earlier one either.
    EXPECT_FALSE(viewer.LoadSet("GONE"));
    EXPECT_EQ(viewer.Description(), "");
    EXPECT_TRUE(viewer.ObjectTable().empty());
}

TEST_F(SavedData, TreeIsDepthFirstInNameOrder) {
    WriteSet("DAILY", kHeader);
    for (const char* folder : {"DAILY/7/20260302", "DAILY/7/20260301", "DAILY/Monday",
                               "DAILY/30/20260101", "DAILY/7/20260301/deeper"}) {
        fs::create_directories(program_ / "data" / folder);
    }
    SavedDataCatalog viewer = Viewer();
    viewer.LoadSet("DAILY");
    const GenerationTree tree = viewer.Tree();
    EXPECT_TRUE(tree.unreadable.empty());
    EXPECT_EQ(tree.folders, (std::vector<GenerationFolder>{{"30", "30", 1},
                                                           {"20260101", "30/20260101", 2},
                                                           {"7", "7", 1},
                                                           {"20260301", "7/20260301", 2},
                                                           {"deeper", "7/20260301/deeper", 3},
                                                           {"20260302", "7/20260302", 2},
                                                           {"Monday", "Monday", 1}}));
}

TEST_F(SavedData, TreeFollowsNoLinksAndStopsAtSevenLevels) {
    WriteSet("DEEP", kHeader);
    const fs::path root = program_ / "data" / "DEEP";
    fs::create_directories(root / "1/2/3/4/5/6/7/8/9");
    fs::create_directory_symlink(root, root / "1" / "loop");
    fs::create_directory_symlink(program_.path(), root / "elsewhere");
    SavedDataCatalog viewer = Viewer();
    viewer.LoadSet("DEEP");
    const GenerationTree tree = viewer.Tree();
    ASSERT_EQ(tree.folders.size(), 7u);
    EXPECT_EQ(tree.folders.back().path, "1/2/3/4/5/6/7");
    EXPECT_EQ(tree.folders.back().depth, kMaxGenerationDepth);
}

TEST_F(SavedData, ASetWithoutDataShowsOnlyItsRootAndSaysSo) {
    WriteSet("NEW", kHeader);
    SavedDataCatalog viewer = Viewer();
    EXPECT_TRUE(viewer.LoadSet("NEW"));
    const GenerationTree tree = viewer.Tree();
    EXPECT_TRUE(tree.folders.empty());
    EXPECT_EQ(tree.unreadable, std::vector<std::string>{""});
}

TEST_F(SavedData, WithoutAChosenSetBaseDirIsNotBrowsed) {
    fs::create_directories(program_ / "data" / "OTHER" / "20260301");
    SavedDataCatalog viewer = Viewer();
    EXPECT_TRUE(viewer.Tree().folders.empty());
    EXPECT_FALSE(viewer.Files("OTHER/20260301"));
}

TEST(SetFolderReader, DescriptionIsLineOneOfTheFirstBytes) {
    test::TempFolder folder;
    WriteFile(folder / "A", ToCp932("説明\r\n1\r\n"));
    WriteFile(folder / "B", std::string(200, 'x') + "\r\n");
    WriteFile(folder / "C", "");
    EXPECT_EQ(ReadSetDescription(folder.path(), "A"), "説明");
    EXPECT_EQ(ReadSetDescription(folder.path(), "B"), std::string(kDescriptionWidth, 'x'));
    EXPECT_EQ(ReadSetDescription(folder.path(), "C"), "");
    EXPECT_FALSE(ReadSetDescription(folder.path(), "D"));
    EXPECT_FALSE(ReadSetDescription(folder.path(), "../A"));
}

struct ObjectCase {
    const char* file;
    std::optional<std::size_t> row;
};

class ObjectRows : public ::testing::TestWithParam<ObjectCase> {};

TEST_P(ObjectRows, AreFoundByTheirHostObjectNameOnly) {
    const std::vector<ObjectRow> table{{"L", "PAY", "*FILE"},     {"L", "SALES*01", "*FILE"},
                                       {"L", "#ALLUSR", "*FILE"}, {"L", "*ALLUSR", "*FILE"},
                                       {"L", "A#B*", "*FILE"},    {"L", "#SAL*", "*FILE"}};
    EXPECT_EQ(FindObjectRow(table, GetParam().file), GetParam().row) << GetParam().file;
}

INSTANTIATE_TEST_SUITE_P(Files, ObjectRows,
                         ::testing::Values(ObjectCase{"PAY", 0}, ObjectCase{"SALES#01", 1},
                                           ObjectCase{"SALES*01", std::nullopt},
                                           ObjectCase{"#ALLUSR", 2}, ObjectCase{"A#B#", 4},
                                           ObjectCase{"A#B*", std::nullopt}, ObjectCase{"#SAL#", 5},
                                           ObjectCase{"*SAL#", std::nullopt},
                                           ObjectCase{"SAVLIBS", std::nullopt},
                                           ObjectCase{"pay", std::nullopt},
                                           ObjectCase{"", std::nullopt}));

TEST(SaveFileTimes, ShownInLocalTimeWithJapaneseUnits) {
    EXPECT_EQ(JapaneseDateTime({2007, 3, 5, 9, 7, 2, 1}), "2007年03月05日 09時07分02秒");

    std::tm local{};
    local.tm_year = 2007 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = 9;
    local.tm_min = 7;
    local.tm_sec = 2;
    local.tm_isdst = -1;
    const auto system = std::chrono::system_clock::from_time_t(std::mktime(&local));
    const LocalTime shown = LocalFileTime(std::chrono::file_clock::from_sys(system));
    EXPECT_EQ(JapaneseDateTime(shown), "2007年03月05日 09時07分02秒");
}

}  // namespace
}  // namespace zorva
