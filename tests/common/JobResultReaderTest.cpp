#include "common/JobResultReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "common/Codec.h"
#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

using namespace std::string_literals;

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct NameCase {
    const char* name;
    bool parsed;
    JobNameFields fields;
};

class JobResultNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(JobResultNames, CarryStartEndSetAndResult) {
    const NameCase& c = GetParam();
    const auto fields = ParseJobResultName(c.name);
    ASSERT_EQ(fields.has_value(), c.parsed) << c.name;
    if (c.parsed) {
        EXPECT_EQ(*fields, c.fields) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, JobResultNames,
    ::testing::Values(NameCase{"APP-200703050930-200703050947-SET01-正常完了-.log",
                               true,
                               {"200703050930", "200703050947", "SET01", "正常完了"}},
                      // A job without rows has an empty result word, not ".log".
                      NameCase{"APP-202603070200-202603070241-DAILY--.log",
                               true,
                               {"202603070200", "202603070241", "DAILY", ""}},
                      // Pieces past the result are ignored.
                      NameCase{"APP-200703050930-200703050947-SET01-一部未完-x-y-.log",
                               true,
                               {"200703050930", "200703050947", "SET01", "一部未完"}},
                      NameCase{"APPNOFIELDS.log", true, {"", "", "", ""}},
                      NameCase{"APP-200703050930.log", true, {"200703050930.log", "", "", ""}},
                      NameCase{"APP-2007030509301-20070305094-S-R-.log",
                               true,
                               {"2007030509301", "20070305094", "S", "R"}},
                      NameCase{"-APP-200703050930", false, {}}));

struct TimeCase {
    const char* field;
    const char* shown;
};

class DisplayTimes : public ::testing::TestWithParam<TimeCase> {};

TEST_P(DisplayTimes, RegroupWhateverTheFieldHolds) {
    EXPECT_EQ(DisplayTimeText(GetParam().field), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Times, DisplayTimes,
                         ::testing::Values(TimeCase{"200703050930", "2007/03/05 09:30"},
                                           TimeCase{"000000000", "0000/00/00 0"},
                                           TimeCase{"2007030509301", "2007/03/05 09:30"},
                                           TimeCase{"20070305", "2007/03/05"},
                                           TimeCase{"2007", "2007"}, TimeCase{"", ""},
                                           TimeCase{"ABCDEFGHIJKL", "ABCD/EF/GH IJ:KL"}));

TEST(JobResultNames, RebuiltFromTheShownTextsAsTheyWere) {
    for (const char* name : {"APP-200703050930-200703050947-SET01-正常完了-.log",
                             "APP-202603070200-202603070241-DAILY--.log",
                             "APP-202612312359-202701010001-A-異常終了-.log"}) {
        const auto f = ParseJobResultName(name);
        ASSERT_TRUE(f);
        EXPECT_EQ(JobResultFileName({StripTimeSeparators(DisplayTimeText(f->start)),
                                     StripTimeSeparators(DisplayTimeText(f->end)), f->setName,
                                     f->result}),
                  name);
    }
}

struct RangeCase {
    const char* time;
    bool inside;
};

class DateRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(DateRange, ComparesTheFirstEightCharacters) {
    EXPECT_EQ(DateInRange(GetParam().time, "20070301", "20070331"), GetParam().inside)
        << GetParam().time;
}

INSTANTIATE_TEST_SUITE_P(Dates, DateRange,
                         ::testing::Values(RangeCase{"200703010000", true},
                                           RangeCase{"200703312359", true},
                                           RangeCase{"200702282359", false},
                                           RangeCase{"200704010000", false},
                                           RangeCase{"000000000", false}, RangeCase{"", false},
                                           RangeCase{"2007", false}, RangeCase{"20070315", true}));

struct LinesCase {
    const char* title;
    std::string bytes;
    std::vector<JobDetailLine> lines;
};

class JobResultLines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(JobResultLines, BecomeRowsToShow) {
    EXPECT_EQ(ParseJobResultLines(GetParam().bytes), GetParam().lines) << GetParam().title;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, JobResultLines,
    ::testing::Values(
        LinesCase{
            "two objects",
            ToCp932("PAYLIB/*ALL/*FILE/保管正常完了/200703050930/200703050947\r\n"
                    "QSYS/SALES*01/*LIB/ホストで保管失敗/000000000/000000000\r\n"),
            {{"PAYLIB", "*ALL", "*FILE", "保管正常完了", "2007/03/05 09:30", "2007/03/05 09:47"},
             {"QSYS", "SALES*01", "*LIB", "ホストで保管失敗", "", ""}}},
        LinesCase{"only slashes and blank lines", "///\r\n\r\n/\r\n", {}},
        LinesCase{"missing fields stay empty", "LIB/OBJ\r\n", {{"LIB", "OBJ", "", "", "", ""}}},
        LinesCase{"bytes that are no CP932",
                  "L\x80\xA0/OBJ/T/R/1/2\r\n",
                  {{"L??", "OBJ", "T", "R", "1", "2"}}},
        LinesCase{"a zero byte ends the text",
                  "A/B/C/D/1/2\r\n\0E/F\r\n"s,
                  {{"A", "B", "C", "D", "1", "2"}}},
        LinesCase{"long fields are cut to the room",
                  "LIBRARYNAME1/OBJECTNAME12/T\r\n",
                  {{"LIBRARYNAM", "OBJECTNAME", "T", "", "", ""}}},
        LinesCase{"empty", "", {}}));

TEST(JobResultLines, ReadNoFurtherThanTheReadLimit) {
    std::string bytes;
    const std::string line = ToCp932("LIB/OBJ/*FILE/保管正常完了/200703050930/200703050947\r\n");
    while (bytes.size() < 2 * kJobResultReadLimit) bytes += line;
    const auto lines = ParseJobResultLines(bytes);
    EXPECT_EQ(lines.size(), kJobResultReadLimit / line.size() + 1);  // the last one cut short
    EXPECT_LT(lines.size(), bytes.size() / line.size());
}

TEST(JobResultFiles, ListedInNameOrderWithoutFoldersAndOtherFiles) {
    test::TempFolder folder;
    for (const char* name : {"APP-3-3-C-R-.log", "20260301.log", "APP-1-1-A-R-.log", "ap-lower.log",
                             "XAPP-2-2-B-R-.log", "APP-2-2-B-R-.log"}) {
        WriteFile(folder / name, "x");
    }
    std::filesystem::create_directory(folder / "APPFOLDER");
    EXPECT_EQ(ListJobResultFiles(folder.path()),
              (std::vector<std::string>{"APP-1-1-A-R-.log", "APP-2-2-B-R-.log", "APP-3-3-C-R-.log",
                                        "ap-lower.log"}));
    EXPECT_FALSE(ListJobResultFiles(folder / "missing"));
    EXPECT_FALSE(ListJobResultFiles(folder / "20260301.log"));
}

TEST(JobResultFiles, OnlyPlainFilesOfTheFolderAreRead) {
    test::TempFolder folder;
    std::filesystem::create_directory(folder / "LOG_DAT");
    WriteFile(folder / "secret", "A/B/C/D/1/2\r\n");
    WriteFile(folder / "LOG_DAT" / "APP-1-1-A-R-.log", "A/B/C/D/1/2\r\n");
    ASSERT_EQ(::mkfifo((folder / "LOG_DAT" / "APP-FIFO").c_str(), 0600), 0);
    const auto logs = folder / "LOG_DAT";
    EXPECT_TRUE(ReadJobResultFile(logs, "APP-1-1-A-R-.log"));
    EXPECT_FALSE(ReadJobResultFile(logs, "../secret"));
    EXPECT_FALSE(ReadJobResultFile(logs, ".."));
    EXPECT_FALSE(ReadJobResultFile(logs, ""));
    EXPECT_FALSE(ReadJobResultFile(logs, "APP-FIFO"));  // returns instead of waiting for a writer
    EXPECT_FALSE(ReadJobResultFile(logs, "APP-missing"));
}

}  // namespace
}  // namespace zorva
