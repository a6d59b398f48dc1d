// The saved-data viewer's window, offscreen: sets, generations and save files as a user sees
// them, and the two messages it shows.

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "common/Codec.h"
#include "common/Manifest.h"
#include "common/Sha256.h"
#include "common/ui/GenerationBrowser.h"
#include "qivWH/ui/MainWindow.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivwh {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& utf8) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << ToCp932(utf8);
}

const std::string kHeader = "\r\n1\r\n1\t2200\r\n1\t7\r\n \t\r\n";

QStringList Texts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int column = 0; column < item->columnCount(); ++column) texts << item->text(column);
    return texts;
}

// The tree as indented names, depth first.
void Outline(const QTreeWidgetItem* item, int depth, QStringList& lines) {
    lines << QString(qsizetype{depth} * 2, QLatin1Char(' ')) + item->text(0);
    for (int i = 0; i < item->childCount(); ++i) Outline(item->child(i), depth + 1, lines);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void choosingASetShowsItsDescriptionAndGenerations();
    void choosingAGenerationListsTheFilesOfTheSetsObjects();
    void aSetWithoutSavedDataSaysSoAndShowsItsRoot();
    void closingTheListWithoutAChoiceEmptiesOnlyTheDescription();
    void clickingAnEntryOfTheOpenListLoadsThatSet();
    void verifyingAGenerationMarksItsDamagedFilesRed();

private:
    void Choose(int entry);
    void SelectGeneration(const QString& name);

    std::unique_ptr<test::TempFolder> program_;
    std::unique_ptr<test::ScriptedMessageBoxes> boxes_;
    std::unique_ptr<MainWindow> window_;
    ui::GenerationBrowser* browser_ = nullptr;
};

void MainWindowTest::init() {
    program_ = std::make_unique<test::TempFolder>();
    const fs::path p = program_->path();
    WriteFile(p / "zorva.ini",
              "[DIRECTORIES]\r\nBACKUPSET=SETS\r\nBASEDIR=" + (p / "data").string() + "/\r\n");
    WriteFile(p / "SETS" / "SALES",
              "売上" + kHeader + "SALESLIB\tSALES*01\t*FILE\t2\r\nPAYLIB\tPAY\t*FILE\t2\t2\t\r\n");
    WriteFile(p / "SETS" / "EMPTY", "空のセット" + kHeader);
    fs::create_directories(p / "SETS" / "FOLDER");
    for (const char* file : {"SALES#01", "SAVLIBS", "NOTANOBJ", ".PAY.a1b2.part", "PAY"}) {
        WriteFile(p / "data" / "SALES" / "7" / "20260302" / file, "save");
    }
    fs::create_directories(p / "data" / "SALES" / "7" / "20260301");
    fs::create_directories(p / "data" / "SALES" / "Monday");
    boxes_ = std::make_unique<test::ScriptedMessageBoxes>();
    window_ = std::make_unique<MainWindow>(p, *ProfileFile::Load(p / "zorva.ini"), *boxes_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    browser_ = window_->Browser();
}

void MainWindowTest::Choose(int entry) {
    browser_->SetSelector()->setCurrentIndex(entry);
    browser_->SetSelector()->showPopup();
    browser_->SetSelector()->hidePopup();
    QCoreApplication::processEvents();  // the list says it closed once the click is handled
}

void MainWindowTest::SelectGeneration(const QString& name) {
    const auto found = browser_->Tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    browser_->Tree()->setCurrentItem(found.front());
}

void MainWindowTest::choosingASetShowsItsDescriptionAndGenerations() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("保管データ表示"));
    QComboBox* sets = browser_->SetSelector();
    QCOMPARE(sets->count(), 2);
    QCOMPARE(sets->itemText(0), QStringLiteral("EMPTY"));
    QCOMPARE(sets->currentIndex(), -1);
    Choose(1);
    QCOMPARE(browser_->DescriptionField()->text(), QStringLiteral("売上"));
    QStringList outline;
    Outline(browser_->Tree()->topLevelItem(0), 0, outline);
    QCOMPARE(outline, (QStringList{QStringLiteral("SALES"), QStringLiteral("  7"),
                                   QStringLiteral("    20260301"), QStringLiteral("    20260302"),
                                   QStringLiteral("  Monday")}));
    QVERIFY(browser_->Tree()->topLevelItem(0)->child(0)->isExpanded());
    QCOMPARE(browser_->Tree()->palette().color(QPalette::Text), QColor(255, 0, 0));
    QVERIFY(boxes_->asked.empty());
}

void MainWindowTest::choosingAGenerationListsTheFilesOfTheSetsObjects() {
    Choose(1);
    SelectGeneration(QStringLiteral("20260302"));
    QTreeWidget* files = browser_->FileList();
    QCOMPARE(files->topLevelItemCount(), 2);
    QCOMPARE(
        Texts(files->topLevelItem(0)).mid(0, 3),
        (QStringList{QStringLiteral("PAYLIB"), QStringLiteral("PAY"), QStringLiteral("*FILE")}));
    QCOMPARE(Texts(files->topLevelItem(1)).mid(0, 3),
             (QStringList{QStringLiteral("SALESLIB"), QStringLiteral("SALES*01"),
                          QStringLiteral("*FILE")}));
    QVERIFY(files->topLevelItem(1)->text(3).contains(QStringLiteral("時")));
    QCOMPARE(files->topLevelItem(0)->data(0, Qt::CheckStateRole), QVariant());  // no check boxes

    // The root chooses nothing: the list keeps its rows.
    browser_->Tree()->setCurrentItem(browser_->Tree()->topLevelItem(0));
    QCOMPARE(files->topLevelItemCount(), 2);
    SelectGeneration(QStringLiteral("20260301"));
    QCOMPARE(files->topLevelItemCount(), 0);

    // A generation removed since the tree was built says so.
    fs::remove_all(program_->path() / "data" / "SALES" / "Monday");
    SelectGeneration(QStringLiteral("Monday"));
    QCOMPARE(boxes_->asked.size(), std::size_t{1});
    QCOMPARE(boxes_->asked[0].caption, QStringLiteral("エラー"));
    QCOMPARE(boxes_->asked[0].text,
             QStringLiteral("バックアップセットディレクトリにファイルがない"));
    QCOMPARE(files->topLevelItemCount(), 0);
}

void MainWindowTest::aSetWithoutSavedDataSaysSoAndShowsItsRoot() {
    Choose(0);
    QCOMPARE(browser_->DescriptionField()->text(), QStringLiteral("空のセット"));
    QCOMPARE(browser_->Tree()->topLevelItemCount(), 1);
    QCOMPARE(browser_->Tree()->topLevelItem(0)->text(0), QStringLiteral("EMPTY"));
    QCOMPARE(browser_->Tree()->topLevelItem(0)->childCount(), 0);
    QCOMPARE(boxes_->asked.size(), std::size_t{1});
    QCOMPARE(boxes_->asked[0].text, QStringLiteral("バックアップセットディレクトリを取得出来ない"));
    QCOMPARE(boxes_->asked[0].icon, ui::MessageIcon::Information);
}

void MainWindowTest::closingTheListWithoutAChoiceEmptiesOnlyTheDescription() {
    Choose(1);
    SelectGeneration(QStringLiteral("20260302"));
    Choose(-1);
    QCOMPARE(browser_->DescriptionField()->text(), QString());
    QCOMPARE(browser_->Tree()->topLevelItem(0)->text(0), QStringLiteral("SALES"));
    QCOMPARE(browser_->FileList()->topLevelItemCount(), 2);
    QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("backButton")),
                      Qt::LeftButton);
    QVERIFY(!window_->isVisible());
}

void MainWindowTest::clickingAnEntryOfTheOpenListLoadsThatSet() {
    QComboBox* sets = browser_->SetSelector();
    QTest::mouseClick(sets, Qt::LeftButton);
    QAbstractItemView* list = sets->view();
    QTRY_VERIFY(list->isVisible());
    // A release right after the list opened counts as the opening click's own: wait it out.
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    const QRect entry = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry.center());
    QTRY_COMPARE(browser_->DescriptionField()->text(), QStringLiteral("売上"));
    QCOMPARE(browser_->Tree()->topLevelItem(0)->text(0), QStringLiteral("SALES"));
}

void MainWindowTest::verifyingAGenerationMarksItsDamagedFilesRed() {
    const fs::path generation = program_->path() / "data" / "SALES" / "7" / "20260302";
    Sha256 hash;
    hash.Update("save", 4);
    QVERIFY(WriteManifest(
        generation, Manifest{{{"PAY", std::string(64, 'a')}, {"SALES#01", hash.HexDigest()}}}));
    QVERIFY(!window_->VerifyButton()->isEnabled());  // no generation chosen yet
    Choose(1);
    SelectGeneration(QStringLiteral("20260302"));
    QTest::mouseClick(window_->VerifyButton(), Qt::LeftButton);
    QTRY_VERIFY(window_->VerifyButton()->isEnabled());
    QCOMPARE(window_->VerifyProgress()->value(), 100);
    QTreeWidget* files = browser_->FileList();
    QCOMPARE(files->topLevelItem(0)->foreground(1).color(), QColor(Qt::red));  // PAY
    QCOMPARE(files->topLevelItem(1)->toolTip(0), QStringLiteral("OK"));        // SALES#01
    QVERIFY(files->topLevelItem(1)->foreground(1).color() != QColor(Qt::red));
}

}  // namespace zorva::qivwh

QTEST_MAIN(zorva::qivwh::MainWindowTest)
#include "MainWindowTest.moc"
