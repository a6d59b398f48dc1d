#include "qivRestore/engine/RestoreCommand.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/FileIo.h"
#include "common/SavedData.h"
#include "qivRestore/engine/GenerationPath.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeSteadyClock.h"
#include "tests/support/InstantWaiter.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivrestore {
namespace {

namespace fs = std::filesystem;

struct ArgumentsCase {
    std::vector<std::string> arguments;
    std::optional<RestoreArguments> expected;  // nullopt: refused
};

TEST(RestoreCommandTest, ArgumentsAreReadOrRefused) {
    auto args = [](std::string set, std::string generation, bool restore, bool overwrite,
                   std::vector<std::string> objects) {
        return RestoreArguments{false, false, set, generation, restore, overwrite, objects};
    };
    const ArgumentsCase cases[] = {
        {{"--set", "DAILY", "--generation", "7/20261207"},
         args("DAILY", "7/20261207", false, false, {})},
        {{"--set=DAILY", "--generation=Monday", "--restore", "--overwrite", "PAY*", "ARLIB"},
         args("DAILY", "Monday", true, true, {"PAY*", "ARLIB"})},
        {{"--generation", "x", "--", "--restore", "--set", "ABC"},
         std::nullopt},  // after "--" everything is an object: no set given
        {{"--set", "DAILY", "--generation", "x", "--", "-ODD"},
         args("DAILY", "x", false, false, {"-ODD"})},
        {{"--set", "A01", "--generation", "x"}, args("A01", "x", false, false, {})},
        {{"--set", "my.set", "--generation", "x"}, std::nullopt},
        {{"--set", "ABCDEFGHIJK", "--generation", "x"}, std::nullopt},
        {{"--set", "../X", "--generation", "x"}, std::nullopt},
        {{"--set", "DAILY"}, std::nullopt},
        {{"--set", "DAILY", "--generation"}, std::nullopt},
        {{"--set", "DAILY", "--generation", "x", "--overwrite"}, std::nullopt},
        {{"--set", "DAILY", "--generation", "x", "-r"}, std::nullopt},
        {{"--help"}, RestoreArguments{true, false, "", "", false, false, {}}},
        {{"--version"}, RestoreArguments{false, true, "", "", false, false, {}}},
    };
    for (const ArgumentsCase& c : cases) {
        const auto parsed = ParseRestoreArguments(c.arguments);
        ASSERT_EQ(parsed.has_value(), c.expected.has_value())
            << testing::PrintToString(c.arguments);
        if (!parsed) {
            EXPECT_FALSE(parsed.error().text.empty());
            continue;
        }
        EXPECT_EQ(parsed->setName, c.expected->setName);
        EXPECT_EQ(parsed->generation, c.expected->generation);
        EXPECT_EQ(parsed->restore, c.expected->restore);
        EXPECT_EQ(parsed->overwrite, c.expected->overwrite);
        EXPECT_EQ(parsed->objects, c.expected->objects);
        EXPECT_EQ(parsed->help, c.expected->help);
        EXPECT_EQ(parsed->version, c.expected->version);
    }
}

TEST(GenerationPathTest, GenerationPathsStayBelowTheSetFolder) {
    test::TempFolder base;
    fs::create_directories(base / "DAILY/7/20261207");
    fs::create_directories(base / "DAILY/a/b/c/d/e/f/g/h");
    fs::create_directories(base / "OTHER/7");
    fs::create_directory_symlink(base / "OTHER", base / "DAILY/LINK");
    WriteFileAtomically(base / "DAILY/FILE", "x");

    const std::pair<std::string, bool> cases[] = {
        {"7/20261207", true},
        {"7", true},
        {"7//20261207", true},
        {"a/b/c/d/e/f/g", true},
        {"a/b/c/d/e/f/g/h", false},
        {"", false},
        {"/7", false},
        {"../OTHER/7", false},
        {"7/..", false},
        {"./7", false},
        {"LINK/7", false},
        {"FILE", false},
        {"7/20261208", false},
        {".", false},
    };
    for (const auto& [path, valid] : cases) {
        const auto folder = ResolveGeneration(base / "DAILY", path);
        EXPECT_EQ(folder.has_value(), valid) << path;
        if (folder) {
            EXPECT_TRUE(fs::is_directory(*folder)) << path;
        }
    }
}

TEST(RestoreCommandTest, NamedObjectsAreFoundByStoredOrHostName) {
    const std::vector<RestoreRow> all = {{"L", "SAL*ES*1", "*FILE", "", "", true},
                                         {"L", "PAYROLL", "*FILE", "", "", true},
                                         {"QSYS", "ARLIB", "*LIB", "", "", true}};
    const std::pair<std::vector<std::string>, std::vector<bool>> cases[] = {
        {{}, {true, true, true}},
        {{"SAL#ES*1"}, {true, false, false}},
        {{"SAL*ES*1", "ARLIB"}, {true, false, true}},
    };
    for (const auto& [objects, checked] : cases) {
        auto rows = all;
        const Expected<void> selected = SelectObjects(rows, objects);
        ASSERT_TRUE(selected) << selected.error().text;
        for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].checked, checked[i]);
    }
    auto rows = all;
    const Expected<void> missing = SelectObjects(rows, {"PAYROLL", "SAL#ES#1"});
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.error().text, "SAL#ES#1の保管データがこの世代に無い");
}

TEST(RestoreCommandTest, SuccessNeedsTheRightOutcomeAndEveryCheckedObjectThrough) {
    auto rows = [](std::string first, std::string second, bool secondChecked = true) {
        return std::vector<RestoreRow>{{"L", "A", "*FILE", "", first, true},
                                       {"L", "B", "*FILE", "", second, secondChecked}};
    };
    EXPECT_TRUE(RunSucceeded(RestoreOutcome::Uploaded, rows("転送完了", "転送完了"), false));
    EXPECT_TRUE(RunSucceeded(RestoreOutcome::Uploaded, rows("転送完了", "", false), false));
    EXPECT_FALSE(RunSucceeded(RestoreOutcome::Uploaded, rows("転送完了", "転送失敗"), false));
    EXPECT_FALSE(RunSucceeded(RestoreOutcome::Uploaded, rows("転送完了", "SAVF作成失敗"), false));
    EXPECT_TRUE(RunSucceeded(RestoreOutcome::Complete, rows("復元完了", "復元完了"), true));
    EXPECT_FALSE(
        RunSucceeded(RestoreOutcome::Complete, rows("復元完了", "既に存在している"), true));
    EXPECT_FALSE(RunSucceeded(RestoreOutcome::Complete, rows("復元完了", "転送完了"), true));
    EXPECT_FALSE(RunSucceeded(RestoreOutcome::TimedOut, rows("復元完了", "復元完了"), true));
    EXPECT_FALSE(RunSucceeded(RestoreOutcome::UploadFailed, rows("転送完了", "転送完了"), false));
}

// The command over the scripted host: settings, set file, generation, run, printed results.
TEST(RestoreCommandTest, CommandRunsTheEngineOnTheGenerationAndPrintsEachObject) {
    test::TempFolder folder;
    const fs::path base = folder / "save";
    fs::create_directories(folder / "BACKUPSET");
    fs::create_directories(folder / "LOG_DAT");
    fs::create_directories(base / "DAILY/Monday");
    WriteFileAtomically(
        folder / "zorva.ini",
        "[DIRECTORIES]\r\nBACKUPSET=BACKUPSET\r\nBASEDIR=" + base.string() +
            "/\r\n[TIMER]\r\nFILETIMER=100\r\nJOBTIMER=60000\r\n[LOCAL]\r\nLOG=YES\r\n");
    WriteFileAtomically(
        folder / "BACKUPSET/DAILY",
        "d\r\n1\r\n1\t2200\r\n2\t1111111\r\n \t\r\nPAYLIB\tPAYROLL\t*FILE\t2\t2\t\r\n"
        "SALESLIB\tSAL*\t*FILE\t2\t5\t\r\n");
    WriteFileAtomically(base / "DAILY/Monday/PAYROLL", "p");
    WriteFileAtomically(base / "DAILY/Monday/SAL#", "s");

    test::FakeClock clock(2026, 12, 7, 10, 0);
    test::InstantWaiter waiter;
    test::FakeSteadyClock steady;
    steady.Follow(waiter);
    std::ostringstream out, err;
    std::vector<std::string> commands;  // the host lives only as long as the command
    RestoreCommandEnvironment env{
        folder.path(),
        clock,
        waiter,
        steady,
        out,
        err,
        [&](const Settings&, Waiter&, HostSessionObserver&) {
            auto made = std::make_unique<test::ScriptedHost>();
            made->react = [&, host = made.get()](
                              const test::ScriptedHost::Call& call) -> std::optional<HostStatus> {
                if (call.op == test::ScriptedHost::Op::Command) commands.push_back(call.argument);
                if (call.argument.starts_with(" RCMD SBMJOB"))
                    host->files["ZORVARST/SAVLIBS"] =
                        "2PAYROLL   PAYLIB    *FILE     0\r\n"
                        "2SAL#      SALESLIB  *FILE     0\r\n";
                return std::nullopt;
            };
            return made;
        }};
    const auto arguments =
        ParseRestoreArguments({"--set", "DAILY", "--generation", "Monday", "--restore"});
    ASSERT_TRUE(arguments) << arguments.error().text;

    EXPECT_EQ(RunRestoreCommand(*arguments, env), 0) << err.str();

    EXPECT_EQ(err.str(), "");
    const std::string printed = out.str();
    EXPECT_NE(printed.find("SAL#アップロード成功\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("PAYLIB\tPAYROLL\t*FILE\t復元完了\nSALESLIB\tSAL*\t*FILE\t復元完了\n"),
              std::string::npos)
        << printed;
    ASSERT_GE(commands.size(), 3u);
    EXPECT_EQ(commands[2], "RCMD CRTPF ZORVARST/SAL# RCDLEN(528) SIZE(*NOMAX)");
    const auto log = ReadFileBytes(folder / "LOG_DAT/20261207.log");
    ASSERT_TRUE(log.has_value());
    EXPECT_NE(
        log->find(
            "DAILY \x95\x9c\x8c\xb3\x8f\x88\x97\x9d\x82\xcc\x8a\xae\x97\xb9 2026/12/07 10:00\n"),
        std::string::npos);  // "復元処理の完了" in CP932, LF line end
}

}  // namespace
}  // namespace zorva::qivrestore
