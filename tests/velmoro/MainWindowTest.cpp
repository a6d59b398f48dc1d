// The main window offscreen: start-up order, the locked window, the scheduler's launches, the
// job list's pop-up menu, the tray and the exit question. Message boxes are answered by the
// scripted seam and programs are "started" by the recording launcher.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTreeWidget>

#include "common/Codec.h"
#include "common/DailyLog.h"
#include "common/FileIo.h"
#include "tests/support/FakeClock.h"
#include "tests/support/RecordingProcessLauncher.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/TempFolder.h"
#include "velmoro/engine/AgentCommonFiles.h"
#include "velmoro/ui/MainWindow.h"

namespace zorva::velmoro {
namespace {

using zorva::test::FakeClock;
using zorva::test::RecordingProcessLauncher;
using zorva::test::ScriptedMessageBoxes;
using zorva::test::TempFolder;

const char* kInstalledIni = "[INSTALL]\r\nAS=YES\r\n[LOCAL]\r\nTERMID=PC01\r\n";
const char* kPayrollSet = "Daily\r\n1\r\n1\t2200\r\n1\t7\r\n \t\r\nPAYLIB\t*ALL\t*FILE\t2\t2\t\r\n";
// "実行前" and "ＰＣ起動" in CP932.
const std::string kWaiting = "\x8E\xC0\x8D\x73\x91\x4F";
const std::string kPcStartBytes = "\x82\x6F\x82\x62\x8B\x4E\x93\xAE";

struct Fixture {
    TempFolder folder;
    FakeClock clock{2026, 3, 2, 21, 59, 0};
    DailyLog log{kAgentLogStyle, folder.path() / "LOG_DAT", false, clock};
    ProgramContext context{folder.path(), clock, log};
    ScriptedMessageBoxes boxes;
    RecordingProcessLauncher launcher;
    std::unique_ptr<MainWindow> window;

    explicit Fixture(const std::string& ini, const std::string& jobs = {}, bool tray = false,
                     AgentDialogs* dialogs = nullptr) {
        if (!ini.empty()) WriteFileAtomically(folder / "zorva.ini", ini);
        if (!jobs.empty()) WriteFileAtomically(folder / "schedule.txt", jobs);
        std::filesystem::create_directories(folder / "BACKUPSET");
        WriteFileAtomically(folder / "BACKUPSET/PAYROLL", kPayrollSet);
        MainWindowServices services{
            boxes, launcher, dialogs,
            [](const Settings&, Waiter&, HostSessionObserver&) {
                return std::shared_ptr<HostConnection>(new zorva::test::ScriptedHost);
            },
            tray};
        window = std::make_unique<MainWindow>(context, services);
        window->StartUp();
        window->show();
    }
    template <class T>
    T* Find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    std::string LogText() const {
        return FromCp932(
            ReadFileBytes(folder / "LOG_DAT" / DailyLog::FileName(clock.Now())).value_or(""));
    }
};

std::string JobLine(const std::string& active, const std::string& set) {
    return active + "," + set + ", 2026/03/01 09:00, ,2026/03/02 22:00, ," + kPcStartBytes + "," +
           kWaiting + "\r\n";
}

QString Cell(const Fixture& f, int row, int column) {
    return f.Find<QTreeWidget>("jobList")->topLevelItem(row)->text(column);
}

// Dialogs that act as a user would in them, and note what the main window's scheduler did.
class FakeDialogs final : public AgentDialogs {
public:
    bool EditObjects(QWidget*, BackupSet& set, const EditedSetLabels& labels, const Settings&,
                     std::function<void()> started, std::function<void()> finished) override {
        started();
        timerDuringRegistration = window->SchedulerTimerActive();
        editedSetName = labels.name;
        editedDescription = labels.description;
        finished();
        set.rows = {{"ARLIB", "INV*", "*FILE", '2', '6', 0},
                    {"QSYS", "ARLIB", "*LIB", '1', '1', 0}};
        return registers;
    }
    std::optional<Settings> EditConnection(QWidget*, const Settings& current,
                                           std::function<bool()> transferRunning,
                                           std::function<void()> installed) override {
        timerDuringConnection = window->SchedulerTimerActive();
        transferWasRunning = transferRunning();
        if (install) installed();
        Settings result = current;
        result.termId = "PC02";
        return result;
    }
    MainWindow* window = nullptr;
    bool registers = true;
    bool install = false;
    bool timerDuringRegistration = true;
    std::string editedSetName;
    std::string editedDescription;
    bool timerDuringConnection = true;
    bool transferWasRunning = true;
};

class MainWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lockedUntilTheHostModuleIsInstalled() {
        struct Case {
            const char* ini;
            bool locked;
        };
        for (const Case& c :
             {Case{"", true}, Case{"[INSTALL]\r\nAS=yes\r\n", true}, Case{kInstalledIni, false}}) {
            Fixture f(c.ini);
            const char* lockable[] = {"setSelector",   "descriptionEdit", "pcStartRadio",
                                      "saveTimeEdit",  "objectList",      "jobList",
                                      "objectsButton", "logViewerButton", "savedDataButton",
                                      "submitButton",  "storeButton",     "restoreButton"};
            for (const char* name : lockable) {
                QVERIFY2(f.Find<QWidget>(name)->isEnabled() != c.locked, name);
            }
            QVERIFY(f.Find<QPushButton>("connectionButton")->isEnabled());
            QVERIFY(f.Find<QPushButton>("exitButton")->isEnabled());
            QCOMPARE(f.window->windowTitle(), QStringLiteral("Velmoro"));
            QVERIFY(f.window->SchedulerTimerActive());
            QCOMPARE(f.window->SchedulerPeriod(), 60000);
            // The start entry is forced even with the detailed log off.
            QCOMPARE(f.LogText().find("プログラムが起動された") != std::string::npos, true);
            QCOMPARE(f.Find<QComboBox>("setSelector")->count(), 1);
            QCOMPARE(f.Find<QComboBox>("setSelector")->currentIndex(), -1);
        }
    }

    void dueJobRunsBesideALiveWindowAndIsBookedAtItsEnd() {
        Fixture f(kInstalledIni, JobLine("1", "PAYROLL"));
        QCOMPARE(Cell(f, 0, 4), QStringLiteral("2026/03/02 22:00"));
        f.clock.Set(2026, 3, 2, 22, 0, 5);
        f.window->RunSchedulerTick();
        QCOMPARE(f.launcher.launches.size(), std::size_t{1});
        const ui::LaunchRequest& request = f.launcher.launches[0].request;
        QCOMPARE(request.program, QStringLiteral("qivftp"));
        QCOMPARE(request.arguments, QStringList{QStringLiteral("PAYROLL")});
        QCOMPARE(request.workingFolder, QString::fromStdString(f.folder.path().string()));
        QCOMPARE(Cell(f, 0, 7), QStringLiteral("実行中"));
        QVERIFY(!f.window->SchedulerTimerActive());  // no second transfer agent meanwhile
        QVERIFY(f.Find<QPushButton>("logViewerButton")->isEnabled());
        QVERIFY(f.window->TransferProgressPolled());
        WriteFileAtomically(f.folder / "qivftp.progress",
                            "SET=PAYROLL\r\nOBJECT=INV#\r\nPERCENT=42\r\n");
        f.window->PollTransferProgress();
        QCOMPARE(f.Find<QLabel>("statusLabel")->text(), QStringLiteral("PAYROLL  INV#  42%"));
        QCOMPARE(Cell(f, 0, 7), QStringLiteral("実行中"));

        // The window stays live: a viewer starts while the backup runs.
        QTest::mouseClick(f.Find<QPushButton>("logViewerButton"), Qt::LeftButton);
        QCOMPARE(f.launcher.launches.size(), std::size_t{2});
        QCOMPARE(f.launcher.launches[1].request.program, QStringLiteral("qivLog"));
        QVERIFY(f.launcher.launches[1].request.arguments.isEmpty());

        f.clock.Set(2026, 3, 2, 22, 31, 9);
        QVERIFY(f.launcher.Finish(1));
        QVERIFY(f.window->SchedulerTimerActive());
        f.window->PollTransferProgress();  // a note the ended run left is not shown
        QVERIFY(!f.window->TransferProgressPolled());
        QCOMPARE(f.Find<QLabel>("statusLabel")->text(), QString());
        QCOMPARE(Cell(f, 0, 7), QStringLiteral("実行前"));
        QCOMPARE(Cell(f, 0, 3), QStringLiteral(" 2026/03/02 22:31"));
        QCOMPARE(Cell(f, 0, 5), QStringLiteral("00:31:04"));
        QCOMPARE(Cell(f, 0, 4), QStringLiteral("2026/03/03 22:00"));
    }

    void failedStartsAreToldWhereTheUserLooks() {
        for (const auto& [button, program] : {std::pair{"savedDataButton", "qivWH"},
                                              {"logViewerButton", "qivLog"},
                                              {"restoreButton", "qivRestore"}}) {
            Fixture f("[INSTALL]\r\nAS=YES\r\n[LOCAL]\r\nTERMID=PC01\r\nLOG=YES\r\n");
            f.launcher.FailNextStart(QStringLiteral("No such file or directory"));
            QTest::mouseClick(f.Find<QPushButton>(button), Qt::LeftButton);
            const QString text = QString::fromUtf8(program) +
                                 QStringLiteral("の起動に失敗した：No such file or directory");
            QCOMPARE(f.Find<QLabel>("statusLabel")->text(), text);
            QCOMPARE(f.boxes.asked.back().text, text);
            QVERIFY(f.LogText().find(text.toStdString()) != std::string::npos);
        }
    }

    void viewersAndRestoreOpenOnTheStoredSetChosen() {
        for (const char* typed : {"PAYROLL", "NEWSET", ""}) {
            Fixture f(kInstalledIni);
            f.Find<QComboBox>("setSelector")->setEditText(QString::fromUtf8(typed));
            for (const char* button : {"logViewerButton", "savedDataButton", "restoreButton"}) {
                QTest::mouseClick(f.Find<QPushButton>(button), Qt::LeftButton);
                const QStringList expected = std::string_view(typed) == "PAYROLL"
                                                 ? QStringList{QStringLiteral("PAYROLL")}
                                                 : QStringList{};  // nothing stored to show
                QCOMPARE(f.launcher.launches.back().request.arguments, expected);
            }
        }
    }

    void jobMenuActsOnTheRowSelectedBefore() {
        Fixture f(kInstalledIni, JobLine("1", "PAYROLL") + JobLine("1", "OTHER"));
        auto* list = f.Find<QTreeWidget>("jobList");
        QCOMPARE(list->topLevelItemCount(), 2);
        QMenu* menu = f.window->JobMenu();
        QStringList texts;
        for (QAction* action : menu->actions()) texts << action->text();
        QCOMPARE(texts, (QStringList{QStringLiteral("ジョブの停止"), QStringLiteral("ジョブの履歴"),
                                     QStringLiteral("ジョブの活動化"), QString(),
                                     QStringLiteral("ジョブの削除")}));

        // No row selected: a right click does nothing.
        const QPoint second = list->visualItemRect(list->topLevelItem(1)).center();
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, second);
        QVERIFY(!menu->isVisible());

        list->setCurrentItem(list->topLevelItem(0));
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, second);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(list->currentItem(), list->topLevelItem(0));
        menu->hide();

        menu->actions()[0]->trigger();  // stop
        QCOMPARE(Cell(f, 0, 0), QStringLiteral("停止"));
        QCOMPARE(Cell(f, 1, 0), QStringLiteral("活動"));
        QVERIFY(ReadFileBytes(f.folder / "schedule.txt")->rfind("0,PAYROLL,", 0) == 0);

        list->setCurrentItem(list->topLevelItem(1));
        menu->actions()[1]->trigger();  // history
        QCOMPARE(f.launcher.launches.back().request.program, QStringLiteral("qivLog"));
        QCOMPARE(f.launcher.launches.back().request.arguments,
                 QStringList{QStringLiteral("OTHER")});

        list->setCurrentItem(list->topLevelItem(0));
        menu->actions()[4]->trigger();  // delete
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(Cell(f, 0, 1), QStringLiteral("OTHER"));
    }

    void minimiseHidesInTheTrayAndOnlyALeftClickBringsItBack() {
        Fixture f(kInstalledIni, {}, true);
        auto* tray = f.window->findChild<QSystemTrayIcon*>(QStringLiteral("trayIcon"));
        QVERIFY(tray);
        QCOMPARE(tray->toolTip(), QStringLiteral("Velmoro"));
        QVERIFY(!tray->isVisible());
        f.window->showMinimized();
        QTRY_VERIFY(!f.window->isVisible());
        QVERIFY(tray->isVisible());
        for (auto reason : {QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick,
                            QSystemTrayIcon::DoubleClick}) {
            Q_EMIT tray->activated(reason);
            QVERIFY(!f.window->isVisible());
        }
        Q_EMIT tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(f.window->isVisible());
        QVERIFY(!tray->isVisible());
        QVERIFY(f.window->SchedulerTimerActive());  // the scheduler ran on while hidden
    }

    void storeRefusesBadNamesWithTheMessage() {
        Fixture f(kInstalledIni);
        auto* selector = f.Find<QComboBox>("setSelector");
        struct Case {
            QString name;
            QString message;
        };
        for (const Case& c :
             {Case{QStringLiteral("NEW1"),
                   QStringLiteral("バックアップセットＩＤはアルファベットのみ有効です")},
              Case{QString(), QStringLiteral("バックアップセットＩＤがブランクです")}}) {
            f.boxes.asked.clear();
            selector->setEditText(c.name);
            QTest::mouseClick(f.Find<QPushButton>("storeButton"), Qt::LeftButton);
            QCOMPARE(f.boxes.asked.size(), std::size_t{1});
            QCOMPARE(f.boxes.asked[0].caption, QStringLiteral("エラーメッセージ"));
            QCOMPARE(f.boxes.asked[0].text, c.message);
            QCOMPARE(f.boxes.asked[0].icon, ui::MessageIcon::Information);
        }
    }

    void objectEditorFillsTheObjectListAndResetsANewSetsSchedule() {
        FakeDialogs dialogs;
        Fixture f(kInstalledIni, {}, false, &dialogs);
        dialogs.window = f.window.get();
        f.Find<QComboBox>("setSelector")->setEditText(QStringLiteral("NEWSET"));
        f.Find<QLineEdit>("saveTimeEdit")->setText(QStringLiteral("0930"));
        QTest::mouseClick(f.Find<QPushButton>("objectsButton"), Qt::LeftButton);
        QVERIFY(!dialogs.timerDuringRegistration);
        QCOMPARE(dialogs.editedSetName, std::string("NEWSET"));  // the editor names it as typed
        QVERIFY(f.window->SchedulerTimerActive());
        auto* objects = f.Find<QTreeWidget>("objectList");
        QCOMPARE(objects->topLevelItemCount(), 2);
        QCOMPARE(objects->topLevelItem(0)->text(1), QStringLiteral("INV*"));
        QCOMPARE(objects->topLevelItem(0)->text(3), QStringLiteral("○"));
        QCOMPARE(objects->topLevelItem(0)->text(4), QStringLiteral("*HIGH"));
        QCOMPARE(objects->topLevelItem(1)->text(4), QStringLiteral("*LOW"));
        QVERIFY(objects->columnWidth(4) < objects->viewport()->width() / 5);  // a short code
        // A set being created gets the default schedule back: PC start; the time typed stays.
        QCOMPARE(f.Find<QLineEdit>("saveTimeEdit")->text(), QStringLiteral("0930"));
        QVERIFY(f.Find<QRadioButton>("pcStartRadio")->isChecked());
        QVERIFY(f.Find<QRadioButton>("everyDayRadio")->isChecked());
    }

    void connectionSettingsUnlockAfterInstallationAndAreWritten() {
        FakeDialogs dialogs;
        dialogs.install = true;
        Fixture f("[LOCAL]\r\nTERMID=PC01\r\n", {}, false, &dialogs);
        dialogs.window = f.window.get();
        QVERIFY(!f.Find<QPushButton>("storeButton")->isEnabled());
        QTest::mouseClick(f.Find<QPushButton>("connectionButton"), Qt::LeftButton);
        QVERIFY(!dialogs.timerDuringConnection);
        QVERIFY(!dialogs.transferWasRunning);
        QVERIFY(f.window->SchedulerTimerActive());
        QVERIFY(f.Find<QPushButton>("storeButton")->isEnabled());
        QCOMPARE(f.window->State().settings.termId, std::string("PC02"));
        QVERIFY(ReadFileBytes(f.folder / "zorva.ini")->find("TERMID=PC02") != std::string::npos);
    }

    void submitRegistersAJobOrRunsAnImmediateSetAtOnce() {
        const std::string ini = std::string(kInstalledIni) +
                                "[DIRECTORIES]\r\nBASEDIR=/srv/save/\r\n[HOST]\r\n"
                                "ADDRESS=10.0.0.1\r\nUSER=ZORVA\r\nPASSWORD=\xBE\r\n"
                                "JOBQ=QGPL/QBATCH\r\n";
        struct Case {
            const char* radio;
            int jobs;
            std::size_t launches;
        };
        for (const Case& c : {Case{"pcStartRadio", 1, 0}, Case{"hostStartRadio", 1, 0},
                              Case{"immediateRadio", 0, 1}}) {
            Fixture f(ini);
            auto* selector = f.Find<QComboBox>("setSelector");
            selector->setCurrentIndex(0);
            Q_EMIT selector->activated(0);
            QTest::mouseClick(f.Find<QRadioButton>(c.radio), Qt::LeftButton);
            f.Find<QLineEdit>("saveTimeEdit")->setText(QStringLiteral("2230"));
            f.boxes.Answer(ui::MessageAnswer::Ok);
            QTest::mouseClick(f.Find<QPushButton>("submitButton"), Qt::LeftButton);
            QCOMPARE(f.boxes.asked.size(), std::size_t{1});
            QCOMPARE(f.boxes.asked[0].text,
                     QStringLiteral("既存のバックアップセットを上書きします"));
            QCOMPARE(f.Find<QTreeWidget>("jobList")->topLevelItemCount(), c.jobs);
            QCOMPARE(f.launcher.launches.size(), c.launches);
            if (c.jobs == 1) {
                QVERIFY(!f.Find<QRadioButton>("pcStartRadio")->isEnabled());  // locked by the job
                QVERIFY(ReadFileBytes(f.folder / "schedule.txt")->rfind("1,PAYROLL,", 0) == 0);
                QVERIFY(f.window->SchedulerTimerActive());
            } else {
                QCOMPARE(f.launcher.launches[0].request.arguments,
                         QStringList{QStringLiteral("PAYROLL")});
                QVERIFY(!f.window->SchedulerTimerActive());  // until the run has ended
                QVERIFY(f.launcher.Finish(1));
                QVERIFY(f.window->SchedulerTimerActive());
                QCOMPARE(ReadFileBytes(f.folder / "schedule.txt"), std::string());
            }
            // The set file was stored with the start method chosen.
            const char method = c.jobs == 0 ? '3' : c.radio[0] == 'p' ? '1' : '2';
            QCOMPARE(ReadFileBytes(f.folder / "BACKUPSET/PAYROLL")->at(7), method);
        }
    }

    void failedCheckPutsTheFocusOnTheControlItNames() {
        struct Case {
            const char* radio;
            const char* saveTime;
            const char* focus;
        };
        for (const Case& c :
             {Case{"weekdaysRadio", "2200", "weekdaysRadio"}, Case{nullptr, "93", "saveTimeEdit"},
              Case{nullptr, "2200", "connectionButton"}}) {
            Fixture f(kInstalledIni);
            f.Find<QComboBox>("setSelector")->setCurrentIndex(0);
            Q_EMIT f.Find<QComboBox>("setSelector")->activated(0);
            if (c.radio) QTest::mouseClick(f.Find<QRadioButton>(c.radio), Qt::LeftButton);
            f.Find<QLineEdit>("saveTimeEdit")->setText(QString::fromLatin1(c.saveTime));
            QTest::mouseClick(f.Find<QPushButton>("storeButton"), Qt::LeftButton);
            QCOMPARE(f.window->focusWidget(), f.Find<QWidget>(c.focus));
        }
    }

    void theTypedTextNamesTheSetUncompleted() {
        FakeDialogs dialogs;
        Fixture f(kInstalledIni, {}, false, &dialogs);
        dialogs.window = f.window.get();
        for (const char* typed : {"PAY", "NEWB", "PAYROLL"}) {  // PAY is no PAYROLL
            f.Find<QComboBox>("setSelector")->setEditText(QString());
            QTest::keyClicks(f.Find<QComboBox>("setSelector")->lineEdit(),
                             QString::fromLatin1(typed));
            f.Find<QLineEdit>("descriptionEdit")->setText(QString::fromLatin1(typed).toLower());
            QTest::mouseClick(f.Find<QPushButton>("objectsButton"), Qt::LeftButton);
            // The object editor names the set and its description as typed now.
            QCOMPARE(QString::fromStdString(dialogs.editedSetName + dialogs.editedDescription),
                     QString::fromLatin1(typed) + QString::fromLatin1(typed).toLower());
        }
    }

    void enterInAnEditPressesNoButton() {
        Fixture f(kInstalledIni);
        auto* edit = f.Find<QLineEdit>("descriptionEdit");
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(f.Find<QComboBox>("setSelector"), Qt::Key_Return);
        QVERIFY(f.boxes.asked.empty());
        QVERIFY(f.launcher.launches.empty());
        QVERIFY(f.window->isVisible());
    }

    void digitsOnlyEditsDropTypedLetters() {
        Fixture f(kInstalledIni);
        for (const char* name : {"saveTimeEdit", "retentionEdit"}) {
            auto* edit = f.Find<QLineEdit>(name);
            edit->setEnabled(true);
            edit->clear();
            QTest::keyClicks(edit, QStringLiteral("1a2"));
            QCOMPARE(edit->text(), QStringLiteral("12"));
        }
    }

    void endingDuringABackupLeavesItRunningAndUnbooked() {
        Fixture f(kInstalledIni, JobLine("1", "PAYROLL"));
        f.clock.Set(2026, 3, 2, 22, 0, 5);
        f.window->RunSchedulerTick();
        QCOMPARE(f.launcher.RunningCount(), std::size_t{1});
        const std::string before = *ReadFileBytes(f.folder / "schedule.txt");
        QSignalSpy exited(f.window.get(), &MainWindow::exitConfirmed);
        f.boxes.Answer(ui::MessageAnswer::Ok);
        QTest::mouseClick(f.Find<QPushButton>("exitButton"), Qt::LeftButton);
        QCOMPARE(exited.count(), 1);
        QVERIFY(f.launcher.Finish(1));  // the transfer agent ends after the agent
        QCOMPARE(*ReadFileBytes(f.folder / "schedule.txt"), before);
        QCOMPARE(Cell(f, 0, 3), QStringLiteral(" "));
    }

    void exitQuestion() {
        Fixture f(kInstalledIni);
        f.boxes.Answer(ui::MessageAnswer::Cancel);
        QTest::mouseClick(f.Find<QPushButton>("exitButton"), Qt::LeftButton);
        QCOMPARE(f.boxes.asked.size(), std::size_t{1});
        QCOMPARE(f.boxes.asked[0].caption, QStringLiteral("確認メッセージ"));
        QCOMPARE(f.boxes.asked[0].text, QStringLiteral("Velmoro設定画面を終了します"));
        QCOMPARE(f.boxes.asked[0].icon, ui::MessageIcon::Question);
        QVERIFY(f.window->isVisible());
        QVERIFY(f.LogText().find("プログラムが終了された") == std::string::npos);

        f.boxes.Answer(ui::MessageAnswer::Ok);
        QTest::keyClick(f.window.get(), Qt::Key_Escape);
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.window->SchedulerTimerActive());
        QVERIFY(f.LogText().find("プログラムが終了された") != std::string::npos);
    }
};

}  // namespace
}  // namespace zorva::velmoro

QTEST_MAIN(zorva::velmoro::MainWindowTest)
#include "MainWindowTest.moc"
