#include "common/ProfileFile.h"

#include <gtest/gtest.h>

#include "common/FileIo.h"
#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

const std::string kIni =
    "; kept as it is\r\n"
    "[DIRECTORIES]\r\n"
    "BACKUPSET=BACKUPSET\r\n"
    "BASEDIR = /srv/save/ \r\n"
    "\r\n"
    "[Host]\r\n"
    "address=10.0.0.1\r\n"
    "OTHER=x\r\n"
    "\r\n"
    "[TIMER]\r\n"
    "JOBTIMER=3600000";

struct EditCase {
    std::string section, key, value, expected;
};

class ProfileEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(ProfileEdit, ChangesOnlyWhatItMust) {
    const auto& c = GetParam();
    ProfileFile ini(kIni);
    ini.SetBytes(c.section, c.key, c.value);
    EXPECT_EQ(ini.bytes(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileEdit,
    ::testing::Values(
        // Names match without case; the value is replaced in place, its key spelling kept.
        EditCase{"HOST", "ADDRESS", "127.0.0.1",
                 "; kept as it is\r\n[DIRECTORIES]\r\nBACKUPSET=BACKUPSET\r\n"
                 "BASEDIR = /srv/save/ \r\n\r\n[Host]\r\naddress=127.0.0.1\r\nOTHER=x\r\n\r\n"
                 "[TIMER]\r\nJOBTIMER=3600000"},
        // A new key goes after the last line of its section, before the blank line.
        EditCase{"HOST", "USER", "QSECOFR",
                 "; kept as it is\r\n[DIRECTORIES]\r\nBACKUPSET=BACKUPSET\r\n"
                 "BASEDIR = /srv/save/ \r\n\r\n[Host]\r\naddress=10.0.0.1\r\nOTHER=x\r\n"
                 "USER=QSECOFR\r\n\r\n[TIMER]\r\nJOBTIMER=3600000"},
        // The last section has no line end: the new key gets one first.
        EditCase{"timer", "FILETIMER", "5000",
                 "; kept as it is\r\n[DIRECTORIES]\r\nBACKUPSET=BACKUPSET\r\n"
                 "BASEDIR = /srv/save/ \r\n\r\n[Host]\r\naddress=10.0.0.1\r\nOTHER=x\r\n\r\n"
                 "[TIMER]\r\nJOBTIMER=3600000\r\nFILETIMER=5000\r\n"},
        // A new section goes at the end of the file.
        EditCase{"INSTALL", "AS", "YES", kIni + "\r\n[INSTALL]\r\nAS=YES\r\n"},
        // Blanks around a replaced value: the leading ones stay, the old value goes.
        EditCase{"DIRECTORIES", "basedir", "/data/",
                 "; kept as it is\r\n[DIRECTORIES]\r\nBACKUPSET=BACKUPSET\r\n"
                 "BASEDIR = /data/\r\n\r\n[Host]\r\naddress=10.0.0.1\r\nOTHER=x\r\n\r\n"
                 "[TIMER]\r\nJOBTIMER=3600000"}));

struct BareCrCase {
    std::string label, file, section, key, value, expected;
};

class ProfileBareCr : public ::testing::TestWithParam<BareCrCase> {};

// A last line ending in a bare CR (a file cut short or edited by hand): the CR becomes a full
// line end instead of joining the value before it.
TEST_P(ProfileBareCr, TheCrNeverJoinsAValue) {
    const auto& c = GetParam();
    ProfileFile ini(c.file);
    ini.SetBytes(c.section, c.key, c.value);
    EXPECT_EQ(ini.bytes(), c.expected);
    EXPECT_EQ(ini.GetRawBytes(c.section, c.key, 10), c.value);
    if (c.key != "PASSWORD") {
        EXPECT_EQ(ini.GetRawBytes("HOST", "PASSWORD", 10), "\xAC\xBA\xBC");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileBareCr,
    ::testing::Values(BareCrCase{"NewKeyInTheLastSection", "[HOST]\r\nPASSWORD=\xAC\xBA\xBC\r",
                                 "HOST", "USER", "QUSER",
                                 "[HOST]\r\nPASSWORD=\xAC\xBA\xBC\r\nUSER=QUSER\r\n"},
                      BareCrCase{"NewSection", "[HOST]\r\nPASSWORD=\xAC\xBA\xBC\r", "MAIL", "ACT",
                                 "YES", "[HOST]\r\nPASSWORD=\xAC\xBA\xBC\r\n[MAIL]\r\nACT=YES\r\n"},
                      BareCrCase{"ValueReplacedInPlace", "[HOST]\r\nPASSWORD=\xAC\xBA\xBC\r",
                                 "HOST", "PASSWORD", "\xBE", "[HOST]\r\nPASSWORD=\xBE\r"},
                      BareCrCase{"OnlyAnLfMissing", "[HOST]\r\nPASSWORD=\xAC\xBA\xBC", "HOST",
                                 "USER", "Q", "[HOST]\r\nPASSWORD=\xAC\xBA\xBC\r\nUSER=Q\r\n"}),
    [](const auto& test) { return test.param.label; });

TEST(ProfileFile, RawBytesKeepTheBlanksAroundTheValue) {
    ProfileFile ini("[HOST]\r\nPASSWORD= \xBE \r\nUSER = Q \r\n");
    EXPECT_EQ(ini.GetRawBytes("HOST", "PASSWORD", 10), " \xBE ");
    EXPECT_EQ(ini.GetRawBytes("HOST", "PASSWORD", 2), " \xBE");
    EXPECT_EQ(ini.GetBytes("HOST", "PASSWORD", 10), "\xBE");
    EXPECT_EQ(ini.GetRawBytes("HOST", "MISSING", 10), "");
}

TEST(ProfileFile, ReadsTrimmedValuesCutToWidthAndDefaultsToEmpty) {
    ProfileFile ini(kIni);
    EXPECT_EQ(ini.GetBytes("directories", "BaseDir", 255), "/srv/save/");
    EXPECT_EQ(ini.GetBytes("DIRECTORIES", "BASEDIR", 4), "/srv");
    EXPECT_EQ(ini.GetBytes("HOST", "ADDRESS", 15), "10.0.0.1");
    EXPECT_EQ(ini.GetBytes("HOST", "MISSING", 15), "");
    EXPECT_EQ(ini.GetBytes("NOSECTION", "ADDRESS", 15), "");
    // A key of another section is not found through this one.
    EXPECT_EQ(ini.GetBytes("DIRECTORIES", "ADDRESS", 15), "");
}

TEST(ProfileFile, TextValuesAreCutOnACharacterBoundary) {
    ProfileFile ini;
    ini.SetText("MAIL", "ADDRESS", "あいう");  // six CP932 bytes
    EXPECT_EQ(ini.GetText("MAIL", "ADDRESS", 5), "あい");
    EXPECT_EQ(ini.bytes(), "[MAIL]\r\nADDRESS=\x82\xA0\x82\xA2\x82\xA4\r\n");
}

TEST(ProfileFile, JunkReadsAsTheKeysItCanFind) {
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 131) % 256);
    const std::string hugeLine(std::size_t{10} * 1024 * 1024, 'z');
    const std::vector<std::string> inputs = {
        junk,
        junk + "\n[LOCAL]\nLOG=YES",  // LF only, no final line end
        "[LOCAL]" + hugeLine + "\r\nLOG=YES\r\n",
        "[EMPTY]\r\n[LOCAL]\r\nLOG=YES\r\n[",  // a section without keys, a broken header
        std::string("[LOCAL]\r\nLOG=YES\0junk\r\n", 22),
    };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(i);
        ProfileFile ini(inputs[i]);
        EXPECT_EQ(ini.GetBytes("LOCAL", "LOG", 64).substr(0, 3), i == 0 ? "" : "YES");
        EXPECT_EQ(ini.GetBytes("EMPTY", "LOG", 64), "");
        ini.SetBytes("LOCAL", "TERMID", "PC01");
        EXPECT_EQ(ini.GetBytes("LOCAL", "TERMID", 10), "PC01");
    }
}

TEST(ProfileFile, SaveCreatesAPrivateFileAndOneCallFormsEditIt) {
    test::TempFolder dir;
    auto path = dir / "zorva.ini";
    ASSERT_TRUE(WriteProfileText(path, "LOCAL", "TERMID", "PC01"));
    ASSERT_TRUE(WriteProfileText(path, "LOCAL", "LOG", "YES"));
    EXPECT_EQ(ReadFileBytes(path), "[LOCAL]\r\nTERMID=PC01\r\nLOG=YES\r\n");
    EXPECT_EQ(ProfileFile::Load(path)->GetText("local", "termid", 10), "PC01");
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(ProfileFile::Load(dir / "missing.ini")->GetText("LOCAL", "TERMID", 10), "");
}

}  // namespace
}  // namespace zorva
