#include "qivftp/engine/JobEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <thread>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/Manifest.h"
#include "common/SavedData.h"
#include "common/SavlibsRecord.h"
#include "common/Settings.h"
#include "common/Sha256.h"
#include "qivftp/engine/TransferCommonFiles.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeSteadyClock.h"
#include "tests/support/InstantWaiter.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivftp {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The job's host: the shared scripted host, with progress lists served one per fetch (the last
// one repeated), save files made on the fly and hooks at the steps the tests interrupt.
struct JobHost {
    using Op = test::ScriptedHost::Op;

    std::deque<std::string> lists;
    std::set<std::string> failDownloads;
    HostStatus submitResult = HostStatus::Ok;
    std::vector<std::string> replyLines;
    std::function<void()> onOpen, onListFetch, onSubmit;
    std::function<void(const std::string&)> onDownload;
    std::function<HostStatus()> onChangeLibrary, onDelete;
    test::ScriptedHost* host = nullptr;  // the engine's, while it lives
    Waiter* waiter = nullptr;            // the waiter the engine gave its host

    std::unique_ptr<HostConnection> Make(Waiter& hostWaiter) {
        auto made = std::make_unique<test::ScriptedHost>();
        made->replyLines = replyLines;
        made->react = [this](const test::ScriptedHost::Call& call) { return React(call); };
        host = made.get();
        waiter = &hostWaiter;
        return made;
    }

    // The calls as "OPEN", "CWD lib", "STOR name", "CMD command", "RETR name", "DELE name".
    std::vector<std::string> Calls() const {
        static const std::map<Op, std::string> kVerbs{
            {Op::Open, "OPEN"},     {Op::Command, "CMD"},   {Op::SetCurrentLibrary, "CWD "},
            {Op::PutFile, "STOR "}, {Op::GetFile, "RETR "}, {Op::DeleteFile, "DELE "},
            {Op::List, "NLST "},    {Op::Close, "CLOSE"}};
        std::vector<std::string> texts;
        if (host == nullptr) return texts;
        for (const auto& call : host->Calls()) texts.push_back(kVerbs.at(call.op) + call.argument);
        return texts;
    }
    std::size_t Count(std::string_view prefix) const {
        const auto calls = Calls();
        return std::count_if(calls.begin(), calls.end(),
                             [&](const std::string& c) { return c.starts_with(prefix); });
    }
    // What was uploaded under `remote` (relative to the exchange library or qualified).
    std::optional<std::string> Upload(const std::string& remote) const {
        const std::string name =
            remote.find('/') == std::string::npos ? "ZORVADATA/" + remote : remote;
        if (host == nullptr || !host->files.contains(name)) return std::nullopt;
        return host->files.at(name);
    }
    // The retry policy of the last call of `op` whose argument starts with `prefix`.
    RetryPolicy RetryOf(Op op, std::string_view prefix) const {
        RetryPolicy policy{};
        for (const auto& call : host->Calls())
            if (call.op == op && call.argument.starts_with(prefix) && call.retry)
                policy = *call.retry;
        return policy;
    }

private:
    std::optional<HostStatus> React(const test::ScriptedHost::Call& call) {
        switch (call.op) {
            case Op::Open:
                if (onOpen) onOpen();
                return std::nullopt;
            case Op::SetCurrentLibrary:
                if (onChangeLibrary) return onChangeLibrary();
                return std::nullopt;
            case Op::Command:
                if (call.argument.find("SBMJOB") == std::string::npos) return std::nullopt;
                if (onSubmit) onSubmit();
                return submitResult;
            case Op::GetFile:
                return Serve(call.argument);
            case Op::DeleteFile:
                if (onDelete) return onDelete();
                return std::nullopt;
            default:
                return std::nullopt;
        }
    }
    std::optional<HostStatus> Serve(const std::string& remote) {
        if (remote.ends_with("/SAVLIBS")) {
            if (onListFetch) onListFetch();
            if (lists.empty()) return HostStatus::Failed;
            host->files[remote] = lists.front();
            if (lists.size() > 1) lists.pop_front();
            return std::nullopt;
        }
        if (onDownload) onDownload(remote);
        if (failDownloads.contains(remote)) return HostStatus::Failed;
        host->files[remote] = "savefile:" + remote;
        return std::nullopt;
    }
};

class RecordingView final : public JobView {
public:
    std::size_t Count() const override { return messages.size(); }
    void Clear() override { messages.clear(); }
    void InsertTop(const std::string& m) override { messages.insert(messages.begin(), m); }
    void ShowTitle(const std::string& d) override { title = d; }
    void ShowObjects(const std::vector<JobObjectRow>& rows) override { objects = rows.size(); }
    void AddDownloadRow(const JobObjectRow& row) override { downloads.push_back({row.object, ""}); }
    void SetDownloadState(std::size_t i, const std::string& s) override {
        downloads.at(i).second = s;
    }
    void SetStatus(const std::string& text) override { status = text; }

    bool HasMessage(const std::string& text) const {
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }

    std::vector<std::string> messages;  // newest first
    std::string title, status;
    std::size_t objects = 0;
    std::vector<std::pair<std::string, std::string>> downloads;
};

std::string Line(char kind, const std::string& object, const std::string& library,
                 const std::string& type, char status) {
    std::string line = BuildSavlibsRecord({kind, object, library, type, status});
    return line;
}

struct SentMail {
    bool sent = false;
    TransferJob job;
};

class JobEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program_ / "BACKUPSET");
        fs::create_directories(program_ / "LOG_DAT");
        WriteIni("60000", "500");
        WriteSet("1\t7");  // every day, seven days kept
    }

    void WriteIni(const std::string& jobTimer, const std::string& fileTimer) {
        std::string ini =
            "[DIRECTORIES]\r\nBACKUPSET=BACKUPSET\r\nBASEDIR=" + (save_ / "").string() +
            "\r\n[LOCAL]\r\nLOG=YES\r\n[HOST]\r\n" +
            "JOBQ=QGPL/QBATCH\r\n[MAIL]\r\nACT=YES\r\n[TIMER]\r\n";
        if (!jobTimer.empty()) ini += "JOBTIMER=" + jobTimer + "\r\n";
        ini += "FILETIMER=" + fileTimer + "\r\n";
        ASSERT_TRUE(WriteFileAtomically(program_ / "zorva.ini", ini));
    }

    void WriteSet(const std::string& dailyLine) {
        ASSERT_TRUE(WriteFileAtomically(
            program_ / "BACKUPSET" / "DAILY",
            "Nightly\r\n1\r\n1\t2200\r\n" + dailyLine +
                "\r\n \t\r\nPAYLIB\tPAYROLL\t*FILE\t2\t2\t\r\nQSYS\t*ALLUSR\t*LIB\t1\t1\t\r\n"));
    }

    void Run() {
        engine_.reset();
        host_.host = nullptr;
        engine_ = std::make_unique<JobEngine>(
            JobEnvironment{program_, "DAILY",
                           *ReadSettings(program_ / "zorva.ini", kTransferSettings)},
            clock_, waiter_, log_, view_,
            [this](const Settings&, Waiter& hostWaiter, HostSessionObserver&) {
                return host_.Make(hostWaiter);
            },
            [this](const TransferJob& job, const Settings&, Reporter&) {
                mail_ = {true, job};
            },
            steady_);
        engine_->Run();
    }

    std::string PayrollDone() { return Line('2', "PAYROLL", "PAYLIB", "*FILE", '0'); }
    std::string AllUsrDone() { return Line('1', "*ALLUSR", "QSYS", "*LIB", '0'); }
    std::string AllUsrFailed() { return Line('1', "*ALLUSR", "QSYS", "*LIB", '9'); }
    std::string Pending(const std::string& object) {
        return Line('2', object, "PAYLIB", "*FILE", 'P');
    }

    test::TempFolder root_;
    fs::path program_ = root_ / "program";
    fs::path save_ = root_ / "save";
    test::FakeClock clock_{2026, 3, 10, 22, 0};
    test::InstantWaiter waiter_;
    test::FakeSteadyClock steady_;  // moves by each wait, and where a test says so
    DailyLog log_{kTransferLogStyle, program_ / "LOG_DAT", true, clock_};
    RecordingView view_;
    JobHost host_;
    SentMail mail_;
    std::unique_ptr<JobEngine> engine_;
};

TEST(SubmitCommand, PlacesTheJobQueueUnchanged) {
    EXPECT_EQ(JobEngine::SubmitCommand("DAILY", "QGPL/QBATCH"),
              " RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVASAVE)  PARM('DAILY')) JOBQ(QGPL/QBATCH)");
    EXPECT_EQ(JobEngine::SubmitCommand("DAILY", "QBATCH"),
              " RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVASAVE)  PARM('DAILY')) JOBQ(QBATCH)");
    EXPECT_EQ(JobEngine::SubmitCommand("DAILY", ""),
              " RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVASAVE)  PARM('DAILY')) JOBQ()");
}

TEST_F(JobEngineTest, CompleteJobDownloadsDeletesAndReports) {
    host_.lists = {Pending("PAYROLL"), PayrollDone() + AllUsrDone()};
    Run();
    EXPECT_EQ(host_.Upload("DAILY"),
              "2PAYROLL   PAYLIB    *FILE     2\r\n1*ALLUSR   QSYS      *LIB      1\r\n");
    const fs::path generation = save_ / "DAILY" / "7" / "20260310";
    EXPECT_EQ(ReadFileBytes(generation / "PAYROLL"), "savefile:DAILY/PAYROLL");
    EXPECT_EQ(ReadFileBytes(generation / "#ALLUSR"), "savefile:DAILY/#ALLUSR");
    EXPECT_EQ(host_.Count("DELE DAILY/PAYROLL"), 1u);
    EXPECT_EQ(host_.Count("DELE DAILY/#ALLUSR"), 1u);
    EXPECT_EQ(host_.Calls().back(), "CLOSE");
    EXPECT_EQ(host_.Count("CMD RCMD DLTF DAILY/SAVLIBS"), 1u);
    EXPECT_TRUE(view_.HasMessage("DAILY 全ての転送が完了"));
    EXPECT_TRUE(view_.HasMessage("DAILY/#ALLUSR削除しました"));
    EXPECT_EQ(view_.downloads, (std::vector<std::pair<std::string, std::string>>{
                                   {"PAYROLL", "転送成功"}, {"*ALLUSR", "転送成功"}}));
    ASSERT_TRUE(mail_.sent);
    EXPECT_EQ(mail_.job.rows[0].rowStatus, RowStatus::Saved);
    EXPECT_EQ(mail_.job.rows[1].rowStatus, RowStatus::Saved);
    using Op = JobHost::Op;
    EXPECT_EQ(host_.RetryOf(Op::GetFile, "DAILY/SAVLIBS"), (RetryPolicy{61, 1s}));
    EXPECT_EQ(host_.RetryOf(Op::GetFile, "DAILY/PAYROLL"), (RetryPolicy{60, 10s}));
    EXPECT_EQ(host_.RetryOf(Op::SetCurrentLibrary, "ZORVADATA"), (RetryPolicy{61, 1s}));
    EXPECT_EQ(host_.RetryOf(Op::Command, " RCMD SBMJOB"), (RetryPolicy{61, 1s}));
    EXPECT_TRUE(
        fs::exists(program_ / "LOG_DAT" / "APP-202603102200-202603102200-DAILY-正常完了-.log"));
}

TEST_F(JobEngineTest, ThreeIncompletePollsThenCompleteArePeriodApart) {
    host_.lists = {
        Pending("PAYROLL"), Pending("PAYROLL") + AllUsrFailed(),
        PayrollDone().substr(0, 31) + "\r\n" + PayrollDone().substr(0, 32) + "X\r\n",  // 31, 33
        PayrollDone() + AllUsrFailed() + Line('2', "OTHER", "PAYLIB", "*FILE", '0')};
    Run();
    EXPECT_EQ(host_.Count("RETR DAILY/SAVLIBS"), 4u);
    EXPECT_EQ(waiter_.Waits(), std::vector<std::chrono::milliseconds>(4, 500ms));
    EXPECT_EQ(host_.Count("RETR DAILY/OTHER"), 0u);  // not in the set
    ASSERT_TRUE(mail_.sent);
    EXPECT_EQ(mail_.job.rows[0].rowStatus, RowStatus::Saved);
    EXPECT_EQ(mail_.job.rows[1].rowStatus, RowStatus::HostFailed);
    EXPECT_EQ(mail_.job.rows[1].downloadStart, kNoTime);
}

TEST_F(JobEngineTest, SavedThenFailedLineKeepsTheRowSaved) {
    host_.lists = {PayrollDone() + Line('2', "PAYROLL", "PAYLIB", "*FILE", '9') + AllUsrFailed()};
    host_.failDownloads = {};
    Run();
    EXPECT_EQ(mail_.job.rows[0].rowStatus, RowStatus::Saved);
    EXPECT_EQ(host_.Count("RETR DAILY/PAYROLL"), 1u);
}

TEST_F(JobEngineTest, FailedDownloadMarksTheRowAndKeepsTheHostFile) {
    host_.lists = {PayrollDone() + AllUsrDone()};
    host_.failDownloads = {"DAILY/#ALLUSR"};
    Run();
    EXPECT_EQ(mail_.job.rows[1].rowStatus, RowStatus::DownloadFailed);
    EXPECT_EQ(host_.Count("DELE DAILY/#ALLUSR"), 0u);
    EXPECT_TRUE(view_.HasMessage("DAILY/#ALLUSRダウンロードに失敗しました"));
    EXPECT_EQ(view_.downloads.at(1).second, "転送失敗");
    EXPECT_TRUE(
        fs::exists(program_ / "LOG_DAT" / "APP-202603102200-202603102200-DAILY-一部未完-.log"));
}

TEST_F(JobEngineTest, TenFailedFetchesMeanTheHostDoesNotAnswer) {
    host_.lists = {};
    Run();
    EXPECT_EQ(host_.Count("RETR DAILY/SAVLIBS"), 10u);
    EXPECT_EQ(waiter_.WaitCount(), 11u);  // the eleventh poll gives up without a fetch
    EXPECT_TRUE(view_.HasMessage("DAILY/SAVLIBSダウンロードに失敗しました"));
    EXPECT_EQ(view_.messages.front(), "DAILY AS側プログラムから応答が無い");
    EXPECT_EQ(host_.Count("CMD RCMD DLTF"), 0u);
}

TEST_F(JobEngineTest, RefusedSubmitLogsEachReplyLine) {
    host_.submitResult = HostStatus::Failed;
    host_.replyLines = {"550-Error occurred on command SBMJOB.",
                        "550 CPF1338: Job queue not found."};
    Run();
    // Newest first: the two reply lines are the last messages, in reply order.
    ASSERT_GE(view_.messages.size(), 2u);
    EXPECT_EQ(view_.messages[1], "550-Error occurred on command SBMJOB.");
    EXPECT_EQ(view_.messages[0], "550 CPF1338: Job queue not found.");
    EXPECT_EQ(host_.Count("RETR"), 0u);
    EXPECT_EQ(waiter_.WaitCount(), 0u);
    EXPECT_EQ(mail_.job.rows[0].rowStatus, RowStatus::Pending);
    EXPECT_TRUE(
        fs::exists(program_ / "LOG_DAT" / "APP-202603102200-202603102200-DAILY-異常終了-.log"));
}

TEST_F(JobEngineTest, TimeLimitEndingTheSubmitRetriesLogsTheHostsLastReplyFirst) {
    host_.replyLines = {"550 CPF1338: Job queue not found."};
    host_.submitResult = HostStatus::Interrupted;
    host_.onSubmit = [this] { steady_.Advance(61s); };  // past JOBTIMER, counted from the log-on
    Run();
    ASSERT_GE(view_.messages.size(), 3u);  // newest first
    EXPECT_EQ(view_.messages[2],
              JobEngine::SubmitCommand("DAILY", "QGPL/QBATCH") + "コマンド実行に失敗しました");
    EXPECT_EQ(view_.messages[1], host_.replyLines[0]);
    EXPECT_EQ(view_.messages[0], "DAILY バックアップジョブのタイムアウト");
}

TEST_F(JobEngineTest, AStopFileThatCannotBeWrittenNamesTheSystemsReason) {
    fs::create_directories(program_ / "STOP");  // a folder where the file should go
    host_.lists = {Pending("PAYROLL")};
    host_.onListFetch = [this] { engine_->RequestStop(StopReason::CancelButton); };
    Run();
    EXPECT_TRUE(view_.HasMessage("ファイルSTOPが作れない：Is a directory"));
}

TEST_F(JobEngineTest, CancelAfterSubmissionSendsTheStopRequest) {
    host_.lists = {Pending("PAYROLL")};
    host_.onListFetch = [this] { engine_->RequestStop(StopReason::CancelButton); };
    Run();
    EXPECT_EQ(host_.Upload("DAILY/STOP"), "DAILY");
    EXPECT_EQ(ReadFileBytes(program_ / "STOP"), "DAILY");
    EXPECT_TRUE(view_.HasMessage("中止処理中..."));
    EXPECT_TRUE(mail_.job.cancelledByButton);
    EXPECT_FALSE(mail_.job.timedOut);
    EXPECT_EQ(host_.Calls().back(), "CLOSE");
}

TEST_F(JobEngineTest, CancelBeforeSubmissionSetsNoFlagAndSendsNothing) {
    host_.onOpen = [this] { engine_->RequestStop(StopReason::CancelButton); };
    Run();
    EXPECT_EQ(host_.Count("STOR"), 0u);
    EXPECT_EQ(host_.Count("CMD"), 0u);
    EXPECT_TRUE(view_.HasMessage("中止処理中..."));
    ASSERT_TRUE(mail_.sent);
    EXPECT_FALSE(mail_.job.cancelledByButton);
}

TEST_F(JobEngineTest, ClosingTheWindowSendsNoStopRequest) {
    host_.lists = {Pending("PAYROLL")};
    host_.onListFetch = [this] { engine_->RequestStop(StopReason::WindowClosed); };
    Run();
    EXPECT_FALSE(host_.Upload("DAILY/STOP").has_value());
    EXPECT_FALSE(mail_.job.cancelledByButton);
    EXPECT_FALSE(view_.HasMessage("中止処理中..."));
    EXPECT_TRUE(mail_.sent);
}

TEST_F(JobEngineTest, AbsentJobTimerEndsTheJobAsTimedOutRightAfterSubmission) {
    WriteIni("", "0");
    host_.lists = {Pending("PAYROLL")};
    Run();
    EXPECT_EQ(host_.Count("CMD RCMD SBMJOB"), 1u);
    EXPECT_EQ(host_.Count("RETR"), 0u);
    EXPECT_TRUE(mail_.job.timedOut);
    EXPECT_TRUE(view_.HasMessage("DAILY バックアップジョブのタイムアウト"));
    EXPECT_FALSE(host_.Upload("DAILY/STOP").has_value());
}

TEST_F(JobEngineTest, MissingSetFileEndsBeforeAnyHostContact) {
    fs::remove(program_ / "BACKUPSET" / "DAILY");
    Run();
    EXPECT_TRUE(host_.Calls().empty());
    EXPECT_FALSE(fs::exists(program_ / "BACKUPSET" / "DAILY"));
    EXPECT_TRUE(view_.HasMessage("バックアップセット：DAILYを読み取ることが出来ない"));
    EXPECT_TRUE(mail_.sent);
    EXPECT_TRUE(fs::exists(program_ / "LOG_DAT" / "APP-202603102200-202603102200-DAILY--.log"));
}

TEST_F(JobEngineTest, SaveFolderThatCannotBeMadeEndsBeforeConnecting) {
    ASSERT_TRUE(WriteFileAtomically(save_, "a file where the base folder should be"));
    Run();
    EXPECT_TRUE(host_.Calls().empty());
    EXPECT_TRUE(mail_.sent);
}

TEST_F(JobEngineTest, EveryDaySetPurgesBeforeConnectingAndWeekdaySetDoesNot) {
    const fs::path old = save_ / "DAILY" / "7" / "20260101";
    fs::create_directories(old);
    host_.onOpen = [&] {
        EXPECT_FALSE(fs::exists(old));  // gone before the host is contacted
        engine_->RequestStop(StopReason::WindowClosed);
    };
    Run();
    EXPECT_FALSE(fs::exists(old));

    fs::create_directories(old);
    WriteSet("2\t1111111");
    host_.onOpen = [&] { engine_->RequestStop(StopReason::WindowClosed); };
    Run();
    EXPECT_TRUE(fs::exists(old));
    EXPECT_TRUE(fs::is_directory(save_ / "DAILY" / "Tuesday"));
}

TEST_F(JobEngineTest, ObjectNamesNeverLeaveTheSaveFolder) {
    ASSERT_TRUE(WriteFileAtomically(program_ / "BACKUPSET" / "DAILY",
                                    "Nightly\r\n1\r\n1\t2200\r\n1\t7\r\n \t\r\n"
                                    "PAYLIB\t..\t*FILE\t2\t2\t\r\n"));
    host_.lists = {Line('2', "..", "PAYLIB", "*FILE", '0')};
    Run();
    EXPECT_EQ(host_.Count("RETR DAILY/.."), 0u);
    EXPECT_EQ(mail_.job.rows[0].rowStatus, RowStatus::DownloadFailed);
}

// --- a hostile host, a careless disk and stop requests at awkward moments

// JOBTIMER bounds the steps from the log-on to the submit and, counted again from the submit,
// the wait; host steps that outlast it are cut short by the waiter the engine gave its host.
struct TimeLimitCase {
    std::string label;
    std::string jobTimer;
    std::chrono::milliseconds atLibrary;  // host time the CWD takes
    std::chrono::milliseconds atFetch;    // host time each list fetch takes
    std::size_t submits;
    std::size_t listFetches;
    bool timedOut;
};

class JobTimeLimit : public JobEngineTest, public ::testing::WithParamInterface<TimeLimitCase> {
protected:
    void SetUp() override {
        JobEngineTest::SetUp();
        steady_.Follow(waiter_);
    }
    // A step that takes `duration` and is cut short when the limit passes meanwhile.
    HostStatus Takes(std::chrono::milliseconds duration) {
        steady_.Advance(duration);
        return host_.waiter->Interrupted() ? HostStatus::Interrupted : HostStatus::Ok;
    }
};

TEST_P(JobTimeLimit, EndsTheJobAsTimedOutOnlyWhenItPasses) {
    const TimeLimitCase& c = GetParam();
    WriteIni(c.jobTimer, "500");
    host_.lists = {Pending("PAYROLL"), PayrollDone() + AllUsrDone()};
    host_.onChangeLibrary = [&] { return Takes(c.atLibrary); };
    host_.onListFetch = [&] { steady_.Advance(c.atFetch); };
    Run();
    EXPECT_EQ(host_.Count("CMD RCMD SBMJOB"), c.submits);
    EXPECT_EQ(host_.Count("RETR DAILY/SAVLIBS"), c.listFetches);
    EXPECT_EQ(view_.HasMessage("DAILY バックアップジョブのタイムアウト"), c.timedOut);
    EXPECT_EQ(view_.HasMessage("DAILY 全ての転送が完了"), !c.timedOut);
    ASSERT_TRUE(mail_.sent);
    EXPECT_EQ(mail_.job.timedOut, c.timedOut);
    EXPECT_FALSE(host_.Upload("DAILY/STOP").has_value());  // a time-out sends no stop request
    EXPECT_EQ(host_.Calls().back(), "CLOSE");
}

INSTANTIATE_TEST_SUITE_P(
    Steps, JobTimeLimit,
    ::testing::Values(TimeLimitCase{"WellWithin", "60000", 10ms, 10ms, 1, 2, false},
                      TimeLimitCase{"SilentHostBeforeTheSubmit", "50", 51ms, 0ms, 0, 0, true},
                      // 1,199 ms before the submit and two waits of 500 ms after it.
                      TimeLimitCase{"CountedAgainFromTheSubmit", "1200", 1199ms, 0ms, 1, 2, false},
                      // Waits of 500 ms against 800 ms: the second wait meets the limit.
                      TimeLimitCase{"PassesWhileWaiting", "800", 0ms, 0ms, 1, 1, true},
                      TimeLimitCase{"PassesDuringAFetch", "1200", 0ms, 1200ms, 1, 1, true}),
    [](const auto& test) { return test.param.label; });

struct SubmitStopCase {
    std::string label;
    StopReason reason;
    bool stopSent;
    HostStatus submitResult = HostStatus::Interrupted;
};

class InterruptedSubmit : public JobEngineTest,
                          public ::testing::WithParamInterface<SubmitStopCase> {};

// The host may have accepted a submit whose reply never came, or did accept one while a cancel
// came: a cancel then stops that job.
TEST_P(InterruptedSubmit, CountsAsPossiblySubmitted) {
    host_.onSubmit = [this] { engine_->RequestStop(GetParam().reason); };
    host_.submitResult = GetParam().submitResult;
    Run();
    EXPECT_EQ(host_.Upload("DAILY/STOP").has_value(), GetParam().stopSent);
    ASSERT_TRUE(mail_.sent);
    EXPECT_EQ(mail_.job.cancelledByButton, GetParam().stopSent);
    EXPECT_EQ(host_.Count("RETR"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, InterruptedSubmit,
    ::testing::Values(SubmitStopCase{"Cancel", StopReason::CancelButton, true},
                      SubmitStopCase{"WindowClosed", StopReason::WindowClosed, false},
                      SubmitStopCase{"CancelDuringAnAcceptedSubmit", StopReason::CancelButton, true,
                                     HostStatus::Ok}),
    [](const auto& test) { return test.param.label; });

class StopAfterDownload : public JobEngineTest, public ::testing::WithParamInterface<StopReason> {};

// A stop between a completed download and its host delete: the delete is still made (once),
// so the host's copy does not outlive the good local one.
TEST_P(StopAfterDownload, TheSaveFileIsStillDeletedOnTheHostOnce) {
    host_.lists = {PayrollDone() + Pending("*ALLUSR")};
    bool stopped = false;
    host_.onDelete = [this, &stopped] {
        if (stopped) return HostStatus::Ok;
        stopped = true;
        engine_->RequestStop(GetParam());
        return HostStatus::Interrupted;  // the session's answer to a stop before it starts
    };
    Run();
    EXPECT_EQ(host_.Count("DELE DAILY/PAYROLL"), 2u);  // the cut-short call, then the real one
    EXPECT_TRUE(view_.HasMessage("DAILY/PAYROLL削除しました"));
    EXPECT_FALSE(view_.HasMessage("DAILY/PAYROLL削除に失敗しました"));
    EXPECT_EQ(mail_.job.rows[0].rowStatus, RowStatus::Saved);
    EXPECT_EQ(host_.Calls().back(), "CLOSE");
}

INSTANTIATE_TEST_SUITE_P(Reasons, StopAfterDownload,
                         ::testing::Values(StopReason::CancelButton, StopReason::WindowClosed,
                                           StopReason::TimeLimit));

TEST_F(JobEngineTest, RowsSharingASaveFileNameAreFailedAtOnceAndNeverRequested) {
    ASSERT_TRUE(WriteFileAtomically(program_ / "BACKUPSET" / "DAILY",
                                    "Nightly\r\n1\r\n1\t2200\r\n1\t7\r\n \t\r\n"
                                    "LIBA\tCUST\t*FILE\t2\t2\t\r\n"
                                    "LIBB\tCUST\t*FILE\t2\t2\t\r\n"
                                    "QSYS\t*ALLUSR\t*LIB\t1\t1\t\r\n"
                                    "LIBC\t#ALLUSR\t*FILE\t2\t2\t\r\n"));
    host_.lists = {Line('2', "CUST", "LIBA", "*FILE", '0') + AllUsrDone()};
    Run();
    EXPECT_EQ(host_.Upload("DAILY"),
              "2CUST      LIBA      *FILE     2\r\n1*ALLUSR   QSYS      *LIB      1\r\n");
    ASSERT_TRUE(mail_.sent);
    const auto& rows = mail_.job.rows;
    EXPECT_EQ(rows[0].rowStatus, RowStatus::Saved);
    EXPECT_EQ(rows[1].rowStatus, RowStatus::DownloadFailed);
    EXPECT_EQ(rows[2].rowStatus, RowStatus::Saved);
    EXPECT_EQ(rows[3].rowStatus, RowStatus::DownloadFailed);
    EXPECT_EQ(host_.Count("RETR DAILY/SAVLIBS"), 1u);  // no wait for the left-out rows
    EXPECT_EQ(host_.Count("RETR DAILY/CUST"), 1u);
    EXPECT_TRUE(view_.HasMessage("LIBB/CUSTはLIBA/CUSTと保管ファイル名CUSTが同じため保管しません"));
    EXPECT_TRUE(view_.HasMessage(
        "LIBC/#ALLUSRはQSYS/*ALLUSRと保管ファイル名#ALLUSRが同じため保管しません"));
    EXPECT_TRUE(
        fs::exists(program_ / "LOG_DAT" / "APP-202603102200-202603102200-DAILY-一部未完-.log"));
}

// The session speaks UTF-8: the engine neither encodes names and the job queue nor decodes
// the server's reply a second time.
TEST_F(JobEngineTest, TextsCrossTheHostInterfaceAsUtf8Once) {
    std::string ini = ReadFileBytes(program_ / "zorva.ini").value();
    ini.replace(ini.find("JOBQ=QGPL/QBATCH"), 16, "JOBQ=" + ToCp932("QGPL/夜間"));
    ASSERT_TRUE(WriteFileAtomically(program_ / "zorva.ini", ini));
    ASSERT_TRUE(WriteFileAtomically(program_ / "BACKUPSET" / "DAILY",
                                    ToCp932("Nightly\r\n1\r\n1\t2200\r\n1\t7\r\n \t\r\n"
                                            "PAYLIB\t給与\t*FILE\t2\t2\t\r\n")));
    host_.submitResult = HostStatus::Failed;
    host_.replyLines = {"550 ジョブ待ち行列QGPL/夜間が見つかりません。"};
    Run();
    EXPECT_EQ(host_.Count("CMD RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVASAVE)  PARM('DAILY')) "
                          "JOBQ(QGPL/夜間)"),
              1u);
    EXPECT_EQ(view_.messages.front(), "550 ジョブ待ち行列QGPL/夜間が見つかりません。");
    EXPECT_EQ(view_.status, "550 ジョブ待ち行列QGPL/夜間が見つかりません。");
    // The request file is content: CP932 there.
    EXPECT_NE(host_.Upload("DAILY").value_or("").find(ToCp932("給与")), std::string::npos);
}

TEST_F(JobEngineTest, ADownloadedNonAsciiObjectIsFetchedAndDeletedByItsUtf8Name) {
    ASSERT_TRUE(WriteFileAtomically(program_ / "BACKUPSET" / "DAILY",
                                    ToCp932("Nightly\r\n1\r\n1\t2200\r\n1\t7\r\n \t\r\n"
                                            "PAYLIB\t給与\t*FILE\t2\t2\t\r\n")));
    host_.lists = {BuildSavlibsRecord({'2', ToCp932("給与"), "PAYLIB", "*FILE", '0'})};
    Run();
    EXPECT_EQ(host_.Count("RETR DAILY/給与"), 1u);
    EXPECT_EQ(host_.Count("DELE DAILY/給与"), 1u);
    EXPECT_EQ(ReadFileBytes(save_ / "DAILY" / "7" / "20260310" / "給与"), "savefile:DAILY/給与");
}

struct BaseDirCase {
    std::string label;
    std::string baseDir;
};

class UnusableBaseDir : public JobEngineTest, public ::testing::WithParamInterface<BaseDirCase> {};

// An empty or relative BASEDIR would put the save folders into the program folder, where the
// set's folder is its request file.
TEST_P(UnusableBaseDir, EndsTheJobBeforeAnyHostContact) {
    std::string ini = ReadFileBytes(program_ / "zorva.ini").value();
    const std::size_t at = ini.find("BASEDIR=");
    ini.replace(at, ini.find("\r\n", at) - at, "BASEDIR=" + GetParam().baseDir);
    ASSERT_TRUE(WriteFileAtomically(program_ / "zorva.ini", ini));
    Run();
    EXPECT_TRUE(host_.Calls().empty());
    EXPECT_TRUE(view_.HasMessage("保管用ベースディレクトリの指定が不正です"));
    EXPECT_EQ(view_.status, "保管用ベースディレクトリの指定が不正です");
    EXPECT_FALSE(fs::exists(program_ / "DAILY"));
    EXPECT_FALSE(fs::exists(program_ / "BACKUPSET" / "DAILY" / "7"));
    EXPECT_TRUE(mail_.sent);
    EXPECT_TRUE(
        fs::exists(program_ / "LOG_DAT" / "APP-202603102200-202603102200-DAILY-異常終了-.log"));
}

INSTANTIATE_TEST_SUITE_P(Values, UnusableBaseDir,
                         ::testing::Values(BaseDirCase{"Empty", ""}, BaseDirCase{"Blank", "  "},
                                           BaseDirCase{"Relative", "BACKUPSET"},
                                           BaseDirCase{"Dot", "."}),
                         [](const auto& test) { return test.param.label; });

TEST_F(JobEngineTest, LeftoverTemporariesOfAKilledRunAreRemovedFromTheGenerationFolder) {
    WriteSet("2\t1111111");  // weekday folders are never purged
    const fs::path generation = save_ / "DAILY" / "Tuesday";
    fs::create_directories(generation);
    const fs::path leftover = generation / DownloadTemporaryName("PAYROLL", 0x1234abcd);
    ASSERT_TRUE(WriteFileAtomically(leftover, "half of a save file"));
    ASSERT_TRUE(WriteFileAtomically(generation / "PAYROLL", "last week's save file"));
    ASSERT_TRUE(WriteFileAtomically(generation / ".hidden", "not ours"));
    host_.onOpen = [this] { engine_->RequestStop(StopReason::WindowClosed); };
    Run();
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_EQ(ReadFileBytes(generation / "PAYROLL"), "last week's save file");
    EXPECT_TRUE(fs::exists(generation / ".hidden"));
}

TEST_F(JobEngineTest, SettingsReadableByOthersAreWarnedAboutOnce) {
    fs::permissions(program_ / "zorva.ini", fs::perms(0644));
    host_.onOpen = [this] { engine_->RequestStop(StopReason::WindowClosed); };
    Run();
    const std::string warning = SettingsReadableWarning(program_ / "zorva.ini");
    EXPECT_EQ(std::count(view_.messages.begin(), view_.messages.end(), warning), 1);

    view_.messages.clear();
    fs::permissions(program_ / "zorva.ini", fs::perms(0600));
    Run();
    EXPECT_FALSE(view_.HasMessage(warning));
}

TEST_F(JobEngineTest, FoldersMadeForSavedDataArePrivate) {
    host_.onOpen = [this] { engine_->RequestStop(StopReason::WindowClosed); };
    Run();
    for (const fs::path& folder :
         {save_, save_ / "DAILY", save_ / "DAILY" / "7", save_ / "DAILY" / "7" / "20260310"}) {
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all)
            << folder;
    }
}

// A file's line is gone before a new file takes its name and comes back only once that file is
// complete: a run killed at any moment leaves lines that match their files.
TEST_F(JobEngineTest, ManifestLinesOnlyEverDescribeCompleteFiles) {
    const fs::path generation = save_ / "DAILY" / "7" / "20260310";
    fs::create_directories(generation);
    const std::string old(64, 'a');
    ASSERT_TRUE(WriteManifest(generation, Manifest{{{"#ALLUSR", old}, {"PAYROLL", old}}}));
    std::map<std::string, std::optional<std::string>> atDownload;
    host_.onDownload = [&](const std::string& remote) {
        atDownload[remote] = ReadManifest(generation)->DigestOf(remote.substr(6));
    };
    host_.lists = {PayrollDone() + AllUsrDone()};
    host_.failDownloads = {"DAILY/#ALLUSR"};
    Run();
    EXPECT_EQ(atDownload, (std::map<std::string, std::optional<std::string>>{
                              {"DAILY/#ALLUSR", std::nullopt}, {"DAILY/PAYROLL", std::nullopt}}));
    Sha256 hash;
    const std::string payroll = "savefile:DAILY/PAYROLL";
    hash.Update(payroll.data(), payroll.size());
    EXPECT_EQ(ReadManifest(generation).value(), (Manifest{{{"PAYROLL", hash.HexDigest()}}}));
}

}  // namespace
}  // namespace zorva::qivftp
