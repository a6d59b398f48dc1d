#include "qivLog/engine/JobHistory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "common/Codec.h"
#include "common/JobResultLog.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivlog {
namespace {

namespace fs = std::filesystem;

struct MonthBackCase {
    LocalTime today;
    int year, month, day;
};

class FromDate : public ::testing::TestWithParam<MonthBackCase> {};

TEST_P(FromDate, IsOneMonthBackCutToTheEndOfThatMonth) {
    const MonthBackCase& c = GetParam();
    const LocalTime from = OneMonthBack(c.today);
    EXPECT_EQ(from.year, c.year);
    EXPECT_EQ(from.month, c.month);
    EXPECT_EQ(from.day, c.day);
    EXPECT_EQ(from.weekday, WeekdayOf(c.year, c.month, c.day));
}

INSTANTIATE_TEST_SUITE_P(Dates, FromDate,
                         ::testing::Values(MonthBackCase{{2026, 3, 31}, 2026, 2, 28},
                                           MonthBackCase{{2024, 3, 31}, 2024, 2, 29},
                                           MonthBackCase{{2000, 3, 30}, 2000, 2, 29},
                                           MonthBackCase{{2100, 3, 29}, 2100, 2, 28},
                                           MonthBackCase{{2026, 1, 15}, 2025, 12, 15},
                                           MonthBackCase{{2026, 1, 31}, 2025, 12, 31},
                                           MonthBackCase{{2026, 5, 31}, 2026, 4, 30},
                                           MonthBackCase{{2026, 3, 15}, 2026, 2, 15}));

struct PresetCase {
    const char* preset;
    std::optional<std::size_t> entry;
};

class Preset : public ::testing::TestWithParam<PresetCase> {};

TEST_P(Preset, ChoosesTheFirstSetBeginningWithIt) {
    const auto entries = SetFilterEntries({"DAILY", "DAILYB", "MONTH", "SALES"});
    EXPECT_EQ(FindPresetEntry(entries, GetParam().preset), GetParam().entry) << GetParam().preset;
}

INSTANTIATE_TEST_SUITE_P(Names, Preset,
                         ::testing::Values(PresetCase{"DAILY", 1}, PresetCase{"DAILYB", 2},
                                           PresetCase{"daily", 1}, PresetCase{"SA", 3 + 1},
                                           PresetCase{"NONE", std::nullopt},
                                           PresetCase{"", std::nullopt}, PresetCase{"バック", 0},
                                           PresetCase{"SALESXYZ", std::nullopt}));

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

const char* const kFeb28ToMar1 = "APP-200702282350-200703010010-SET01-正常完了-.log";
const char* const kMarch5 = "APP-200703050930-200703050947-SET01-一部未完-.log";
const char* const kOtherSet = "APP-200703060100-200703060130-SET011-異常終了-.log";
const char* const kFebruary = "APP-200702100100-200702100130-SET01-正常完了-.log";
const char* const kApril = "APP-200704010000-200704010005-SET02-正常完了-.log";

class History : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {kApril, kOtherSet, kMarch5, kFebruary, kFeb28ToMar1,
                                 "APPNOFIELDS.log", "20070305.log"}) {
            WriteFile(logs() / name, "");
        }
        WriteFile(program_ / "BACKUPSET" / "SET01", ToCp932("毎日の保管\r\n1\r\n"));
    }
    fs::path logs() const { return program_ / "LOG_DAT"; }
    JobHistory List(const std::string& set) const {
        return ListJobHistory(program_.path(), "BACKUPSET", {"20070301", "20070331", set});
    }
    static std::vector<std::string> Files(const JobHistory& history) {
        std::vector<std::string> files;
        for (const auto& row : history.rows) files.push_back(row.fileName);
        return files;
    }

    test::TempFolder program_;
};

struct FilterCase {
    const char* set;
    std::vector<std::string> files;
};

class HistoryFilter : public History, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(HistoryFilter, ListsJobsStartedOrEndedInRangeOldestFirst) {
    EXPECT_EQ(Files(List(GetParam().set)), GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(Sets, HistoryFilter,
                         ::testing::Values(FilterCase{"", {kFeb28ToMar1, kMarch5, kOtherSet}},
                                           FilterCase{"SET01", {kFeb28ToMar1, kMarch5}},
                                           FilterCase{"SET0", {}},
                                           FilterCase{"SET011", {kOtherSet}}));

TEST_F(History, RowsShowTimesSetResultAndDescription) {
    const JobHistory history = List("SET01");
    ASSERT_EQ(history.rows.size(), 2u);
    EXPECT_EQ(history.rows[1], (JobHistoryRow{"2007/03/05 09:30", "2007/03/05 09:47", "SET01",
                                              "一部未完", "毎日の保管", kMarch5}));
    EXPECT_EQ(history.status, "");
    // The shown texts give the file's name back.
    EXPECT_EQ(RebuildJobResultName(history.rows[1].start, history.rows[1].end,
                                   history.rows[1].setName, history.rows[1].result),
              kMarch5);
}

TEST_F(History, ASetWithoutItsFileHasNoDescriptionAndIsNamedInTheStatus) {
    const JobHistory history = List("SET011");
    ASSERT_EQ(history.rows.size(), 1u);
    EXPECT_EQ(history.rows[0].description, "");
    EXPECT_EQ(history.status, "バックアップセット：SET011を読み取ることが出来ない");
}

TEST_F(History, ALogFolderThatYieldsNothingIsReported) {
    fs::remove_all(logs());
    EXPECT_EQ(List("").status, "ログの取得でエラー");
    WriteFile(logs(), "a file, not a folder");
    EXPECT_EQ(List("").status, "ログの取得でエラー");
    fs::remove(logs());
    WriteFile(logs() / "20070305.log", "daily log only");
    EXPECT_EQ(List("").status, "ログの取得でエラー");
    EXPECT_TRUE(List("").rows.empty());
}

struct DetailCase {
    const char* title;
    std::string bytes;
    std::size_t lines;
    std::string status;
};

class Detail : public History, public ::testing::WithParamInterface<DetailCase> {};

TEST_P(Detail, ShowsTheLinesOrSaysWhyNot) {
    const DetailCase& c = GetParam();
    WriteFile(logs() / kMarch5, c.bytes);
    const JobDetail detail = ReadJobDetail(program_.path(), kMarch5);
    EXPECT_EQ(detail.lines.size(), c.lines) << c.title;
    EXPECT_EQ(detail.status, c.status.empty() ? "" : kMarch5 + c.status) << c.title;
}

INSTANTIATE_TEST_SUITE_P(
    Files, Detail,
    ::testing::Values(DetailCase{"two lines",
                                 ToCp932("A/B/*FILE/保管正常完了/200703050930/200703050931\r\n"
                                         "A/C/*FILE/保管未完了/000000000/000000000\r\n"),
                                 2, ""},
                      DetailCase{"empty", "", 0, "にデータがない"},
                      DetailCase{"slashes only", "//\r\n/\r\n", 0, "にデータがない"}));

TEST_F(History, DetailOfAMissingFileSaysItCannotBeRead) {
    const JobDetail detail = ReadJobDetail(program_.path(), "APP-gone-.log");
    EXPECT_TRUE(detail.lines.empty());
    EXPECT_EQ(detail.status, "APP-gone-.logを読み取ることが出来ない");
}

TEST_F(History, NeverDownloadedObjectsShowNoTime) {
    WriteFile(logs() / kMarch5, ToCp932("A/C/*FILE/保管未完了/000000000/000000000\r\n"));
    const JobDetail detail = ReadJobDetail(program_.path(), kMarch5);
    ASSERT_EQ(detail.lines.size(), 1u);
    EXPECT_EQ(detail.lines[0].start, "");
    EXPECT_EQ(detail.lines[0].end, "");
    EXPECT_TRUE(LineFailed(detail.lines[0]));
}

// The whole road: what the transfer agent writes at the end of a job is what the viewer lists
// and details.
TEST_F(History, ShowsWhatTheTransferAgentWrote) {
    const std::vector<JobObjectRow> rows{
        {"PAYLIB",
         "*ALL",
         "*FILE",
         '2',
         '2',
         RowStatus::Saved,
         {2007, 3, 9, 23, 58, 0, 5},
         {2007, 3, 10, 0, 3, 0, 6}},
        {"SALESLIB", "SALES*01", "*FILE", '2', '2', RowStatus::HostFailed, kNoTime, kNoTime}};
    const JobResult job{"SALES", {2007, 3, 9, 23, 55, 0, 5}, {2007, 3, 10, 0, 5, 0, 6}, rows};
    ASSERT_TRUE(WriteJobResultLog(job, program_.path()));

    const JobHistory history = List("SALES");
    ASSERT_EQ(history.rows.size(), 1u);
    const JobHistoryRow& row = history.rows[0];
    EXPECT_EQ(row.start, "2007/03/09 23:55");
    EXPECT_EQ(row.end, "2007/03/10 00:05");
    EXPECT_EQ(row.result, "一部未完");
    EXPECT_EQ(RebuildJobResultName(row.start, row.end, row.setName, row.result), row.fileName);

    const JobDetail detail = ReadJobDetail(program_.path(), row.fileName);
    EXPECT_EQ(detail.status, "");
    EXPECT_EQ(
        detail.lines,
        (std::vector<JobDetailLine>{
            {"PAYLIB", "*ALL", "*FILE", "保管正常完了", "2007/03/09 23:58", "2007/03/10 00:03"},
            {"SALESLIB", "SALES*01", "*FILE", "ホストで保管失敗", "", ""}}));
}

TEST_F(History, NamesThatAreNoTextAreListedAndOpenedAsTheyAre) {
    const std::string odd = "APP-200703050930-200703050947-S\xff\xfe-R-.log";
    WriteFile(logs() / odd, "A/B/C/D/200703050930/200703050947\r\n");
    const JobHistory history = List("");
    const auto found = std::find_if(history.rows.begin(), history.rows.end(),
                                    [&](const JobHistoryRow& r) { return r.fileName == odd; });
    ASSERT_NE(found, history.rows.end());
    EXPECT_EQ(ReadJobDetail(program_.path(), found->fileName).lines.size(), 1u);
}

}  // namespace
}  // namespace zorva::qivlog
