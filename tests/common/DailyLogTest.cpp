#include "common/DailyLog.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "qivRestore/engine/RestoreCommonFiles.h"
#include "qivftp/engine/TransferCommonFiles.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempFolder.h"
#include "velmoro/engine/AgentCommonFiles.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;
using qivftp::kTransferLogStyle;
using qivrestore::kRestoreLogStyle;
using velmoro::kAgentLogStyle;

class RecordingList final : public MessageList {
public:
    std::size_t Count() const override { return entries.size(); }
    void Clear() override { entries.clear(); }
    void InsertTop(const std::string& message) override {
        entries.insert(entries.begin(), message);
    }
    std::vector<std::string> entries;
};

struct LineEndCase {
    DailyLogStyle program;
    std::string lineEnd;
};

class DailyLogLineEnd : public ::testing::TestWithParam<LineEndCase> {};

TEST_P(DailyLogLineEnd, AppendsMessageStampAndTheProgramsLineEnd) {
    test::TempFolder dir;
    test::FakeClock clock(2005, 3, 7, 9, 30);
    DailyLog log(GetParam().program, dir.path(), true, clock);
    log.WriteDailyLog("ジョブの書出しに失敗した");
    log.WriteDailyLog("A");
    const std::string stamp = " 2005/03/07 09:30";
    EXPECT_EQ(ReadFileBytes(dir / "20050307.log"), ToCp932("ジョブの書出しに失敗した") + stamp +
                                                       GetParam().lineEnd + "A" + stamp +
                                                       GetParam().lineEnd);
}

INSTANTIATE_TEST_SUITE_P(Programs, DailyLogLineEnd,
                         ::testing::Values(LineEndCase{kAgentLogStyle, "\n\r\n"},
                                           LineEndCase{kTransferLogStyle, "\r\n"},
                                           LineEndCase{kRestoreLogStyle, "\n"}));

TEST(DailyLog, MidnightStartsANewFile) {
    test::TempFolder dir;
    test::FakeClock clock(2026, 12, 31, 23, 59, 59);
    DailyLog log(kTransferLogStyle, dir.path(), true, clock);
    log.WriteDailyLog("before");
    clock.Set(2027, 1, 1, 0, 0, 0);
    log.WriteDailyLog("after");
    EXPECT_EQ(ReadFileBytes(dir / "20261231.log"), "before 2026/12/31 23:59\r\n");
    EXPECT_EQ(ReadFileBytes(dir / "20270101.log"), "after 2027/01/01 00:00\r\n");
}

TEST(DailyLog, DetailSwitchDecidesPerProgram) {
    test::FakeClock clock(2026, 1, 2, 3, 4);
    struct Case {
        DailyLogStyle program;
        bool detail;
        bool written;
    };
    for (const Case c :
         {Case{kAgentLogStyle, false, false}, Case{kTransferLogStyle, true, true},
          Case{kRestoreLogStyle, true, true}, Case{kRestoreLogStyle, false, false}}) {
        test::TempFolder dir;
        DailyLog log(c.program, dir.path(), c.detail, clock);
        log.WriteDailyLog("m");
        EXPECT_EQ(fs::exists(dir / "20260102.log"), c.written) << c.detail;
    }
}

TEST(DailyLog, AgentForcedEntriesAreWrittenWithTheLogOff) {
    test::TempFolder dir;
    test::FakeClock clock(2026, 1, 2, 3, 4);
    DailyLog log(kAgentLogStyle, dir.path(), false, clock);
    log.WriteForced("プログラムが起動された");
    log.WriteDailyLog("not written");
    log.WriteForced("プログラムが終了された");
    EXPECT_EQ(FromCp932(*ReadFileBytes(dir / "20260102.log")),
              "プログラムが起動された 2026/01/02 03:04\n\r\n"
              "プログラムが終了された 2026/01/02 03:04\n\r\n");
}

TEST(DailyLog, MissingFolderWritesNothingAndTheListStillShowsIt) {
    test::TempFolder dir;
    test::FakeClock clock;
    RecordingList list;
    DailyLog log(kTransferLogStyle, dir / "LOG_DAT", true, clock);
    log.WriteDailyLog("lost", &list);
    EXPECT_FALSE(fs::exists(dir / "LOG_DAT"));
    EXPECT_EQ(list.entries, std::vector<std::string>{"lost"});
}

TEST(DailyLog, ListIsEmptiedPastAThousandEntries) {
    test::TempFolder dir;
    test::FakeClock clock;
    RecordingList list;
    DailyLog log(kTransferLogStyle, dir.path(), false, clock);
    for (int i = 0; i < 1001; ++i) log.WriteDailyLog(std::to_string(i), &list);
    EXPECT_EQ(list.Count(), 1001u);
    EXPECT_EQ(list.entries.front(), "1000");
    log.WriteDailyLog("alone", &list);
    EXPECT_EQ(list.entries, std::vector<std::string>{"alone"});
}

TEST(DailyLog, LongMessageIsCutOnACharacterBoundary) {
    test::FakeClock clock(2026, 1, 2, 3, 4);
    const std::string message(200, 'a');
    std::string japanese;
    for (int i = 0; i < 150; ++i) japanese += "あ";
    // Room for the message: 255 bytes less the 17-byte stamp and the line end.
    struct Case {
        DailyLogStyle program;
        std::size_t room;
    };
    for (const Case c :
         {Case{kAgentLogStyle, 239}, Case{kTransferLogStyle, 236}, Case{kRestoreLogStyle, 237}}) {
        const std::string line = DailyLog::FormatLine(c.program, "x" + japanese, clock.Now());
        const std::string stamp = " 2026/01/02 03:04";
        const std::size_t kept = line.find(stamp);
        ASSERT_NE(kept, std::string::npos);
        EXPECT_LE(kept, c.room);
        EXPECT_GE(kept, c.room - 1);
        EXPECT_EQ(kept % 2, 1u);  // "x" plus whole two-byte characters
        EXPECT_EQ(FromCp932(line.substr(0, kept)).find('?'), std::string::npos);
    }
}

}  // namespace
}  // namespace zorva
