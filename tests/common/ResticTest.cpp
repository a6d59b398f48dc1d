#include "common/offsite/Restic.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/FileIo.h"
#include "common/offsite/ResticRunner.h"
#include "tests/support/TempFolder.h"

namespace zorva::offsite {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct AccessCase {
    std::string label;
    fs::perms passwordMode;
    std::optional<std::string> envFile;  // its content, mode 0600
    std::string refusal;                 // empty: accepted
    std::vector<std::string> environment = {};
};

class ResticAccessCheck : public ::testing::TestWithParam<AccessCase> {};

TEST_P(ResticAccessCheck, OnlyFilesOfTheOwnerAloneAndKeyValueLines) {
    const AccessCase& c = GetParam();
    test::TempFolder folder;
    ASSERT_TRUE(WriteFileAtomically(folder / "pw", "secret\n", 0600));
    fs::permissions(folder / "pw", c.passwordMode);
    OffsiteSettings settings{"/repo", "pw", "", std::nullopt};
    if (c.envFile) {
        ASSERT_TRUE(WriteFileAtomically(folder / "env", *c.envFile, 0600));
        settings.envFile = (folder / "env").string();
    }
    const auto access = OpenResticAccess(settings, folder.path());
    if (c.refusal.empty()) {
        ASSERT_TRUE(access) << access.error().text;
        EXPECT_EQ(access->passwordFile, (folder / "pw").string());
        EXPECT_EQ(access->environment, c.environment);
    } else {
        ASSERT_FALSE(access);
        EXPECT_NE(access.error().text.find(c.refusal), std::string::npos) << access.error().text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResticAccessCheck,
    ::testing::Values(
        AccessCase{"OwnerOnly", fs::perms::owner_read | fs::perms::owner_write, {}, ""},
        AccessCase{"ReadOnlyOwner", fs::perms::owner_read, {}, ""},
        AccessCase{"GroupReadable", fs::perms(0640), {}, "モードが0600でない（0640）"},
        AccessCase{"WorldReadable", fs::perms(0644), {}, "モードが0600でない（0644）"},
        AccessCase{"EnvFile", fs::perms(0600), "# keys\n\nAWS_KEY=a=b\r\n", "", {"AWS_KEY=a=b"}},
        AccessCase{"EnvLineWithoutKey", fs::perms(0600), "=x\n", "KEY=VALUEでない"},
        AccessCase{"EnvPasswordRefused", fs::perms(0600), "RESTIC_PASSWORD=x\n",
                   "RESTIC_PASSWORDは書けない"}),
    [](const auto& test) { return test.param.label; });

TEST(ResticAccessCheck, MissingPasswordFileIsRefused) {
    test::TempFolder folder;
    EXPECT_FALSE(OpenResticAccess({"/repo", "nothere", "", std::nullopt}, folder.path()));
    EXPECT_FALSE(OpenResticAccess({"/repo", "", "", std::nullopt}, folder.path()));
}

const ResticAccess kAccess{"sftp:u@h:/r", "/p/pw", {"AWS_KEY=1"}, "/p/.offsite-cache"};
const std::vector<std::string> kCommon{"--repo", "sftp:u@h:/r", "--password-file",
                                       "/p/pw",  "--cache-dir", "/p/.offsite-cache",
                                       "--json"};

struct CommandCase {
    std::string label;
    ResticCommand command;
    std::vector<std::string> arguments;  // after the common ones
    std::string workingFolder;
};

class ResticCommandLine : public ::testing::TestWithParam<CommandCase> {};

TEST_P(ResticCommandLine, RepositoryPasswordFileAndBackendVariablesOnEveryCommand) {
    const CommandCase& c = GetParam();
    std::vector<std::string> expected = kCommon;
    expected.insert(expected.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(c.command, (ResticCommand{expected, {"AWS_KEY=1"}, c.workingFolder}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResticCommandLine,
    ::testing::Values(CommandCase{"Init", InitCommand(kAccess), {"init"}, ""},
                      CommandCase{"SnapshotsOfSet",
                                  SnapshotsCommand(kAccess, "PC01", "DAILY"),
                                  {"snapshots", "--host", "PC01", "--tag", "set:DAILY"},
                                  ""},
                      CommandCase{
                          "Backup",
                          BackupCommand(kAccess, "PC01", {"DAILY", "7/20261207", 42, "0123abcd"},
                                        "/b/DAILY/7/20261207"),
                          {"backup", "--host", "PC01", "--tag", "set:DAILY", "--tag",
                           "gen:7/20261207", "--tag", "size:42", "--tag", "sums:0123abcd", "."},
                          "/b/DAILY/7/20261207"},
                      CommandCase{"ForgetAndPrune",
                                  ForgetCommand(kAccess, "PC01", "DAILY", 7, true),
                                  {"forget", "--host", "PC01", "--tag", "set:DAILY", "--group-by",
                                   "host", "--keep-last", "7", "--prune"},
                                  ""},
                      CommandCase{"Restore",
                                  RestoreCommand(kAccess, "abcdef12", "/b/.offsite-fetch/x"),
                                  {"restore", "abcdef12", "--target", "/b/.offsite-fetch/x"},
                                  ""}),
    [](const auto& test) { return test.param.label; });

struct LineCase {
    std::string label;
    std::string line;
    BackupLine parsed;
};

class ResticBackupLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ResticBackupLine, StatusSummaryAndErrorLines) {
    EXPECT_EQ(ParseBackupLine(GetParam().line), GetParam().parsed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResticBackupLine,
    ::testing::Values(
        LineCase{"Status",
                 R"({"message_type":"status","percent_done":0.5,"total_files":2,)"
                 R"("total_bytes":6000000000,"bytes_done":3000000000,"current_files":["/A"]})",
                 BackupStatus{0.5, 3000000000, 6000000000}},
        LineCase{"Summary",
                 R"({"message_type":"summary","files_new":1,"data_added":100350,)"
                 R"("total_bytes_processed":100000,"total_duration":0.3,"snapshot_id":"814208ee"})",
                 BackupSummary{100000, 100350, "814208ee"}},
        LineCase{"Error",
                 R"({"message_type":"error","error":{"message":"permission denied"},)"
                 R"("during":"archival","item":"/\u30d5\"x"})",
                 BackupError{"archival /フ\"x: permission denied"}},
        LineCase{"OtherType", R"({"message_type":"verbose_status"})", std::monostate{}},
        LineCase{"NotJson", "unable to open cache", std::monostate{}},
        LineCase{"CutShort", R"({"message_type":"summary","data_added":1)", std::monostate{}}),
    [](const auto& test) { return test.param.label; });

TEST(ResticSnapshots, TagsTimeAndOrderAsListed) {
    const auto parsed = ParseSnapshots(
        R"([{"time":"2026-12-07T20:06:46.891547495Z","hostname":"PC01","id":"814208ee8b6e",)"
        R"("short_id":"814208ee","tags":["set:DAILY","gen:7/20261207","size:100000",)"
        R"("sums:0123abcd"]},{"time":"2026-12-08T05:00:00+09:00","id":"99","tags":null}])");
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), 2U);
    EXPECT_EQ((*parsed)[0], (Snapshot{"814208ee8b6e", "814208ee", 1796674006, "PC01", "DAILY",
                                      "7/20261207", 100000, "0123abcd"}));
    EXPECT_EQ((*parsed)[1].time, 1796673600);
    EXPECT_EQ((*parsed)[1].setName, "");
    EXPECT_EQ(ParseSnapshots("null\n").value(), (std::vector<Snapshot>{}));
    EXPECT_FALSE(ParseSnapshots("Fatal: wrong password"));
}

TEST(ResticTime, ZonesAndFractions) {
    EXPECT_EQ(ParseResticTime("1970-01-01T00:00:00Z"), 0);
    EXPECT_EQ(ParseResticTime("1970-01-01T09:00:00.5+09:00"), 0);
    EXPECT_EQ(ParseResticTime("1969-12-31T23:00:00-01:00"), 0);
    EXPECT_EQ(ParseResticTime("2026-02-30T00:00:00Z"), std::nullopt);
    EXPECT_EQ(ParseResticTime("2026-12-07 20:06:46"), std::nullopt);
}

struct FailureCase {
    std::string label;
    std::string errorText;
    std::string line;
};

class ResticFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ResticFailure, OneLineThatSaysWhatToDo) {
    EXPECT_EQ(ResticFailureText(GetParam().errorText, kAccess), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResticFailure,
    ::testing::Values(
        FailureCase{"WrongPassword", "Fatal: wrong password or no key found\n",
                    "オフサイト：リポジトリsftp:u@h:/rのパスワードが違う"},
        FailureCase{"NoRepository",
                    "Fatal: unable to open config file: stat r/config: no such file or "
                    "directory\nIs there a repository at the following location?\nr\n",
                    "オフサイト：リポジトリsftp:u@h:/rがない（接続設定の初期化で作成する）"},
        FailureCase{
            "Locked", "unable to create lock in backend: repository is already locked by PID 1\n",
            "オフサイト：リポジトリsftp:u@h:/rがロックされている（止められた実行のロックなら"
            "解除する：restic --repo 'sftp:u@h:/r' --password-file '/p/pw' unlock）"},
        FailureCase{"SshBehindTheFatalLine",
                    "Fatal: unable to open repository at sftp:u@h:/r: EOF\nsubprocess ssh: "
                    "ssh: connect to host h port 22: Connection refused\n",
                    "オフサイト：restic失敗：unable to open repository at sftp:u@h:/r: "
                    "EOF（ssh: connect to host h port 22: Connection refused）"}),
    [](const auto& test) { return test.param.label; });

// Plays one run: the lines it prints and how it ends; keeps the command it was given.
class ScriptedRestic final : public ResticRunner {
public:
    ScriptedRestic(std::vector<std::string> lines, RunResult result)
        : lines_(std::move(lines)), result_(std::move(result)) {}
    RunResult Run(const ResticCommand& command, const RunControl& control) override {
        command_ = command;
        for (const std::string& line : lines_) control.onLine(line);
        return result_;
    }
    ResticCommand command_;

private:
    std::vector<std::string> lines_;
    RunResult result_;
};

struct ListCase {
    std::string label;
    std::vector<std::string> lines;
    RunResult result;
    std::optional<std::size_t> count;  // nullopt: the failure line below
    std::string failure = {};
};

class ResticList : public ::testing::TestWithParam<ListCase> {};

TEST_P(ResticList, SnapshotsOfTheSetFromTheHostOrOneLineWhy) {
    ScriptedRestic restic(GetParam().lines, GetParam().result);
    const auto listed = ListSnapshots(restic, kAccess, "PC01", "DAILY", {}, 60s);
    const auto& arguments = restic.command_.arguments;
    const auto host = std::find(arguments.begin(), arguments.end(), "--host");
    ASSERT_TRUE(host != arguments.end() && std::next(host) != arguments.end());
    EXPECT_EQ(*std::next(host), "PC01");
    EXPECT_NE(std::find(arguments.begin(), arguments.end(), "set:DAILY"), arguments.end());
    if (GetParam().count) {
        ASSERT_TRUE(listed) << listed.error().text;
        EXPECT_EQ(listed->size(), *GetParam().count);
    } else {
        ASSERT_FALSE(listed);
        EXPECT_EQ(listed.error().text, GetParam().failure);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResticList,
    ::testing::Values(
        ListCase{"OverTwoLines",
                 {R"([{"time":"2026-12-07T20:06:46Z","id":"a1",)",
                  R"("tags":["set:DAILY"]},{"time":"2026-12-08T20:06:46Z","id":"b2"}])"},
                 {RunEnd::Exited, 0, ""},
                 2},
        ListCase{"None", {"null"}, {RunEnd::Exited, 0, ""}, 0},
        ListCase{"WrongPassword",
                 {},
                 {RunEnd::Exited, 1, "Fatal: wrong password or no key found\n"},
                 std::nullopt,
                 "オフサイト：リポジトリsftp:u@h:/rのパスワードが違う"},
        ListCase{"TimedOut",
                 {},
                 {RunEnd::TimedOut, -1, ""},
                 std::nullopt,
                 "オフサイト：resticが60秒以内に終わらないため中止した"},
        ListCase{"NotJson",
                 {"Fatal: nonsense"},
                 {RunEnd::Exited, 0, ""},
                 std::nullopt,
                 "オフサイト：スナップショット一覧が読めない"}),
    [](const auto& test) { return test.param.label; });

}  // namespace
}  // namespace zorva::offsite
