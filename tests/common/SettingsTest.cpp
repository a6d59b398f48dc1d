#include "common/Settings.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/FileIo.h"
#include "common/ProfileFile.h"
#include "qivRestore/engine/RestoreCommonFiles.h"
#include "qivftp/engine/TransferCommonFiles.h"
#include "tests/support/TempFolder.h"
#include "velmoro/engine/AgentCommonFiles.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;
using qivftp::kTransferSettings;
using qivrestore::kRestoreSettings;
using velmoro::kAgentSettings;

TEST(Settings, PasswordIsStoredComplemented) {
    EXPECT_EQ(ScramblePassword("A"), "\xBE");
    EXPECT_EQ(UnscramblePassword("\xBE\xBD"), "AB");
    EXPECT_EQ(UnscramblePassword(std::string("\xBE\0\xBD", 3)), "A");  // stops at a zero byte
}

TEST(Settings, PasswordWithHighBytesSurvivesWriteAndRead) {
    test::TempFolder dir;
    const auto ini = dir / "zorva.ini";
    Settings s;
    s.password = "P\x80\x9F\xA5\xC0\xDE";  // complements 0x7F … 0x21: printable and DEL
    ASSERT_TRUE(WriteSettings(ini, s));
    EXPECT_EQ(ReadSettings(ini, kTransferSettings)->password, s.password);
}

class PasswordRoundTrip : public ::testing::TestWithParam<std::string> {};

// 0xDF scrambles to a blank; at either end of the password it must survive the file.
TEST_P(PasswordRoundTrip, ReadsBackWhatWasWritten) {
    test::TempFolder dir;
    const auto ini = dir / "zorva.ini";
    Settings s;
    s.password = GetParam();
    ASSERT_TRUE(WriteSettings(ini, s));
    EXPECT_EQ(ReadSettings(ini, kTransferSettings)->password, GetParam());
    EXPECT_EQ(ReadSettings(ini, kAgentSettings)->password, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Passwords, PasswordRoundTrip,
                         ::testing::Values("\xDFSECRET", "SECRET\xDF", "\xDF\xDF", "SE\xDF\xDFT",
                                           "\xDF", "PASSWORD10"));

struct FileTimerCase {
    std::string line;  // the [TIMER] line, if any
    int expected;
};

class FileTimerValue : public ::testing::TestWithParam<FileTimerCase> {};

// A poll period of zero would poll the host about twenty times a second.
TEST_P(FileTimerValue, ZeroOrLessIsTenSeconds) {
    test::TempFolder dir;
    const auto ini = dir / "zorva.ini";
    ASSERT_TRUE(WriteFileAtomically(ini, "[TIMER]\r\nJOBTIMER=0\r\n" + GetParam().line));
    const Settings s = *ReadSettings(ini, kTransferSettings);
    EXPECT_EQ(s.fileTimer.count(), GetParam().expected);
    EXPECT_EQ(s.jobTimer.count(), 0);  // a JOBTIMER of 0 keeps its meaning: the limit fires at once
    EXPECT_EQ(ReadSettings(ini, kRestoreSettings)->fileTimer.count(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, FileTimerValue,
                         ::testing::Values(FileTimerCase{"", 10000},
                                           FileTimerCase{"FILETIMER=0\r\n", 10000},
                                           FileTimerCase{"FILETIMER=-5\r\n", 10000},
                                           FileTimerCase{"FILETIMER=abc\r\n", 10000},
                                           FileTimerCase{"FILETIMER=1\r\n", 1},
                                           FileTimerCase{"FILETIMER=500\r\n", 500}));

TEST(Settings, SwitchesAreOnOnlyForExactYes) {
    test::TempFolder dir;
    const auto ini = dir / "zorva.ini";
    for (const auto& [value, expected] :
         std::vector<std::pair<std::string, int>>{{"YES", 1}, {"yes", 0}, {"YESS", 0}, {"", 0}}) {
        ASSERT_TRUE(WriteProfileText(ini, "LOCAL", "LOG", value));
        ASSERT_TRUE(WriteProfileText(ini, "MAIL", "ACT", value));
        ASSERT_TRUE(WriteProfileText(ini, "INSTALL", "AS", value));
        Settings s = *ReadSettings(ini, kAgentSettings);
        EXPECT_EQ(s.detailLog, expected) << value;
        EXPECT_EQ(s.mailActive, expected) << value;
        EXPECT_EQ(*ReadInstallFlag(ini), expected) << value;
    }
}

TEST(Settings, ReadersKeepTheirOwnWidthsAndTimers) {
    test::TempFolder dir;
    const auto ini = dir / "zorva.ini";
    ASSERT_TRUE(WriteFileAtomically(ini,
                                    "[DIRECTORIES]\r\nBACKUPSET=ABCDEFGHIJKLMNOPQRST\r\n"
                                    "BASEDIR=/save\r\n[TIMER]\r\nMONTIMER=60000\r\n"
                                    "JOBTIMER=3600000\r\nFILETIMER=abc\r\n"
                                    "[HOST]\r\nADDRESS=192.168.100.200.1\r\nPORT=2121\r\n"));
    Settings agent = *ReadSettings(ini, kAgentSettings);
    Settings transfer = *ReadSettings(ini, kTransferSettings);
    EXPECT_EQ(agent.backupSetFolder, "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(transfer.backupSetFolder, "ABCDEFGHIJKLMNOPQRS");  // 19 characters
    EXPECT_EQ(agent.monitorInterval.count(), 60000);
    EXPECT_EQ(agent.jobTimer.count(), 0);
    EXPECT_EQ(transfer.monitorInterval.count(), 0);
    EXPECT_EQ(transfer.jobTimer.count(), 3600000);
    EXPECT_EQ(transfer.fileTimer.count(), 10000);
    EXPECT_EQ(transfer.baseDir, "/save/");
    EXPECT_EQ(transfer.hostAddress, "192.168.100.200");
    EXPECT_EQ(transfer.hostPort, 2121);
    EXPECT_EQ(ReadSetFolderName(ini, 255)->backupSetFolder, "ABCDEFGHIJKLMNOPQRST");
}

TEST(Settings, WriteKeepsMailKeysWhenMailIsOff) {
    test::TempFolder dir;
    const auto ini = dir / "zorva.ini";
    Settings s;
    s.baseDir = "/save/";
    s.termId = "PC01";
    s.hostAddress = "10.1.2.3";
    s.user = "QUSER";
    s.password = "A";
    s.jobQueue = "QGPL/QBATCH";
    s.mailActive = 1;
    s.mailFrom = "from@example.com";
    s.mailAddress = "to@example.com";
    s.smtp = "smtp.example.com";
    s.detailLog = 1;
    ASSERT_TRUE(WriteSettings(ini, s));
    EXPECT_EQ(ReadFileBytes(ini),
              "[DIRECTORIES]\r\nBASEDIR=/save/\r\n[LOCAL]\r\nTERMID=PC01\r\nLOG=YES\r\n"
              "[HOST]\r\nADDRESS=10.1.2.3\r\nUSER=QUSER\r\nPASSWORD=\xBE\r\n"
              "JOBQ=QGPL/QBATCH\r\n[MAIL]\r\nMAILFROM=from@example.com\r\n"
              "ADDRESS=to@example.com\r\nSMTP=smtp.example.com\r\nACT=YES\r\n");
    s.mailActive = 0;
    s.mailAddress = "changed@example.com";
    s.detailLog = 0;
    ASSERT_TRUE(WriteSettings(ini, s));
    Settings back = *ReadSettings(ini, kAgentSettings);
    EXPECT_EQ(back.mailActive, 0);
    EXPECT_EQ(back.mailAddress, "to@example.com");
    EXPECT_EQ(back.detailLog, 0);
    EXPECT_EQ(back.password, "A");
}

TEST(Settings, EnsureSetFolderCreatesDefaultsOnce) {
    test::TempFolder dir;
    ProfileFile ini;
    EXPECT_EQ(EnsureSetFolder(dir.path(), ini), "BACKUPSET");
    EXPECT_EQ(ini.bytes(), "[DIRECTORIES]\r\nBACKUPSET=BACKUPSET\r\n");
    EXPECT_TRUE(fs::is_directory(dir / "BACKUPSET"));
    EXPECT_TRUE(fs::is_directory(dir / "LOG_DAT"));
    Settings s = SettingsFrom(ini, kAgentSettings);
    EXPECT_EQ(s.monitorInterval.count(), 0);
    EXPECT_EQ(s.baseDir, "");
    ini.SetText("DIRECTORIES", "BACKUPSET", "SETS");
    EXPECT_EQ(EnsureSetFolder(dir.path(), ini), "SETS");
    EXPECT_TRUE(fs::is_directory(dir / "SETS"));
}

TEST(Settings, InstallFlagIsWrittenAsYes) {
    test::TempFolder dir;
    const auto ini = dir / "zorva.ini";
    EXPECT_EQ(*ReadInstallFlag(ini), 0);
    ASSERT_TRUE(WriteInstallFlag(ini));
    EXPECT_EQ(*ReadInstallFlag(ini), 1);
}

// Something there that even root cannot read as a file: its keys are unknown, so no writer may
// put a few of them in its place, and the reason is told.
TEST(Settings, UnreadableFileIsNeverWrittenAndTellsWhy) {
    for (const auto& [target, error] : {std::pair{"zorva.ini", ELOOP}, {"folder", EISDIR}}) {
        SCOPED_TRACE(target);
        test::TempFolder dir;
        const auto ini = dir / "zorva.ini";
        fs::create_directory(dir / "folder");
        fs::create_symlink(target, ini);
        EXPECT_EQ(ProfileFile::Load(ini).error().text,
                  ini.string() + "を読み取れない：" + std::strerror(error));
        EXPECT_FALSE(WriteSettings(ini, Settings{}));
        EXPECT_FALSE(WriteInstallFlag(ini));
        EXPECT_FALSE(WriteProfileText(ini, "HOST", "USER", "ZORVA"));
        EXPECT_EQ(fs::read_symlink(ini), target);
    }
    test::TempFolder dir;
    EXPECT_TRUE(ProfileFile::Load(dir / "zorva.ini").has_value());  // missing: keys absent
}

TEST(Settings, ParseDecimalTakesTheLeadingNumber) {
    EXPECT_EQ(ParseDecimal("5000"), 5000);
    EXPECT_EQ(ParseDecimal(" 12ab"), 12);
    EXPECT_EQ(ParseDecimal("ab"), 0);
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal("99999999999999999999"), INT_MAX);
}

}  // namespace
}  // namespace zorva
