#include "velmoro/ui/MainWindow.h"

#include <QCloseEvent>
#include <QIcon>
#include <QPushButton>

#include "common/DailyLog.h"
#include "common/TransferProgressFile.h"
#include "common/ui/QtText.h"
#include "ui_MainWindow.h"
#include "velmoro/engine/AgentHostSession.h"
#include "velmoro/engine/Schedule.h"
#include "velmoro/ui/JobListView.h"
#include "velmoro/ui/QtProgramLauncher.h"
#include "velmoro/ui/SetPanelView.h"
#include "velmoro/ui/TrayIcon.h"

namespace zorva::velmoro {
namespace {

using ui::FromQ;
using ui::ToQ;

constexpr const char* kErrorCaption = "エラーメッセージ";
constexpr const char* kQuestionCaption = "確認メッセージ";
constexpr std::string_view kAskExit = "Velmoro設定画面を終了します";
constexpr std::string_view kBadStartMethod = "モード引数が不正";

QIcon ProgramIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/velmoro/icon-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/velmoro/icon-32.png"), QSize(32, 32));
    return icon;
}

}  // namespace

MainWindow::MainWindow(const ProgramContext& context, MainWindowServices services, QWidget* parent)
    : QDialog(parent),
      context_(context),
      services_(std::move(services)),
      ui_(std::make_unique<Ui::MainWindow>()) {
    ui_->setupUi(this);
    // Enter in an edit must not press a button: the window has no default action.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    const QIcon icon = ProgramIcon();
    setWindowIcon(icon);

    setPanel_ = std::make_unique<SetPanelView>(*ui_, panel_, state_);
    jobList_ = new JobListView(*ui_->jobList, *this);
    connect(jobList_, &JobListView::actionChosen, this, &MainWindow::OnJobMenuAction);
    tray_ = new TrayIcon(*this, icon, services_.trayAvailable);

    launcher_ = std::make_unique<QtProgramLauncher>(
        services_.launcher, QString::fromStdString(context.folder.string()));
    starter_ = std::make_unique<ProgramStarter>(*launcher_, state_, reporter_);
    starter_->onJobsChanged = [this] {
        RefreshJobList();
        if (starter_->TransferRunning()) progressTimer_.start();
    };
    starter_->onStartFailed = [this](const std::string& text) { ShowError(text); };
    HostFactory factory = services_.hostFactory ? services_.hostFactory : SessionHostFactory();
    SchedulerShell& shell = *this;
    scheduler_ = std::make_unique<Scheduler>(context_, state_, *starter_, reporter_, shell,
                                             std::move(factory), hostWaiter_);

    timer_.setObjectName(QStringLiteral("schedulerTimer"));
    connect(&timer_, &QTimer::timeout, this, &MainWindow::RunSchedulerTick);
    progressTimer_.setObjectName(QStringLiteral("transferProgressTimer"));
    progressTimer_.setInterval(1000);
    connect(&progressTimer_, &QTimer::timeout, this, &MainWindow::PollTransferProgress);
    connect(&worker_, &ui::TaskRunner::finished, this, [this] {
        std::function<void()> then = std::move(workerThen_);
        if (then && !exiting_) then();
    });
    connect(&reporter_, &ui::QueuedReporter::statusReported, this, &MainWindow::ShowStatus);
    connect(&reporter_, &ui::QueuedReporter::messageReported, this,
            [this](const QString& text) { context_.log.WriteDailyLog(FromQ(text)); });

    ConnectButtons();
}

MainWindow::~MainWindow() {
    scheduler_->Abandon();
    hostWaiter_.Interrupt();
    worker_.RequestStop();
}

QMenu* MainWindow::JobMenu() const {
    return jobList_->Menu();
}

void MainWindow::ConnectButtons() {
    connect(ui_->setSelector, qOverload<int>(&QComboBox::activated), this,
            &MainWindow::OnSetChosen);
    connect(ui_->objectsButton, &QPushButton::clicked, this, &MainWindow::OnObjectsClicked);
    connect(ui_->storeButton, &QPushButton::clicked, this, &MainWindow::OnStoreClicked);
    connect(ui_->submitButton, &QPushButton::clicked, this, &MainWindow::OnSubmitClicked);
    connect(ui_->connectionButton, &QPushButton::clicked, this, &MainWindow::OnConnectionClicked);
    // The viewers and the restore program open on the set the operator chose.
    connect(ui_->logViewerButton, &QPushButton::clicked, this,
            [this] { starter_->StartLogViewer(setPanel_->ChosenStoredSet()); });
    connect(ui_->savedDataButton, &QPushButton::clicked, this,
            [this] { starter_->StartSavedDataViewer(setPanel_->ChosenStoredSet()); });
    connect(ui_->restoreButton, &QPushButton::clicked, this,
            [this] { starter_->StartRestore(setPanel_->ChosenStoredSet()); });
    connect(ui_->exitButton, &QPushButton::clicked, this, &MainWindow::OnExitRequested);
}

Expected<void> MainWindow::StartUp() {
    ResetSetPanel(panel_);
    const Expected<AgentStartup> started = StartAgent(context_, state_, ZORVA_VERSION);
    if (!started) return Unexpected{started.error()};
    const AgentStartup& startup = *started;
    const bool notice = !startup.setsLoaded || startup.setsLeftOut || startup.jobFileKept;
    ui_->statusLabel->setText(notice ? ToQ(state_.lastError) : QString());
    setPanel_->ListStoredSets();
    setPanel_->Show();
    LockMainWindow(!startup.hostInstalled);
    RefreshJobList();
    ui_->versionLabel->setText(ToQ(state_.settings.version));
    setPanel_->FocusOn(PanelFocus::SetSelector);
    timer_.setInterval(startup.schedulerPeriod);
    UpdateTimer();
    context_.log.WriteForced(kProgramStarted);
    return {};
}

void MainWindow::ShowStatus(const QString& text) {
    ui_->statusLabel->setText(text);
}

// The note is a few bytes on a local disk, read on the GUI thread like the job file.
void MainWindow::PollTransferProgress() {
    const bool running = starter_->TransferRunning();
    if (!running) progressTimer_.stop();
    const auto note = running ? ReadTransferProgress(context_.folder) : std::nullopt;
    const QString text = note ? ToQ(TransferProgressText(*note)) : QString();
    // Without a note only our own last text goes: a message shown meanwhile stays.
    if (note || ui_->statusLabel->text() == shownProgress_) ShowStatus(text);
    shownProgress_ = text;
}

void MainWindow::ShowError(std::string_view text) {
    services_.boxes.Inform(this, ToQ(kErrorCaption), ToQ(text));
}

bool MainWindow::Ask(std::string_view text) {
    return services_.boxes.Confirm(this, ToQ(kQuestionCaption), ToQ(text));
}

void MainWindow::LockMainWindow(bool locked) {
    setPanel_->Lock(locked);
    QWidget* controls[] = {ui_->jobList,      ui_->logViewerButton, ui_->savedDataButton,
                           ui_->submitButton, ui_->storeButton,     ui_->restoreButton};
    for (QWidget* control : controls) control->setEnabled(!locked);
}

void MainWindow::UnlockMainWindow() {
    LockMainWindow(false);
    ResetSetPanel(panel_);
    setPanel_->Show();
}

void MainWindow::RefreshJobList() {
    jobList_->Show(state_.jobs);
}

// Scheduler shell.

void MainWindow::SetTitle(std::string_view title) {
    setWindowTitle(ToQ(title));
}

void MainWindow::RunInBackground(std::function<void()> work, std::function<void()> then) {
    workerThen_ = std::move(then);
    worker_.Start([work = std::move(work)](Waiter&) { work(); });
}

void MainWindow::TickEnded() {
    UpdateTimer();
}

void MainWindow::RunSchedulerTick() {
    timer_.stop();
    scheduler_->Tick();
}

void MainWindow::HoldScheduler() {
    ++holds_;
    UpdateTimer();
}

void MainWindow::ReleaseScheduler() {
    if (holds_ > 0) --holds_;
    UpdateTimer();
}

void MainWindow::UpdateTimer() {
    const bool run = !exiting_ && holds_ == 0 && !immediateRunning_ && !scheduler_->TickRunning();
    if (run && !timer_.isActive()) timer_.start();
    if (!run) timer_.stop();
}

// Commands.

void MainWindow::OnSetChosen() {
    setPanel_->Read();
    if (ShowSelectedSet(panel_, state_)) setPanel_->ShowObjects(CurrentRecord(state_));
    LockScheduleIfJob(panel_, state_.jobs);
    setPanel_->Show();
}

void MainWindow::OnObjectsClicked() {
    setPanel_->Read();
    if (!CheckSetName(panel_, state_)) {
        ShowError(state_.lastError);
        setPanel_->FocusOn(PanelFocus::SetSelector);
        return;
    }
    if (!services_.dialogs) return;
    bool registered = services_.dialogs->EditObjects(
        this, CurrentRecord(state_), {panel_.selectorText, panel_.description}, state_.settings,
        [this] { HoldScheduler(); }, [this] { ReleaseScheduler(); });
    if (registered) setPanel_->ShowObjects(CurrentRecord(state_));
    if (!FindSetByName(state_.sets, panel_.selectorText)) {
        setPanel_->Read();
        ResetScheduleForNewSet(panel_);
        setPanel_->Show();
    }
}

void MainWindow::OnStoreClicked() {
    setPanel_->Read();
    if (StartMethodConflict(panel_, state_.jobs)) {
        ShowError(kStartMethodConflictText);
        return;
    }
    EntryCheck check = CheckSetEntries(panel_, state_);
    if (!check.ok) {
        ShowError(state_.lastError);
        setPanel_->FocusOn(check.focus);
        return;
    }
    const bool isNew = state_.sets.newSet == 1;
    if (!Ask(isNew ? kAskNewSet : kAskOverwriteSet)) return;
    if (!StoreCurrentSet(panel_, state_, context_.folder)) {
        ShowError(state_.lastError);
        context_.log.WriteDailyLog(state_.lastError);
    }
    if (isNew) setPanel_->AddSetName(panel_.selectorText);
}

void MainWindow::OnSubmitClicked() {
    HoldScheduler();
    setPanel_->Read();
    EntryCheck check = CheckSetEntries(panel_, state_);
    if (!check.ok) {
        ShowError(state_.lastError);
        setPanel_->FocusOn(check.focus);
        ReleaseScheduler();
        return;
    }
    const bool isNew = state_.sets.newSet == 1;
    // A stored set is rewritten only when the user agrees, as "バックアップセット保管" asks.
    const bool overwrites = !isNew && StoreChangesSetFile(panel_, state_, context_.folder);
    if ((isNew && !Ask(kAskNewSet)) || (overwrites && !Ask(kAskOverwriteSet))) {
        ReleaseScheduler();
        return;
    }
    if (!StoreCurrentSet(panel_, state_, context_.folder)) {
        ShowError(state_.lastError);
        context_.log.WriteDailyLog(state_.lastError);
    }
    if (isNew) setPanel_->AddSetName(panel_.selectorText);

    const BackupSet& set = CurrentRecord(state_);
    switch (set.startMethod) {
        case StartMethod::Pc:
        case StartMethod::Host:
            if (const auto registered = RegisterJob(state_.jobs, state_.sets, context_.clock)) {
                LockScheduleIfJob(panel_, state_.jobs);
                setPanel_->Show();
            } else {
                state_.lastError = registered.error().text;
                ShowError(state_.lastError);
            }
            RefreshJobList();
            break;
        case StartMethod::Immediate: {
            const std::string name = set.setName;
            immediateRunning_ = true;
            bool started = starter_->StartTransferAgent(name, [this, name](bool ran) {
                immediateRunning_ = false;
                if (!ran && !exiting_) ShowError(state_.lastError);
                SetJobStatus(state_.jobs, name, JobStatus::Waiting);
                RefreshJobList();
                UpdateTimer();
            });
            if (!started) {
                immediateRunning_ = false;
                ShowError(state_.lastError);
            }
            break;
        }
        default:
            ShowError(kBadStartMethod);
    }
    ReleaseScheduler();
}

void MainWindow::OnConnectionClicked() {
    if (!services_.dialogs) return;
    HoldScheduler();
    std::optional<Settings> result = services_.dialogs->EditConnection(
        this, state_.settings, [this] { return starter_->TransferRunning(); },
        [this] {
            state_.settings.hostInstalled = true;
            UnlockMainWindow();
        });
    if (result) {
        const bool installed = state_.settings.hostInstalled;
        state_.settings = *result;
        state_.settings.hostInstalled = installed;
        if (!WriteSettings(SettingsPath(context_.folder), state_.settings)) {
            context_.log.WriteDailyLog("zorva.iniの書出しに失敗した");
        }
        context_.log.SetDetailLog(state_.settings.detailLog);
    }
    ReleaseScheduler();
}

void MainWindow::OnJobMenuAction(JobMenuAction action, int row) {
    JobFileWrite saved = JobFileWrite::Written;
    switch (action) {
        case JobMenuAction::Stop:
            saved = SetJobActive(state_.jobs, row, false);
            break;
        case JobMenuAction::Activate:
            saved = SetJobActive(state_.jobs, row, true);
            break;
        case JobMenuAction::History:
            starter_->StartLogViewer(state_.jobs.records.at(static_cast<std::size_t>(row)).setName);
            saved = SaveJobs(state_.jobs);
            break;
        case JobMenuAction::Delete: {
            auto log = [this](std::string_view message) { context_.log.WriteDailyLog(message); };
            saved = DeleteJob(state_.jobs, row, state_.sets, context_.clock, log);
            setPanel_->Read();
            if (ShowSelectedSet(panel_, state_)) setPanel_->ShowObjects(CurrentRecord(state_));
            LockScheduleIfJob(panel_, state_.jobs);
            setPanel_->Show();
            break;
        }
    }
    RefreshJobList();
    if (saved == JobFileWrite::Failed) ShowError(kJobFileWriteFailed);
}

// Ending, minimising.

void MainWindow::OnExitRequested() {
    if (!Ask(kAskExit)) return;
    exiting_ = true;
    // A transfer agent still running goes on to its end; its run is not booked.
    scheduler_->Abandon();
    timer_.stop();
    hostWaiter_.Interrupt();
    worker_.RequestStop();
    context_.log.WriteForced(kProgramEnded);
    tray_->Hide();
    done(2);
    close();
    Q_EMIT exitConfirmed();
}

void MainWindow::reject() {
    OnExitRequested();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (exiting_) {
        event->accept();
        return;
    }
    event->ignore();
    OnExitRequested();
}

void MainWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) tray_->WindowStateChanged();
}

}  // namespace zorva::velmoro
