#include "qivRestore/engine/RestoreEngine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "common/FileIo.h"
#include "common/SavedData.h"
#include "common/SavlibsRecord.h"
#include "tests/support/FakeSteadyClock.h"
#include "tests/support/InstantWaiter.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivrestore {
namespace {

using namespace std::chrono_literals;
using Op = test::ScriptedHost::Op;

class RecordingObserver final : public RestoreObserver {
public:
    void Message(std::string_view text) override { messages.emplace_back(text); }
    void Status(std::string_view text) override { statuses.emplace_back(text); }
    void ShowRowStatus(std::size_t row, const std::string& text) override {
        rowStatuses.emplace_back(row, text);
    }
    std::vector<std::string> messages;
    std::vector<std::string> statuses;
    std::vector<std::pair<std::size_t, std::string>> rowStatuses;
};

// A host list line: code, name, library, type, status: 32 bytes (before any CR LF).
std::string Line(std::string_view name, char status, std::string_view library = "LIB",
                 std::string_view type = "*FILE", char code = '2') {
    return BuildSavlibsRecord(
               {code, std::string(name), std::string(library), std::string(type), status})
        .substr(0, 32);
}

class RestoreEngineTest : public testing::Test {
protected:
    RestoreEngineTest() {
        settings.fileTimer = std::chrono::milliseconds(100);
        settings.jobTimer = std::chrono::milliseconds(3'600'000);
        settings.jobQueue = "QGPL/QBATCH";
        clock.Follow(waiter);
        wait.StartTimeLimit(clock.Now(), settings.jobTimer);
        std::filesystem::create_directories(generation());
    }

    std::filesystem::path generation() const { return folder / "gen"; }

    // Adds an object to the set and its save file to the generation.
    void AddObject(std::string library, std::string object, std::string type, char option,
                   std::string content = "SAVE FILE") {
        request.objectTable.push_back({library, object, type, '2', option, 0});
        request.rows.push_back({library, object, type, "date", "", true});
        WriteFileAtomically(generation() / HostObjectName(object), content);
    }

    RestoreOutcome Run() {
        request.setName = "DAILY";
        request.chosenFolder = generation();
        return engine.Run(request);
    }

    // The host's answers to successive fetches of the restore list.
    void AnswerFetches(std::vector<std::string> lists) {
        host.react =
            [this, lists = std::move(lists), n = std::size_t{0}](
                const test::ScriptedHost::Call& call) mutable -> std::optional<HostStatus> {
            if (call.op == Op::GetFile && call.argument == "ZORVARST/SAVLIBS") {
                host.files["ZORVARST/SAVLIBS"] = lists[std::min(n, lists.size() - 1)];
                ++n;
            }
            return std::nullopt;
        };
    }

    std::string LocalList() const { return ReadFileBytes(engine.ListPath()).value_or("<missing>"); }
    bool Logged(const std::string& text) const {
        return std::find(observer.messages.begin(), observer.messages.end(), text) !=
               observer.messages.end();
    }
    std::vector<std::string> RowStatuses() const {
        std::vector<std::string> result;
        for (const RestoreRow& row : engine.Rows()) result.push_back(row.status);
        return result;
    }

    test::TempFolder folder;
    Settings settings;
    test::ScriptedHost host;
    test::InstantWaiter waiter;
    test::FakeSteadyClock clock;
    HostJobWait wait{waiter, clock};
    RecordingObserver observer;
    RestoreEngine engine{folder.path(), settings, host, wait, observer};
    RestoreRequest request;
};

struct CreateCase {
    std::string name;
    std::string library, object, type;
    char option;
    std::string expectedCommand;
    std::string expectedRecord;  // without CR LF
};

class RestoreCreateTest : public RestoreEngineTest,
                          public testing::WithParamInterface<CreateCase> {};

TEST_P(RestoreCreateTest, CreatesTheHostFileByOptionAndSendsTheSaveFileUnderItsHostName) {
    const CreateCase& c = GetParam();
    AddObject(c.library, c.object, c.type, c.option, std::string("BYTES\0\x01\xff", 8) + c.name);

    EXPECT_EQ(Run(), RestoreOutcome::Uploaded);

    const std::string hostName = HostObjectName(c.object);
    EXPECT_EQ(host.Arguments(Op::Command),
              (std::vector<std::string>{"RCMD CLRLIB ZORVARST ", c.expectedCommand}));
    EXPECT_EQ(host.Arguments(Op::PutFile), std::vector<std::string>{"ZORVARST/" + hostName});
    EXPECT_EQ(host.files["ZORVARST/" + hostName], std::string("BYTES\0\x01\xff", 8) + c.name);
    EXPECT_EQ(LocalList(), c.expectedRecord + "\r\n");
    EXPECT_EQ(RowStatuses(), std::vector<std::string>{"転送完了"});
    EXPECT_TRUE(Logged(hostName + "アップロード成功"));
}

const CreateCase kCreateCases[] = {
    {"OnlyFirstStarReplaced", "SALESLIB", "SAL*ES*1", "*FILE", '2',
     "RCMD CRTSAVF ZORVARST/SAL#ES*1", "2SAL#ES*1  SALESLIB  *FILE     2"},
    {"FileProtectedGoesAsPhysicalFile", "PAYLIB", "PAYROLL", "*FILE", '5',
     "RCMD CRTPF ZORVARST/PAYROLL RCDLEN(528) SIZE(*NOMAX)", "2PAYROLL   PAYLIB    *FILE     5"},
    {"FileUnprotectedGoesAsSaveFile", "PAYLIB", "PAYROLL", "*FILE", '2',
     "RCMD CRTSAVF ZORVARST/PAYROLL", "2PAYROLL   PAYLIB    *FILE     2"},
    {"CodeThreeIsTheLastSaveFileCode", "PAYLIB", "PAYROLL", "*FILE", '3',
     "RCMD CRTSAVF ZORVARST/PAYROLL", "2PAYROLL   PAYLIB    *FILE     3"},
    {"CodeFourIsProtected", "PAYLIB", "PAYROLL", "*FILE", '4',
     "RCMD CRTPF ZORVARST/PAYROLL RCDLEN(528) SIZE(*NOMAX)", "2PAYROLL   PAYLIB    *FILE     4"},
    {"StarredLibraryAlwaysSaveFile", "QSYS", "*ALLUSR", "*LIB", '6',
     "RCMD CRTSAVF ZORVARST/#ALLUSR", "1#ALLUSR   QSYS      *LIB      6"},
    {"PlainLibraryFollowsItsOption", "QSYS", "ARLIB", "*LIB", '6',
     "RCMD CRTPF ZORVARST/ARLIB RCDLEN(528) SIZE(*NOMAX)", "1ARLIB     QSYS      *LIB      6"},
    {"StarredFileFollowsItsOption", "PAYLIB", "PAY*", "*FILE", '5',
     "RCMD CRTPF ZORVARST/PAY# RCDLEN(528) SIZE(*NOMAX)", "2PAY#      PAYLIB    *FILE     5"},
    {"SpooledEntry", "QGPL", "QPRINT", "*SPL", '1', "RCMD CRTSAVF ZORVARST/QPRINT",
     "3QPRINT    QGPL      *SPL      1"},
};

INSTANTIATE_TEST_SUITE_P(Cases, RestoreCreateTest, testing::ValuesIn(kCreateCases),
                         [](const auto& test) { return test.param.name; });

TEST_F(RestoreEngineTest, SaveFilesOnlyWritesTheListButSendsNeitherListNorJob) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    AddObject("ARLIB", "CUSTOMER", "*FILE", '1');
    request.rows[1].checked = false;

    EXPECT_EQ(Run(), RestoreOutcome::Uploaded);

    EXPECT_EQ(host.Arguments(Op::PutFile), std::vector<std::string>{"ZORVARST/PAYROLL"});
    EXPECT_EQ(host.Arguments(Op::Command).size(), 2u);  // CLRLIB, CRTSAVF
    EXPECT_EQ(LocalList(), Line("PAYROLL", '2', "PAYLIB") + "\r\n");
    EXPECT_EQ(RowStatuses(), (std::vector<std::string>{"転送完了", ""}));
    EXPECT_EQ(observer.messages.back(), "DAILY 復元処理の完了");
    EXPECT_EQ(host.Calls().front().op, Op::Open);
}

TEST_F(RestoreEngineTest, WholeRoadShowsTheHostsResultPerObject) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    AddObject("SALESLIB", "SALES*01", "*FILE", '5');
    AddObject("QSYS", "ARLIB", "*LIB", '1');
    request.restoreOnHost = true;
    request.overwrite = true;
    AnswerFetches({Line("PAYROLL", '0') + "\r\n" + Line("SALES#01", '7') + "\r\n" +
                   Line("ARLIB", '8', "QSYS", "*LIB", '1') + "\r\n"});

    EXPECT_EQ(Run(), RestoreOutcome::Complete);

    EXPECT_EQ(host.Arguments(Op::PutFile),
              (std::vector<std::string>{"ZORVARST/PAYROLL", "ZORVARST/SALES#01", "ZORVARST/ARLIB",
                                        "ZORVARST/SAVLIBS"}));
    EXPECT_EQ(host.Arguments(Op::Command).back(),
              " RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVARSALL)  PARM('1')) JOBQ(QGPL/QBATCH)");
    EXPECT_EQ(RowStatuses(),
              (std::vector<std::string>{"復元完了", "既に存在している", "復元対象無し"}));
    const std::string listPath = engine.ListPath().string();
    EXPECT_EQ(observer.messages,
              (std::vector<std::string>{"PAYROLLアップロード成功", "SALES#01アップロード成功",
                                        "ARLIBアップロード成功", "レストア中",
                                        listPath + "アップロード成功", "DAILY 復元処理の完了"}));
    EXPECT_EQ(observer.statuses,
              (std::vector<std::string>{"ホストで復元作業中", "サーバーの処理完了待ち", ""}));
    EXPECT_EQ(waiter.Waits(), std::vector<std::chrono::milliseconds>{100ms});
}

TEST_F(RestoreEngineTest, SubmitParameterFollowsTheOverwriteOption) {
    EXPECT_EQ(RestoreEngine::SubmitCommand(false, "QGPL/QBATCH"),
              " RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVARSALL)  PARM(' ')) JOBQ(QGPL/QBATCH)");
    EXPECT_EQ(RestoreEngine::SubmitCommand(true, ""),
              " RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVARSALL)  PARM('1')) JOBQ()");
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    request.restoreOnHost = true;
    AnswerFetches({""});
    Run();
    EXPECT_EQ(host.Arguments(Op::Command).back(),
              " RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVARSALL)  PARM(' ')) JOBQ(QGPL/QBATCH)");
}

TEST_F(RestoreEngineTest, EveryObjectFailingStillSubmitsAnEmptyListAndAnEmptyFetchCompletes) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    AddObject("PAYLIB", "ORDERS", "*FILE", '2');
    request.restoreOnHost = true;
    host.react = [](const test::ScriptedHost::Call& call) -> std::optional<HostStatus> {
        if (call.op == Op::Command && call.argument.starts_with("RCMD CRTSAVF"))
            return HostStatus::Failed;
        return std::nullopt;
    };
    host.files["ZORVARST/SAVLIBS"] = "";  // the host job found nothing to restore

    EXPECT_EQ(Run(), RestoreOutcome::Complete);

    EXPECT_EQ(host.Arguments(Op::PutFile), std::vector<std::string>{"ZORVARST/SAVLIBS"});
    EXPECT_EQ(host.Arguments(Op::Command).back().substr(0, 12), " RCMD SBMJOB");
    EXPECT_EQ(RowStatuses(), (std::vector<std::string>{"SAVF作成失敗", "SAVF作成失敗"}));
    EXPECT_EQ(host.Arguments(Op::GetFile).size(), 1u);
}

TEST_F(RestoreEngineTest, LinesOfOtherLengthsKeepTheWaitGoingWhileFinishedOnesShow) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    AddObject("PAYLIB", "ORDERS", "*FILE", '2');
    AddObject("PAYLIB", "STOCK", "*FILE", '2');
    request.restoreOnHost = true;
    const std::string done = Line("PAYROLL", '0') + "\r\n";
    AnswerFetches({
        done + Line("ORDERS", '0').substr(0, 31) + "\r\n" + Line("STOCK", ' ') + "P\r\n",
        done + Line("ORDERS", '9') + "\r\n" + Line("STOCK", '0') + "PP\r\n",
        done + Line("ORDERS", '9') + "\r\n" + Line("STOCK", 'Z') + "\r\n",
    });
    std::vector<std::vector<std::string>> seen;
    waiter.onWait = [&](std::size_t) {
        clock.Advance(waiter.Waits().back());
        seen.push_back(RowStatuses());
    };

    EXPECT_EQ(Run(), RestoreOutcome::Complete);

    const std::vector<std::vector<std::string>> expected = {
        {"転送完了", "転送完了", "転送完了"},
        {"復元完了", "転送完了", "転送完了"},
        {"復元完了", "復元失敗", "転送完了"},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(RowStatuses(), (std::vector<std::string>{"復元完了", "復元失敗", "不明"}));
}

// While the host job waits in its job queue the list fetched back is the one the PC sent, as it
// is or with its trailing blanks trimmed by the host's FTP server: no answer yet.
class RestoreQueuedJobTest : public RestoreEngineTest, public testing::WithParamInterface<bool> {};

TEST_P(RestoreQueuedJobTest, ListAsSentKeepsTheWaitGoingWithoutResults) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    AddObject("PAYLIB", "ORDERS", "*FILE", ' ');  // its line ends in a blank option code
    request.restoreOnHost = true;
    const std::string orders = Line("ORDERS", ' ', "PAYLIB").substr(0, GetParam() ? 26 : 32);
    const std::string sent = Line("PAYROLL", '2', "PAYLIB") + "\r\n" + orders + "\r\n";
    AnswerFetches({sent, sent, Line("PAYROLL", '0') + "\r\n" + Line("ORDERS", '9') + "\r\n"});
    std::vector<std::vector<std::string>> seen;
    waiter.onWait = [&](std::size_t) { seen.push_back(RowStatuses()); };
    EXPECT_EQ(Run(), RestoreOutcome::Complete);
    EXPECT_EQ(seen, std::vector<std::vector<std::string>>(3, {"転送完了", "転送完了"}));
    EXPECT_EQ(RowStatuses(), (std::vector<std::string>{"復元完了", "復元失敗"}));
}

INSTANTIATE_TEST_SUITE_P(TrimmedOrNot, RestoreQueuedJobTest, testing::Bool());

TEST_F(RestoreEngineTest, JunkInTheListNeitherMatchesRowsNorEndsTheWait) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    request.restoreOnHost = true;
    std::string junk(32, '\0');
    junk[5] = '\x81';
    AnswerFetches(
        {std::string("\x00\x01\x02\xfe\r\n", 6) + junk + "\r\n" + Line("PAYROLL", 'P') + "P\r\n",
         Line("PAYROLL", '0') + "\n" + junk + "\n"});
    EXPECT_EQ(Run(), RestoreOutcome::Complete);
    EXPECT_EQ(RowStatuses(), std::vector<std::string>{"復元完了"});
    EXPECT_EQ(host.Arguments(Op::GetFile).size(), 2u);
}

TEST_F(RestoreEngineTest, HostThatNeverAnswersEndsAfterTenFailedFetches) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    request.restoreOnHost = true;
    host.react = [](const test::ScriptedHost::Call& call) -> std::optional<HostStatus> {
        if (call.op == Op::GetFile) return HostStatus::Failed;
        return std::nullopt;
    };

    EXPECT_EQ(Run(), RestoreOutcome::NoResponse);

    EXPECT_EQ(host.Arguments(Op::GetFile).size(), 10u);
    EXPECT_EQ(std::count(observer.messages.begin(), observer.messages.end(),
                         "SAVLIBSダウンロードに失敗しました"),
              10);
    EXPECT_EQ(observer.messages.back(), "DAILY ホストプログラムから応答が無い");
    EXPECT_EQ(waiter.WaitCount(), 11u);  // the eleventh poll gives up without fetching
}

TEST_F(RestoreEngineTest, TimeLimitCountsFromTheGivenStartAndEndsAStillRunningJob) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    request.restoreOnHost = true;
    wait.StartTimeLimit(clock.Now(), 1000ms);
    clock.Advance(550ms);  // the window was open a while before the run
    AnswerFetches({Line("PAYROLL", '0') + "P\r\n"});

    EXPECT_EQ(Run(), RestoreOutcome::TimedOut);

    EXPECT_EQ(host.Arguments(Op::GetFile).size(), 4u);  // at 650, 750, 850, 950 ms
    EXPECT_EQ(observer.messages.back(), "DAILY 復元処理のタイムアウト");
    EXPECT_EQ(clock.Elapsed(), 1000ms);
}

TEST_F(RestoreEngineTest, LimitAlreadyPassedEndsTheRunBeforeTheHostIsTouched) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    wait.StartTimeLimit(clock.Now(), 0ms);  // JOBTIMER absent
    host.react = [this](const test::ScriptedHost::Call& call) -> std::optional<HostStatus> {
        // What the session does with an interrupted waiter.
        if (wait.PollWaiter().Interrupted()) return HostStatus::Interrupted;
        (void)call;
        return std::nullopt;
    };
    EXPECT_EQ(Run(), RestoreOutcome::TimedOut);
    EXPECT_EQ(host.Arguments(Op::Command).size(), 0u);
    EXPECT_EQ(observer.messages, std::vector<std::string>{"DAILY 復元処理のタイムアウト"});
}

TEST_F(RestoreEngineTest, StopRequestDuringTheUploadEndsTheRunQuietly) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    AddObject("PAYLIB", "ORDERS", "*FILE", '2');
    request.restoreOnHost = true;
    host.react = [this](const test::ScriptedHost::Call& call) -> std::optional<HostStatus> {
        if (call.op == Op::PutFile) {
            waiter.Interrupt();  // the window is closed during the first upload
            return HostStatus::Interrupted;
        }
        return std::nullopt;
    };
    EXPECT_EQ(Run(), RestoreOutcome::Stopped);
    EXPECT_EQ(host.Arguments(Op::PutFile).size(), 1u);
    EXPECT_FALSE(Logged("DAILY 復元処理のタイムアウト"));
}

struct RefusalCase {
    std::string name;
    Op op;
    std::string argumentPrefix;  // refuse the calls of `op` whose argument starts so
    RestoreOutcome expectedOutcome;
    std::vector<std::string> expectedStatuses;
    std::vector<std::string> expectedMessages;  // each must be logged
    std::size_t expectedCommands;
};

class RestoreRefusalTest : public RestoreEngineTest,
                           public testing::WithParamInterface<RefusalCase> {};

TEST_P(RestoreRefusalTest, EachRefusalGetsItsTextAndStopsWhereItShould) {
    const RefusalCase& c = GetParam();
    AddObject("PAYLIB", "PAY*", "*FILE", '2');
    AddObject("PAYLIB", "ORDERS", "*FILE", '2');
    request.restoreOnHost = true;
    host.replyLines = {"550-Error occurred on command SBMJOB.",
                       "550 CPF1338: Job queue not found."};
    host.react = [&](const test::ScriptedHost::Call& call) -> std::optional<HostStatus> {
        if (call.op == c.op && call.argument.starts_with(c.argumentPrefix))
            return HostStatus::Failed;
        if (call.op == Op::Command && call.argument.starts_with(" RCMD SBMJOB"))
            host.files["ZORVARST/SAVLIBS"] = Line("ORDERS", '0') + "\r\n";  // the host job
        return std::nullopt;
    };
    const std::string listPath = engine.ListPath().string();

    EXPECT_EQ(Run(), c.expectedOutcome);

    EXPECT_EQ(RowStatuses(), c.expectedStatuses);
    for (std::string expected : c.expectedMessages) {
        if (expected.starts_with("LIST")) expected = listPath + expected.substr(4);
        EXPECT_TRUE(Logged(expected)) << expected;
    }
    EXPECT_EQ(host.Arguments(Op::Command).size(), c.expectedCommands);
}

const RefusalCase kRefusalCases[] = {
    {"ClearLibrary", Op::Command, "RCMD CLRLIB", RestoreOutcome::UploadFailed, {"", ""}, {}, 1},
    {"CreateOneSaveFile",
     Op::Command,
     "RCMD CRTSAVF ZORVARST/PAY#",
     RestoreOutcome::Complete,
     {"SAVF作成失敗", "復元完了"},
     {"ORDERSアップロード成功"},
     4},
    {"UploadOneObject",
     Op::PutFile,
     "ZORVARST/PAY#",
     RestoreOutcome::Complete,
     {"転送失敗", "復元完了"},
     {"PAY*アップロードに失敗しました"},
     4},
    {"UploadTheList",
     Op::PutFile,
     "ZORVARST/SAVLIBS",
     RestoreOutcome::UploadFailed,
     {"転送完了", "転送完了"},
     {"LISTアップロードに失敗しました"},
     3},
    {"SubmitTheJob",
     Op::Command,
     " RCMD SBMJOB",
     RestoreOutcome::UploadFailed,
     {"転送完了", "転送完了"},
     {"550-Error occurred on command SBMJOB.", "550 CPF1338: Job queue not found."},
     4},
    {"LogOn", Op::Open, "", RestoreOutcome::ConnectFailed, {"", ""}, {}, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, RestoreRefusalTest, testing::ValuesIn(kRefusalCases),
                         [](const auto& test) { return test.param.name; });

TEST_F(RestoreEngineTest, RefusedSubmitLogsTheServersReplyLinesAfterwardsInOrder) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    request.restoreOnHost = true;
    host.replyLines = {"550-Error occurred.", "550 CPF9898: refused."};
    host.Script(Op::Command, {HostStatus::Ok, HostStatus::Ok, HostStatus::Failed});
    EXPECT_EQ(Run(), RestoreOutcome::UploadFailed);
    const std::vector<std::string> tail(observer.messages.end() - 2, observer.messages.end());
    EXPECT_EQ(tail, host.replyLines);
    EXPECT_EQ(host.Arguments(Op::GetFile).size(), 0u);
}

TEST_F(RestoreEngineTest, NothingCheckedTouchesNoHost) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    request.rows[0].checked = false;
    EXPECT_EQ(Run(), RestoreOutcome::NothingChecked);
    EXPECT_TRUE(host.Calls().empty());
    EXPECT_TRUE(observer.messages.empty());
}

TEST_F(RestoreEngineTest, ListThatCannotBeWrittenSendsNothing) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    std::filesystem::create_directories(engine.ListPath());  // SAVLIBS is in the way
    EXPECT_EQ(Run(), RestoreOutcome::UploadFailed);
    EXPECT_EQ(observer.messages.back(),
              engine.ListPath().string() + "ローカルファイルが開けない：Is a directory");
    EXPECT_TRUE(host.Arguments(Op::Command).empty());
}

TEST_F(RestoreEngineTest, NameThatWouldChangeTheCommandIsNeverSent) {
    AddObject("PAYLIB", "A B", "*FILE", '2');
    AddObject("PAYLIB", "X)LIB(Y", "*FILE", '2');
    AddObject("PAYLIB", "OK", "*FILE", '2');
    EXPECT_EQ(Run(), RestoreOutcome::Uploaded);
    EXPECT_EQ(host.Arguments(Op::Command),
              (std::vector<std::string>{"RCMD CLRLIB ZORVARST ", "RCMD CRTSAVF ZORVARST/OK"}));
    EXPECT_EQ(RowStatuses(),
              (std::vector<std::string>{"SAVF作成失敗", "SAVF作成失敗", "転送完了"}));
    EXPECT_TRUE(Logged("RCMD CRTSAVF ZORVARST/A Bコマンド実行に失敗しました"));
}

TEST_F(RestoreEngineTest, RowWithoutObjectTableEntryTravelsAsUnprotectedSaveFile) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '5');
    request.objectTable.clear();
    EXPECT_EQ(Run(), RestoreOutcome::Uploaded);
    EXPECT_EQ(host.Arguments(Op::Command).back(), "RCMD CRTSAVF ZORVARST/PAYROLL");
    EXPECT_EQ(LocalList(), Line("PAYROLL", ' ', "PAYLIB") + "\r\n");
}

TEST_F(RestoreEngineTest, SecondRunReconnectsAndStartsFromFreshStatuses) {
    AddObject("PAYLIB", "PAYROLL", "*FILE", '2');
    request.restoreOnHost = true;
    AnswerFetches({Line("PAYROLL", '0') + "\r\n"});
    EXPECT_EQ(Run(), RestoreOutcome::Complete);
    AnswerFetches({Line("PAYROLL", '7') + "\r\n"});
    EXPECT_EQ(Run(), RestoreOutcome::Complete);
    EXPECT_EQ(host.Arguments(Op::Open).size(), 2u);
    EXPECT_EQ(RowStatuses(), std::vector<std::string>{"既に存在している"});
}

}  // namespace
}  // namespace zorva::qivrestore
