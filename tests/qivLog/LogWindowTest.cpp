// The log viewer's windows, offscreen: what a user sees after each step.

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <fstream>

#include "common/Codec.h"
#include "qivLog/ui/DetailWindow.h"
#include "qivLog/ui/LogWindow.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivlog {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& utf8) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << ToCp932(utf8);
}

const char* const kDaily = "APP-200703050930-200703050947-DAILY-一部未完-.log";
const char* const kOddName = "APP-200703100930-200703100947-MONTH-正常完了-extra-.log";
const char* const kOld = "APP-200701050930-200701050947-DAILY-正常完了-.log";

QString Cell(const QTreeView* view, int row, int column) {
    return view->model()->index(row, column).data().toString();
}

}  // namespace

class LogWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void presetChoosesTheSetAndListsItsJobsAtOnce();
    void showListsEveryChosenJobAndTheDescriptionFollowsTheChoice();
    void doubleClickOpensExactlyTheFileTheRowCameFrom();
    void whatCannotBeReadIsSaidInTheStatusLine();
    void setListFailureStaysInViewAfterAPresetFill();

private:
    std::unique_ptr<LogWindow> Open(const std::string& preset);
    // Clicks "表示" and waits until the rows are shown.
    void Show(LogWindow& window);
    template <typename T>
    T* Child(QObject* parent, const char* name) {
        T* child = parent->findChild<T*>(QString::fromLatin1(name));
        if (!child) qFatal("no widget %s", name);
        return child;
    }

    std::unique_ptr<test::TempFolder> program_;
    test::FakeClock clock_{2007, 3, 31, 12, 0};
};

void LogWindowTest::init() {
    program_ = std::make_unique<test::TempFolder>();
    WriteFile(program_->path() / "zorva.ini", "[DIRECTORIES]\r\nBACKUPSET=SETS\r\n");
    WriteFile(program_->path() / "SETS" / "DAILY", "毎日の保管\r\n1\r\n");
    WriteFile(program_->path() / "SETS" / "MONTH", "月末の保管\r\n1\r\n");
    const fs::path logs = program_->path() / "LOG_DAT";
    WriteFile(logs / kDaily,
              "PAYLIB/*ALL/*FILE/保管正常完了/200703050930/200703050940\r\n"
              "SALESLIB/SALES*01/*FILE/ホストで保管失敗/000000000/000000000\r\n");
    WriteFile(logs / kOddName, "QSYS/PAYLIB/*LIB/保管正常完了/200703100930/200703100947\r\n");
    WriteFile(logs / kOld, "PAYLIB/*ALL/*FILE/保管正常完了/200701050930/200701050940\r\n");
    WriteFile(logs / "20070305.log", "daily log\r\n");
}

std::unique_ptr<LogWindow> LogWindowTest::Open(const std::string& preset) {
    auto window = std::make_unique<LogWindow>(program_->path(), preset, clock_);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) qFatal("window not shown");
    // A preset fills the list at once, on the worker: wait for its rows.
    auto* show = Child<QPushButton>(window.get(), "showButton");
    if (!QTest::qWaitFor([&] { return show->isEnabled(); })) qFatal("no rows shown");
    return window;
}

void LogWindowTest::Show(LogWindow& window) {
    QSignalSpy shown(&window, &LogWindow::jobListShown);
    auto* show = Child<QPushButton>(&window, "showButton");
    QTest::mouseClick(show, Qt::LeftButton);
    QVERIFY(!show->isEnabled());  // one fill at a time
    QVERIFY(shown.wait(10000));
    QVERIFY(show->isEnabled());
}

void LogWindowTest::presetChoosesTheSetAndListsItsJobsAtOnce() {
    auto window = Open("mon");
    auto* sets = Child<QComboBox>(window.get(), "setFilter");
    QCOMPARE(sets->count(), 3);
    QCOMPARE(sets->itemText(0), QStringLiteral("バックアップセット"));
    QCOMPARE(sets->currentText(), QStringLiteral("MONTH"));
    // On 31 March the range starts on the last day of February.
    QCOMPARE(Child<QDateEdit>(window.get(), "fromDate")->text(), QStringLiteral("2007/02/28"));
    QCOMPARE(Child<QDateEdit>(window.get(), "toDate")->text(), QStringLiteral("2007/03/31"));
    auto* jobs = Child<QTreeView>(window.get(), "jobList");
    QCOMPARE(jobs->model()->rowCount(), 1);
    QCOMPARE(Cell(jobs, 0, 2), QStringLiteral("MONTH"));
    QCOMPARE(Child<QLabel>(window.get(), "descriptionField")->text(), QString());
}

void LogWindowTest::showListsEveryChosenJobAndTheDescriptionFollowsTheChoice() {
    auto window = Open("");
    auto* sets = Child<QComboBox>(window.get(), "setFilter");
    QCOMPARE(sets->currentIndex(), -1);
    auto* jobs = Child<QTreeView>(window.get(), "jobList");
    QCOMPARE(jobs->model()->rowCount(), 0);
    Show(*window);
    QCOMPARE(jobs->model()->rowCount(), 2);
    const QStringList first{Cell(jobs, 0, 0), Cell(jobs, 0, 1), Cell(jobs, 0, 2), Cell(jobs, 0, 3),
                            Cell(jobs, 0, 4)};
    QCOMPARE(first, (QStringList{QStringLiteral("2007/03/05 09:30"),
                                 QStringLiteral("2007/03/05 09:47"), QStringLiteral("DAILY"),
                                 QStringLiteral("一部未完"), QStringLiteral("毎日の保管")}));

    auto* description = Child<QLabel>(window.get(), "descriptionField");
    sets->setCurrentIndex(2);
    Q_EMIT sets->activated(2);
    QCOMPARE(description->text(), QStringLiteral("月末の保管"));
    QCOMPARE(jobs->model()->rowCount(), 2);  // choosing a set does not refill the list
    sets->setCurrentIndex(0);
    Q_EMIT sets->activated(0);
    QCOMPARE(description->text(), QString());

    Child<QDateEdit>(window.get(), "fromDate")->setDate(QDate(2007, 1, 1));
    Show(*window);
    QCOMPARE(jobs->model()->rowCount(), 3);
    QCOMPARE(Cell(jobs, 0, 0), QStringLiteral("2007/01/05 09:30"));  // oldest first
}

void LogWindowTest::doubleClickOpensExactlyTheFileTheRowCameFrom() {
    auto window = Open("");
    Show(*window);
    auto* jobs = Child<QTreeView>(window.get(), "jobList");
    QCOMPARE(Cell(jobs, 1, 2), QStringLiteral("MONTH"));
    // Its name has a piece more than the shown texts give back: the row still opens its file.
    const QRect rect = jobs->visualRect(jobs->model()->index(1, 0));
    QTest::mouseClick(jobs->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(jobs->viewport(), Qt::LeftButton, {}, rect.center());
    auto* detail = window->findChild<DetailWindow*>();
    QVERIFY(detail);
    QCOMPARE(detail->FileName(), std::string(kOddName));
    QVERIFY(detail->isVisible());
    QCOMPARE(detail->windowTitle(), QStringLiteral("ログ詳細"));
    auto* lines = Child<QTreeWidget>(detail, "detailList");
    QCOMPARE(lines->topLevelItemCount(), 1);
    QCOMPARE(lines->topLevelItem(0)->text(1), QStringLiteral("PAYLIB"));
    QCOMPARE(lines->topLevelItem(0)->text(4), QStringLiteral("2007/03/10 09:30"));
    QTest::mouseClick(Child<QPushButton>(detail, "backButton"), Qt::LeftButton);
    QVERIFY(!detail->isVisible());

    DetailWindow* daily = window->OpenDetail(0);
    QVERIFY(daily);
    auto* dailyLines = Child<QTreeWidget>(daily, "detailList");
    QCOMPARE(dailyLines->topLevelItemCount(), 2);
    QCOMPARE(dailyLines->topLevelItem(1)->text(4), QString());  // never downloaded
    for (int row : {0, 1}) {  // the failed row is red, the saved one is not
        const QColor text = dailyLines->topLevelItem(row)->foreground(0).color();
        QCOMPARE(text == QColor(255, 0, 0), row == 1);
    }
    QCOMPARE(Child<QLabel>(daily, "statusLine")->text(), QString());
}

void LogWindowTest::whatCannotBeReadIsSaidInTheStatusLine() {
    WriteFile(program_->path() / "LOG_DAT" / kDaily, "");
    auto window = Open("");
    Show(*window);
    DetailWindow* detail = window->OpenDetail(0);
    QVERIFY(detail);
    QCOMPARE(Child<QLabel>(detail, "statusLine")->text(),
             QString::fromUtf8(kDaily) + QStringLiteral("にデータがない"));
    detail->close();

    fs::remove_all(program_->path() / "LOG_DAT");
    Show(*window);
    QCOMPARE(Child<QTreeView>(window.get(), "jobList")->model()->rowCount(), 0);
    QCOMPARE(Child<QLabel>(window.get(), "statusLine")->text(),
             QStringLiteral("ログの取得でエラー"));

    fs::remove_all(program_->path() / "SETS");
    auto without = Open("");
    QCOMPARE(Child<QComboBox>(without.get(), "setFilter")->count(), 0);
    QCOMPARE(Child<QLabel>(without.get(), "statusLine")->text(),
             QStringLiteral("バックアップセットの設定でエラー"));
}

void LogWindowTest::setListFailureStaysInViewAfterAPresetFill() {
    fs::remove_all(program_->path() / "SETS");
    fs::remove(program_->path() / "LOG_DAT" / kDaily);
    fs::remove(program_->path() / "LOG_DAT" / kOddName);
    auto window = Open("DAILY");  // its range finds no job, so no description is read
    QCOMPARE(Child<QLabel>(window.get(), "statusLine")->text(),
             QStringLiteral("バックアップセットの設定でエラー"));
}

}  // namespace zorva::qivlog

QTEST_MAIN(zorva::qivlog::LogWindowTest)
#include "LogWindowTest.moc"
