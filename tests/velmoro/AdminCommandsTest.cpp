#include "velmoro/cli/AdminCommands.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/BackupSet.h"
#include "common/FileIo.h"
#include "common/InstanceLock.h"
#include "common/Settings.h"
#include "tests/support/FakeClock.h"
#include "tests/support/InstantWaiter.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempFolder.h"
#include "tests/velmoro/ObjectRows.h"
#include "velmoro/engine/AgentCommonFiles.h"

namespace zorva::velmoro {
namespace {

using test::Row;
using zorva::test::ScriptedHost;

// A program folder with complete settings and a host that must not be reached unless a
// test says so.
class AdminCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder / "BACKUPSET");
        std::filesystem::create_directories(folder / "save");
        Settings s;
        s.termId = "PC01";
        s.baseDir = (folder / "save").string() + "/";
        s.hostAddress = "127.0.0.1";
        s.user = "ZORVA";
        s.password = "SECRET";
        s.jobQueue = "QGPL/QBATCH";
        ASSERT_TRUE(WriteSettings(SettingsPath(folder.path()), s));
    }
    std::optional<int> Run(std::vector<std::string> arguments) {
        AdminEnvironment env{folder.path(), out, clock, waiter,
                             [this](const Settings&, Waiter&, HostSessionObserver&) {
                                 return std::shared_ptr<HostConnection>(&host,
                                                                        [](HostConnection*) {});
                             }};
        return RunAdminCommand(arguments, env);
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    zorva::test::TempFolder folder;
    zorva::test::FakeClock clock;
    zorva::test::InstantWaiter waiter;
    ScriptedHost host;
    std::ostringstream out;
};

struct ArgumentsCase {
    const char* name;
    std::vector<std::string> arguments;
    std::optional<int> code;
};

class AdminArgumentsTest : public AdminCommandsTest,
                           public ::testing::WithParamInterface<ArgumentsCase> {};

TEST_P(AdminArgumentsTest, TakesOnlyItsOwnCommandLines) {
    EXPECT_EQ(Run(GetParam().arguments), GetParam().code);
    EXPECT_TRUE(host.Calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, AdminArgumentsTest,
    ::testing::Values(ArgumentsCase{"None", {}, std::nullopt},
                      ArgumentsCase{"Other", {"--help"}, std::nullopt},
                      ArgumentsCase{"SetNameForTheWindow", {"DAILY"}, std::nullopt},
                      ArgumentsCase{"CheckWithoutSet", {"--check"}, 1},
                      ArgumentsCase{"CheckWithTwoSets", {"--check", "A", "B"}, 1},
                      ArgumentsCase{"InstallWithArgument", {"--install", "now"}, 1},
                      ArgumentsCase{"CheckPath", {"--check", "../A"}, 1}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(AdminCommandsTest, CheckRefusesDuplicatesBeforeTheHost) {
    BackupSet set;
    set.setName = "DAILY";
    set.rows = {Row("LIBA", "CUST", "*FILE"), Row("PAYLIB", "PAYROLL", "*FILE"),
                Row("LIBB", "CUST", "*FILE")};
    ASSERT_TRUE(WriteSetFile(folder / "BACKUPSET", set));
    EXPECT_EQ(Run({"--check", "DAILY"}), 1);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"オブジェクト一覧に重複があります",
                                                 "  1 LIBA       CUST       *FILE",
                                                 "  3 LIBB       CUST       *FILE"}));
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(AdminCommandsTest, InstallNeedsTheSettingsTheDialogNeeds) {
    Settings s = *ReadSettings(SettingsPath(folder.path()), kAgentSettings);
    s.termId.clear();
    ASSERT_TRUE(WriteSettings(SettingsPath(folder.path()), s));
    ASSERT_TRUE(WriteFileAtomically(folder / "ZORVAV3", "module"));
    EXPECT_EQ(Run({"--install"}), 1);
    EXPECT_EQ(Lines(), std::vector<std::string>{"端末ＩＤは入力必須です"});
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(AdminCommandsTest, InstallPrintsTheOutcomeAndExitsZero) {
    ASSERT_TRUE(WriteFileAtomically(folder / "ZORVAV3", "module"));
    EXPECT_EQ(Run({"--install"}), 0);
    EXPECT_EQ(Lines().back(), "iSeries/ASへのモジュールの導入が完了した");
    EXPECT_EQ(*ReadInstallFlag(SettingsPath(folder.path())), 1);
}

TEST_F(AdminCommandsTest, InstallIsRefusedWhileTheTransferAgentsLockIsHeld) {
    ASSERT_TRUE(WriteFileAtomically(folder / "ZORVAV3", "module"));
    InstanceLock transferAgent(folder.path(), "qivftp");
    ASSERT_TRUE(transferAgent.Acquired());
    EXPECT_EQ(Run({"--install"}), 1);
    EXPECT_EQ(Lines(), std::vector<std::string>{"既にダウンロードが開始されている"});
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(AdminCommandsTest, LockThatCannotBeOpenedIsItsOwnError) {
    ASSERT_TRUE(WriteFileAtomically(folder / "ZORVAV3", "module"));
    std::filesystem::create_directory(InstanceLock::PathFor(folder.path(), "qivftp"));
    EXPECT_EQ(Run({"--install"}), 1);
    const std::string prefix =
        InstanceLock::PathFor(folder.path(), "qivftp").string() + "が開けない：";
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].substr(0, prefix.size()), prefix);
    EXPECT_TRUE(host.Calls().empty());
}

}  // namespace
}  // namespace zorva::velmoro
