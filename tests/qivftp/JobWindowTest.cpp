// The window with its engine against the host simulator: "中止" while the job waits sends the
// stop request and ends the job; closing the window ends it without one.

#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <mutex>

#include "common/Clock.h"
#include "common/DailyLog.h"
#include "common/FileIo.h"
#include "common/ProfileFile.h"
#include "common/Settings.h"
#include "qivftp/engine/JobEngine.h"
#include "qivftp/engine/ReportMail.h"
#include "qivftp/ui/JobRunner.h"
#include "qivftp/ui/JobWindow.h"
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

private:
    // Runs the job in a window until the host job is waiting, does `act`, and waits for the
    // window to close.
    void RunAndThen(const std::function<void(JobWindow&)>& act);

    std::unique_ptr<test::TempFolder> temp_;
    fs::path root_, program_;
    QProcess host_;
    std::mutex mailMutex_;
    std::vector<std::string> mailBody_;
    bool cancelled_ = false;
};

void JobWindowTest::init() {
    temp_ = std::make_unique<test::TempFolder>();
    root_ = temp_->path() / "host";
    program_ = temp_->path() / "program";
    fs::create_directories(root_ / "PAYLIB");
    fs::create_directories(program_ / "BACKUPSET");
    fs::create_directories(program_ / "LOG_DAT");
    QVERIFY(WriteFileAtomically(root_ / "PAYLIB" / "PAYROLL", "payroll"));
    // The host holds every job, so the transfer agent waits until it is told to stop.
    QVERIFY(WriteFileAtomically(root_ / "hostsim-control.json", R"({"hold_jobs": true})"));

    host_.setWorkingDirectory(QStringLiteral(ZORVA_SOURCE_DIR));
    host_.start(QStringLiteral(ZORVA_PYTHON),
                {QStringLiteral("-m"), QStringLiteral("hostsim"), QStringLiteral("serve"),
                 QStringLiteral("--root"), QString::fromStdString(root_.string()),
                 QStringLiteral("--installed"), QStringLiteral("--job-delay"), QStringLiteral("0"),
                 QStringLiteral("--user"), QStringLiteral("ZORVA"), QStringLiteral("--password"),
                 QStringLiteral("SECRET")});
    QVERIFY(host_.waitForReadyRead(15000));
    const QString line = QString::fromUtf8(host_.readLine()).trimmed();
    const auto match = QRegularExpression(QStringLiteral(":(\\d+)$")).match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line));

    Settings settings;
    settings.BaseDir = (temp_->path() / "save").string() + "/";
    settings.HostAddress = "127.0.0.1";
    settings.User = "ZORVA";
    settings.Password = "SECRET";
    settings.JobQueue = "QGPL/QBATCH";
    settings.MailActive = 1;
    settings.DetailLog = 1;
    QVERIFY(WriteSettings(SettingsPath(program_), settings));
    const auto ini = SettingsPath(program_);
    QVERIFY(WriteProfileText(ini, "DIRECTORIES", "BACKUPSET", "BACKUPSET"));
    QVERIFY(WriteProfileText(ini, "HOST", "PORT", match.captured(1).toStdString()));
    QVERIFY(WriteProfileText(ini, "TIMER", "FILETIMER", "200"));
    QVERIFY(WriteProfileText(ini, "TIMER", "JOBTIMER", "60000"));
    QVERIFY(WriteFileAtomically(program_ / "BACKUPSET" / "DAILY",
                                "Nightly\r\n1\r\n1\t2200\r\n2\t1111111\r\n \t\r\n"
                                "PAYLIB\tPAYROLL\t*FILE\t2\t2\t\r\n"));
}

void JobWindowTest::cleanup() {
    host_.terminate();
    host_.waitForFinished(5000);
    temp_.reset();
}

void JobWindowTest::RunAndThen(const std::function<void(JobWindow&)>& act) {
    SystemClock clock;
    DailyLog log(Program::TransferAgent, program_ / "LOG_DAT", 1, clock);
    JobWindow window;
    JobRunner runner(window, {program_, "DAILY"}, clock, log, SessionHostFactory(),
                     [this](const TransferJob& job, const Settings&, Reporter&) {
                         std::lock_guard lock(mailMutex_);
                         mailBody_ = ReportBody(job);
                         cancelled_ = job.CancelledByButton;
                     });
    window.show();
    runner.Start();
    // The host has taken the request and begun the job: the progress list stands pending.
    QTRY_VERIFY_WITH_TIMEOUT(fs::exists(root_ / "DAILY" / "SAVLIBS"), 20000);
    QTest::qWait(300);  // at least one poll
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
    QCOMPARE(ReadFileBytes(root_ / "DAILY" / "STOP").value_or("<none>"), std::string("DAILY"));
    std::lock_guard lock(mailMutex_);
    QVERIFY(cancelled_);
    QVERIFY(!mailBody_.empty());
    QCOMPARE(mailBody_.front(), std::string("ジョブDAILYは中止ボタンによりキャンセルされた"));
}

void JobWindowTest::closingTheWindowSendsNoStop() {
    RunAndThen([](JobWindow& window) { window.close(); });
    QVERIFY(!fs::exists(root_ / "DAILY" / "STOP"));
    std::lock_guard lock(mailMutex_);
    QVERIFY(!cancelled_);
    QVERIFY(!mailBody_.empty());
    QCOMPARE(mailBody_.front(), std::string("使用したバックアップセット名 : DAILY"));
}

}  // namespace zorva::qivftp

QTEST_MAIN(zorva::qivftp::JobWindowTest)
#include "JobWindowTest.moc"
