#include "velmoro/engine/HostInstall.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/FileIo.h"
#include "common/Settings.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempFolder.h"

namespace zorva::velmoro {
namespace {

using zorva::test::ScriptedHost;
using zorva::test::TempFolder;
using Op = ScriptedHost::Op;
using zorva::test::RecordingReporter;

const char* kDone = "ホストモジュールのインストール完了";
const std::vector<std::string> kFiveCommands = {
    "RCMD RSTLIB SAVLIB(ZORVAV3) DEV(*SAVF) SAVF(QGPL/ZORVAV3)", "RCMD CRTLIB LIB(ZORVADATA)",
    "RCMD CRTLIB LIB(ZORVARST)", "RCMD CRTLIB LIB(ZORVALOGLB)", "RCMD DLTF FILE(QGPL/ZORVAV3)"};

// A host whose libraries exist as given; CWD to any other library fails.
struct LibraryHost {
    explicit LibraryHost(std::set<std::string> existing) : libraries(std::move(existing)) {
        host.react = [this](const ScriptedHost::Call& call) -> std::optional<HostStatus> {
            if (call.op == Op::SetCurrentLibrary && call.argument != "QSYS" &&
                !this->libraries.count(call.argument))
                return HostStatus::Failed;
            return std::nullopt;
        };
    }
    std::set<std::string> libraries;
    ScriptedHost host;
};

// Each call as "OP argument", so a test reads the conversation in order.
std::vector<std::string> Conversation(const ScriptedHost& host) {
    std::vector<std::string> lines;
    const char* names[] = {"OPEN", "CMD", "CWD", "PUT", "GET", "DELE", "LIST", "CLOSE"};
    for (const auto& call : host.Calls())
        lines.push_back(std::string(names[static_cast<int>(call.op)]) +
                        (call.argument.empty() ? "" : " " + call.argument));
    return lines;
}

class HostInstallTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WriteFileAtomically(folder / "ZORVAV3", "module")); }
    HostTaskResult Run(ScriptedHost& host) {
        return RunHostInstallation(host, folder.path(), reporter);
    }
    bool Installed() const { return *ReadInstallFlag(SettingsPath(folder.path())) == 1; }

    TempFolder folder;
    RecordingReporter reporter;
};

TEST_F(HostInstallTest, FirstInstallationCreatesTheSaveFileAndSendsNoDltlib) {
    LibraryHost host({});
    const HostTaskResult result = Run(host.host);
    ASSERT_TRUE(result.ok) << result.text;
    EXPECT_EQ(result.text, kDone);
    std::vector<std::string> expected = {"OPEN",
                                         "LIST QGPL",
                                         "CMD RCMD CRTSAVF QGPL/ZORVAV3",
                                         "PUT QGPL/ZORVAV3",
                                         "CWD ZORVADATA",
                                         "CWD ZORVARST",
                                         "CWD ZORVALOGLB"};
    for (const std::string& command : kFiveCommands) expected.push_back("CMD " + command);
    expected.push_back("CLOSE");
    EXPECT_EQ(Conversation(host.host), expected);
    EXPECT_EQ(host.host.files["QGPL/ZORVAV3"], "module");
    EXPECT_TRUE(Installed());
    EXPECT_EQ(reporter.messages, std::vector<std::string>{kDone});
}

TEST_F(HostInstallTest, LeftoverSaveFileIsNotCreatedAgain) {
    LibraryHost host({});
    host.host.listings["QGPL"] = {"QGPL/QBATCH", "QGPL/ZORVAV3"};
    ASSERT_TRUE(Run(host.host).ok);
    const auto commands = host.host.Arguments(Op::Command);
    EXPECT_EQ(commands, kFiveCommands);
}

TEST_F(HostInstallTest, ExistingExchangeLibrariesAreDeletedFromQsys) {
    LibraryHost host({"ZORVADATA", "ZORVALOGLB"});
    host.host.listings["QGPL"] = {"ZORVAV3"};
    ASSERT_TRUE(Run(host.host).ok);
    const std::vector<std::string> conversation = Conversation(host.host);
    const std::vector<std::string> expected = {
        "CWD ZORVADATA",  "CWD QSYS", "CMD RCMD DLTLIB LIB(ZORVADATA)", "CWD ZORVARST",
        "CWD ZORVALOGLB", "CWD QSYS", "CMD RCMD DLTLIB LIB(ZORVALOGLB)"};
    ASSERT_GE(conversation.size(), 4 + expected.size());
    EXPECT_EQ(std::vector<std::string>(conversation.begin() + 3,
                                       conversation.begin() + 3 + expected.size()),
              expected);
}

TEST_F(HostInstallTest, ListingFailureCountsAsNoSaveFile) {
    LibraryHost host({});
    host.host.listings["QGPL"] = {"ZORVAV3"};
    host.host.Script(Op::List, {HostStatus::Failed});
    ASSERT_TRUE(Run(host.host).ok);
    EXPECT_EQ(host.host.Arguments(Op::Command).front(), "RCMD CRTSAVF QGPL/ZORVAV3");
}

struct RefusalCase {
    const char* name;
    std::string refusedCommand;  // empty: the upload is refused
    std::string text;            // "{folder}" stands for the program folder
};

class InstallRefusalTest : public HostInstallTest,
                           public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(InstallRefusalTest, StopsWithTheTextAndLeavesTheFlagUnset) {
    LibraryHost host({"ZORVADATA"});
    const RefusalCase& c = GetParam();
    host.host.react = [&, previous = host.host.react](const ScriptedHost::Call& call) {
        if (c.refusedCommand.empty() ? call.op == Op::PutFile
                                     : call.op == Op::Command && call.argument == c.refusedCommand)
            return std::optional<HostStatus>(HostStatus::Failed);
        return previous(call);
    };
    const HostTaskResult result = Run(host.host);
    std::string text = c.text;
    if (auto at = text.find("{folder}"); at != std::string::npos)
        text.replace(at, 8, folder.path().string());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, text);
    EXPECT_FALSE(Installed());
    EXPECT_FALSE(host.host.IsOpen());
    const auto commands = host.host.Arguments(Op::Command);
    if (!c.refusedCommand.empty()) {
        ASSERT_FALSE(commands.empty());
        EXPECT_EQ(commands.back(), c.refusedCommand);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, InstallRefusalTest,
    ::testing::Values(RefusalCase{"Crtsavf", "RCMD CRTSAVF QGPL/ZORVAV3",
                                  "RCMD CRTSAVF QGPL/ZORVAV3:コマンド実行に失敗しました"},
                      RefusalCase{"Upload", "", "{folder}/ZORVAV3:アップロードに失敗しました"},
                      RefusalCase{"Dltlib", "RCMD DLTLIB LIB(ZORVADATA)",
                                  "RCMD DLTLIB LIB(ZORVADATA):コマンド実行に失敗しました"},
                      RefusalCase{"Rstlib",
                                  "RCMD RSTLIB SAVLIB(ZORVAV3) DEV(*SAVF) SAVF(QGPL/ZORVAV3)",
                                  "RCMD RSTLIB SAVLIB(ZORVAV3) DEV(*SAVF) SAVF(QGPL/ZORVAV3):"
                                  "コマンド実行に失敗しました"},
                      RefusalCase{"Crtlib", "RCMD CRTLIB LIB(ZORVARST)",
                                  "RCMD CRTLIB LIB(ZORVARST):コマンド実行に失敗しました"},
                      RefusalCase{"Dltf", "RCMD DLTF FILE(QGPL/ZORVAV3)",
                                  "RCMD DLTF FILE(QGPL/ZORVAV3):コマンド実行に失敗しました"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(HostInstallTest, MissingModuleNamesTheLocalPathWithoutTouchingTheHost) {
    std::filesystem::remove(folder / "ZORVAV3");
    ScriptedHost host;
    const HostTaskResult result = Run(host);
    const std::string text = (folder / "ZORVAV3").string() + ":アップロードに失敗しました";
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, text);
    EXPECT_TRUE(host.Calls().empty());
    EXPECT_EQ(reporter.messages, std::vector<std::string>{text});
    EXPECT_FALSE(Installed());
}

TEST_F(HostInstallTest, NoConnectionGivesTheConnectText) {
    ScriptedHost host;
    host.Script(Op::Open, {HostStatus::Failed});
    const HostTaskResult result = Run(host);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "接続中にエラー発生");
    EXPECT_EQ(host.Calls().size(), 1u);
    EXPECT_FALSE(Installed());
}

TEST_F(HostInstallTest, InterruptedCommandEndsQuietly) {
    LibraryHost host({});
    host.host.Script(Op::Command, {HostStatus::Interrupted});
    const HostTaskResult result = Run(host.host);
    EXPECT_TRUE(result.interrupted);
    EXPECT_TRUE(result.text.empty());
    EXPECT_FALSE(Installed());
}

TEST_F(HostInstallTest, FlagThatCannotBeStoredIsAFailure) {
    std::filesystem::create_directory(folder / "zorva.ini");  // not a file: cannot be written
    LibraryHost host({});
    const HostTaskResult result = Run(host.host);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, (folder / "zorva.ini").string() + ":書込みに失敗しました");
}

}  // namespace
}  // namespace zorva::velmoro
