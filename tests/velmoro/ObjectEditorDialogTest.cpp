// The object editor as a user meets it (offscreen): typed characters, scrolling, red rows, the
// three ways out, and "登録" with the host check on its worker thread.

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include "tests/velmoro/CheckingHost.h"
#include "tests/velmoro/DialogFixture.h"
#include "tests/velmoro/ObjectRows.h"
#include "velmoro/ui/ObjectEditorDialog.h"

namespace zorva::velmoro {

using test::Row;

class ObjectEditorDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::DialogFixture> fixture_;
    std::unique_ptr<test::CheckingHost> checking_;
    BackupSet set_;
    std::unique_ptr<ObjectEditorDialog> dialog_;

    void Open(std::vector<ObjectRow> rows, std::set<std::string> missing = {}) {
        set_ = BackupSet{};
        set_.setName = "DAILY";
        set_.description = "日次保管";
        set_.rows = std::move(rows);
        checking_ = std::make_unique<test::CheckingHost>(std::move(missing));
        Settings settings;
        dialog_ = std::make_unique<ObjectEditorDialog>(fixture_->context, settings, set_, nullptr,
                                                       &fixture_->boxes);
        dialog_->SetHostFactory(test::DialogFixture::Serving(checking_->host));
        dialog_->show();
    }
    template <class W>
    W* Find(const QString& name) {
        W* widget = dialog_->findChild<W*>(name);
        if (!widget) qFatal("no widget %s", qPrintable(name));
        return widget;
    }
    QLineEdit* Edit(const char* kind, int line) {
        return Find<QLineEdit>(QString::fromLatin1(kind) + QString::number(line));
    }
    void Click(const char* button) {
        QTest::mouseClick(Find<QPushButton>(QString::fromLatin1(button)), Qt::LeftButton);
    }
    void Type(int line, const QString& library, const QString& object, const QString& type) {
        Edit("libraryEdit", line)->setText(library);
        Edit("objectEdit", line)->setText(object);
        Edit("typeEdit", line)->setText(type);
    }
    // The colour the user sees near the right end of an edit.
    QColor Background(QLineEdit* edit) {
        const QImage image = edit->grab().toImage();
        return image.pixelColor(image.width() - 6, image.height() / 2);
    }
    QStringList Asked() {
        QStringList texts;
        for (const auto& request : fixture_->boxes.asked)
            texts << request.caption + u'|' + request.text;
        return texts;
    }

private Q_SLOTS:
    void init() { fixture_ = std::make_unique<test::DialogFixture>(); }
    void cleanup() {
        dialog_.reset();
        checking_.reset();
        fixture_.reset();
    }

    void opensOnTheSetWithRowNumbers() {
        Open({Row("PAYLIB", "PAYROLL", "*FILE", '5')});
        QCOMPARE(dialog_->windowTitle(), QStringLiteral("保管オブジェクトの登録／変更"));
        QCOMPARE(Find<QLabel>(QStringLiteral("setNameLabel"))->text(), QStringLiteral("DAILY"));
        QCOMPARE(Find<QLabel>(QStringLiteral("descriptionLabel"))->text(),
                 QStringLiteral("日次保管"));
        QCOMPARE(Find<QLabel>(QStringLiteral("rowNumberLabel9"))->text(), QStringLiteral("10"));
        QCOMPARE(Edit("objectEdit", 0)->text(), QStringLiteral("PAYROLL"));
        QVERIFY(Find<QCheckBox>(QStringLiteral("protectBox0"))->isChecked());
        QVERIFY(Find<QRadioButton>(QStringLiteral("medRadio0"))->isChecked());
        QVERIFY(Find<QRadioButton>(QStringLiteral("lowRadio1"))->isChecked());
        QVERIFY(!Find<QRadioButton>(QStringLiteral("medRadio1"))->isChecked());
    }

    void typedCharactersAreFiltered_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("library upper-cased") << "libraryEdit3"
                                             << "qsys"
                                             << "QSYS";
        QTest::newRow("library symbols") << "libraryEdit3"
                                         << "a#$._@*/ b1"
                                         << "A#$._@B1";
        QTest::newRow("object takes a star") << "objectEdit3"
                                             << "pay*"
                                             << "PAY*";
        QTest::newRow("type takes no digit") << "typeEdit3"
                                             << "*file1"
                                             << "*FILE";
        QTest::newRow("ten characters") << "objectEdit3"
                                        << "abcdefghijkl"
                                        << "ABCDEFGHIJ";
    }
    void typedCharactersAreFiltered() {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Open({});
        QLineEdit* target = Find<QLineEdit>(edit);
        QTest::keyClicks(target, typed);
        QCOMPARE(target->text(), shown);
    }

    void scrollingShowsTheLastRowsAndCollectsTheLines() {
        std::vector<ObjectRow> rows(kMaxRows);
        rows[95] = Row("LIB95", "OBJ95", "*FILE");
        Open(rows);
        Type(9, QStringLiteral("TYPED"), QStringLiteral("ROW10"), QStringLiteral("*PGM"));
        auto* bar = Find<QScrollBar>(QStringLiteral("rowScrollBar"));
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(Edit("libraryEdit", 8)->text(), QStringLiteral("TYPED"));  // collected, moved up
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(Find<QLabel>(QStringLiteral("rowNumberLabel0"))->text(), QStringLiteral("90"));
        QCOMPARE(Find<QLabel>(QStringLiteral("rowNumberLabel9"))->text(), QStringLiteral("99"));
        QCOMPARE(Edit("libraryEdit", 6)->text(), QStringLiteral("LIB95"));  // row 96
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // at the bottom: no change
        QCOMPARE(Find<QLabel>(QStringLiteral("rowNumberLabel0"))->text(), QStringLiteral("90"));
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(Edit("objectEdit", 9)->text(), QStringLiteral("ROW10"));
    }

    void incompleteRowTurnsRedAndNothingGoesToTheHost() {
        Open({});
        Type(2, QStringLiteral("PAYLIB"), QStringLiteral("PAYROLL"), QString());
        Type(5, QStringLiteral("ARLIB"), QStringLiteral("CUST"), QStringLiteral("*FILE"));
        QSignalSpy started(dialog_.get(), &ObjectEditorDialog::registrationStarted);
        QSignalSpy finished(dialog_.get(), &ObjectEditorDialog::registrationFinished);
        Click("registerButton");
        QCOMPARE(
            Asked(),
            QStringList{QStringLiteral("エラーメッセージ|オブジェクト一覧にエラーがあります")});
        QCOMPARE(fixture_->boxes.asked[0].icon, ui::MessageIcon::Information);
        // Compacted: the faulty row is now the first.
        QCOMPARE(Edit("libraryEdit", 0)->text(), QStringLiteral("PAYLIB"));
        QCOMPARE(Background(Edit("typeEdit", 0)), QColor(255, 100, 100));
        QCOMPARE(Background(Edit("libraryEdit", 1)), QColor(Qt::white));
        QVERIFY(checking_->host.Calls().empty());
        QVERIFY(dialog_->isVisible());
        QCOMPARE(started.count(), 1);
        QCOMPARE(finished.count(), 1);
    }

    void sameObjectInTwoLibrariesIsADuplicate() {
        Open({Row("LIBA", "CUST", "*FILE"), Row("LIBB", "CUST", "*FILE")});
        Click("registerButton");
        QCOMPARE(Asked(),
                 QStringList{QStringLiteral("エラーメッセージ|オブジェクト一覧に重複があります")});
        QCOMPARE(Background(Edit("objectEdit", 0)), QColor(255, 100, 100));
        QCOMPARE(Background(Edit("objectEdit", 1)), QColor(255, 100, 100));
        QVERIFY(checking_->host.Calls().empty());
    }

    void cancelLeavesTheSetAsItWas() {
        const std::vector<ObjectRow> opening = {Row("PAYLIB", "PAYROLL", "*FILE", '4')};
        Open(opening);
        Type(0, QStringLiteral("OTHER"), QStringLiteral("X"), QString());
        Click("registerButton");  // fails, compacts and marks
        Find<QScrollBar>(QStringLiteral("rowScrollBar"))
            ->triggerAction(QAbstractSlider::SliderPageStepAdd);
        Click("cancelButton");
        QCOMPARE(dialog_->result(), int(DialogEnd::Cancelled));
        QVERIFY(!dialog_->isVisible());
        QVERIFY(set_.rows == opening);
    }

    void escapeKeepsWhatScrollingCollected() {
        Open({Row("PAYLIB", "PAYROLL", "*FILE")});
        Type(4, QStringLiteral("ARLIB"), QStringLiteral("CUST"), QStringLiteral("*FILE"));
        Find<QScrollBar>(QStringLiteral("rowScrollBar"))
            ->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        Type(0, QStringLiteral("NOT"), QStringLiteral("COLLECTED"), QStringLiteral("*FILE"));
        QTest::keyClick(dialog_.get(), Qt::Key_Escape);
        QCOMPARE(dialog_->result(), int(DialogEnd::Escaped));
        QCOMPARE(set_.rows.size(), std::size_t{5});
        QCOMPARE(set_.rows[0].library, std::string("PAYLIB"));
        QVERIFY(set_.rows[1].library.empty());  // typed after the last scroll: not collected
        QCOMPARE(set_.rows[4].object, std::string("CUST"));
    }

    void clearEmptiesEveryLineButCancelStillRestores() {
        Open({Row("PAYLIB", "PAYROLL", "*FILE", '6')});
        Click("clearButton");
        QVERIFY(Edit("libraryEdit", 0)->text().isEmpty());
        QVERIFY(!Find<QCheckBox>(QStringLiteral("protectBox0"))->isChecked());
        QVERIFY(Find<QRadioButton>(QStringLiteral("lowRadio0"))->isChecked());
        QVERIFY(dialog_->isVisible());
        Click("cancelButton");
        QCOMPARE(set_.rows.size(), std::size_t{1});
        QCOMPARE(set_.rows[0].optionCode, '6');
    }

    void registrationChecksOnTheHostAndEndsWithTheCheckedList() {
        Open({});
        Type(2, QStringLiteral("QSYS"), QStringLiteral("PAYLIB"), QStringLiteral("*LIB"));
        Type(6, QStringLiteral("QSPL"), QStringLiteral("PRT01"), QStringLiteral("*SPL"));
        Find<QCheckBox>(QStringLiteral("protectBox6"))->setChecked(true);
        QSignalSpy finished(dialog_.get(), &ObjectEditorDialog::registrationFinished);
        Click("registerButton");
        QVERIFY(!Find<QPushButton>(QStringLiteral("registerButton"))->isEnabled());  // busy, live
        QVERIFY(finished.wait(15000));
        QCOMPARE(Asked(),
                 QStringList{QStringLiteral("完了メッセージ|オブジェクト存在チェック完了")});
        QCOMPARE(dialog_->result(), int(QDialog::Accepted));
        QCOMPARE(set_.rows.size(), std::size_t{2});
        QCOMPARE(set_.rows[0].objectKind, '1');
        QCOMPARE(set_.rows[1].objectKind, '3');
        QCOMPARE(set_.rows[1].optionCode, '1');
    }

    void escapeDuringTheCheckStopsItThenEndsTheDialog() {
        Open({Row("PAYLIB", "PAYROLL", "*FILE")});
        checking_->host.Script(zorva::test::ScriptedHost::Op::GetFile,
                               std::vector<HostStatus>(100, HostStatus::Failed));
        QSignalSpy finished(dialog_.get(), &ObjectEditorDialog::registrationFinished);
        QElapsedTimer timer;
        timer.start();
        Click("registerButton");
        QTest::keyClick(dialog_.get(), Qt::Key_Escape);
        QVERIFY(dialog_->isVisible());  // the check ends first
        QVERIFY(finished.wait(15000));
        QVERIFY(timer.elapsed() < 5000);  // stopped, not waited out
        QTRY_VERIFY(!dialog_->isVisible());
        QCOMPARE(dialog_->result(), int(DialogEnd::Escaped));
        QVERIFY(fixture_->boxes.asked.empty());
        QCOMPARE(set_.rows.size(), std::size_t{1});
    }

    void missingObjectIsMarkedAndTheDialogStaysOpen() {
        Open({Row("PAYLIB", "PAYROLL", "*FILE"), Row("PAYLIB", "GONE", "*FILE")}, {"PAYLIB/GONE"});
        QSignalSpy finished(dialog_.get(), &ObjectEditorDialog::registrationFinished);
        Click("registerButton");
        QVERIFY(finished.wait(15000));
        QCOMPARE(Asked(),
                 QStringList{QStringLiteral(
                     "エラーメッセージ|"
                     "オブジェクト存在チェックエラー\nいくつかのオブジェクトが存在しません")});
        QVERIFY(dialog_->isVisible());
        QCOMPARE(Background(Edit("libraryEdit", 1)), QColor(255, 100, 100));
        QCOMPARE(Background(Edit("libraryEdit", 0)), QColor(Qt::white));
        QVERIFY(Find<QPushButton>(QStringLiteral("registerButton"))->isEnabled());
    }
};

}  // namespace zorva::velmoro

QTEST_MAIN(zorva::velmoro::ObjectEditorDialogTest)
#include "ObjectEditorDialogTest.moc"
