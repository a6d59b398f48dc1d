// The window with its engine against the scripted host: "中止" while the job waits sends the
// stop request and ends the job; closing the window ends it without one.

#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>

#include "common/Clock.h"
#include "common/DailyLog.h"
#include "common/FileIo.h"
#include "common/ProfileFile.h"
#include "common/SavlibsRecord.h"
#include "common/Settings.h"
#include "qivftp/engine/JobEngine.h"
#include "qivftp/engine/ReportMail.h"
#include "qivftp/engine/TransferCommonFiles.h"
#include "qivftp/ui/JobRunner.h"
#include "qivftp/ui/JobWindow.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivftp {

namespace fs = std::filesystem;

class JobWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void cancelWhileWaitingSendsStopAndCloses();
    void closingTheWindowSendsNoStop();
    void everyColumnFitsBesideTheScrollBar();

private:
    // Runs the job in a window until the host job is waiting, does `act`, and waits for the
    // window to close.
    void RunAndThen(const std::function<void(JobWindow&)>& act);

    // The host holds the job: every look at the progress list finds the object still pending.
    std::optional<HostStatus> React(test::ScriptedHost& host, const test::ScriptedHost::Call& call);
    bool StopSent();

    std::unique_ptr<test::TempFolder> temp_;
    fs::path program_;
    std::atomic<int> listFetches_{0};
    std::mutex uploadsMutex_;
    std::vector<std::string> uploads_;
    std::mutex mailMutex_;
    std::vector<std::string> mailBody_;
    bool cancelled_ = false;
};

void JobWindowTest::init() {
    temp_ = std::make_unique<test::TempFolder>();
    program_ = temp_->path() / "program";
    fs::create_directories(program_ / "BACKUPSET");
    fs::create_directories(program_ / "LOG_DAT");
    listFetches_ = 0;
    uploads_.clear();

    Settings settings;
    settings.baseDir = (temp_->path() / "save").string() + "/";
    settings.hostAddress = "127.0.0.1";
    settings.user = "ZORVA";
    settings.password = "SECRET";
    settings.jobQueue = "QGPL/QBATCH";
    settings.mailActive = 1;
    settings.detailLog = 1;
    QVERIFY(WriteSettings(SettingsPath(program_), settings));
    const auto ini = SettingsPath(program_);
    QVERIFY(WriteProfileText(ini, "DIRECTORIES", "BACKUPSET", "BACKUPSET"));
    QVERIFY(WriteProfileText(ini, "TIMER", "FILETIMER", "200"));
    QVERIFY(WriteProfileText(ini, "TIMER", "JOBTIMER", "60000"));
    QVERIFY(WriteFileAtomically(program_ / "BACKUPSET" / "DAILY",
                                "Nightly\r\n1\r\n1\t2200\r\n2\t1111111\r\n \t\r\n"
                                "PAYLIB\tPAYROLL\t*FILE\t2\t2\t\r\n"));
}

void JobWindowTest::cleanup() {
    temp_.reset();
}

std::optional<HostStatus> JobWindowTest::React(test::ScriptedHost& host,
                                               const test::ScriptedHost::Call& call) {
    using Op = test::ScriptedHost::Op;
    if (call.op == Op::GetFile && call.argument.ends_with("/SAVLIBS")) {
        host.files[call.argument] = BuildSavlibsRecord({'2', "PAYROLL", "PAYLIB", "*FILE", 'P'});
        ++listFetches_;
    }
    if (call.op == Op::PutFile) {
        std::lock_guard lock(uploadsMutex_);
        uploads_.push_back(call.argument);
    }
    return std::nullopt;
}

bool JobWindowTest::StopSent() {
    std::lock_guard lock(uploadsMutex_);
    return std::find(uploads_.begin(), uploads_.end(), "DAILY/STOP") != uploads_.end();
}

void JobWindowTest::RunAndThen(const std::function<void(JobWindow&)>& act) {
    SystemClock clock;
    DailyLog log(kTransferLogStyle, program_ / "LOG_DAT", true, clock);
    JobWindow window;
    auto scriptedHost = [this](const Settings&, Waiter&, HostSessionObserver&) {
        auto host = std::make_unique<test::ScriptedHost>();
        host->react = [this, raw = host.get()](const test::ScriptedHost::Call& call) {
            return React(*raw, call);
        };
        return std::unique_ptr<HostConnection>(std::move(host));
    };
    JobRunner runner(
        window, {program_, "DAILY", *ReadSettings(SettingsPath(program_), kTransferSettings)},
        clock, log, scriptedHost, [this](const TransferJob& job, const Settings&, Reporter&) {
            std::lock_guard lock(mailMutex_);
            mailBody_ = ReportBody(job);
            cancelled_ = job.cancelledByButton;
        });
    window.show();
    runner.Start();
    // The job is submitted and the engine has looked at the pending list twice: it waits.
    QTRY_VERIFY_WITH_TIMEOUT(listFetches_.load() >= 2, 20000);
    QVERIFY(window.isVisible());
    act(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 20000);
}

void JobWindowTest::cancelWhileWaitingSendsStopAndCloses() {
    RunAndThen([](JobWindow& window) {
        auto* cancel = window.findChild<QPushButton*>(QStringLiteral("cancelButton"));
        QVERIFY(cancel != nullptr);
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    QVERIFY(StopSent());
    std::lock_guard lock(mailMutex_);
    QVERIFY(cancelled_);
    QVERIFY(!mailBody_.empty());
    QCOMPARE(mailBody_.front(), std::string("ジョブDAILYは中止ボタンによりキャンセルされた"));
}

void JobWindowTest::closingTheWindowSendsNoStop() {
    RunAndThen([](JobWindow& window) { window.close(); });
    QVERIFY(!StopSent());
    std::lock_guard lock(mailMutex_);
    QVERIFY(!cancelled_);
    QVERIFY(!mailBody_.empty());
    QCOMPARE(mailBody_.front(), std::string("使用したバックアップセット名 : DAILY"));
}

void JobWindowTest::everyColumnFitsBesideTheScrollBar() {
    JobWindow window;
    window.show();
    for (int i = 0; i < 40; ++i) {  // enough rows for a vertical scroll bar
        window.AddDownloadRow({QStringLiteral("PAYLIB"),
                               QStringLiteral("PAY%1").arg(i),
                               QStringLiteral("*FILE"),
                               {}});
        window.SetDownloadState(i, QStringLiteral("ダウンロード完了"));
    }
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("downloadList"));
    QTRY_VERIFY(list->verticalScrollBar()->isVisible());
    QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
    QVERIFY(list->columnWidth(3) >= list->header()->sectionSizeHint(3));
}

}  // namespace zorva::qivftp

QTEST_MAIN(zorva::qivftp::JobWindowTest)
#include "JobWindowTest.moc"
