#include "qivftp/engine/Purge.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "common/SavedData.h"
#include "tests/support/FakeClock.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivftp {
namespace {

namespace fs = std::filesystem;

struct CutOffCase {
    std::string label;
    int year, month, day;
    std::string retention;
    std::string cutOff;
};

class PurgeCutOff : public ::testing::TestWithParam<CutOffCase> {};

TEST_P(PurgeCutOff, CountsBackOverMonthsYearsAndLeapDays) {
    const CutOffCase& c = GetParam();
    const test::FakeClock clock(c.year, c.month, c.day, 2, 0);
    EXPECT_EQ(DateDaysAgo(clock.Now(), RetentionCount(c.retention)), c.cutOff);
}

INSTANTIATE_TEST_SUITE_P(Dates, PurgeCutOff,
                         ::testing::Values(CutOffCase{"SevenDays", 2026, 3, 10, "7", "20260303"},
                                           CutOffCase{"LeapYear", 2028, 3, 1, "1", "20280229"},
                                           CutOffCase{"CommonYear", 2027, 3, 1, "1", "20270228"},
                                           CutOffCase{"Century", 2100, 3, 1, "1", "21000228"},
                                           CutOffCase{"FourCenturies", 2000, 3, 1, "1", "20000229"},
                                           CutOffCase{"NewYear", 2027, 1, 1, "1", "20261231"},
                                           CutOffCase{"ThirtyDayMonth", 2026, 5, 1, "1",
                                                      "20260430"},
                                           CutOffCase{"Zero", 2026, 3, 10, "0", "20260310"},
                                           CutOffCase{"Negative", 2026, 3, 10, "-3", "20260310"},
                                           CutOffCase{"NotANumber", 2026, 3, 10, "abc", "20260310"},
                                           CutOffCase{"Empty", 2026, 3, 10, "", "20260310"},
                                           CutOffCase{"LongPeriod", 2026, 3, 10, "999", "20230615"},
                                           CutOffCase{"SmallYearPadded", 5, 1, 1, "1", "00041231"}),
                         [](const auto& test) { return test.param.label; });

class PurgeFolder : public ::testing::Test {
protected:
    PurgeFolder() : clock(2026, 3, 10, 2, 0) {
        job.setName = "DAILY";
        job.dailyKind = DailyKind::EveryDay;
        job.retentionDays = "7";
        settings.baseDir = base.path().string() + "/";
    }

    fs::path Folder() const { return base / "DAILY" / "7"; }

    void MakeDay(const std::string& name) {
        fs::create_directories(Folder() / name);
        std::ofstream(Folder() / name / "PAYLIB") << "saved";
        std::ofstream(Folder() / name / "#ALLUSR") << "saved";
    }

    std::set<std::string> Remaining() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(Folder())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    void Purge() { PurgeOldGenerations(job, settings, clock, output); }

    test::TempFolder base;
    test::FakeClock clock;
    TransferJob job;
    Settings settings;
    test::RecordingReporter output;
};

TEST_F(PurgeFolder, RemovesDayFoldersBeforeTheCutOffAndKeepsEightDays) {
    for (const char* day : {"20260301", "20260302", "20260303", "20260304", "20260305", "20260306",
                            "20260307", "20260308", "20260309", "20260310"}) {
        MakeDay(day);
    }
    MakeDay("20251231");
    const fs::path before = fs::current_path();
    Purge();
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_EQ(Remaining(), (std::set<std::string>{"20260303", "20260304", "20260305", "20260306",
                                                  "20260307", "20260308", "20260309", "20260310"}));
    EXPECT_TRUE(output.messages.empty());
}

TEST_F(PurgeFolder, OnlyRealEightDigitFoldersAreCandidates) {
    MakeDay("20260310");  // today's copy: the older days are no last copy
    MakeDay("20260101");
    MakeDay("1999");  // sorts before the cut-off, but is not a day
    MakeDay("0");     // likewise
    MakeDay("Monday");
    MakeDay("2026010");    // seven digits
    MakeDay("202601011");  // nine digits
    std::ofstream(Folder() / "20250101") << "a plain file with a day's name";
    std::ofstream(Folder() / "notes.txt") << "a plain file";
    fs::create_directories(base / "elsewhere");
    std::ofstream(base / "elsewhere" / "keep") << "outside the purge folder";
    fs::create_directory_symlink(base / "elsewhere", Folder() / "20250202");
    // Links inside a day folder go themselves; their targets stay.
    MakeDay("20260102");
    fs::create_directory_symlink(base / "elsewhere", Folder() / "20260102" / "dirlink");
    fs::create_symlink(base / "elsewhere" / "keep", Folder() / "20260102" / "filelink");
    Purge();
    EXPECT_EQ(Remaining(),
              (std::set<std::string>{"1999", "0", "Monday", "2026010", "202601011", "20250101",
                                     "notes.txt", "20250202", "20260310"}));
    EXPECT_TRUE(fs::exists(base / "elsewhere" / "keep"));
    EXPECT_TRUE(output.messages.empty());
}

TEST_F(PurgeFolder, AFolderHoldingASubfolderFailsAloneAndThePurgeGoesOn) {
    MakeDay("20260310");
    MakeDay("20260101");
    MakeDay("20260102");
    MakeDay("20260103");
    fs::create_directories(Folder() / "20260102" / "inner");
    std::ofstream(Folder() / "20260102" / "inner" / "kept") << "x";
    Purge();
    EXPECT_EQ(Remaining(), (std::set<std::string>{"20260102", "20260310"}));
    // Its plain files went; the subfolder and what is in it stayed.
    EXPECT_FALSE(fs::exists(Folder() / "20260102" / "PAYLIB"));
    EXPECT_TRUE(fs::exists(Folder() / "20260102" / "inner" / "kept"));
    const std::vector<std::string> expected = {"削除対象ディレクトリの削除に失敗した"};
    EXPECT_EQ(output.messages, expected);
    EXPECT_EQ(output.statuses, expected);
}

TEST_F(PurgeFolder, MissingPurgeFolderIsOneMessageAndNothingElse) {
    fs::create_directories(base / "DAILY" / "20200101");
    Purge();
    const std::vector<std::string> expected = {"削除対象ディレクトリに移動出来ない"};
    EXPECT_EQ(output.messages, expected);
    EXPECT_EQ(output.statuses, expected);
    EXPECT_TRUE(fs::exists(base / "DAILY" / "20200101"));
}

TEST_F(PurgeFolder, NeverLeavesTheSetsFolderThroughTheRetentionText) {
    job.retentionDays = "..";
    fs::create_directories(base / "DAILY" / "20200101");
    fs::create_directories(base / "20200101");
    Purge();
    EXPECT_TRUE(fs::exists(base / "DAILY" / "20200101"));
    EXPECT_TRUE(fs::exists(base / "20200101"));
}

struct LastCopyCase {
    std::string label;
    std::vector<std::string> savedDays;      // day folders holding save files
    std::vector<std::string> emptyDays;      // day folders without any file
    std::vector<std::string> temporaryDays;  // day folders holding only a download temporary
    std::set<std::string> remaining;
};

class PurgeLastCopy : public PurgeFolder, public ::testing::WithParamInterface<LastCopyCase> {};

// Today is 2026-03-10 and seven days are kept: the cut-off is 20260303.
TEST_P(PurgeLastCopy, TheNewestDayHoldingASaveFileStaysWhateverItsAge) {
    const LastCopyCase& c = GetParam();
    for (const std::string& day : c.savedDays) MakeDay(day);
    for (const std::string& day : c.emptyDays) fs::create_directories(Folder() / day);
    for (const std::string& day : c.temporaryDays) {
        fs::create_directories(Folder() / day);
        std::ofstream(Folder() / day / DownloadTemporaryName("PAYLIB", 1)) << "part";
    }
    Purge();
    EXPECT_EQ(Remaining(), c.remaining);
    EXPECT_TRUE(output.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, PurgeLastCopy,
                         ::testing::Values(LastCopyCase{"HostDownLongerThanTheRetention",
                                                        {"20260101", "20260102"},
                                                        {"20260310"},
                                                        {},
                                                        {"20260102", "20260310"}},
                                           LastCopyCase{"ATemporaryIsNoSaveFile",
                                                        {"20260101"},
                                                        {"20260310"},
                                                        {"20260102"},
                                                        {"20260101", "20260310"}},
                                           LastCopyCase{"AnEmptyNewerDayIsNoCopy",
                                                        {"20260101"},
                                                        {"20260105", "20260310"},
                                                        {},
                                                        {"20260101", "20260310"}},
                                           LastCopyCase{"ARecentCopyLetsTheOldOnesGo",
                                                        {"20260101", "20260102", "20260309"},
                                                        {},
                                                        {},
                                                        {"20260309"}},
                                           LastCopyCase{"NothingSavedAnywhere",
                                                        {},
                                                        {"20260101", "20260310"},
                                                        {"20260102"},
                                                        {"20260310"}}),
                         [](const auto& test) { return test.param.label; });

TEST(DeleteFilesInFolder, DeletesPlainFilesOnlyAndFailsOnlyWhenUnlistable) {
    test::TempFolder dir;
    std::ofstream(dir / "a") << "x";
    std::ofstream(dir / "b") << "x";
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "sub" / "c") << "x";
    fs::create_directories(dir / "empty");
    EXPECT_TRUE(DeleteFilesInFolder(dir.path()));
    EXPECT_FALSE(fs::exists(dir / "a"));
    EXPECT_FALSE(fs::exists(dir / "b"));
    EXPECT_TRUE(fs::exists(dir / "sub" / "c"));
    EXPECT_TRUE(fs::is_directory(dir / "empty"));
    EXPECT_FALSE(DeleteFilesInFolder(dir / "missing"));
}

}  // namespace
}  // namespace zorva::qivftp
