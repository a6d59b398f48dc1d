#include "common/BackupSet.h"

#include <gtest/gtest.h>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;

BackupSet DailySave() {
    BackupSet set;
    set.setName = "DAILY";
    set.description = "Daily save";
    set.startMethod = StartMethod::Pc;
    set.scheduleKind = ScheduleKind::Daily;
    set.saveTime = "2200";
    set.dailyKind = DailyKind::EveryDay;
    set.retentionDays = "7";
    set.rows.push_back(ObjectRow{"PAYLIB", "*ALL", "*FILE", '2', '2', 0});
    return set;
}

const std::string kDailySaveFile =
    "Daily save\r\n1\r\n1\t2200\r\n1\t7\r\n \t\r\nPAYLIB\t*ALL\t*FILE\t2\t2\t\r\n";

TEST(BackupSetFile, ExampleIsWrittenByteForByteAndReadBack) {
    EXPECT_EQ(FormatSetFile(DailySave()), kDailySaveFile);
    EXPECT_EQ(ParseSetFile(kDailySaveFile, "DAILY"), DailySave());
}

TEST(BackupSetFile, BlankLinesAndShortRowLinesDoNotCount) {
    const std::string withBlanks =
        "Daily save\r\n\r\n1\r\n\n\r1\t2200\r\n1\t7\r\n \t\r\n"
        "LIB\tOBJ\t*FILE\t2\r\n"  // four fields: not a row
        "PAYLIB\t*ALL\t*FILE\t2\t2\t\r\n";
    EXPECT_EQ(ParseSetFile(withBlanks, "DAILY"), DailySave());
}

TEST(BackupSetFile, WeekdayAndMonthlyLines) {
    BackupSet weekly;
    weekly.setName = "WEEK";
    weekly.description = "";
    weekly.startMethod = StartMethod::Host;
    weekly.scheduleKind = ScheduleKind::Daily;
    weekly.saveTime = "0100";
    weekly.dailyKind = DailyKind::Weekdays;
    weekly.weekdayFlags = "1111111";
    EXPECT_EQ(FormatSetFile(weekly), " \r\n2\r\n1\t0100\r\n2\t1111111\r\n \t\r\n");

    BackupSet monthly = weekly;
    monthly.description = "two\r\nlines";
    monthly.scheduleKind = ScheduleKind::Monthly;
    monthly.saveTime = "2350";
    monthly.dailyKind = DailyKind::NotDaily;
    monthly.weekdayFlags = "";
    monthly.monthlyKind = MonthlyKind::LastDay;
    monthly.monthDay = "15";
    const std::string text = FormatSetFile(monthly);
    EXPECT_EQ(text, "two  lines\r\n2\r\n2\t2350\r\n0\t\r\n2\t15\r\n");
    BackupSet back = ParseSetFile(text, "WEEK");
    EXPECT_EQ(back.monthlyKind, MonthlyKind::LastDay);
    EXPECT_EQ(back.monthDay, "15");
    EXPECT_EQ(back.dailyKind, DailyKind::NotDaily);
    EXPECT_EQ(back.weekdayFlags, "");
}

TEST(BackupSetFile, LimitsAreKeptOnRead) {
    std::string text = std::string(300, 'D') + "\r\n1\r\n1\t22001\r\n1\t1234\r\n3\t123\r\n";
    for (int i = 0; i < 120; ++i) {
        text += "LIBRARYNAME1\tOBJ" + std::to_string(i) + "\t*FILE\t2\t1\t\xFF\r\n";
    }
    BackupSet set = ParseSetFile(text, "BIG");
    EXPECT_EQ(set.description, std::string(127, 'D'));
    EXPECT_EQ(set.saveTime, "2200");
    EXPECT_EQ(set.retentionDays, "123");
    EXPECT_EQ(set.monthDay, "12");
    ASSERT_EQ(set.rows.size(), kMaxRows);
    EXPECT_EQ(set.rows[0].library, "LIBRARYNAM");
    EXPECT_EQ(set.rows[98].object, "OBJ98");

    // Nothing past 65,536 bytes is read: a row that starts beyond is not there.
    std::string padded = kDailySaveFile;
    padded += std::string(kSetFileReadLimit - padded.size(), '\n');
    padded += "LATE\tOBJ\t*FILE\t2\t2\t\r\n";
    EXPECT_EQ(ParseSetFile(padded, "DAILY").rows.size(), 1u);
}

TEST(BackupSetFile, JapaneseDescriptionIsCp932OnDisk) {
    BackupSet set = DailySave();
    set.description = "日次保管";
    const std::string text = FormatSetFile(set);
    EXPECT_EQ(text.substr(0, 8), ToCp932("日次保管"));
    EXPECT_EQ(ParseSetFile(text, "DAILY").description, "日次保管");
}

TEST(BackupSetFile, CheckMarkLeavesItsLowByteInTheIgnoredField) {
    BackupSet set = DailySave();
    set.rows[0].checkMark = -1;
    EXPECT_EQ(FormatSetFile(set).substr(kDailySaveFile.size() - 2 - 1, 4), "\t\xFF\r\n");
    EXPECT_EQ(ParseSetFile(FormatSetFile(set), "DAILY").rows[0].checkMark, 0);
}

struct KindCase {
    std::string library, type;
    bool isProtected;
    int level;
    char kind, option;
    std::string protection, compression;
};

class ObjectCodes : public ::testing::TestWithParam<KindCase> {};

TEST_P(ObjectCodes, KindOptionAndDisplay) {
    const auto& c = GetParam();
    ObjectRow row{c.library,
                  "OBJ",
                  c.type,
                  ObjectKindFor(c.library, c.type),
                  OptionCodeFor(c.type, c.isProtected, c.level),
                  0};
    EXPECT_EQ(row.objectKind, c.kind);
    EXPECT_EQ(row.optionCode, c.option);
    EXPECT_EQ(ProtectionText(row), c.protection);
    EXPECT_EQ(CompressionText(row), c.compression);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ObjectCodes,
    ::testing::Values(KindCase{"QSYS", "*LIB", false, 1, '1', '1', "", "*LOW"},
                      KindCase{"PAYLIB", "*FILE", true, 2, '2', '5', "○", "*MEDIUM"},
                      KindCase{"PAYLIB", "*FILE", true, 3, '2', '6', "○", "*HIGH"},
                      KindCase{"PAYLIB", "*SPL", true, 3, '3', '1', "", ""},
                      KindCase{"PAYLIB", "*SPLF", true, 2, '2', '1', "", ""},
                      KindCase{"qsys", "*LIB", false, 3, '2', '3', "", "*HIGH"}));

TEST(BackupSetStore, LoadsPlainFilesWithSetNamesOnly) {
    test::TempFolder dir;
    ASSERT_TRUE(WriteSetFile(dir.path(), DailySave()));
    fs::create_directory(dir / "FOLDER");
    ASSERT_TRUE(WriteFileAtomically(dir / "DAILY.a1b2c3", "left by a crash"));
    SetTable table;
    ASSERT_TRUE(LoadSets(dir.path(), table));
    ASSERT_EQ(table.sets.size(), 1u);
    EXPECT_EQ(table.sets[0], DailySave());
    EXPECT_EQ(table.currentSet, 1);
    EXPECT_EQ(FindSetByName(table, "DAILY"), 0u);
    EXPECT_EQ(FindSetByName(table, "DAIL"), std::nullopt);

    test::TempFolder empty;
    EXPECT_TRUE(LoadSets(empty.path(), table));
    EXPECT_TRUE(table.sets.empty());
    const Expected<void> missing = LoadSets(empty / "missing", table);
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.error().text, "バックアップセットの設定でエラー");
}

TEST(BackupSetStore, FailuresNameTheSet) {
    test::TempFolder dir;
    const Expected<BackupSet> none = ReadSetFile(dir.path(), "NONE");
    EXPECT_FALSE(none);
    EXPECT_EQ(none.error().text, "バックアップセット：NONEを読み取ることが出来ない");
    EXPECT_FALSE(fs::exists(dir / "NONE"));

    BackupSet bad = DailySave();
    bad.setName = "../X";
    const Expected<void> badName = WriteSetFile(dir.path(), bad);
    EXPECT_FALSE(badName);
    EXPECT_EQ(badName.error().text, "バックアップセット:../X 保管が失敗しました");
    const Expected<void> noFolder = WriteSetFile(dir / "missing", DailySave());
    EXPECT_FALSE(noFolder);
    EXPECT_EQ(noFolder.error().text, "バックアップセット:DAILY 保管が失敗しました");
}

}  // namespace
}  // namespace zorva
