#include "common/SavedData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/FakeClock.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;

struct LayoutCase {
    std::string label;
    char dailyKind;
    std::string retention;
    char monthlyKind;
    int year, month, day;
    std::string expected;  // below "/base/"
};

class SaveFolderLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(SaveFolderLayout, FollowsTheSetsSchedule) {
    const LayoutCase& c = GetParam();
    // The kinds as the set file spells them.
    const SaveSchedule schedule{"DAILY", DailyKind{c.dailyKind}, c.retention,
                                MonthlyKind{c.monthlyKind}};
    Settings settings;
    settings.baseDir = "/base/";
    const test::FakeClock clock(c.year, c.month, c.day, 22, 0);
    EXPECT_EQ(ComputeSaveFolder(schedule, settings, clock.Now()), "/base/" + c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SaveFolderLayout,
    ::testing::Values(
        LayoutCase{"WeekdayMonday", '2', "", ' ', 2026, 3, 9, "DAILY/Monday"},
        LayoutCase{"WeekdaySunday", '2', "", ' ', 2026, 3, 8, "DAILY/Sunday"},
        LayoutCase{"WeekdaySaturday", '2', "", ' ', 2026, 3, 14, "DAILY/Saturday"},
        LayoutCase{"WeekdayBeforeMonthly", '2', "", '1', 2026, 3, 11, "DAILY/Wednesday"},
        LayoutCase{"EveryDay", '1', "7", ' ', 2026, 3, 10, "DAILY/7/20260310"},
        LayoutCase{"EveryDayPadded", '1', "999", ' ', 2026, 1, 5, "DAILY/999/20260105"},
        LayoutCase{"EveryDayBeforeMonthly", '1', "30", '2', 2026, 4, 2, "DAILY/30/20260402"},
        LayoutCase{"EveryDayEmptyRetention", '1', "", ' ', 2026, 3, 10, "DAILY/0/20260310"},
        LayoutCase{"EveryDayDotDotRetention", '1', "..", ' ', 2026, 3, 10, "DAILY/0/20260310"},
        LayoutCase{"EveryDaySlashRetention", '1', "1/2", ' ', 2026, 3, 10, "DAILY/0/20260310"},
        LayoutCase{"FirstDay", '0', "", '1', 2026, 3, 17, "DAILY/20260301"},
        LayoutCase{"LastDayOfMarch", '0', "", '2', 2026, 3, 31, "DAILY/20260331"},
        LayoutCase{"LastDayInFebruary", '0', "", '2', 2026, 2, 10, "DAILY/20260231"},
        LayoutCase{"LastDayInApril", '0', "", '2', 2026, 4, 30, "DAILY/20260431"},
        LayoutCase{"GivenDay", '0', "", '3', 2026, 1, 5, "DAILY/20260105"},
        LayoutCase{"NoKindAtAll", ' ', "", ' ', 2027, 12, 31, "DAILY/20271231"}),
    [](const auto& test) { return test.param.label; });

TEST(MakeSaveFolder, CreatesEveryMissingParentAndAcceptsAnExistingFolder) {
    test::TempFolder dir;
    test::RecordingReporter output;
    const std::string folder = (dir / "base/DAILY/7/20260310").string();
    EXPECT_TRUE(MakeSaveFolder(folder, output));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(MakeSaveFolder(folder, output));
    EXPECT_TRUE(output.messages.empty());
}

TEST(MakeSaveFolder, FailureNamesThePathInMessageAndStatus) {
    test::TempFolder dir;
    std::ofstream(dir / "base") << "a file where the base folder should be";
    test::RecordingReporter output;
    const std::string folder = (dir / "base/DAILY/20260310").string();
    EXPECT_FALSE(MakeSaveFolder(folder, output));
    const std::vector<std::string> expected = {folder + "が作成できません：Not a directory"};
    EXPECT_EQ(output.messages, expected);
    EXPECT_EQ(output.statuses, expected);
    EXPECT_FALSE(MakeSaveFolder((dir / "base").string(), output));  // a file, not a folder
}

struct NameCase {
    std::string object;
    std::string fileName;
};

class SaveFileNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(SaveFileNames, OnlyTheFirstStarBecomesAHash) {
    EXPECT_EQ(HostObjectName(GetParam().object), GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(Names, SaveFileNames,
                         ::testing::Values(NameCase{"*ALLUSR", "#ALLUSR"}, NameCase{"PAY*", "PAY#"},
                                           NameCase{"*A*", "#A*"}, NameCase{"PAYROLL", "PAYROLL"},
                                           NameCase{"", ""}));

struct TemporaryCase {
    std::string name;
    bool temporary;
};

class DownloadTemporaries : public ::testing::TestWithParam<TemporaryCase> {};

TEST_P(DownloadTemporaries, AreRecognisedByTheirWholeShape) {
    EXPECT_EQ(IsDownloadTemporaryName(GetParam().name), GetParam().temporary);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DownloadTemporaries,
    ::testing::Values(TemporaryCase{DownloadTemporaryName("PAYROLL", 0x1234abcd), true},
                      TemporaryCase{DownloadTemporaryName("#ALLUSR", 0), true},
                      TemporaryCase{".A.0123abcd.part", true}, TemporaryCase{"PAYROLL", false},
                      TemporaryCase{"PAYROLL.part", false},      // not hidden
                      TemporaryCase{"..0123abcd.part", false},   // no name
                      TemporaryCase{".A.0123ABCD.part", false},  // upper-case tag
                      TemporaryCase{".A.0123abc.part", false},   // seven digits
                      TemporaryCase{".A-0123abcd.part", false},  // no dot before the tag
                      TemporaryCase{".A.0123abcd.partial", false}));

TEST(DownloadTemporaryName, IsHiddenBesideTheSaveFile) {
    EXPECT_EQ(DownloadTemporaryName("#ALLUSR", 0xbeef), ".#ALLUSR.0000beef.part");
}

TEST(ListSaveFiles, RegularFilesInByteOrderWithoutTemporariesFoldersOrLinks) {
    test::TempFolder dir;
    for (const char* name : {"PAYROLL", "#ALLUSR", "B", "A", "a", "\xe7\xb5\xa6\xe4\xb8\x8e"}) {
        std::ofstream(dir / name) << "x";
    }
    std::ofstream(dir / DownloadTemporaryName("PAYROLL", 7)) << "partial";
    fs::create_directory(dir / "SUBFOLDER");
    fs::create_symlink(dir / "A", dir / "LINK");
    fs::create_symlink(dir / "missing", dir / "DANGLING");
    const std::vector<std::string> expected = {"#ALLUSR", "A", "B",
                                               "PAYROLL", "a", "\xe7\xb5\xa6\xe4\xb8\x8e"};
    EXPECT_EQ(ListSaveFiles(dir.path()), expected);
}

TEST(ListSaveFiles, AMissingFolderCannotBeListed) {
    test::TempFolder dir;
    EXPECT_EQ(ListSaveFiles(dir / "missing"), std::nullopt);
    EXPECT_EQ(ListSaveFiles(dir.path()), std::vector<std::string>{});
}

TEST(SaveFilePath, StaysADirectChildOfTheSaveFolder) {
    const fs::path folder = "/save/DAILY/20260101";
    const struct {
        std::string object;
        std::optional<fs::path> expected;
    } cases[] = {
        {"PAYROLL", folder / "PAYROLL"},
        {"*ALLUSR", folder / "#ALLUSR"},
        {"A*B*", folder / "A#B*"},
        {"..", std::nullopt},
        {".", std::nullopt},
        {"", std::nullopt},
        {"../ETC", std::nullopt},
        {"A/B", std::nullopt},
        {std::string("A\0B", 3), std::nullopt},
        {"...", folder / "..."},
    };
    for (const auto& c : cases) EXPECT_EQ(SaveFilePath(folder, c.object), c.expected) << c.object;
}

}  // namespace
}  // namespace zorva
