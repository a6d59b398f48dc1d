// The connection settings as a user meets them (offscreen): filters, the mail box, the checks'
// messages and focus, "クリア", the folder browser and the installation on its worker thread.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "common/FileIo.h"
#include "common/InstanceLock.h"
#include "common/ui/QtText.h"
#include "tests/velmoro/DialogFixture.h"
#include "velmoro/ui/ConnectionDialog.h"

namespace zorva::velmoro {

class ConnectionDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::DialogFixture> fixture_;
    std::unique_ptr<zorva::test::ScriptedHost> host_;
    bool transferRunning_ = false;
    std::unique_ptr<ConnectionDialog> dialog_;

    std::filesystem::path Base() const { return fixture_->folder / "save"; }
    Settings Complete() const {
        Settings s;
        s.termId = "PC01";
        s.baseDir = Base().string() + "/";
        s.hostAddress = "127.0.0.1";
        s.user = "ZORVA";
        s.password = "SECRET";
        s.jobQueue = "QGPL/QBATCH";
        return s;
    }
    void Open(const Settings& settings) {
        dialog_ = std::make_unique<ConnectionDialog>(
            fixture_->context, settings, [this] { return transferRunning_; }, nullptr,
            &fixture_->boxes);
        dialog_->SetHostFactory(test::DialogFixture::Serving(*host_));
        dialog_->show();
    }
    template <class W>
    W* Find(const char* name) {
        W* widget = dialog_->findChild<W*>(QString::fromLatin1(name));
        if (!widget) qFatal("no widget %s", name);
        return widget;
    }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
    void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
    QStringList Asked() {
        QStringList texts;
        for (const auto& request : fixture_->boxes.asked)
            texts << request.caption + u'|' + request.text;
        return texts;
    }

private Q_SLOTS:
    void init() {
        fixture_ = std::make_unique<test::DialogFixture>();
        std::filesystem::create_directories(Base());
        host_ = std::make_unique<zorva::test::ScriptedHost>();
        transferRunning_ = false;
    }
    void cleanup() {
        dialog_.reset();
        fixture_.reset();
    }

    void opensOnTheSettingsWithTheMailFieldsFollowingTheBox() {
        Settings s = Complete();
        s.mailAddress = "kept@example.com";  // mail off: not shown
        Open(s);
        QCOMPARE(dialog_->windowTitle(), QStringLiteral("接続設定"));
        QCOMPARE(Edit("baseDirEdit")->text(), ui::ToQ(Base().string() + "/"));
        QCOMPARE(Edit("passwordEdit")->echoMode(), QLineEdit::Password);
        QVERIFY(Edit("mailAddressEdit")->text().isEmpty());
        QVERIFY(!Edit("mailAddressEdit")->isEnabled());
        Find<QCheckBox>("mailBox")->click();
        QVERIFY(Edit("mailAddressEdit")->isEnabled());
        QVERIFY(Edit("smtpEdit")->isEnabled());
        QVERIFY(Edit("mailFromEdit")->isEnabled());
        Find<QCheckBox>("mailBox")->click();
        QVERIFY(!Edit("smtpEdit")->isEnabled());
        QVERIFY(Find<QPushButton>("installButton")->isEnabled());
    }

    void typedCharactersAreFiltered_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("address: digits and dots") << "hostAddressEdit"
                                                  << "1a.2b.3 "
                                                  << "1.2.3";
        QTest::newRow("password upper-cased") << "passwordEdit"
                                              << "secret!"
                                              << "SECRET";
        QTest::newRow("user: no slash") << "userEdit"
                                        << "qsecofr/1"
                                        << "QSECOFR1";
        QTest::newRow("terminal takes a slash") << "termIdEdit"
                                                << "pc/01 x"
                                                << "PC/01X";
        QTest::newRow("job queue") << "jobQueueEdit"
                                   << "qgpl/qbatch"
                                   << "QGPL/QBATCH";
        QTest::newRow("terminal: ten characters") << "termIdEdit"
                                                  << "abcdefghijkl"
                                                  << "ABCDEFGHIJ";
    }
    void typedCharactersAreFiltered() {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Open(Settings{});
        auto* target = dialog_->findChild<QLineEdit*>(edit);
        target->clear();
        QTest::keyClicks(target, typed);
        QCOMPARE(target->text(), shown);
    }

    void acceptedEntriesBecomeTheResult() {
        Settings s = Complete();
        s.baseDir.clear();
        Open(s);
        Edit("baseDirEdit")->setText(ui::ToQ(Base().string()));
        Edit("hostAddressEdit")->setText(QStringLiteral("1.2.3"));  // not taken over, no message
        Find<QCheckBox>("detailLogBox")->setChecked(true);
        Click("registerButton");
        QVERIFY(Asked().isEmpty());
        QCOMPARE(dialog_->result(), int(QDialog::Accepted));
        const Settings result = dialog_->Result();
        QCOMPARE(result.baseDir, Base().string() + "/");
        QCOMPARE(result.hostAddress, std::string("127.0.0.1"));
        QCOMPARE(result.detailLog, 1);
    }

    void mailWithOnlyTheAddressFocusesTheSmtpServer() {
        Open(Complete());
        Find<QCheckBox>("mailBox")->setChecked(true);
        Edit("mailAddressEdit")->setText(QStringLiteral("ops@example.com"));
        Click("registerButton");
        QCOMPARE(Asked(), QStringList{QStringLiteral(
                              "エラーメッセージ|メール送信を選択した場合。項目は入力必須です")});
        QCOMPARE(dialog_->focusWidget(), Edit("smtpEdit"));
        QVERIFY(dialog_->isVisible());
    }

    void programFolderAsBaseFolderIsRefusedWithItsTextSelected() {
        Open(Complete());
        const QString program = ui::ToQ(fixture_->folder.path().string());
        Edit("baseDirEdit")->setText(program);
        Click("registerButton");
        QCOMPARE(Asked(), QStringList{QStringLiteral(
                              "エラーメッセージ|"
                              "保管用ベースディレクトリがプログラム保管ディレクトリと同一です")});
        QCOMPARE(dialog_->focusWidget(), Edit("baseDirEdit"));
        QCOMPARE(Edit("baseDirEdit")->selectedText(), program);
    }

    void clearEmptiesTheEntries() {
        Settings s = Complete();
        s.mailActive = 1;
        s.mailAddress = s.smtp = s.mailFrom = "x";
        s.detailLog = 1;
        Open(s);
        Click("clearButton");
        for (const char* name :
             {"termIdEdit", "baseDirEdit", "hostAddressEdit", "userEdit", "passwordEdit",
              "jobQueueEdit", "mailAddressEdit", "smtpEdit", "mailFromEdit"})
            QVERIFY2(Edit(name)->text().isEmpty(), name);
        QVERIFY(!Find<QCheckBox>("mailBox")->isChecked());
        QVERIFY(!Find<QCheckBox>("detailLogBox")->isChecked());
        QVERIFY(!Edit("mailFromEdit")->isEnabled());
        QVERIFY(dialog_->isVisible());
    }

    void folderBrowserReplacesTheBaseFolder() {
        Open(Complete());
        QString title;
        dialog_->SetFolderChooser([&](QWidget*, const QString& t, const QString&) {
            title = t;
            return QStringLiteral("/chosen");
        });
        Click("browseButton");
        QCOMPARE(title, QStringLiteral("ＳＡＶＦ保管用ディレクトリの指定"));
        QCOMPARE(Edit("baseDirEdit")->text(), QStringLiteral("/chosen"));
        dialog_->SetFolderChooser(
            [](QWidget*, const QString&, const QString&) { return QString(); });
        Click("browseButton");  // cancelled: unchanged
        QCOMPARE(Edit("baseDirEdit")->text(), QStringLiteral("/chosen"));
    }

    void cancelAndEscapeEndWithTheirCodes() {
        Open(Complete());
        Click("cancelButton");
        QCOMPARE(dialog_->result(), int(DialogEnd::Cancelled));
        Open(Complete());
        QTest::keyClick(dialog_.get(), Qt::Key_Escape);
        QCOMPARE(dialog_->result(), int(DialogEnd::Escaped));
    }

    void installIsRefusedWhileATransferAgentRuns() {
        transferRunning_ = true;
        Open(Complete());
        Click("installButton");
        QCOMPARE(Asked(),
                 QStringList{QStringLiteral("エラーメッセージ|既にダウンロードが開始されている")});
        QVERIFY(host_->Calls().empty());
    }

    void installIsRefusedWhileATransferAgentStartedElsewhereRuns() {
        InstanceLock transferAgent(fixture_->folder.path(), "qivftp");
        QVERIFY(transferAgent.Acquired());
        QVERIFY(WriteFileAtomically(fixture_->folder / "ZORVAV3", "module"));
        Open(Complete());
        Click("installButton");
        QCOMPARE(Asked(),
                 QStringList{QStringLiteral("エラーメッセージ|既にダウンロードが開始されている")});
        QVERIFY(host_->Calls().empty());
    }

    void installRunsOnTheHostAndUnlocksTheMainWindow() {
        QVERIFY(WriteFileAtomically(fixture_->folder / "ZORVAV3", "module"));
        Open(Complete());
        QSignalSpy installed(dialog_.get(), &ConnectionDialog::hostModuleInstalled);
        Click("installButton");
        QVERIFY(installed.wait(15000));
        QCOMPARE(
            Asked(),
            QStringList{QStringLiteral("完了メッセージ|iSeries/ASへのモジュールの導入が完了した")});
        QVERIFY(!Find<QPushButton>("installButton")->isEnabled());
        QCOMPARE(*ReadInstallFlag(SettingsPath(fixture_->folder.path())), true);
        QCOMPARE(host_->files["QGPL/ZORVAV3"], std::string("module"));
        QVERIFY(dialog_->isVisible());  // the dialog stays open
    }

    void failedInstallShowsTheStepsText() {
        Open(Complete());  // no module file in the program folder
        Click("installButton");
        QTRY_COMPARE_WITH_TIMEOUT(fixture_->boxes.asked.size(), std::size_t{1}, 15000);
        QCOMPARE(Asked(), QStringList{QStringLiteral("エラーメッセージ|") +
                                      ui::ToQ((fixture_->folder / "ZORVAV3").string()) +
                                      QStringLiteral(":アップロードに失敗しました")});
        QVERIFY(Find<QPushButton>("installButton")->isEnabled());
    }

    void installButtonIsDisabledWhenInstalled() {
        QVERIFY(WriteInstallFlag(SettingsPath(fixture_->folder.path())));
        Open(Complete());
        QVERIFY(!Find<QPushButton>("installButton")->isEnabled());
    }
};

}  // namespace zorva::velmoro

QTEST_MAIN(zorva::velmoro::ConnectionDialogTest)
#include "ConnectionDialogTest.moc"
