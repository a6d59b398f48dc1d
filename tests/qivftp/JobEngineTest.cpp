#include "qivftp/engine/JobEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <thread>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/SavedData.h"
#include "common/SavlibsRecord.h"
#include "common/Settings.h"
#include "tests/support/FakeClock.h"
#include "tests/support/InstantWaiter.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivftp {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A host whose answers the test scripts. Progress lists are served one per fetch; the last
// one is repeated.
class ScriptedHost final : public TransferHost {
public:
    HostResult Open() override {
        calls.push_back("OPEN");
        if (onOpen) onOpen();
        return openResult;
    }
    HostResult ChangeLibrary(const std::string& library, Attempts attempts) override {
        calls.push_back("CWD " + library);
        attemptsOf["CWD"] = attempts;
        return onChangeLibrary ? onChangeLibrary() : HostResult::Ok;
    }
    HostResult PutText(const fs::path& local, const std::string& remote) override {
        calls.push_back("STOR " + remote);
        uploads[remote] = ReadFileBytes(local).value_or("<unreadable>");
        return HostResult::Ok;
    }
    HostResult Command(const std::string& command, Attempts attempts) override {
        calls.push_back("CMD" + command);
        attemptsOf[command.substr(0, 11)] = attempts;
        if (command.find("SBMJOB") == std::string::npos) return HostResult::Ok;
        if (onSubmit) onSubmit();
        return submitResult;
    }
    std::vector<std::string> LastReplyLines() const override { return replyLines; }
    HostResult Get(const std::string& remote, const fs::path& local, bool binary,
                   Attempts attempts) override {
        calls.push_back("RETR " + remote);
        if (remote.ends_with("/SAVLIBS")) {
            attemptsOf["LIST"] = attempts;
            if (onListFetch) onListFetch();
            if (lists.empty()) return HostResult::Failed;
            std::string list = lists.front();
            if (lists.size() > 1) lists.pop_front();
            return WriteFileAtomically(local, list) ? HostResult::Ok : HostResult::Failed;
        }
        attemptsOf["SAVF"] = attempts;
        EXPECT_TRUE(binary);
        if (failDownloads.contains(remote)) return HostResult::Failed;
        return WriteFileAtomically(local, "savefile:" + remote) ? HostResult::Ok
                                                                : HostResult::Failed;
    }
    HostResult Delete(const std::string& remote) override {
        calls.push_back("DELE " + remote);
        if (onDelete) return onDelete();
        return HostResult::Ok;
    }
    void Close() override { calls.push_back("CLOSE"); }

    std::size_t Count(std::string_view prefix) const {
        return std::count_if(calls.begin(), calls.end(),
                             [&](const std::string& c) { return c.starts_with(prefix); });
    }

    HostResult openResult = HostResult::Ok;
    HostResult submitResult = HostResult::Ok;
    std::vector<std::string> replyLines;
    std::deque<std::string> lists;
    std::set<std::string> failDownloads;
    std::function<void()> onOpen, onListFetch, onSubmit;
    std::function<HostResult()> onChangeLibrary, onDelete;
    std::vector<std::string> calls;
    std::map<std::string, std::string> uploads;
    std::map<std::string, Attempts> attemptsOf;
};

class RecordingView final : public JobView {
public:
    std::size_t Count() const override { return messages.size(); }
    void Clear() override { messages.clear(); }
    void InsertTop(const std::string& m) override { messages.insert(messages.begin(), m); }
    void ShowTitle(const std::string& d) override { title = d; }
    void ShowObjects(const std::vector<JobObjectRow>& rows) override { objects = rows.size(); }
    void AddDownloadRow(const JobObjectRow& row) override { downloads.push_back({row.Object, ""}); }
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
        engine_ = std::make_unique<JobEngine>(
            JobEnvironment{program_, "DAILY"}, clock_, waiter_, log_, view_,
            [this](const Settings&, Waiter&, Reporter&) {
                return std::unique_ptr<TransferHost>(new Forwarder(host_));
            },
            [this](const TransferJob& job, const Settings&, Reporter&) {
                mail_ = {true, job};
            });
        engine_->Run();
    }

    std::string PayrollDone() { return Line('2', "PAYROLL", "PAYLIB", "*FILE", '0'); }
    std::string AllUsrDone() { return Line('1', "*ALLUSR", "QSYS", "*LIB", '0'); }
    std::string AllUsrFailed() { return Line('1', "*ALLUSR", "QSYS", "*LIB", '9'); }
    std::string Pending(const std::string& object) {
        return Line('2', object, "PAYLIB", "*FILE", 'P');
    }

    // Hands the engine a host it does not own, so the test can inspect it afterwards.
    class Forwarder final : public TransferHost {
    public:
        explicit Forwarder(ScriptedHost& host) : h_(host) {}
        HostResult Open() override { return h_.Open(); }
        HostResult ChangeLibrary(const std::string& l, Attempts a) override {
            return h_.ChangeLibrary(l, a);
        }
        HostResult PutText(const fs::path& p, const std::string& r) override {
            return h_.PutText(p, r);
        }
        HostResult Command(const std::string& c, Attempts a) override { return h_.Command(c, a); }
        std::vector<std::string> LastReplyLines() const override { return h_.LastReplyLines(); }
        HostResult Get(const std::string& r, const fs::path& p, bool b, Attempts a) override {
            return h_.Get(r, p, b, a);
        }
        HostResult Delete(const std::string& r) override { return h_.Delete(r); }
        void Close() override { h_.Close(); }

    private:
        ScriptedHost& h_;
    };

    test::TempFolder root_;
    fs::path program_ = root_ / "program";
    fs::path save_ = root_ / "save";
    test::FakeClock clock_{2026, 3, 10, 22, 0};
    test::InstantWaiter waiter_;
    DailyLog log_{Program::TransferAgent, program_ / "LOG_DAT", 1, clock_};
    RecordingView view_;
    ScriptedHost host_;
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
    EXPECT_EQ(host_.uploads["DAILY"],
              "2PAYROLL   PAYLIB    *FILE     2\r\n1*ALLUSR   QSYS      *LIB      1\r\n");
    const fs::path generation = save_ / "DAILY" / "7" / "20260310";
    EXPECT_EQ(ReadFileBytes(generation / "PAYROLL"), "savefile:DAILY/PAYROLL");
    EXPECT_EQ(ReadFileBytes(generation / "#ALLUSR"), "savefile:DAILY/#ALLUSR");
    EXPECT_EQ(host_.Count("DELE DAILY/PAYROLL"), 1u);
    EXPECT_EQ(host_.Count("DELE DAILY/#ALLUSR"), 1u);
    EXPECT_EQ(host_.calls.back(), "CLOSE");
    EXPECT_EQ(host_.Count("CMD RCMD DLTF DAILY/SAVLIBS"), 1u);
    EXPECT_TRUE(view_.HasMessage("DAILY 全ての転送が完了"));
    EXPECT_TRUE(view_.HasMessage("DAILY/#ALLUSR削除しました"));
    EXPECT_EQ(view_.downloads, (std::vector<std::pair<std::string, std::string>>{
                                   {"PAYROLL", "転送成功"}, {"*ALLUSR", "転送成功"}}));
    ASSERT_TRUE(mail_.sent);
    EXPECT_EQ(mail_.job.Rows[0].RowStatus, kSaved);
    EXPECT_EQ(mail_.job.Rows[1].RowStatus, kSaved);
    EXPECT_EQ(host_.attemptsOf["LIST"].count, 61);
    EXPECT_EQ(host_.attemptsOf["SAVF"].count, 60);
    EXPECT_EQ(host_.attemptsOf["SAVF"].pause, 10s);
    EXPECT_EQ(host_.attemptsOf["CWD"].count, 61);
    EXPECT_EQ(host_.attemptsOf[" RCMD SBMJO"].count, 61);
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
    EXPECT_EQ(mail_.job.Rows[0].RowStatus, kSaved);
    EXPECT_EQ(mail_.job.Rows[1].RowStatus, kHostFailed);
    EXPECT_EQ(mail_.job.Rows[1].DownloadStart, kNoTime);
}

TEST_F(JobEngineTest, SavedThenFailedLineKeepsTheRowSaved) {
    host_.lists = {PayrollDone() + Line('2', "PAYROLL", "PAYLIB", "*FILE", '9') + AllUsrFailed()};
    host_.failDownloads = {};
    Run();
    EXPECT_EQ(mail_.job.Rows[0].RowStatus, kSaved);
    EXPECT_EQ(host_.Count("RETR DAILY/PAYROLL"), 1u);
}

TEST_F(JobEngineTest, FailedDownloadMarksTheRowAndKeepsTheHostFile) {
    host_.lists = {PayrollDone() + AllUsrDone()};
    host_.failDownloads = {"DAILY/#ALLUSR"};
    Run();
    EXPECT_EQ(mail_.job.Rows[1].RowStatus, kDownloadFailed);
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
    host_.submitResult = HostResult::Failed;
    host_.replyLines = {"550-Error occurred on command SBMJOB.",
                        "550 CPF1338: Job queue not found."};
    Run();
    // Newest first: the two reply lines are the last messages, in reply order.
    ASSERT_GE(view_.messages.size(), 2u);
    EXPECT_EQ(view_.messages[1], "550-Error occurred on command SBMJOB.");
    EXPECT_EQ(view_.messages[0], "550 CPF1338: Job queue not found.");
    EXPECT_EQ(host_.Count("RETR"), 0u);
    EXPECT_EQ(waiter_.WaitCount(), 0u);
    EXPECT_EQ(mail_.job.Rows[0].RowStatus, kPending);
    EXPECT_TRUE(
        fs::exists(program_ / "LOG_DAT" / "APP-202603102200-202603102200-DAILY-異常終了-.log"));
}

TEST_F(JobEngineTest, CancelAfterSubmissionSendsTheStopRequest) {
    host_.lists = {Pending("PAYROLL")};
    host_.onListFetch = [this] { engine_->RequestStop(StopReason::CancelButton); };
    Run();
    EXPECT_EQ(host_.uploads["DAILY/STOP"], "DAILY");
    EXPECT_EQ(ReadFileBytes(program_ / "STOP"), "DAILY");
    EXPECT_TRUE(view_.HasMessage("中止処理中..."));
    EXPECT_TRUE(mail_.job.CancelledByButton);
    EXPECT_FALSE(mail_.job.TimedOut);
    EXPECT_EQ(host_.calls.back(), "CLOSE");
}

TEST_F(JobEngineTest, CancelBeforeSubmissionSetsNoFlagAndSendsNothing) {
    host_.onOpen = [this] { engine_->RequestStop(StopReason::CancelButton); };
    Run();
    EXPECT_EQ(host_.Count("STOR"), 0u);
    EXPECT_EQ(host_.Count("CMD"), 0u);
    EXPECT_TRUE(view_.HasMessage("中止処理中..."));
    ASSERT_TRUE(mail_.sent);
    EXPECT_FALSE(mail_.job.CancelledByButton);
}

TEST_F(JobEngineTest, ClosingTheWindowSendsNoStopRequest) {
    host_.lists = {Pending("PAYROLL")};
    host_.onListFetch = [this] { engine_->RequestStop(StopReason::WindowClosed); };
    Run();
    EXPECT_EQ(host_.uploads.count("DAILY/STOP"), 0u);
    EXPECT_FALSE(mail_.job.CancelledByButton);
    EXPECT_FALSE(view_.HasMessage("中止処理中..."));
    EXPECT_TRUE(mail_.sent);
}

TEST_F(JobEngineTest, AbsentJobTimerEndsTheJobAsTimedOutRightAfterSubmission) {
    WriteIni("", "0");
    host_.lists = {Pending("PAYROLL")};
    Run();
    EXPECT_EQ(host_.Count("CMD RCMD SBMJOB"), 1u);
    EXPECT_EQ(host_.Count("RETR"), 0u);
    EXPECT_TRUE(mail_.job.TimedOut);
    EXPECT_TRUE(view_.HasMessage("DAILY バックアップジョブのタイムアウト"));
    EXPECT_EQ(host_.uploads.count("DAILY/STOP"), 0u);
}

TEST_F(JobEngineTest, MissingSetFileEndsBeforeAnyHostContact) {
    fs::remove(program_ / "BACKUPSET" / "DAILY");
    Run();
    EXPECT_TRUE(host_.calls.empty());
    EXPECT_FALSE(fs::exists(program_ / "BACKUPSET" / "DAILY"));
    EXPECT_TRUE(view_.HasMessage("バックアップセット：DAILYを読み取ることが出来ない"));
    EXPECT_TRUE(mail_.sent);
    EXPECT_TRUE(fs::exists(program_ / "LOG_DAT" / "APP-202603102200-202603102200-DAILY--.log"));
}

TEST_F(JobEngineTest, SaveFolderThatCannotBeMadeEndsBeforeConnecting) {
    ASSERT_TRUE(WriteFileAtomically(save_, "a file where the base folder should be"));
    Run();
    EXPECT_TRUE(host_.calls.empty());
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
    EXPECT_EQ(mail_.job.Rows[0].RowStatus, kDownloadFailed);
}

// --- a hostile host, a careless disk and stop requests at awkward moments

// Blocks like a host that never answers, until the engine interrupts the wait (or 10 s pass).
HostResult SilentUntilInterrupted(const Waiter& waiter) {
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (!waiter.Interrupted() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(1ms);
    }
    return waiter.Interrupted() ? HostResult::Interrupted : HostResult::Failed;
}

TEST_F(JobEngineTest, AHostSilentBeforeTheSubmitIsBoundByTheJobTimeLimit) {
    WriteIni("50", "500");
    host_.onChangeLibrary = [this] { return SilentUntilInterrupted(waiter_); };
    const auto start = std::chrono::steady_clock::now();
    Run();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(host_.Count("CMD RCMD SBMJOB"), 0u);
    EXPECT_TRUE(view_.HasMessage("DAILY バックアップジョブのタイムアウト"));
    ASSERT_TRUE(mail_.sent);
    EXPECT_TRUE(mail_.job.TimedOut);
    EXPECT_EQ(host_.uploads.count("DAILY/STOP"), 0u);
    EXPECT_EQ(host_.calls.back(), "CLOSE");
    EXPECT_TRUE(
        fs::exists(program_ / "LOG_DAT" / "APP-202603102200-202603102200-DAILY-異常終了-.log"));
}

struct SubmitStopCase {
    std::string label;
    StopReason reason;
    bool stopSent;
};

class InterruptedSubmit : public JobEngineTest,
                          public ::testing::WithParamInterface<SubmitStopCase> {};

// The host may have accepted a submit whose reply never came: a cancel then stops that job.
TEST_P(InterruptedSubmit, CountsAsPossiblySubmitted) {
    host_.onSubmit = [this] { engine_->RequestStop(GetParam().reason); };
    host_.submitResult = HostResult::Interrupted;
    Run();
    EXPECT_EQ(host_.uploads.count("DAILY/STOP"), GetParam().stopSent ? 1u : 0u);
    ASSERT_TRUE(mail_.sent);
    EXPECT_EQ(mail_.job.CancelledByButton, GetParam().stopSent);
    EXPECT_EQ(host_.Count("RETR"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Reasons, InterruptedSubmit,
                         ::testing::Values(SubmitStopCase{"Cancel", StopReason::CancelButton, true},
                                           SubmitStopCase{"WindowClosed", StopReason::WindowClosed,
                                                          false}),
                         [](const auto& info) { return info.param.label; });

class StopAfterDownload : public JobEngineTest, public ::testing::WithParamInterface<StopReason> {};

// A stop between a completed download and its host delete: the delete is still made (once),
// so the host's copy does not outlive the good local one.
TEST_P(StopAfterDownload, TheSaveFileIsStillDeletedOnTheHostOnce) {
    host_.lists = {PayrollDone() + Pending("*ALLUSR")};
    bool stopped = false;
    host_.onDelete = [this, &stopped] {
        if (stopped) return HostResult::Ok;
        stopped = true;
        engine_->RequestStop(GetParam());
        return HostResult::Interrupted;  // the session's answer to a stop before it starts
    };
    Run();
    EXPECT_EQ(host_.Count("DELE DAILY/PAYROLL"), 2u);  // the cut-short call, then the real one
    EXPECT_TRUE(view_.HasMessage("DAILY/PAYROLL削除しました"));
    EXPECT_FALSE(view_.HasMessage("DAILY/PAYROLL削除に失敗しました"));
    EXPECT_EQ(mail_.job.Rows[0].RowStatus, kSaved);
    EXPECT_EQ(host_.calls.back(), "CLOSE");
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
    EXPECT_EQ(host_.uploads["DAILY"],
              "2CUST      LIBA      *FILE     2\r\n1*ALLUSR   QSYS      *LIB      1\r\n");
    ASSERT_TRUE(mail_.sent);
    const auto& rows = mail_.job.Rows;
    EXPECT_EQ(rows[0].RowStatus, kSaved);
    EXPECT_EQ(rows[1].RowStatus, kDownloadFailed);
    EXPECT_EQ(rows[2].RowStatus, kSaved);
    EXPECT_EQ(rows[3].RowStatus, kDownloadFailed);
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
    host_.submitResult = HostResult::Failed;
    host_.replyLines = {"550 ジョブ待ち行列QGPL/夜間が見つかりません。"};
    Run();
    EXPECT_EQ(host_.Count("CMD RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVASAVE)  PARM('DAILY')) "
                          "JOBQ(QGPL/夜間)"),
              1u);
    EXPECT_EQ(view_.messages.front(), "550 ジョブ待ち行列QGPL/夜間が見つかりません。");
    EXPECT_EQ(view_.status, "550 ジョブ待ち行列QGPL/夜間が見つかりません。");
    // The request file is content: CP932 there.
    EXPECT_NE(host_.uploads["DAILY"].find(ToCp932("給与")), std::string::npos);
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
    EXPECT_TRUE(host_.calls.empty());
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
                         [](const auto& info) { return info.param.label; });

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

}  // namespace
}  // namespace zorva::qivftp
