// The shared window pieces: typed-character filters, the message list's 1,000 rule from any
// thread, the message-box seam, the process launcher and the task runner.

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "common/ui/InputFilter.h"
#include "common/ui/JapaneseQtTexts.h"
#include "common/ui/MessageBoxes.h"
#include "common/ui/MessageListWidget.h"
#include "common/ui/ProcessLauncher.h"
#include "common/ui/QtText.h"
#include "common/ui/QueuedReporter.h"
#include "common/ui/TaskRunner.h"
#include "tests/support/RecordingProcessLauncher.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/TempFolder.h"

using namespace zorva;
using namespace zorva::ui;

Q_DECLARE_METATYPE(zorva::ui::InputFilterKind)
Q_DECLARE_METATYPE(zorva::ui::MessageIcon)
Q_DECLARE_METATYPE(zorva::ui::MessageButtons)

namespace {

QString Keep(const QString& typed, InputFilterKind kind) {
    QString kept;
    for (const uint c : typed.toUcs4()) {
        if (const std::optional<char32_t> accepted = FilterTypedCharacter(kind, c)) {
            const char32_t one = *accepted;
            kept += QString::fromUcs4(&one, 1);
        }
    }
    return kept;
}

void MakeExecutable(const std::filesystem::path& path) {
    std::ofstream(path) << "#!/bin/sh\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

}  // namespace

class CommonUiTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void typedCharacters_data();
    void typedCharacters();
    void typingIntoAnEditIsFilteredButPastingIsNot_data();
    void typingIntoAnEditIsFilteredButPastingIsNot();
    void messageListEmptiesAboveOneThousand_data();
    void messageListEmptiesAboveOneThousand();
    void reporterDeliversInOrderOnTheGuiThread();
    void qtMessageBoxShowsWhatWasAsked_data();
    void qtMessageBoxShowsWhatWasAsked();
    void scriptedMessageBoxesAnswerInAdvance();
    void findProgram_data();
    void findProgram();
    void launcherRunsTheProgramInItsFolderAndReportsItsEnd();
    void launcherReportsAStartFailureWithTheSystemText_data();
    void launcherReportsAStartFailureWithTheSystemText();
    void recordingLauncherFinishesOnCommand();
    void taskRunsOnAWorkerAndFinishesOnTheGuiThread();
    void stopRequestEndsAWaitAtOnce();
    void runnerDestroyedWhileRunningStopsItsTask();
    void qtStandardButtonsSpeakJapanese();  // last: the translation stays installed

private:
    test::TempFolder temp_;
};

void CommonUiTest::typedCharacters_data() {
    QTest::addColumn<InputFilterKind>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    // Control characters 1 to 27 pass everywhere (backspace 8, Ctrl+V 22, Esc 27); 28 and up
    // that are not listed do not, nor does the blank.
    const QString controls = QString(QChar(1)) + QChar(8) + QChar(22) + QChar(27);
    QTest::newRow("digits") << InputFilterKind::Digits
                            << QStringLiteral("0189aZ.-/ ") + controls + QChar(28)
                            << QStringLiteral("0189") + controls;
    QTest::newRow("library") << InputFilterKind::Library << QStringLiteral("qsys1#$._@*/-!Ａ")
                             << QStringLiteral("QSYS1#$._@");
    QTest::newRow("object") << InputFilterKind::Object << QStringLiteral("abc*#$._@/ 9")
                            << QStringLiteral("ABC*#$._@9");
    QTest::newRow("type takes no digits")
        << InputFilterKind::Type << QStringLiteral("*lib01_.X") << QStringLiteral("*LIBX");
    QTest::newRow("address takes no letters")
        << InputFilterKind::Address << QStringLiteral("192.168.0.1a:b")
        << QStringLiteral("192.168.0.1");
    QTest::newRow("name") << InputFilterKind::Name << QStringLiteral("qsecofr@#$_./*")
                          << QStringLiteral("QSECOFR@#$_.");
    QTest::newRow("terminal") << InputFilterKind::Terminal << QStringLiteral("qgpl/qbatch*-")
                              << QStringLiteral("QGPL/QBATCH");
    QTest::newRow("nothing outside ASCII")
        << InputFilterKind::Terminal << QStringLiteral("ｑあ１ä") << QString();
}

void CommonUiTest::typedCharacters() {
    QFETCH(InputFilterKind, kind);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QCOMPARE(Keep(typed, kind), kept);
}

void CommonUiTest::typingIntoAnEditIsFilteredButPastingIsNot_data() {
    QTest::addColumn<InputFilterKind>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("library upper-cased")
        << InputFilterKind::Library << QStringLiteral("qsys-1") << QStringLiteral("QSYS1");
    QTest::newRow("digit into type edit")
        << InputFilterKind::Type << QStringLiteral("*f1ile") << QStringLiteral("*FILE");
    QTest::newRow("letter into address edit")
        << InputFilterKind::Address << QStringLiteral("10.a0.0.1") << QStringLiteral("10.0.0.1");
    QTest::newRow("letter into digits edit")
        << InputFilterKind::Digits << QStringLiteral("1x2") << QStringLiteral("12");
}

void CommonUiTest::typingIntoAnEditIsFilteredButPastingIsNot() {
    QFETCH(InputFilterKind, kind);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QLineEdit edit;
    InstallInputFilter(edit, kind);
    edit.show();
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), shown);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), shown.chopped(1));
    // Pasted text is not filtered, in any edit.
    QApplication::clipboard()->setText(QStringLiteral("ab-9"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.text(), shown.chopped(1) + QStringLiteral("ab-9"));
}

void CommonUiTest::messageListEmptiesAboveOneThousand_data() {
    QTest::addColumn<int>("messages");
    QTest::addColumn<int>("shown");
    QTest::newRow("one") << 1 << 1;
    QTest::newRow("a thousand") << 1000 << 1000;
    QTest::newRow("one more is still kept") << 1001 << 1001;
    QTest::newRow("the next empties first") << 1002 << 1;
    QTest::newRow("and fills again") << 2002 << 1001;
    QTest::newRow("the second emptying") << 2003 << 1;
}

void CommonUiTest::messageListEmptiesAboveOneThousand() {
    QFETCH(int, messages);
    QFETCH(int, shown);
    // The same rule whether the window adds a message or an engine thread feeds it.
    MessageListWidget direct;
    for (int i = 1; i <= messages; ++i) direct.AddMessage(QString::number(i));
    QCOMPARE(direct.count(), shown);
    QCOMPARE(direct.item(0)->text(), QString::number(messages));

    MessageListWidget fed;
    std::thread engine([&fed, messages] {
        for (int i = 1; i <= messages; ++i) {
            AddToMessageList(fed.Feed(), std::to_string(i));
        }
    });
    engine.join();
    QCoreApplication::processEvents();
    QCOMPARE(fed.count(), shown);
    QCOMPARE(fed.item(0)->text(), QString::number(messages));
    QCOMPARE(fed.item(fed.count() - 1)->text(), QString::number(messages - shown + 1));
}

void CommonUiTest::reporterDeliversInOrderOnTheGuiThread() {
    QueuedReporter reporter;
    MessageListWidget messages;
    QStringList statuses;
    QThread* const gui = QThread::currentThread();
    bool allOnGui = true;
    connect(&reporter, &QueuedReporter::messageReported, &messages, &MessageListWidget::AddMessage);
    connect(&reporter, &QueuedReporter::statusReported, &messages, [&](const QString& text) {
        allOnGui = allOnGui && QThread::currentThread() == gui;
        statuses << text;
    });
    std::thread engine([&reporter] {
        reporter.Message("受信開始");
        reporter.MessageAndStatus("接続中");
        reporter.Status("完了");
    });
    engine.join();
    QCOMPARE(statuses.size(), 0);  // nothing ran on the engine's thread
    QCoreApplication::processEvents();
    QCOMPARE(statuses, (QStringList{QStringLiteral("接続中"), QStringLiteral("完了")}));
    QVERIFY(allOnGui);
    QCOMPARE(messages.count(), 2);
    QCOMPARE(messages.item(0)->text(), QStringLiteral("接続中"));
    QCOMPARE(messages.item(1)->text(), QStringLiteral("受信開始"));
}

void CommonUiTest::qtMessageBoxShowsWhatWasAsked_data() {
    QTest::addColumn<MessageIcon>("icon");
    QTest::addColumn<MessageButtons>("buttons");
    QTest::addColumn<int>("expectedIcon");
    QTest::addColumn<int>("expectedButtons");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("answer");
    QTest::newRow("error") << MessageIcon::Information << MessageButtons::Ok
                           << int(QMessageBox::Information) << int(QMessageBox::Ok)
                           << int(QMessageBox::Ok) << int(MessageAnswer::Ok);
    QTest::newRow("question cancelled")
        << MessageIcon::Question << MessageButtons::OkCancel << int(QMessageBox::Question)
        << int(QMessageBox::Ok | QMessageBox::Cancel) << int(QMessageBox::Cancel)
        << int(MessageAnswer::Cancel);
    QTest::newRow("question accepted")
        << MessageIcon::Question << MessageButtons::OkCancel << int(QMessageBox::Question)
        << int(QMessageBox::Ok | QMessageBox::Cancel) << int(QMessageBox::Ok)
        << int(MessageAnswer::Ok);
    QTest::newRow("yes or no") << MessageIcon::Warning << MessageButtons::YesNo
                               << int(QMessageBox::Warning)
                               << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::No)
                               << int(MessageAnswer::No);
}

void CommonUiTest::qtMessageBoxShowsWhatWasAsked() {
    QFETCH(MessageIcon, icon);
    QFETCH(MessageButtons, buttons);
    QFETCH(int, expectedIcon);
    QFETCH(int, expectedButtons);
    QFETCH(int, clicked);
    QFETCH(int, answer);
    QString caption;
    QString text;
    int shownIcon = -1;
    int shownButtons = -1;
    // Reads the open box and presses a button, from inside its own event loop.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        caption = box->windowTitle();
        text = box->text();
        shownIcon = box->icon();
        shownButtons = int(box->standardButtons());
        box->button(QMessageBox::StandardButton(clicked))->click();
    });
    QtMessageBoxes boxes;
    const MessageAnswer given = boxes.Show(
        {nullptr, QStringLiteral("確認メッセージ"), QStringLiteral("削除しますか"), icon, buttons});
    QCOMPARE(caption, QStringLiteral("確認メッセージ"));
    QCOMPARE(text, QStringLiteral("削除しますか"));
    QCOMPARE(shownIcon, expectedIcon);
    QCOMPARE(shownButtons, expectedButtons);
    QCOMPARE(int(given), answer);
}

void CommonUiTest::scriptedMessageBoxesAnswerInAdvance() {
    test::ScriptedMessageBoxes boxes;
    boxes.Answer(MessageAnswer::Cancel);
    MessageBoxes& seam = boxes;
    QVERIFY(!seam.Confirm(nullptr, QStringLiteral("確認メッセージ"), QStringLiteral("a")));
    // No answer left: the box counts as closed, and the test can see it was not expected.
    QVERIFY(!seam.Confirm(nullptr, QStringLiteral("確認メッセージ"), QStringLiteral("b")));
    seam.Inform(nullptr, QStringLiteral("エラー"), QStringLiteral("c"));
    QCOMPARE(boxes.unanswered, 2);
    QCOMPARE(boxes.asked.size(), std::size_t{3});
    QCOMPARE(boxes.asked[0].icon, MessageIcon::Question);
    QCOMPARE(boxes.asked[0].buttons, MessageButtons::OkCancel);
    QCOMPARE(boxes.asked[2].caption, QStringLiteral("エラー"));
    QCOMPARE(boxes.asked[2].icon, MessageIcon::Information);
    QCOMPARE(boxes.asked[2].buttons, MessageButtons::Ok);
}

void CommonUiTest::findProgram_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("searchPath");
    QTest::addColumn<QString>("found");  // relative to the temp folder; empty: not found
    QTest::newRow("beside the running program first") << "qivLog"
                                                      << "pathA"
                                                      << "beside/qivLog";
    QTest::newRow("then on PATH, in order") << "qivWH"
                                            << "pathA:pathB"
                                            << "pathA/qivWH";
    QTest::newRow("later PATH entry") << "qivRestore"
                                      << "pathA:pathB"
                                      << "pathB/qivRestore";
    QTest::newRow("not executable is skipped") << "notes"
                                               << "pathA:pathB"
                                               << "pathB/notes";
    QTest::newRow("a folder is not a program") << "folder"
                                               << "pathA"
                                               << "";
    QTest::newRow("empty PATH entries skipped") << "qivWH"
                                                << "::"
                                                << "";
    QTest::newRow("missing") << "qivftp"
                             << "pathA:pathB"
                             << "";
    QTest::newRow("empty name") << ""
                                << "pathA"
                                << "";
}

void CommonUiTest::findProgram() {
    QFETCH(QString, program);
    QFETCH(QString, searchPath);
    QFETCH(QString, found);
    const std::filesystem::path root = temp_.path() / "lookup";
    std::filesystem::create_directories(root / "beside");
    std::filesystem::create_directories(root / "pathA" / "folder");
    std::filesystem::create_directories(root / "pathB");
    MakeExecutable(root / "beside" / "qivLog");
    MakeExecutable(root / "pathA" / "qivLog");
    MakeExecutable(root / "pathA" / "qivWH");
    MakeExecutable(root / "pathB" / "qivRestore");
    std::ofstream(root / "pathA" / "notes") << "text";
    MakeExecutable(root / "pathB" / "notes");
    // An empty PATH entry means the current folder to a shell; the lookup never uses it.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(root / "pathA");
    QStringList entries;
    for (const QString& entry : searchPath.split(QLatin1Char(':'))) {
        entries << (entry.isEmpty() ? QString() : ToQ((root / FromQ(entry)).string()));
    }
    const auto result =
        FindProgram(FromQ(program), root / "beside", FromQ(entries.join(QLatin1Char(':'))));
    std::filesystem::current_path(previous);
    if (found.isEmpty()) {
        QVERIFY2(!result, result ? result->c_str() : "");
    } else {
        QVERIFY(result);
        QCOMPARE(ToQ(result->string()), ToQ((root / FromQ(found)).string()));
    }
}

void CommonUiTest::launcherRunsTheProgramInItsFolderAndReportsItsEnd() {
    const std::filesystem::path folder = temp_.path() / "program folder";
    std::filesystem::create_directories(folder);
    SystemProcessLauncher launcher(ToQ(temp_.path().string()));
    QSignalSpy ends(&launcher, &ProcessLauncher::finished);
    // Arguments reach the child as they are: no shell splits or expands them.
    const LaunchResult result = launcher.Launch(
        {QStringLiteral("sh"),
         {QStringLiteral("-c"), QStringLiteral("pwd > out; printf %s \"$1\" >> out; exit 3"),
          QStringLiteral("sh"), QStringLiteral("DAILY $HOME *")},
         ToQ(folder.string())});
    QVERIFY2(result.started, qPrintable(result.errorText));
    QVERIFY(ends.wait(10000));
    QCOMPARE(ends.at(0).at(0).toInt(), result.id);
    QCOMPARE(ends.at(0).at(1).toInt(), 3);
    std::ifstream out(folder / "out");
    std::string cwd;
    std::string argument;
    std::getline(out, cwd);
    std::getline(out, argument);
    QCOMPARE(ToQ(cwd), ToQ(folder.string()));
    QCOMPARE(ToQ(argument), QStringLiteral("DAILY $HOME *"));

    const LaunchResult killed = launcher.Launch(
        {QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("kill $$")}, {}});
    QVERIFY(killed.started);
    QVERIFY(killed.id != result.id);
    QVERIFY(ends.wait(10000));
    QCOMPARE(ends.at(1).at(0).toInt(), killed.id);
    QCOMPARE(ends.at(1).at(1).toInt(), -1);
}

void CommonUiTest::launcherReportsAStartFailureWithTheSystemText_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("error");
    QTest::newRow("no such program") << "qivNothing"
                                     << "" << ENOENT;
    QTest::newRow("no such path") << "/nonexistent/qivWH"
                                  << "" << ENOENT;
    QTest::newRow("no such working folder") << "sh"
                                            << "/nonexistent/folder" << ENOENT;
}

void CommonUiTest::launcherReportsAStartFailureWithTheSystemText() {
    QFETCH(QString, program);
    QFETCH(QString, folder);
    QFETCH(int, error);
    SystemProcessLauncher launcher(ToQ(temp_.path().string()));
    const LaunchResult result = launcher.Launch({program, {}, folder});
    QVERIFY(!result.started);
    QCOMPARE(result.errorText, QString::fromLocal8Bit(std::strerror(error)));
}

void CommonUiTest::recordingLauncherFinishesOnCommand() {
    test::RecordingProcessLauncher launcher;
    ProcessLauncher& seam = launcher;
    QSignalSpy ends(&seam, &ProcessLauncher::finished);
    const LaunchResult first =
        seam.Launch({QStringLiteral("qivftp"), {QStringLiteral("DAILY")}, {}});
    launcher.FailNextStart(QStringLiteral("No such file or directory"));
    const LaunchResult refused = seam.Launch({QStringLiteral("qivWH"), {}, {}});
    QVERIFY(first.started);
    QVERIFY(!refused.started);
    QCOMPARE(refused.errorText, QStringLiteral("No such file or directory"));
    QCOMPARE(launcher.launches.size(), std::size_t{2});
    QCOMPARE(launcher.RunningCount(), std::size_t{1});
    QCOMPARE(ends.count(), 0);
    QVERIFY(launcher.Finish(first.id, 0));
    QVERIFY(!launcher.Finish(first.id, 0));  // ends once
    QCOMPARE(ends.count(), 1);
    QCOMPARE(launcher.RunningCount(), std::size_t{0});
}

void CommonUiTest::taskRunsOnAWorkerAndFinishesOnTheGuiThread() {
    TaskRunner runner;
    QSignalSpy ends(&runner, &TaskRunner::finished);
    std::atomic<bool> release{false};
    std::atomic<bool> onWorker{false};
    QThread* const gui = QThread::currentThread();
    QVERIFY(runner.Start([&](Waiter&) {
        onWorker = QThread::currentThread() != gui;
        while (!release) std::this_thread::yield();
    }));
    QVERIFY(runner.Running());
    QVERIFY(!runner.Start([](Waiter&) {}));  // one task at a time
    release = true;
    QVERIFY(ends.wait(10000));
    QCOMPARE(ends.count(), 1);
    QVERIFY(onWorker);
    QVERIFY(!runner.Running());
    // The runner can run again, with a fresh stop request.
    runner.RequestStop();
    bool stopSeen = true;
    QVERIFY(runner.Start([&](Waiter& waiter) { stopSeen = waiter.Interrupted(); }));
    QVERIFY(ends.wait(10000));
    QVERIFY(!stopSeen);
}

void CommonUiTest::stopRequestEndsAWaitAtOnce() {
    TaskRunner runner;
    QSignalSpy ends(&runner, &TaskRunner::finished);
    std::atomic<bool> waiting{false};
    bool waitCompleted = true;
    const auto started = std::chrono::steady_clock::now();
    runner.Start([&](Waiter& waiter) {
        waiting = true;
        waitCompleted = waiter.WaitFor(std::chrono::minutes(10));
    });
    while (!waiting) std::this_thread::yield();
    runner.RequestStop();
    QVERIFY(runner.StopRequested());
    QVERIFY(ends.wait(10000));
    QVERIFY(!waitCompleted);
    QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::minutes(1));
}

void CommonUiTest::runnerDestroyedWhileRunningStopsItsTask() {
    std::atomic<bool> ended{false};
    {
        TaskRunner runner;
        runner.Start([&](Waiter& waiter) {
            waiter.WaitFor(std::chrono::minutes(10));
            ended = true;
        });
    }
    QVERIFY(ended);
    QCoreApplication::processEvents();  // the dropped end notice must not reach a dead runner
}

void CommonUiTest::qtStandardButtonsSpeakJapanese() {
    QVERIFY(UseJapaneseQtTexts(*QCoreApplication::instance()));
    QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Ok |
                         QDialogButtonBox::Cancel);
    for (const auto& [button, text] : {std::pair{QDialogButtonBox::Yes, "はい"},
                                       {QDialogButtonBox::No, "いいえ"},
                                       {QDialogButtonBox::Ok, "OK"},
                                       {QDialogButtonBox::Cancel, "キャンセル"}}) {
        QVERIFY2(box.button(button)->text().startsWith(QString::fromUtf8(text)),
                 qPrintable(box.button(button)->text()));
    }
}

QTEST_MAIN(CommonUiTest)
#include "CommonUiTest.moc"
