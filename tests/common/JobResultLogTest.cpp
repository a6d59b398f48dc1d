#include "common/JobResultLog.h"

#include <gtest/gtest.h>

#include "tests/support/JobRows.h"

#include <filesystem>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;

using test::At;
using test::Row;

// A finished job of set DAILY, 02:00 to 02:41 on 7 March 2026, owning its rows.
struct Job {
    explicit Job(std::vector<JobObjectRow> jobRows) : rows(std::move(jobRows)) {}
    operator JobResult() const { return JobResult{"DAILY", start, end, rows}; }

    std::vector<JobObjectRow> rows;
    LocalTime start = At(2026, 3, 7, 2, 0);
    LocalTime end = At(2026, 3, 7, 2, 41);
};

struct ResultCase {
    std::string label;
    std::vector<int> statuses;
    std::string word;
};

class JobResultWordCase : public ::testing::TestWithParam<ResultCase> {};

TEST_P(JobResultWordCase, CountsSavedRowsAgainstAllOthers) {
    std::vector<JobObjectRow> rows;
    for (int status : GetParam().statuses) rows.push_back(Row("OBJ", status));
    const Job job(rows);
    EXPECT_EQ(JobResultWord(job.rows), GetParam().word);
    EXPECT_EQ(JobResultName(job),
              "APP-202603070200-202603070241-DAILY-" + GetParam().word + "-.log");
}

INSTANTIATE_TEST_SUITE_P(Words, JobResultWordCase,
                         ::testing::Values(ResultCase{"AllSaved", {1, 1}, "正常完了"},
                                           ResultCase{"SavedAndFailed", {1, 9, 5}, "一部未完"},
                                           ResultCase{"SavedAndPending", {1, 0}, "一部未完"},
                                           ResultCase{"SavedAndUnknown", {1, 7}, "一部未完"},
                                           ResultCase{"NothingSubmitted", {0, 0, 0}, "異常終了"},
                                           ResultCase{"HostFailedAll", {5}, "異常終了"},
                                           ResultCase{"NoRows", {}, ""}),
                         [](const auto& test) { return test.param.label; });

TEST(JobResultName, PadsEverythingButTheYear) {
    Job job({Row("A", 1)});
    job.start = At(987, 1, 2, 3, 4);
    job.end = At(2026, 11, 12, 13, 59);
    EXPECT_EQ(JobResultName(job), "APP-98701020304-202611121359-DAILY-正常完了-.log");
}

TEST(ListedRows, EndAtTheFirstEmptyLibraryAndAtNinetyNine) {
    Job job({Row("A", 1), Row("B", 1), Row("C", 9)});
    job.rows[1].library.clear();
    EXPECT_EQ(ListedRows(job.rows).size(), 1u);
    EXPECT_EQ(JobResultWord(job.rows), "正常完了");  // the failed row behind the gap is not counted

    const Job full(std::vector<JobObjectRow>(100, Row("A", 1)));
    EXPECT_EQ(ListedRows(full.rows).size(), 99u);
}

TEST(JobResultContent, OneLinePerRowWithStatusTextsAndTimes) {
    const Job job({Row("#ALLUSR", 1, At(2026, 3, 7, 2, 5), At(2026, 3, 7, 2, 7)),
                   Row("PAYMAST", 9, At(2026, 3, 7, 2, 8), At(2026, 3, 7, 2, 18)),
                   Row("PAYHIST", 5), Row("PAYTEMP", 0), Row("ODD", 3)});
    EXPECT_EQ(JobResultContent(job.rows),
              ToCp932("PAYLIB/#ALLUSR/*FILE/保管正常完了/202603070205/202603070207\r\n"
                      "PAYLIB/PAYMAST/*FILE/保管異常終了/202603070208/202603070218\r\n"
                      "PAYLIB/PAYHIST/*FILE/ホストで保管失敗/000000000/000000000\r\n"
                      "PAYLIB/PAYTEMP/*FILE/保管未完了/000000000/000000000\r\n"
                      "PAYLIB/ODD/*FILE/不明 /000000000/000000000\r\n"));
    // Code page 932, not UTF-8: "保管未完了".
    EXPECT_NE(JobResultContent(job.rows).find("\x95\xdb\x8a\xc7\x96\xa2\x8a\xae\x97\xb9/"),
              std::string::npos);
}

TEST(WriteJobResultLog, WritesIntoLogDatAndAppendsToASameNamedFile) {
    test::TempFolder program;
    fs::create_directory(program / "LOG_DAT");
    const Job job({Row("A", 1, At(2026, 3, 7, 2, 1), At(2026, 3, 7, 2, 2))});
    const fs::path file = program / "LOG_DAT" / "APP-202603070200-202603070241-DAILY-正常完了-.log";
    ASSERT_TRUE(WriteJobResultLog(job, program.path()));
    EXPECT_EQ(ReadFileBytes(file), JobResultContent(job.rows));
    ASSERT_TRUE(WriteJobResultLog(job, program.path()));
    EXPECT_EQ(ReadFileBytes(file), JobResultContent(job.rows) + JobResultContent(job.rows));
}

TEST(WriteJobResultLog, AJobWithoutRowsLeavesAnEmptyFileWithTwoHyphens) {
    test::TempFolder program;
    fs::create_directory(program / "LOG_DAT");
    ASSERT_TRUE(WriteJobResultLog(Job({}), program.path()));
    EXPECT_EQ(ReadFileBytes(program / "LOG_DAT" / "APP-202603070200-202603070241-DAILY--.log"), "");
}

TEST(WriteJobResultLog, MissingLogFolderWritesNothingAndCreatesNothing) {
    test::TempFolder program;
    EXPECT_FALSE(WriteJobResultLog(Job({Row("A", 1)}), program.path()));
    EXPECT_TRUE(fs::is_empty(program.path()));
}

}  // namespace
}  // namespace zorva
