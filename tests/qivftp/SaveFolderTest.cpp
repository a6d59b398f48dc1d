#include "qivftp/engine/SaveFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/qivftp/RecordingJobOutput.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivftp {
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
    TransferJob job;
    job.SetName = "DAILY";
    job.DailyKind = c.dailyKind;
    job.RetentionDays = c.retention;
    job.MonthlyKind = c.monthlyKind;
    Settings settings;
    settings.BaseDir = "/base/";
    const test::FakeClock clock(c.year, c.month, c.day, 22, 0);
    EXPECT_EQ(ComputeSaveFolder(job, settings, clock), "/base/" + c.expected);
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
    [](const auto& info) { return info.param.label; });

TEST(MakeSaveFolder, CreatesEveryMissingParentAndAcceptsAnExistingFolder) {
    test::TempFolder dir;
    test::RecordingJobOutput output;
    const std::string folder = (dir / "base/DAILY/7/20260310").string();
    EXPECT_TRUE(MakeSaveFolder(folder, output));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(MakeSaveFolder(folder, output));
    EXPECT_TRUE(output.messages.empty());
}

TEST(MakeSaveFolder, FailureNamesThePathInMessageAndStatus) {
    test::TempFolder dir;
    std::ofstream(dir / "base") << "a file where the base folder should be";
    test::RecordingJobOutput output;
    const std::string folder = (dir / "base/DAILY/20260310").string();
    EXPECT_FALSE(MakeSaveFolder(folder, output));
    const std::vector<std::string> expected = {folder + "が作成できません"};
    EXPECT_EQ(output.messages, expected);
    EXPECT_EQ(output.statuses, expected);
    EXPECT_FALSE(MakeSaveFolder((dir / "base").string(), output));  // a file, not a folder
}

}  // namespace
}  // namespace zorva::qivftp
