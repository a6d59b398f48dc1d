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
        e.TermId = "PC01";
        e.BaseDir = base().string();
        e.HostAddress = "127.0.0.1";
        e.User = "QSECOFR";
        e.Password = "SECRET";
        e.JobQueue = "QGPL/QBATCH";
        return e;
    }
    TempFolder folder;
};

TEST_F(ConnectionCheckTest, ValidEntriesAreAllTakenOver) {
    ConnectionEntries e = Valid();
    e.MailActive = true;
    e.MailAddress = "admin@example.com";
    e.Smtp = "mail.example.com";
    e.MailFrom = "pc01@example.com";
    e.DetailLog = true;
    Settings s;
    const ConnectionCheck check = CheckConnectionSettings(e, program(), s);
    ASSERT_TRUE(check.Ok) << check.Message;
    EXPECT_EQ(s.TermId, "PC01");
    EXPECT_EQ(s.BaseDir, base().string() + "/");
    EXPECT_EQ(s.HostAddress, "127.0.0.1");
    EXPECT_EQ(s.User, "QSECOFR");
    EXPECT_EQ(s.Password, "SECRET");
    EXPECT_EQ(s.JobQueue, "QGPL/QBATCH");
    EXPECT_EQ(s.MailActive, 1);
    EXPECT_EQ(s.MailAddress, "admin@example.com");
    EXPECT_EQ(s.Smtp, "mail.example.com");
    EXPECT_EQ(s.MailFrom, "pc01@example.com");
    EXPECT_EQ(s.DetailLog, 1);
    e.BaseDir += "/";  // the dialog opens again on what was stored
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
    s.TermId = s.HostAddress = s.User = s.Password = s.JobQueue = "OLD";
    s.BaseDir = "/old/";
    s.MailAddress = s.Smtp = s.MailFrom = "OLD";
    s.MailActive = 1;
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
    EXPECT_EQ(check.Ok, c.message.empty());
    EXPECT_EQ(check.Message, c.message);
    EXPECT_EQ(check.Focus, c.focus);
    EXPECT_EQ(check.SelectAll, c.selectAll);
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
                  [](const Settings& s, P&, P& base) { EXPECT_EQ(s.BaseDir, base.string() + "/"); }},
        CheckCase{"TrailingSlashKept", [](E& e, P&, P& base) { e.BaseDir = base.string() + "/"; },
                  "", ConnectionField::None, false,
                  [](const Settings& s, P&, P& base) { EXPECT_EQ(s.BaseDir, base.string() + "/"); }},
        CheckCase{"EmptyTerminalFirstOfAll",
                  [](E& e, P&, P&) {
                      e.TermId.clear();
                      e.Password.clear();
                  },
                  "端末ＩＤは入力必須です", ConnectionField::TermId, false,
                  [](const Settings& s, P&, P&) {
                      EXPECT_EQ(s.TermId, "OLD");
                      EXPECT_EQ(s.Password, "OLD");
                      EXPECT_EQ(s.JobQueue, "QGPL/QBATCH");  // later checks still take over
                  }},
        CheckCase{"ThreeGroupAddressNotTakenOverWithoutMessage",
                  [](E& e, P&, P&) { e.HostAddress = "1.2.3"; }, "", ConnectionField::None, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.HostAddress, "OLD"); }},
        CheckCase{"AddressTooLongForZorvaIni",
                  [](E& e, P&, P&) { e.HostAddress = "192.168.100.200.1"; }, "",
                  ConnectionField::None, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.HostAddress, "OLD"); }},
        CheckCase{"PastedHostNameNotTakenOver",
                  [](E& e, P&, P&) { e.HostAddress = "abc.def.ghi.jkl"; }, "",
                  ConnectionField::None, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.HostAddress, "OLD"); }},
        CheckCase{"EmptyUserKeepsTheStoredOne", [](E& e, P&, P&) { e.User.clear(); }, "",
                  ConnectionField::None, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.User, "OLD"); }},
        CheckCase{"EmptyPassword", [](E& e, P&, P&) { e.Password.clear(); },
                  "パスワードを入力してください", ConnectionField::Password, false, nullptr},
        CheckCase{"PastedLowerCasePasswordStoredUpperCase",
                  [](E& e, P&, P&) { e.Password = "secret"; }, "", ConnectionField::None, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.Password, "SECRET"); }},
        CheckCase{"PastedBlankInPassword", [](E& e, P&, P&) { e.Password = "SE CRET"; },
                  "パスワードを入力してください", ConnectionField::Password, false,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.Password, "OLD"); }},
        CheckCase{"PastedTerminalWithBlank", [](E& e, P&, P&) { e.TermId = "PC 01"; },
                  "端末ＩＤは入力必須です", ConnectionField::TermId, false, nullptr},
        CheckCase{"EmptyJobQueue", [](E& e, P&, P&) { e.JobQueue.clear(); },
                  "ＪＯＢＱを入力してください", ConnectionField::JobQueue, false, nullptr},
        CheckCase{"EmptyBaseFolder", [](E& e, P&, P&) { e.BaseDir.clear(); }, kBaseInvalid,
                  ConnectionField::BaseDir, true, nullptr},
        CheckCase{"MissingBaseFolder",
                  [](E& e, P&, P& base) { e.BaseDir = (base / "nothere").string(); },
                  kBaseInvalid, ConnectionField::BaseDir, true,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.BaseDir, "/old/"); }},
        CheckCase{"BaseFolderIsAFile",
                  [](E& e, P& program, P&) { e.BaseDir = (program / "zorva.ini").string(); },
                  kBaseInvalid, ConnectionField::BaseDir, true, nullptr},
        CheckCase{"BaseFolderIsTheProgramFolder",
                  [](E& e, P& program, P&) { e.BaseDir = program.string(); }, kSameFolder,
                  ConnectionField::BaseDir, true,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.BaseDir, "/old/"); }},
        CheckCase{"ProgramFolderWithTrailingSlash",
                  [](E& e, P& program, P&) { e.BaseDir = program.string() + "/"; }, kSameFolder,
                  ConnectionField::BaseDir, true,
                  [](const Settings& s, P&, P&) { EXPECT_EQ(s.BaseDir, "/old/"); }},
        CheckCase{"ProgramFolderSpelledAnotherWay",
                  [](E& e, P& program, P&) { e.BaseDir = (program / "inside" / "..").string(); },
                  kSameFolder, ConnectionField::BaseDir, true, nullptr},
        CheckCase{"FolderInsideTheProgramFolderIsAllowed",
                  [](E& e, P& program, P&) { e.BaseDir = (program / "inside").string(); }, "",
                  ConnectionField::None, false, nullptr},
        CheckCase{"BaseFolderTooLongForZorvaIni",
                  [](E& e, P&, P& base) { e.BaseDir = base.string() + std::string(250, '/'); },
                  kBaseInvalid, ConnectionField::BaseDir, true, nullptr},
        CheckCase{"MailWithOnlyTheAddressFocusesTheSmtpServer",
                  [](E& e, P&, P&) {
                      e.MailActive = true;
                      e.MailAddress = "admin@example.com";
                  },
                  kMail, ConnectionField::Smtp, false,
                  [](const Settings& s, P&, P&) {
                      EXPECT_EQ(s.MailActive, 1);
                      EXPECT_EQ(s.MailAddress, "admin@example.com");
                      EXPECT_EQ(s.Smtp, "");
                  }},
        CheckCase{"MailWithNothingFocusesTheAddress", [](E& e, P&, P&) { e.MailActive = true; },
                  kMail, ConnectionField::MailAddress, false, nullptr},
        CheckCase{"MailWithoutSenderFocusesMailFrom",
                  [](E& e, P&, P&) {
                      e.MailActive = true;
                      e.MailAddress = "a@b";
                      e.Smtp = "smtp";
                  },
                  kMail, ConnectionField::MailFrom, false, nullptr},
        CheckCase{"MailOffKeepsTheMailTexts", [](E&, P&, P&) {}, "", ConnectionField::None, false,
                  [](const Settings& s, P&, P&) {
                      EXPECT_EQ(s.MailActive, 0);
                      EXPECT_EQ(s.MailAddress, "OLD");
                  }},
        CheckCase{"PasswordFailureWinsOverBaseFolderFailure",
                  [](E& e, P&, P&) {
                      e.Password.clear();
                      e.BaseDir.clear();
                  },
                  "パスワードを入力してください", ConnectionField::Password, false, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zorva::velmoro
