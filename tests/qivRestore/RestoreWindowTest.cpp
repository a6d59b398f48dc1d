// The restore window offscreen, with scripted message boxes and the scripted host: what the
// operator sees while choosing data, the option states, and a run from the button to the
// results in the 状況 column.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "common/DailyLog.h"
#include "common/FileIo.h"
#include "common/ui/MessageListWidget.h"
#include "common/ui/PopupComboBox.h"
#include "qivRestore/engine/RestoreCommonFiles.h"
#include "qivRestore/ui/RestoreWindow.h"
#include "tests/support/FakeClock.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivrestore {

namespace fs = std::filesystem;

QStringList Texts(std::initializer_list<const char*> utf8) {
    QStringList texts;
    for (const char* text : utf8) texts << QString::fromUtf8(text);
    return texts;
}

class RestoreWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void setListIsSortedWithoutFolders();
    void loadingASetEnablesTheChoicesAndBuildsTheTree();
    void unreadableSetDisablesEverythingAgain();
    void generationListShowsObjectsOfTheSetOnly();
    void rootItemLeavesTheListAsItWas();
    void optionsAfterASetChange_data();
    void optionsAfterASetChange();
    void selectAllAndClear();
    void runShowsEachResultAndKeepsTheButtonOffUntilItsWaitEnds();
    void nothingCheckedIsRefusedWithoutHost();
    void zeroTimeLimitClosesTheIdleWindow();
    void cancelWhileTheHostWorksEndsAtOnce();

private:
    void MakeWindow(int jobTimer = 3'600'000);
    void ChooseSet(const QString& name);
    void ChooseGeneration(const QString& text);
    template <class T>
    T* Find(const char* name) {
        T* widget = window_->findChild<T*>(QString::fromLatin1(name));
        if (!widget) qFatal("no widget %s", name);
        return widget;
    }
    QStringList Column(int column);

    std::unique_ptr<test::TempFolder> temp_;
    fs::path program_, base_;
    test::FakeClock clock_{2026, 12, 7, 10, 0};
    SystemSteadyClock steady_;
    std::unique_ptr<DailyLog> log_;
    test::ScriptedMessageBoxes boxes_;
    std::vector<std::string> commands_;
    bool holdHostJob_ = false;  // the host job never writes its results
    std::unique_ptr<RestoreWindow> window_;
};

void RestoreWindowTest::init() {
    temp_ = std::make_unique<test::TempFolder>();
    program_ = temp_->path() / "program";
    base_ = temp_->path() / "save";
    fs::create_directories(program_ / "BACKUPSET" / "SUBFOLDER");
    fs::create_directories(program_ / "LOG_DAT");
    const std::string set =
        "\x93\xfa\x8e\x9f\r\n1\r\n1\t2200\r\n1\t7\r\n \t\r\nPAYLIB\tPAYROLL\t*FILE\t2\t2\t\r\n"
        "SALESLIB\tSALES*01\t*FILE\t2\t5\t\r\nSHORT\tROW\t*FILE\t2\r\n";  // 日次
    QVERIFY(WriteFileAtomically(program_ / "BACKUPSET" / "B01", set));
    QVERIFY(WriteFileAtomically(program_ / "BACKUPSET" / "A01",
                                "other\r\n1\r\n1\r\n1\t7\r\n \r\n"
                                "QSYS\tARLIB\t*LIB\t1\t1\r\n"));
    const fs::path generation = base_ / "B01" / "7" / "20261206";
    fs::create_directories(generation);
    fs::create_directories(base_ / "B01" / "Monday");
    fs::create_directories(base_ / "B01" / "1/2/3/4/5/6/7/8");
    for (const char* name : {"SALES#01", "SAVLIBS", "PAYROLL", "STRAY"})
        QVERIFY(WriteFileAtomically(generation / name, name));
    commands_.clear();
    holdHostJob_ = false;
    boxes_ = test::ScriptedMessageBoxes();
}

void RestoreWindowTest::cleanup() {
    window_.reset();
    log_.reset();
    temp_.reset();
}

void RestoreWindowTest::MakeWindow(int jobTimer) {
    Settings settings;
    settings.backupSetFolder = "BACKUPSET";
    settings.baseDir = base_.string() + "/";
    settings.fileTimer = std::chrono::milliseconds(20);
    settings.jobTimer = std::chrono::milliseconds(jobTimer);
    settings.jobQueue = "QGPL/QBATCH";
    settings.detailLog = 1;
    log_ = std::make_unique<DailyLog>(kRestoreLogStyle, program_ / "LOG_DAT", true, clock_);
    auto factory = [this](const Settings&, Waiter&, HostSessionObserver&) {
        auto host = std::make_unique<test::ScriptedHost>();
        host->react = [this, h = host.get()](
                          const test::ScriptedHost::Call& call) -> std::optional<HostStatus> {
            if (call.op == test::ScriptedHost::Op::Command) commands_.push_back(call.argument);
            if (call.argument.starts_with(" RCMD SBMJOB"))
                h->files["ZORVARST/SAVLIBS"] = holdHostJob_
                                                   ? "2PAYROLL   PAYLIB    *FILE     2P\r\n"
                                                   : "2PAYROLL   PAYLIB    *FILE     "
                                                     "0\r\n2SALES#01  SALESLIB  *FILE     7\r\n";
            return std::nullopt;
        };
        return host;
    };
    window_ = std::make_unique<RestoreWindow>(
        RestoreWindowContext{program_, settings, *log_, boxes_, factory, steady_});
    window_->show();
}

void RestoreWindowTest::ChooseSet(const QString& name) {
    auto* selector = Find<ui::PopupComboBox>("setSelector");
    selector->setCurrentIndex(selector->findText(name));
    selector->showPopup();
    selector->hidePopup();
    QCoreApplication::processEvents();  // the list says it closed once the click is handled
}

void RestoreWindowTest::ChooseGeneration(const QString& text) {
    auto* tree = Find<QTreeWidget>("generationTree");
    const auto items = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(items.size(), 1);
    tree->setCurrentItem(items.front());
}

QStringList RestoreWindowTest::Column(int column) {
    QStringList texts;
    auto* list = Find<QTreeWidget>("fileList");
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

void RestoreWindowTest::setListIsSortedWithoutFolders() {
    MakeWindow();
    auto* selector = Find<ui::PopupComboBox>("setSelector");
    QStringList names;
    for (int i = 0; i < selector->count(); ++i) names << selector->itemText(i);
    QCOMPARE(names, Texts({"A01", "B01"}));
    QCOMPARE(selector->currentIndex(), -1);
    QVERIFY(!Find<QPushButton>("restoreButton")->isEnabled());
    QVERIFY(!Find<QRadioButton>("savfOnlyRadio")->isEnabled());
    QVERIFY(boxes_.asked.empty());
}

void RestoreWindowTest::loadingASetEnablesTheChoicesAndBuildsTheTree() {
    MakeWindow();
    ChooseSet(QStringLiteral("B01"));
    QCOMPARE(Find<QLabel>("descriptionField")->text(), QString::fromUtf8("日次"));
    QVERIFY(Find<QPushButton>("restoreButton")->isEnabled());
    QVERIFY(Find<QRadioButton>("savfOnlyRadio")->isChecked());
    QVERIFY(!Find<QCheckBox>("overwriteCheck")->isEnabled());
    // Depth first, each level in name order, the root named by the set, all expanded; the
    // eighth level below the root cannot be chosen and is not offered.
    QStringList shown;
    auto* tree = Find<QTreeWidget>("generationTree");
    QCOMPARE(tree->palette().color(QPalette::Text), QColor(255, 0, 0));
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        shown << (*it)->text(0);
        QVERIFY((*it)->isExpanded() || (*it)->childCount() == 0);
    }
    QCOMPARE(shown, Texts({"B01", "1", "2", "3", "4", "5", "6", "7", "7", "20261206", "Monday"}));
}

void RestoreWindowTest::unreadableSetDisablesEverythingAgain() {
    MakeWindow();
    ChooseSet(QStringLiteral("B01"));
    QTest::mouseClick(Find<QRadioButton>("restoreRadio"), Qt::LeftButton);
    fs::remove(program_ / "BACKUPSET" / "A01");
    ChooseSet(QStringLiteral("A01"));
    QVERIFY(!Find<QPushButton>("restoreButton")->isEnabled());
    QVERIFY(!Find<QPushButton>("selectAllButton")->isEnabled());
    QVERIFY(!Find<QRadioButton>("savfOnlyRadio")->isEnabled());
    QVERIFY(!Find<QRadioButton>("savfOnlyRadio")->isChecked());
    QVERIFY(!Find<QCheckBox>("overwriteCheck")->isEnabled());
    QCOMPARE(Find<QTreeWidget>("generationTree")->topLevelItemCount(), 0);
    QVERIFY(boxes_.asked.empty());  // no message for an unreadable set
}

void RestoreWindowTest::generationListShowsObjectsOfTheSetOnly() {
    MakeWindow();
    ChooseSet(QStringLiteral("B01"));
    ChooseGeneration(QStringLiteral("20261206"));
    QCOMPARE(Column(1), Texts({"PAYROLL", "SALES*01"}));
    QCOMPARE(Column(0), Texts({"PAYLIB", "SALESLIB"}));
    QVERIFY(Column(3).front().contains(QRegularExpression(
        QString::fromUtf8("^\\d{4}年\\d\\d月\\d\\d日 \\d\\d時\\d\\d分\\d\\d秒$"))));
    auto* list = Find<QTreeWidget>("fileList");
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Checked);
    ChooseGeneration(QStringLiteral("Monday"));
    QCOMPARE(list->topLevelItemCount(), 0);
}

void RestoreWindowTest::rootItemLeavesTheListAsItWas() {
    MakeWindow();
    ChooseSet(QStringLiteral("B01"));
    ChooseGeneration(QStringLiteral("20261206"));
    auto* tree = Find<QTreeWidget>("generationTree");
    tree->setCurrentItem(tree->topLevelItem(0));
    QCOMPARE(Column(1), Texts({"PAYROLL", "SALES*01"}));
}

void RestoreWindowTest::optionsAfterASetChange_data() {
    QTest::addColumn<bool>("chooseRestore");
    QTest::addColumn<bool>("overwrite");
    QTest::newRow("restore with overwrite") << true << true;
    QTest::newRow("restore without overwrite") << true << false;
    QTest::newRow("save files only") << false << false;
}

void RestoreWindowTest::optionsAfterASetChange() {
    QFETCH(bool, chooseRestore);
    QFETCH(bool, overwrite);
    MakeWindow();
    ChooseSet(QStringLiteral("B01"));
    auto* savfOnly = Find<QRadioButton>("savfOnlyRadio");
    auto* restore = Find<QRadioButton>("restoreRadio");
    auto* overwriteCheck = Find<QCheckBox>("overwriteCheck");
    if (chooseRestore) {
        QTest::mouseClick(restore, Qt::LeftButton);
        QVERIFY(restore->isChecked() && !savfOnly->isChecked() && overwriteCheck->isEnabled());
        // On the box itself: the widget may be wider than its box and text.
        if (overwrite)
            QTest::mouseClick(overwriteCheck, Qt::LeftButton, {},
                              QPoint(8, overwriteCheck->height() / 2));
        QCOMPARE(overwriteCheck->isChecked(), overwrite);
    }
    ChooseSet(QStringLiteral("A01"));
    QVERIFY(savfOnly->isChecked());
    QVERIFY(!restore->isChecked());
    QVERIFY(!overwriteCheck->isChecked());
    QVERIFY(!overwriteCheck->isEnabled());
}

void RestoreWindowTest::selectAllAndClear() {
    MakeWindow();
    ChooseSet(QStringLiteral("B01"));
    ChooseGeneration(QStringLiteral("20261206"));
    auto* list = Find<QTreeWidget>("fileList");
    QTest::mouseClick(Find<QPushButton>("clearSelectionButton"), Qt::LeftButton);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Unchecked);
    QTest::mouseClick(Find<QPushButton>("selectAllButton"), Qt::LeftButton);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Checked);
}

void RestoreWindowTest::runShowsEachResultAndKeepsTheButtonOffUntilItsWaitEnds() {
    MakeWindow();
    ChooseSet(QStringLiteral("B01"));
    ChooseGeneration(QStringLiteral("20261206"));
    QTest::mouseClick(Find<QRadioButton>("restoreRadio"), Qt::LeftButton);
    boxes_.Answer(ui::MessageAnswer::No);  // "復元処理終了": stay
    QSignalSpy ended(window_.get(), &RestoreWindow::runEnded);
    auto* button = Find<QPushButton>("restoreButton");

    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!button->isEnabled());
    QVERIFY(ended.wait(10000));

    QCOMPARE(ended.front().front().value<RestoreOutcome>(), RestoreOutcome::Complete);
    QVERIFY(button->isEnabled());
    QCOMPARE(Column(4), Texts({"復元完了", "既に存在している"}));
    QCOMPARE(boxes_.asked.size(), 1u);
    QCOMPARE(boxes_.asked.front().caption, QString::fromUtf8("終了確認"));
    QCOMPARE(boxes_.asked.front().text, QString::fromUtf8("復元処理終了"));
    QVERIFY(window_->isVisible());
    QVERIFY(commands_.back().find("PARM(' ')") != std::string::npos);
    auto* messages = Find<ui::MessageListWidget>("messageList");
    QTRY_COMPARE(messages->item(0)->text(), QString::fromUtf8("B01 復元処理の完了"));
}

void RestoreWindowTest::nothingCheckedIsRefusedWithoutHost() {
    MakeWindow();
    ChooseSet(QStringLiteral("B01"));
    ChooseGeneration(QStringLiteral("20261206"));
    QTest::mouseClick(Find<QPushButton>("clearSelectionButton"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>("restoreButton"), Qt::LeftButton);
    QCOMPARE(boxes_.asked.size(), 1u);
    QCOMPARE(boxes_.asked.front().caption, QString::fromUtf8("エラー"));
    QCOMPARE(boxes_.asked.front().text,
             QString::fromUtf8("アップロードするオブジェクトが指定されていない"));
    QVERIFY(!window_->RunActive());
    QVERIFY(commands_.empty());
}

void RestoreWindowTest::zeroTimeLimitClosesTheIdleWindow() {
    MakeWindow(0);
    QTRY_VERIFY(!window_->isVisible());
    const auto log = ReadFileBytes(program_ / "LOG_DAT" / "20261207.log");
    QVERIFY(log.has_value());
    QVERIFY(log->find("\x95\x9c\x8c\xb3\x8f\x88\x97\x9d\x82\xcc\x83\x5e\x83\x43\x83\x80\x83\x41"
                      "\x83\x45\x83\x67") != std::string::npos);  // 復元処理のタイムアウト
    QVERIFY(boxes_.asked.empty());
}

void RestoreWindowTest::cancelWhileTheHostWorksEndsAtOnce() {
    holdHostJob_ = true;
    MakeWindow();
    ChooseSet(QStringLiteral("B01"));
    ChooseGeneration(QStringLiteral("20261206"));
    QTest::mouseClick(Find<QRadioButton>("restoreRadio"), Qt::LeftButton);
    QSignalSpy ended(window_.get(), &RestoreWindow::runEnded);
    QTest::mouseClick(Find<QPushButton>("restoreButton"), Qt::LeftButton);
    QTRY_COMPARE(Find<QLabel>("statusLabel")->text(), QString::fromUtf8("サーバーの処理完了待ち"));

    QTest::mouseClick(Find<QPushButton>("cancelButton"), Qt::LeftButton);

    QVERIFY(!window_->isVisible());  // at once, without a question
    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.front().front().value<RestoreOutcome>(), RestoreOutcome::Stopped);
    QVERIFY(boxes_.asked.empty());
}

}  // namespace zorva::qivrestore

QTEST_MAIN(zorva::qivrestore::RestoreWindowTest)
#include "RestoreWindowTest.moc"
