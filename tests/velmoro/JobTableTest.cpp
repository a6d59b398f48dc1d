#include "velmoro/engine/JobTable.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "common/FileIo.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempFolder.h"
#include "velmoro/engine/JobList.h"
#include "velmoro/engine/Schedule.h"

namespace zorva::velmoro {
namespace {

namespace fs = std::filesystem;
using zorva::test::FakeClock;

// The texts as CP932 bytes, spelt out so that the file format does not rest on the codec.
const std::string kPcStartBytes = "\x82\x6F\x82\x62\x8B\x4E\x93\xAE";            // ＰＣ起動
const std::string kHostStartBytes = "\x83\x7A\x83\x58\x83\x67\x8B\x4E\x93\xAE";  // ホスト起動
const std::string kWaitingBytes = "\x8E\xC0\x8D\x73\x91\x4F";                    // 実行前

const std::string kExampleLine =
    "1,PAYROLL, 2005/03/07 09:30, 2005/03/08 22:10,2005/03/09 22:00,00:12:41," + kPcStartBytes +
    "," + kWaitingBytes + "\r\n";

JobRecord ExampleJob() {
    JobRecord job;
    job.active = 1;
    job.setName = "PAYROLL";
    job.submittedText = " 2005/03/07 09:30";
    job.lastRunText = " 2005/03/08 22:10";
    job.nextRunText = "2005/03/09 22:00";
    job.lastDuration = "00:12:41";
    job.startMethod = StartMethod::Pc;
    job.status = JobStatus::Waiting;
    return job;
}

JobRecord NamedJob(std::string name, int active = 1) {
    JobRecord job = ExampleJob();
    job.setName = std::move(name);
    job.active = active;
    return job;
}

BackupSet DailySet(std::string name, std::string saveTime) {
    BackupSet set;
    set.setName = std::move(name);
    set.startMethod = StartMethod::Pc;
    set.scheduleKind = ScheduleKind::Daily;
    set.dailyKind = DailyKind::EveryDay;
    set.saveTime = std::move(saveTime);
    return set;
}

BackupSet HostStartSet(std::string name) {
    BackupSet set = DailySet(std::move(name), "");
    set.startMethod = StartMethod::Host;
    return set;
}

using Fields = LineTexts;

std::vector<Fields> FieldsOf(const JobTable& table) {
    std::vector<Fields> all;
    for (const JobRecord& job : table.records) all.push_back(TextsOf(job));
    return all;
}

class JobFile : public ::testing::Test {
protected:
    void WriteFile(std::string_view bytes) { ASSERT_TRUE(WriteFileAtomically(table.file, bytes)); }
    std::string FileBytes() { return ReadFileBytes(table.file).value_or("<none>"); }
    int Load() { return LoadJobs(table, sets, clock, log) ? 1 : 0; }

    zorva::test::TempFolder dir;
    JobTable table{dir / kJobFileName, {}};
    FakeClock clock{2024, 6, 10, 21, 0, 5};
    SetTable sets;
    std::vector<std::string> logged;
    LogSink log = [this](std::string_view message) { logged.emplace_back(message); };
};

TEST_F(JobFile, SavesEachJobAsOneLineOfEightNonEmptyFields) {
    JobRecord hosted = NamedJob("HOSTED");
    hosted.submittedText = " 2005/03/07 09:35";
    hosted.lastRunText = " ";
    hosted.nextRunText = "";  // a host start job has no next run to show
    hosted.lastDuration = " ";
    hosted.startMethod = StartMethod::Host;
    JobRecord odd = NamedJob("ODD", 0);
    odd.lastDuration = "a,b\r\nc";  // separators inside a field must not split the line
    table.records = {ExampleJob(), hosted, odd};

    ASSERT_EQ(SaveJobs(table), JobFileWrite::Written);
    EXPECT_EQ(FileBytes(), kExampleLine + "1,HOSTED, 2005/03/07 09:35, , , ," + kHostStartBytes +
                               "," + kWaitingBytes + "\r\n" +
                               "0,ODD, 2005/03/07 09:30, 2005/03/08 22:10,2005/03/09 22:00,"
                               "a b  c," +
                               kPcStartBytes + "," + kWaitingBytes + "\r\n");
}

TEST_F(JobFile, ReadsTheExampleLineWithANextRunFromThePresent) {
    sets.sets = {DailySet("PAYROLL", "2200")};
    clock.Set(2005, 3, 10, 8, 0);
    WriteFile(kExampleLine);

    ASSERT_EQ(Load(), 1);
    JobRecord expected = ExampleJob();
    expected.nextRunText = "2005/03/10 22:00";
    expected.nextRun = LocalTime{2005, 3, 10, 22, 0, 0, 4};  // a Thursday
    EXPECT_EQ(table.records, std::vector<JobRecord>{expected});
    EXPECT_TRUE(logged.empty());
}

struct ReadCase {
    const char* name;
    std::string bytes;
    std::vector<Fields> jobs;
    std::vector<std::string_view> logged;
};

class ReadingJobFile : public JobFile, public ::testing::WithParamInterface<ReadCase> {};

// Every file reads without harm, and once written back it reads and writes the same.
TEST_P(ReadingJobFile, ReadsAsDefinedAndWritesBackStably) {
    const ReadCase& c = GetParam();
    WriteFile(c.bytes);
    EXPECT_EQ(Load(), c.jobs.empty() ? 0 : 1);
    EXPECT_EQ(FieldsOf(table), c.jobs);
    EXPECT_EQ(logged, std::vector<std::string>(c.logged.begin(), c.logged.end()));
    if (c.jobs.empty()) return;

    ASSERT_EQ(SaveJobs(table), JobFileWrite::Written);
    std::string firstSave = FileBytes();
    ASSERT_EQ(Load(), 1);
    ASSERT_EQ(SaveJobs(table), JobFileWrite::Written);
    EXPECT_EQ(FileBytes(), firstSave);
    EXPECT_EQ(table.records.size(), c.jobs.size());
}

const std::string kTwentyFiveLetters = "ABCDEFGHIJKLMNOPQRSTUVWXY";
// What a read that keeps the damaged file beside it logs at the fixture's moment.
const std::string kKept = JobFileKeptText("schedule.txt.damaged-20240610210005");

// clang-format off
const ReadCase kReadCases[] = {
    {"ExampleLine", kExampleLine,
     {{"1", "PAYROLL", " 2005/03/07 09:30", " 2005/03/08 22:10", "2005/03/09 22:00", "00:12:41", "ＰＣ起動", "実行前"}}, {}},
    {"RunOfCommasShiftsTheFieldsForward",
     "1,PAYROLL, 2005/03/07 09:30,,,00:12:41," + kPcStartBytes + "," + kWaitingBytes + "\r\n",
     {{"1", "PAYROLL", " 2005/03/07 09:30", "00:12:41", "ＰＣ起動", "実行前", "", ""}}, {}},
    {"LeadingAndTrailingCommas", ",,0,PAYROLL,,\r\n",
     {{"0", "PAYROLL", "", "", "", "", "", ""}}, {}},
    {"ActiveWithABlankReadsAsStopped", "1 ,PAYROLL\r\n",
     {{"0", "PAYROLL", "", "", "", "", "", ""}}, {}},
    {"AnyLineEndAndBlankLines", "1,A\n\n\r\r0,B\r\n\r\n1,C",
     {{"1", "A", "", "", "", "", "", ""}, {"0", "B", "", "", "", "", "", ""}, {"1", "C", "", "", "", "", "", ""}}, {}},
    {"FieldsBeyondTheEighthAreIgnored", "1,A,b,c,d,e,f,g,h,i\r\n",
     {{"1", "A", "b", "c", "d", "e", "", ""}}, {kKept}},  // no start method, no status
    {"OneFieldLinesAreNotJobs", "PAYROLL\r\n1\r\n1,B\r\n0\r\n",
     {{"1", "B", "", "", "", "", "", ""}}, {kJobLinesWithoutSet, kKept}},
    {"OverWideFieldsAreCutOnACharacterBoundary",
     "1," + kTwentyFiveLetters + ",123456789012345678901,x,123456789012345678901234567890,y," +
         kPcStartBytes + kPcStartBytes + "\x82\x6F\x82\x62," + kWaitingBytes + kWaitingBytes + "\r\n",
     {{"1", "ABCDEFGHIJKLMNOPQRS", "12345678901234567", "x", "12345678901234567890123456789", "y",
       "", ""}}, {kKept}},
    {"BinaryJunk", std::string("\x00\x01\xFF\x7F\x81\r\n", 7) + "1,\xFF\xFEZ,\x81\r\n" + std::string("\x00,\x00\n", 4),
     {{"1", "??Z", "?", "", "", "", "", ""}, {"0", std::string(1, '\0'), "", "", "", "", "", ""}},
     {kJobLinesWithoutSet, kKept}},
    {"EmptyFile", "", {}, {kNoJobsRegistered}},
    {"OnlyLinesWithoutASet", "JUNK\r\n", {}, {kJobLinesWithoutSet, kKept, kNoJobsRegistered}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Files, ReadingJobFile, ::testing::ValuesIn(kReadCases),
                         [](const auto& test) { return std::string(test.param.name); });

// A line of exactly `length` bytes, line end included, for the job of set J<n>.
std::string LineOfLength(int n, std::size_t length) {
    char head[32];
    std::snprintf(head, sizeof head, "1,J%05d,", n);
    std::string line = head;
    line.append(length - line.size() - 2, 'x');
    return line + "\r\n";
}

struct LimitCase {
    const char* name;
    std::string bytes;
    std::size_t jobs;
    std::vector<std::string_view> logged;
};

std::string Lines(int count, std::size_t length, int first = 1) {
    std::string text;
    for (int n = first; n < first + count; ++n) text += LineOfLength(n, length);
    return text;
}

class JobFileLimits : public JobFile, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(JobFileLimits, TakesWhatFitsAndLeavesTheFileAlone) {
    const LimitCase& c = GetParam();
    WriteFile(c.bytes);
    EXPECT_EQ(Load(), 1);
    ASSERT_EQ(table.records.size(), c.jobs);
    char last[16];
    std::snprintf(last, sizeof last, "J%05zu", c.jobs);
    EXPECT_EQ(table.records.back().setName, last);
    EXPECT_EQ(logged, std::vector<std::string>(c.logged.begin(), c.logged.end()));
    EXPECT_EQ(FileBytes(), c.bytes);
}

// clang-format off
const LimitCase kLimitCases[] = {
    {"HundredJobsFillTheReadLimitExactly", Lines(100, 99), 100, {kKept}},  // over-wide fields
    {"The101stLineIsIgnored", Lines(101, 20), 100, {kJobLinesIgnored, kKept}},
    {"TenThousandLines", Lines(10000, 40), 100, {kJobBytesIgnored, kJobLinesIgnored, kKept}},
    {"ALineCutByTheLimitIsDropped", Lines(99, 99) + LineOfLength(100, 150), 99, {kJobBytesIgnored, kKept}},
    {"ALineEndingAtTheLimitIsKept", Lines(99, 99) + LineOfLength(100, 101), 100, {kJobBytesIgnored, kKept}},
    {"BytesPastTheHundredthLineAtTheLimit", Lines(100, 99) + "1,MORE\r\n", 100, {kJobBytesIgnored, kKept}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Sizes, JobFileLimits, ::testing::ValuesIn(kLimitCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(JobFile, MissingFileIsCreatedEmpty) {
    EXPECT_EQ(Load(), 0);
    EXPECT_TRUE(table.records.empty());
    EXPECT_EQ(FileBytes(), "");
    EXPECT_EQ(logged, std::vector<std::string>{std::string(kNoJobsRegistered)});
}

TEST_F(JobFile, UnreadableFileLeavesTheTableAsItWas) {
    fs::create_directory(table.file);
    table.records = {ExampleJob()};
    EXPECT_EQ(Load(), 0);
    EXPECT_EQ(table.records, std::vector<JobRecord>{ExampleJob()});
    EXPECT_EQ(logged, std::vector<std::string>{std::string(kJobFileUnreadable)});
    EXPECT_EQ(SaveJobs(table), JobFileWrite::Failed);
    EXPECT_TRUE(fs::is_directory(table.file));
}

TEST_F(JobFile, FailedSaveKeepsTheOldFile) {
    WriteFile(kExampleLine);
    table.records = {NamedJob("A"), NamedJob("B")};
    {
        test::FileSizeLimit limit(16);
        EXPECT_EQ(SaveJobs(table), JobFileWrite::Failed);
    }
    EXPECT_EQ(FileBytes(), kExampleLine);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(JobFile, EmptyTableDoesNotTouchTheFile) {
    WriteFile(kExampleLine);
    EXPECT_EQ(SaveJobs(table), JobFileWrite::NothingToWrite);
    EXPECT_EQ(FileBytes(), kExampleLine);
}

TEST_F(JobFile, DeletingAJobRewritesTheFileWithoutItAndReadsItBack) {
    sets.sets = {DailySet("A", "2200"), DailySet("B", "2200"), DailySet("C", "2300")};
    table.records = {NamedJob("A"), NamedJob("B"), NamedJob("C")};

    EXPECT_EQ(DeleteJob(table, 1, sets, clock, log), JobFileWrite::Written);
    ASSERT_EQ(table.records.size(), 2u);
    EXPECT_EQ(table.records[0].setName, "A");
    EXPECT_EQ(table.records[1].setName, "C");
    EXPECT_EQ(table.records[1].nextRunText, "2024/06/10 23:00");

    EXPECT_EQ(DeleteJob(table, 0, sets, clock, log), JobFileWrite::Written);
    EXPECT_EQ(DeleteJob(table, 0, sets, clock, log), JobFileWrite::Written);
    EXPECT_TRUE(table.records.empty());
    EXPECT_EQ(FileBytes(), "");
    EXPECT_EQ(logged, std::vector<std::string>{std::string(kNoJobsRegistered)});
}

TEST_F(JobFile, StoppedJobStaysStoppedAfterARestartWithAFreshNextRun) {
    sets.sets = {DailySet("PAYROLL", "2200")};
    table.records = {ExampleJob()};
    ASSERT_EQ(SetJobActive(table, 0, false), JobFileWrite::Written);

    clock.Set(2024, 6, 12, 23, 0);
    JobTable restarted{table.file, {}};
    ASSERT_TRUE(LoadJobs(restarted, sets, clock, log));
    EXPECT_EQ(restarted.records[0].active, 0);
    EXPECT_EQ(restarted.records[0].nextRunText, "2024/06/13 22:00");
}

TEST_F(JobFile, JobWhoseScheduleNamesNoMomentKeepsItsTextAndNeverRuns) {
    BackupSet set = DailySet("PAYROLL", "2200");
    set.scheduleKind = ScheduleKind::Monthly;
    set.monthlyKind = MonthlyKind::GivenDay;
    set.monthDay = "32";
    sets.sets = {set};
    WriteFile(kExampleLine);
    ASSERT_EQ(Load(), 1);
    EXPECT_EQ(table.records[0].nextRunText, "2005/03/09 22:00");
    for (int hour : {0, 22, 23}) {
        clock.Set(2024, 6, 11, hour, 59);
        EXPECT_EQ(FindDueJob(table, sets, clock), DueWork{});
    }
}

// ---- Registration ----

class Registration : public JobFile {
protected:
    Registration() { sets.sets = {DailySet("PAYROLL", "2200"), HostStartSet("HOSTED")}; }
    int Register(int setIndex) {
        sets.currentSet = setIndex;
        const Expected<void> registered = RegisterJob(table, sets, clock);
        if (!registered) lastError = registered.error().text;
        return registered ? 1 : 0;
    }
    std::string lastError;
};

TEST_F(Registration, AddsAnActiveWaitingJobAndSavesTheTable) {
    ASSERT_EQ(Register(0), 1);
    ASSERT_EQ(Register(1), 1);
    EXPECT_EQ(FieldsOf(table), (std::vector<Fields>{{"1", "PAYROLL", " 2024/06/10 21:00", " ",
                                                     "2024/06/10 22:00", " ", "ＰＣ起動", "実行前"},
                                                    {"1", "HOSTED", " 2024/06/10 21:00", " ", "",
                                                     " ", "ホスト起動", "実行前"}}));
    EXPECT_EQ(FileBytes(), "1,PAYROLL, 2024/06/10 21:00, ,2024/06/10 22:00, ," + kPcStartBytes +
                               "," + kWaitingBytes + "\r\n" + "1,HOSTED, 2024/06/10 21:00, , , ," +
                               kHostStartBytes + "," + kWaitingBytes + "\r\n");
    EXPECT_TRUE(lastError.empty());
}

TEST_F(Registration, RefusesASecondJobForOneSet) {
    ASSERT_EQ(Register(0), 1);
    std::string saved = FileBytes();
    table.records[0].active = 0;  // a stopped job still counts
    EXPECT_EQ(Register(0), 0);
    EXPECT_EQ(lastError, kJobAlreadyRegistered);
    EXPECT_EQ(table.records.size(), 1u);
    EXPECT_EQ(FileBytes(), saved);
}

TEST_F(Registration, RefusesThe101stJob) {
    for (int n = 0; n < 100; ++n) table.records.push_back(NamedJob("J" + std::to_string(n)));
    EXPECT_EQ(Register(0), 0);
    EXPECT_EQ(lastError, kTooManyJobs);
    EXPECT_EQ(table.records.size(), 100u);
    EXPECT_FALSE(fs::exists(table.file));

    table.records.pop_back();
    EXPECT_EQ(Register(0), 1);
    EXPECT_EQ(table.records.back().setName, "PAYROLL");
}

TEST_F(Registration, KeepsTheJobWhenOnlyTheSaveFails) {
    table.file = dir / "missing-folder" / kJobFileName;
    EXPECT_EQ(Register(0), 0);
    EXPECT_EQ(lastError, kJobFileWriteFailed);
    ASSERT_EQ(table.records.size(), 1u);
    EXPECT_EQ(table.records[0].setName, "PAYROLL");
}

// ---- Booking a run, status, lookups ----

TEST_F(JobFile, BookingARunMovesThePcStartJobOnAndStampsTheLastRun) {
    sets.sets = {DailySet("PAYROLL", "2200"), HostStartSet("HOSTED")};
    sets.sets[1].saveTime = "2200";  // left from a PC schedule: not a host job's schedule
    JobRecord hosted = NamedJob("HOSTED");
    hosted.startMethod = StartMethod::Host;
    hosted.nextRun = LocalTime{2024};
    table.records = {NamedJob("PAYROLL"), NamedJob("PAYROLL"), hosted};
    clock.Set(2024, 6, 10, 22, 40, 30);

    RecordJobRun(table, sets, 0, clock);
    RecordJobRun(table, sets, 1, clock);
    EXPECT_EQ(TextsOf(table.records[0]),
              TextsOf(NamedJob("PAYROLL")));  // the last of two is booked
    EXPECT_EQ(table.records[1].nextRunText, "2024/06/11 22:00");
    EXPECT_EQ(table.records[1].lastRunText, " 2024/06/10 22:40");
    EXPECT_EQ(table.records[2].nextRunText, "2005/03/09 22:00");  // host start: no schedule
    EXPECT_EQ(table.records[2].lastRunText, " 2024/06/10 22:40");
}

TEST(JobStatus, GoesToTheFirstActiveJobOfTheSet) {
    JobTable table{"unused", {NamedJob("A", 0), NamedJob("A"), NamedJob("A"), NamedJob("B", 0)}};
    EXPECT_EQ(SetJobStatus(table, "A", JobStatus::Running), 1u);
    EXPECT_EQ(SetJobStatus(table, "B", JobStatus::Running), std::nullopt);
    std::vector<std::string> statuses;
    for (const JobRecord& job : table.records) statuses.push_back(TextsOf(job)[7]);
    EXPECT_EQ(statuses, (std::vector<std::string>{"実行前", "実行中", "実行前", "実行前"}));
}

TEST(JobList, ShowsTheNextRunForPcStartJobsOnly) {
    JobRecord hosted = NamedJob("HOSTED", 0);
    hosted.startMethod = StartMethod::Host;
    JobTable table{"unused", {ExampleJob(), hosted}};
    EXPECT_EQ(JobListRows(table),
              (std::vector<JobListRow>{{"活動", "PAYROLL", " 2005/03/07 09:30", " 2005/03/08 22:10",
                                        "2005/03/09 22:00", "00:12:41", "ＰＣ起動", "実行前"},
                                       {"停止", "HOSTED", " 2005/03/07 09:30", " 2005/03/08 22:10",
                                        "", "00:12:41", "ホスト起動", "実行前"}}));
}

}  // namespace
}  // namespace zorva::velmoro
