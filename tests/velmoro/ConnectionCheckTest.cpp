#include "velmoro/engine/ConnectionCheck.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/TempFolder.h"

namespace zorva::velmoro {
namespace {

namespace fs = std::filesystem;
using zorva::test::TempFolder;

struct AddressCase {
    const char* text;
    bool valid;
};

class AddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressTest, LooksValidWithFourShortGroups) {
    EXPECT_EQ(AddressLooksValid(GetParam().text), GetParam().valid) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, AddressTest,
    ::testing::Values(AddressCase{"192.168.0.1", true}, AddressCase{"1.2.3.4", true},
                      AddressCase{"1..2.3...4", true}, AddressCase{"1.2.3.4.5555", true},
                      AddressCase{"1.2.3", false}, AddressCase{"", false},
                      AddressCase{"...", false}, AddressCase{"1.2.3.1000", false},
                      AddressCase{"1234.2.3.4", false}));

// The folders of one check: the program folder and an existing base folder beside it.
class ConnectionCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program());
        fs::create_directories(base());
        fs::create_directories(program() / "inside");
    }
    fs::path program() const { return folder / "program"; }
    fs::path base() const { return folder / "save"; }

    ConnectionEntries Valid() const {
        ConnectionEntries e;
        e.termId = "PC01";
        e.baseDir = base().string();
        e.hostAddress = "127.0.0.1";
        e.user = "QSECOFR";
        e.password = "SECRET";
        e.jobQueue = "QGPL/QBATCH";
        return e;
    }
    TempFolder folder;
};

TEST_F(ConnectionCheckTest, ValidEntriesAreAllTakenOver) {
    ConnectionEntries e = Valid();
    e.mailActive = true;
    e.mailAddress = "admin@example.com";
    e.smtp = "mail.example.com";
    e.mailFrom = "pc01@example.com";
    e.detailLog = true;
    Settings s;
    const ConnectionCheck check = CheckConnectionSettings(e, program(), s);
    ASSERT_TRUE(check.ok) << check.message;
    EXPECT_EQ(s.termId, "PC01");
    EXPECT_EQ(s.baseDir, base().string() + "/");
    EXPECT_EQ(s.hostAddress, "127.0.0.1");
    EXPECT_EQ(s.user, "QSECOFR");
    EXPECT_EQ(s.password, "SECRET");
    EXPECT_EQ(s.jobQueue, "QGPL/QBATCH");
    EXPECT_EQ(s.mailActive, 1);
    EXPECT_EQ(s.mailAddress, "admin@example.com");
    EXPECT_EQ(s.smtp, "mail.example.com");
    EXPECT_EQ(s.mailFrom, "pc01@example.com");
    EXPECT_EQ(s.detailLog, 1);
    e.baseDir += "/";  // the dialog opens again on what was stored
    EXPECT_EQ(EntriesFrom(s), e);
}

struct CheckCase {
    const char* name;
    // Changes the valid entries; gets the program and base folders.
    std::function<void(ConnectionEntries&, const fs::path& program, const fs::path& base)> change;
    std::string message;  // empty: accepted
    ConnectionField focus;
    bool selectAll;
    // Checks what was taken over, starting from settings with "OLD" values.
    std::function<void(const Settings&, const fs::path& program, const fs::path& base)> taken;
};

Settings OldSettings() {
    Settings s;
    s.termId = s.hostAddress = s.user = s.password = s.jobQueue = "OLD";
    s.baseDir = "/old/";
    s.mailAddress = s.smtp = s.mailFrom = "OLD";
    s.mailActive = 1;
    return s;
}

class CheckTableTest : public ConnectionCheckTest,
                       public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckTableTest, GivesTheFirstMessageAndTakesOverWhatPassed) {
    const CheckCase& c = GetParam();
    ConnectionEntries e = Valid();
    c.change(e, program(), base());
    Settings s = OldSettings();
    const ConnectionCheck check = CheckConnectionSettings(e, program(), s);
    EXPECT_EQ(check.ok, c.message.empty());
    EXPECT_EQ(check.message, c.message);
    EXPECT_EQ(check.focus, c.focus);
    EXPECT_EQ(check.selectAll, c.selectAll);
    if (c.taken) c.taken(s, program(), base());
}

using E = ConnectionEntries;
using P = const fs::path;
const char* kBaseInvalid = "保管用ベースディレクトリの指定が不正です";
const char* kSameFolder = "保管用ベースディレクトリがプログラム保管ディレクトリと同一です";
const char* kMail = "メール送信を選択した場合。項目は入力必須です";

INSTANTIATE_TEST_SUITE_P(
    Entries, CheckTableTest,
    ::testing::Values(
        CheckCase{"TrailingSlashAdded", [](E&, P&, P&) {}, "", ConnectionField::None, false,
                  [](const Settings& s, P&, P& base) { EXPECT_EQ(s.baseDir, base.string() + "/"); }},
        CheckCase{"TrailingSlashKept", [](E& e, P&, P& base) { e.baseDir = base.string() + "/"; },
                  "", ConnectionField::None, false,
                  [](const Settings& s, P&, P& base) { EXPECT_EQ(s.baseDir, base.string() + "/"); }},
        CheckCase{"EmptyTerminalFirstOfAll",
                  [](E& e, P&, P&) {
                      e.termId.clear();
                      e.password.clear();
                  },
                  "端末ＩＤは入力必須です", ConnectionField::TermId, false,
                  [](const Settings& s, P&, P&) {
                      EXPECT_EQ(s.termId, "OLD");
                      EXPECT_EQ(s.password, "OLD");
                      EXPECT_EQ(s.jobQueue, "QGPL/QBATCH");  // later checks still take over
                  }},
        CheckCase{"ThreeGroupAddressNotTakenOverWithoutMessage",
                  [](E& e, P&, P&) { e.hostAddress = "1.2.3"; }, "", ConnectionField::None, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.hostAddress, "OLD"); }},
        CheckCase{"AddressTooLongForZorvaIni",
                  [](E& e, P&, P&) { e.hostAddress = "192.168.100.200.1"; }, "",
                  ConnectionField::None, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.hostAddress, "OLD"); }},
        CheckCase{"PastedHostNameNotTakenOver",
                  [](E& e, P&, P&) { e.hostAddress = "abc.def.ghi.jkl"; }, "",
                  ConnectionField::None, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.hostAddress, "OLD"); }},
        CheckCase{"EmptyUserKeepsTheStoredOne", [](E& e, P&, P&) { e.user.clear(); }, "",
                  ConnectionField::None, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.user, "OLD"); }},
        CheckCase{"EmptyPassword", [](E& e, P&, P&) { e.password.clear(); },
                  "パスワードを入力してください", ConnectionField::Password, false, nullptr},
        CheckCase{"PastedLowerCasePasswordStoredUpperCase",
                  [](E& e, P&, P&) { e.password = "secret"; }, "", ConnectionField::None, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.password, "SECRET"); }},
        CheckCase{"PastedBlankInPassword", [](E& e, P&, P&) { e.password = "SE CRET"; },
                  "パスワードを入力してください", ConnectionField::Password, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.password, "OLD"); }},
        CheckCase{"PastedTerminalWithBlank", [](E& e, P&, P&) { e.termId = "PC 01"; },
                  "端末ＩＤは入力必須です", ConnectionField::TermId, false, nullptr},
        CheckCase{"EmptyJobQueue", [](E& e, P&, P&) { e.jobQueue.clear(); },
                  "ＪＯＢＱを入力してください", ConnectionField::JobQueue, false, nullptr},
        CheckCase{"EmptyBaseFolder", [](E& e, P&, P&) { e.baseDir.clear(); }, kBaseInvalid,
                  ConnectionField::BaseDir, true, nullptr},
        CheckCase{"MissingBaseFolder",
                  [](E& e, P&, P& base) { e.baseDir = (base / "nothere").string(); },
                  kBaseInvalid, ConnectionField::BaseDir, true,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.baseDir, "/old/"); }},
        CheckCase{"BaseFolderIsAFile",
                  [](E& e, P& program, P&) { e.baseDir = (program / "zorva.ini").string(); },
                  kBaseInvalid, ConnectionField::BaseDir, true, nullptr},
        CheckCase{"BaseFolderIsTheProgramFolder",
                  [](E& e, P& program, P&) { e.baseDir = program.string(); }, kSameFolder,
                  ConnectionField::BaseDir, true,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.baseDir, "/old/"); }},
        CheckCase{"ProgramFolderWithTrailingSlash",
                  [](E& e, P& program, P&) { e.baseDir = program.string() + "/"; }, kSameFolder,
                  ConnectionField::BaseDir, true,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.baseDir, "/old/"); }},
        CheckCase{"ProgramFolderSpelledAnotherWay",
                  [](E& e, P& program, P&) { e.baseDir = (program / "inside" / "..").string(); },
                  kSameFolder, ConnectionField::BaseDir, true, nullptr},
        CheckCase{"FolderInsideTheProgramFolderIsAllowed",
                  [](E& e, P& program, P&) { e.baseDir = (program / "inside").string(); }, "",
                  ConnectionField::None, false, nullptr},
        CheckCase{"BaseFolderTooLongForZorvaIni",
                  [](E& e, P&, P& base) { e.baseDir = base.string() + std::string(250, '/'); },
                  kBaseInvalid, ConnectionField::BaseDir, true, nullptr},
        CheckCase{"MailWithOnlyTheAddressFocusesTheSmtpServer",
                  [](E& e, P&, P&) {
                      e.mailActive = true;
                      e.mailAddress = "admin@example.com";
                  },
                  kMail, ConnectionField::Smtp, false,
                  [](const Settings& s, P&, P&) {
                      EXPECT_EQ(s.mailActive, 1);
                      EXPECT_EQ(s.mailAddress, "admin@example.com");
                      EXPECT_EQ(s.smtp, "");
                  }},
        CheckCase{"MailWithNothingFocusesTheAddress", [](E& e, P&, P&) { e.mailActive = true; },
                  kMail, ConnectionField::MailAddress, false, nullptr},
        CheckCase{"MailWithoutSenderFocusesMailFrom",
                  [](E& e, P&, P&) {
                      e.mailActive = true;
                      e.mailAddress = "a@b";
                      e.smtp = "smtp";
                  },
                  kMail, ConnectionField::MailFrom, false, nullptr},
        CheckCase{"MailOffKeepsTheMailTexts", [](E&, P&, P&) {}, "", ConnectionField::None, false,
                  [](const Settings& s, P&, P&) {
                      EXPECT_EQ(s.mailActive, 0);
                      EXPECT_EQ(s.mailAddress, "OLD");
                  }},
        CheckCase{"PasswordFailureWinsOverBaseFolderFailure",
                  [](E& e, P&, P&) {
                      e.password.clear();
                      e.baseDir.clear();
                  },
                  "パスワードを入力してください", ConnectionField::Password, false, nullptr}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace zorva::velmoro
