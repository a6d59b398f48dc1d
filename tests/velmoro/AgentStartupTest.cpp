#include "velmoro/engine/AgentStartup.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/Codec.h"
#include "common/DailyLog.h"
#include "common/FileIo.h"
#include "common/ProfileFile.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempFolder.h"
#include "velmoro/engine/AgentCommonFiles.h"
#include "velmoro/engine/SetupKeys.h"

namespace zorva::velmoro {
namespace {

namespace fs = std::filesystem;

struct Folder {
    test::TempFolder folder;
    test::FakeClock clock{2026, 3, 2, 9, 0, 0};
    DailyLog log{kAgentLogStyle, folder.path() / "LOG_DAT", false, clock};
    ProgramContext context{folder.path(), clock, log};

    fs::path Ini() const { return folder / "zorva.ini"; }
    void WriteIni(const std::string& text) { ASSERT_TRUE(WriteFileAtomically(Ini(), text)); }
    std::string LogText() const {
        return ReadFileBytes(folder / "LOG_DAT" / DailyLog::FileName(clock.Now())).value_or("");
    }
};

TEST(SetupKeys, MissingKeysGetDefaultsPresentOnesStay) {
    struct Case {
        std::string label;
        std::string ini;
        std::vector<std::string> expected;  // VERSION, MONTIMER, FILETIMER, JOBTIMER
    };
    const std::vector<Case> cases = {
        {"no file", "", {"3.0.0", "60000", "10000", "43200000"}},
        {"all present",
         "[SYSTEM]\r\nVERSION=2.1\r\n[TIMER]\r\nMONTIMER=500\r\nFILETIMER=1\r\n"
         "JOBTIMER=0\r\n",
         {"2.1", "500", "1", "0"}},
        {"empty values count as present",
         "[TIMER]\r\nMONTIMER=\r\n",
         {"3.0.0", "", "10000", "43200000"}},
        {"not a number stays",
         "[TIMER]\r\nMONTIMER=soon\r\n",
         {"3.0.0", "soon", "10000", "43200000"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Folder f;
        if (!c.ini.empty()) f.WriteIni(c.ini + "[HOST]\r\nUSER=ZORVA\r\n");
        ProfileFile ini = *ProfileFile::Load(f.Ini());
        EnsureSetupKeys(ini, "3.0.0");
        EXPECT_EQ(ini.GetText("SYSTEM", "VERSION", 63), c.expected[0]);
        EXPECT_EQ(ini.GetText("TIMER", "MONTIMER", 63), c.expected[1]);
        EXPECT_EQ(ini.GetText("TIMER", "FILETIMER", 63), c.expected[2]);
        EXPECT_EQ(ini.GetText("TIMER", "JOBTIMER", 63), c.expected[3]);
        if (!c.ini.empty()) {
            EXPECT_EQ(ini.GetText("HOST", "USER", 63), "ZORVA");
        }
    }
}

TEST(SetupKeys, SchedulerPeriod) {
    struct Case {
        int monTimer;
        int period;
        bool logged;
    };
    for (const Case& c : std::vector<Case>{
             {60000, 60000, false}, {1, 1, false}, {0, 60000, true}, {-5, 60000, true}}) {
        SCOPED_TRACE(c.monTimer);
        Folder f;
        fs::create_directories(f.folder / "LOG_DAT");
        f.log.SetDetailLog(1);
        EXPECT_EQ(SchedulerPeriod(std::chrono::milliseconds(c.monTimer), f.log).count(), c.period);
        EXPECT_EQ(f.LogText().find(ToCp932(kMonitorIntervalReplaced)) != std::string::npos,
                  c.logged);
    }
}

TEST(AgentStartup, EmptyFolderGetsItsFilesAndTheWindowStaysLocked) {
    Folder f;
    AgentState state;
    AgentStartup startup = *StartAgent(f.context, state, "3.0.0");
    EXPECT_TRUE(startup.setsLoaded);
    EXPECT_FALSE(startup.hostInstalled);
    EXPECT_EQ(startup.schedulerPeriod.count(), 60000);  // from the default now in the file
    EXPECT_TRUE(fs::is_directory(f.folder / "BACKUPSET"));
    EXPECT_TRUE(fs::is_directory(f.folder / "LOG_DAT"));
    EXPECT_EQ(ReadFileBytes(f.folder / "schedule.txt"), std::string());
    EXPECT_EQ(state.settings.version, "3.0.0");
    EXPECT_EQ(ProfileFile::Load(f.Ini())->GetText("DIRECTORIES", "BACKUPSET", 63), "BACKUPSET");
}

TEST(AgentStartup, RunningJobFromAnEarlierRunIsWaitingAgain) {
    Folder f;
    f.WriteIni("[TIMER]\r\nMONTIMER=0\r\n[LOCAL]\r\nLOG=YES\r\n[INSTALL]\r\nAS=YES\r\n");
    fs::create_directories(f.folder / "BACKUPSET");
    ASSERT_TRUE(WriteFileAtomically(f.folder / "BACKUPSET/PAYROLL",
                                    "x\r\n1\r\n1\t2200\r\n1\t7\r\n \t\r\nL\tO\t*FILE\t2\t1\t\r\n"));
    // "実行中" in CP932
    const std::string running = "\x8E\xC0\x8D\x73\x92\x86";
    ASSERT_TRUE(WriteFileAtomically(
        f.folder / "schedule.txt",
        "1,PAYROLL, 2026/03/01 09:00, ,2026/03/01 22:00, ,\x82\x6F\x82\x62\x8B\x4E\x93\xAE," +
            running + "\r\n"));
    AgentState state;
    AgentStartup startup = *StartAgent(f.context, state, "3.0.0");
    EXPECT_TRUE(startup.hostInstalled);
    EXPECT_EQ(startup.schedulerPeriod.count(), 60000);
    ASSERT_EQ(state.jobs.records.size(), 1u);
    EXPECT_EQ(state.jobs.records[0].status, JobStatus::Waiting);
    EXPECT_EQ(state.jobs.records[0].nextRunText, "2026/03/02 22:00");
    std::string file = ReadFileBytes(f.folder / "schedule.txt").value_or("");
    EXPECT_EQ(file.find(running), std::string::npos);
    EXPECT_NE(file.find("2026/03/02 22:00"), std::string::npos);
    EXPECT_NE(f.LogText().find(ToCp932(kMonitorIntervalReplaced)), std::string::npos);
}

TEST(AgentStartup, UnreadableSetFolderIsReportedForTheStatusLine) {
    Folder f;
    f.WriteIni("[DIRECTORIES]\r\nBACKUPSET=SETS\r\n");
    ASSERT_TRUE(WriteFileAtomically(f.folder / "SETS", "a file, not a folder"));
    AgentState state;
    AgentStartup startup = *StartAgent(f.context, state, "3.0.0");
    EXPECT_FALSE(startup.setsLoaded);
    EXPECT_EQ(state.lastError, kSetsUnreadable);
    EXPECT_TRUE(state.sets.sets.empty());
}

TEST(AgentStartup, SetsPastTheNinetyNinthByNameAreLeftOutAndSaid) {
    Folder f;
    f.WriteIni("[LOCAL]\r\nLOG=YES\r\n");
    fs::create_directories(f.folder / "BACKUPSET");
    for (int i = 100; i >= 0; --i) {  // SAA ... SDW, written last to first
        const std::string name{'S', static_cast<char>('A' + i / 26),
                               static_cast<char>('A' + i % 26)};
        ASSERT_TRUE(WriteFileAtomically(f.folder / "BACKUPSET" / name, "x\r\n1\r\n"));
    }
    AgentState state;
    EXPECT_TRUE(StartAgent(f.context, state, "3.0.0")->setsLeftOut);
    ASSERT_EQ(state.sets.sets.size(), 99u);
    EXPECT_EQ(state.sets.sets.front().setName + state.sets.sets.back().setName, "SAASDU");
    EXPECT_EQ(state.lastError, SetsLeftOutText(2));
    EXPECT_NE(f.LogText().find(ToCp932(state.lastError)), std::string::npos);
}

// A job file the agent cannot read whole and clean is kept, as it stands, before the start-up
// rewrites it; one it reads clean is not.
TEST(AgentStartup, DamagedJobFileIsKeptBeforeTheRewrite) {
    const std::string job =  // ...,ＰＣ起動,実行前
        "1,PAYROLL, 2026/03/01 09:00, ,2026/03/01 22:00, ,\x82\x6F\x82\x62\x8B\x4E\x93\xAE,"
        "\x8E\xC0\x8D\x73\x91\x4F\r\n";
    const std::vector<std::pair<std::string, bool>> cases = {
        // the file, whether it is kept
        {job + job, false},
        {"1,PAYROLL, 2026/03/01 09:00\r\n" + job, false},  // a short line loses nothing
        {"\x01\x02garbage\r\n" + job, true},
        {"1,PAYROLL, 2026/03/01 09:00,a,b,c,d,e,f\r\n" + job, true},  // a ninth field
        {job + std::string(9900, 'x') + "\r\n" + job, true},          // past the read limit
    };
    for (const auto& [file, kept] : cases) {
        SCOPED_TRACE(file.substr(0, 40));
        Folder f;
        f.WriteIni("[LOCAL]\r\nLOG=YES\r\n");
        fs::create_directories(f.folder / "LOG_DAT");
        ASSERT_TRUE(WriteFileAtomically(f.folder / "schedule.txt", file));
        AgentState state;
        StartAgent(f.context, state, "3.0.0");
        const fs::path copy = f.folder / "schedule.txt.damaged-20260302090000";
        EXPECT_EQ(ReadFileBytes(copy), kept ? std::optional(file) : std::nullopt);
        EXPECT_EQ(state.lastError,
                  kept ? std::string(kJobFileKept) + copy.filename().string() : "");
        EXPECT_EQ(f.LogText().find(ToCp932(kJobFileKept)) != std::string::npos, kept);
    }
}

// Settings that are there but cannot be read stop the start-up before anything is written:
// the agent never runs on (and later stores) an empty record in place of keys it never saw.
TEST(AgentStartup, UnreadableSettingsAreAFailureAndNothingIsWritten) {
    for (const auto& [target, error] : {std::pair{"zorva.ini", ELOOP}, {"folder", EISDIR}}) {
        SCOPED_TRACE(target);
        Folder f;
        fs::create_directory(f.folder / "folder");
        fs::create_symlink(target, f.Ini());
        AgentState state;
        state.settings.hostAddress = "10.0.0.1";
        const Expected<AgentStartup> startup = StartAgent(f.context, state, "3.0.0");
        ASSERT_FALSE(startup.has_value());
        EXPECT_EQ(startup.error().text,
                  f.Ini().string() + "を読み取れない：" + std::strerror(error));
        EXPECT_EQ(fs::read_symlink(f.Ini()), target);
        EXPECT_FALSE(fs::exists(f.folder / "BACKUPSET"));
        EXPECT_EQ(state.settings.hostAddress, "10.0.0.1");
    }
}

}  // namespace
}  // namespace zorva::velmoro
