// The generation browser the saved-data viewer and the restore program share, offscreen.

#include <QComboBox>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "common/ui/GenerationBrowser.h"

namespace zorva::ui {

class GenerationBrowserTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void setNamesAreSortedAndNoneIsChosen();
    void treeNestsTheFoldersDepthFirstUnderTheSetsRoot();
    void onlyGenerationsBelowTheRootAreChosen();
    void checkBoxesAndStatusColumnForTheRestoreProgram();
};

namespace {

GenerationTree SampleTree() {
    return {{{"30", "30", 1},
             {"20260101", "30/20260101", 2},
             {"7", "7", 1},
             {"20260301", "7/20260301", 2},
             {"deeper", "7/20260301/deeper", 3},
             {"Monday", "Monday", 1}},
            {}};
}

QTreeWidgetItem* Find(GenerationBrowser& browser, const char* name) {
    const auto found =
        browser.Tree()->findItems(QString::fromUtf8(name), Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found.front() : nullptr;
}

std::vector<SaveFileRow> SampleFiles() {
    return {{"PAY", "PAYLIB", "PAY", "*FILE", {2007, 3, 5, 9, 7, 2, 1}},
            {"SALES#01", "SALESLIB", "SALES*01", "*FILE", {2007, 3, 5, 9, 8, 0, 1}}};
}

}  // namespace

void GenerationBrowserTest::setNamesAreSortedAndNoneIsChosen() {
    GenerationBrowser browser;
    browser.ShowSetNames({"B01", "A01", "SALES"});
    QCOMPARE(browser.SetSelector()->count(), 3);
    QCOMPARE(browser.SetSelector()->itemText(0), QStringLiteral("A01"));
    QCOMPARE(browser.SetSelector()->itemText(2), QStringLiteral("SALES"));
    QCOMPARE(browser.ChosenSetName(), std::string());
    browser.SetSelector()->setCurrentIndex(1);
    QCOMPARE(browser.ChosenSetName(), std::string("B01"));

    // Chosen by name, as the agent's selector hands it on: loaded as a choice of the user's.
    QSignalSpy closed(&browser, &GenerationBrowser::setListClosed);
    for (const auto& [name, chosen] : {std::pair{"SALES", true}, {"SAL", false}, {"", false}}) {
        QCOMPARE(browser.ChooseSet(name), chosen);
        QCOMPARE(browser.ChosenSetName(), std::string("SALES"));  // a miss changes nothing
    }
    QCOMPARE(closed.count(), 1);
}

void GenerationBrowserTest::treeNestsTheFoldersDepthFirstUnderTheSetsRoot() {
    GenerationBrowser browser;
    browser.ShowFiles(SampleFiles());
    browser.ShowTree("DAILY", SampleTree());
    QCOMPARE(browser.FileList()->topLevelItemCount(), 0);  // a new tree empties the list
    QCOMPARE(browser.Tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* root = browser.Tree()->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("DAILY"));
    QCOMPARE(root->childCount(), 3);
    QCOMPARE(Find(browser, "deeper")->parent(), Find(browser, "20260301"));
    QCOMPARE(Find(browser, "20260301")->parent(), Find(browser, "7"));
    QCOMPARE(Find(browser, "20260101")->parent(), Find(browser, "30"));
    QCOMPARE(Find(browser, "Monday")->parent(), root);
    QVERIFY(Find(browser, "20260301")->isExpanded());
    for (const char* red : {"DAILY", "7", "20260301", "deeper"}) {  // what red means
        QVERIFY2(Find(browser, red)->toolTip(0).startsWith(QStringLiteral("赤字は")), red);
    }

    browser.ShowTree("OTHER", {});
    QCOMPARE(browser.Tree()->topLevelItemCount(), 1);
    QCOMPARE(browser.Tree()->topLevelItem(0)->childCount(), 0);
}

void GenerationBrowserTest::onlyGenerationsBelowTheRootAreChosen() {
    GenerationBrowser browser;
    QSignalSpy chosen(&browser, &GenerationBrowser::generationChosen);
    browser.ShowTree("DAILY", SampleTree());
    QCOMPARE(chosen.count(), 0);  // building the tree chooses nothing
    browser.Tree()->setCurrentItem(Find(browser, "deeper"));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.takeFirst().at(0).toString(), QStringLiteral("7/20260301/deeper"));
    browser.Tree()->setCurrentItem(browser.Tree()->topLevelItem(0));
    QCOMPARE(chosen.count(), 0);
}

void GenerationBrowserTest::checkBoxesAndStatusColumnForTheRestoreProgram() {
    GenerationBrowser browser;
    browser.Configure({true, true, 80});
    QCOMPARE(browser.FileList()->columnCount(), 5);
    QCOMPARE(browser.FileList()->headerItem()->text(4), QStringLiteral("状況"));
    browser.ShowFiles(SampleFiles());
    QTreeWidgetItem* sales = browser.FileList()->topLevelItem(1);
    QCOMPARE(sales->text(1), QStringLiteral("SALES*01"));
    QCOMPARE(sales->text(3), QStringLiteral("2007年03月05日 09時08分00秒"));
    QCOMPARE(sales->checkState(0), Qt::Checked);
    browser.SetAllChecked(false);
    QCOMPARE(sales->checkState(0), Qt::Unchecked);

    browser.Configure({});
    QCOMPARE(browser.FileList()->columnCount(), 4);
    browser.ShowFiles(SampleFiles());
    QCOMPARE(browser.FileList()->topLevelItem(0)->data(0, Qt::CheckStateRole), QVariant());
}

}  // namespace zorva::ui

QTEST_MAIN(zorva::ui::GenerationBrowserTest)
#include "GenerationBrowserTest.moc"
