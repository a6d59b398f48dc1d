#include "velmoro/ui/MainWindow.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTreeWidget>

#include "common/DailyLog.h"
#include "common/ui/InputFilter.h"
#include "common/ui/ListColumns.h"
#include "common/ui/QtText.h"
#include "ui_MainWindow.h"
#include "velmoro/engine/AgentHostSession.h"
#include "velmoro/engine/JobList.h"
#include "velmoro/engine/Schedule.h"

namespace zorva::velmoro {
namespace {

using ui::FromQ;
using ui::ToQ;

constexpr const char* kErrorCaption = "エラーメッセージ";
constexpr const char* kQuestionCaption = "確認メッセージ";
constexpr std::string_view kAskExit = "Velmoro設定画面を終了します";
constexpr std::string_view kBadStartMethod = "モード引数が不正";

enum JobMenuAction {
    StopJob = 40001,
    DeleteJobAction = 40002,
    JobHistory = 40003,
    ActivateJob = 40004
};

constexpr const char* kObjectColumns[] = {"ライブラリ", "オブジェクト", "タイプ", "保護", "圧縮"};

void Mirror(QAbstractButton& button, const PanelToggle& toggle) {
    button.setChecked(toggle.checked);
    button.setEnabled(toggle.enabled);
}

void Mirror(QLineEdit& edit, const PanelEdit& state) {
    if (edit.text() != ToQ(state.text)) edit.setText(ToQ(state.text));
    edit.setEnabled(state.enabled);
}

void CenterAll(QTreeWidgetItem& item, int columns) {
    for (int i = 0; i < columns; ++i) item.setTextAlignment(i, Qt::AlignCenter);
}

}  // namespace

// The engine's launcher over the shared ProcessLauncher: a start that fails is told at once,
// a started program's end arrives with the launcher's `finished`.
class MainWindow::LauncherAdapter final : public ProgramLauncher {
public:
    LauncherAdapter(ui::ProcessLauncher& launcher, QString folder)
        : launcher_(launcher), folder_(std::move(folder)) {
        connection_ = QObject::connect(&launcher_, &ui::ProcessLauncher::finished, &launcher_,
                                       [this](int id, int) { Ended(id); });
    }
    ~LauncherAdapter() override { QObject::disconnect(connection_); }

    void Start(std::string_view program, const std::vector<std::string>& arguments,
               ProgramLauncher::Ended ended) override {
        QStringList list;
        for (const std::string& argument : arguments) list << ToQ(argument);
        ui::LaunchResult result = launcher_.Launch({ToQ(program), list, folder_});
        if (!result.started) {
            if (ended) ended(LaunchOutcome{false, FromQ(result.errorText)});
            return;
        }
        waiting_[result.id] = std::move(ended);
    }

private:
    void Ended(int id) {
        auto found = waiting_.find(id);
        if (found == waiting_.end()) return;
        ProgramLauncher::Ended ended = std::move(found->second);
        waiting_.erase(found);
        if (ended) ended(LaunchOutcome{true, {}});
    }

    ui::ProcessLauncher& launcher_;
    QString folder_;
    QMetaObject::Connection connection_;
    std::map<int, ProgramLauncher::Ended> waiting_;
};

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
    QIcon icon;
    icon.addFile(QStringLiteral(":/velmoro/icon-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/velmoro/icon-32.png"), QSize(32, 32));
    setWindowIcon(icon);

    launcher_ = std::make_unique<LauncherAdapter>(services_.launcher,
                                                  QString::fromStdString(context.folder.string()));
    starter_ = std::make_unique<ProgramStarter>(*launcher_, state_, reporter_);
    starter_->onJobsChanged = [this] { RefreshJobList(); };
    starter_->onStartFailed = [this](const std::string& text) { ShowError(text); };
    HostFactory factory = services_.hostFactory ? services_.hostFactory : SessionHostFactory();
    SchedulerShell& shell = *this;
    scheduler_ = std::make_unique<Scheduler>(context_, state_, *starter_, reporter_, shell,
                                             std::move(factory), hostWaiter_);

    timer_.setObjectName(QStringLiteral("schedulerTimer"));
    connect(&timer_, &QTimer::timeout, this, &MainWindow::RunSchedulerTick);
    connect(&worker_, &ui::TaskRunner::finished, this, [this] {
        std::function<void()> then = std::move(workerThen_);
        if (then && !exiting_) then();
    });
    connect(&reporter_, &ui::QueuedReporter::statusReported, this, &MainWindow::ShowStatus);
    connect(&reporter_, &ui::QueuedReporter::messageReported, this,
            [this](const QString& text) { context_.log.WriteDailyLog(FromQ(text)); });

    tray_ = new QSystemTrayIcon(icon, this);
    tray_->setObjectName(QStringLiteral("trayIcon"));
    tray_->setToolTip(QStringLiteral("Velmoro"));
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger) RestoreFromTray();
    });

    BuildLists();
    ConnectControls();
}

MainWindow::~MainWindow() {
    scheduler_->Abandon();
    hostWaiter_.Interrupt();
    worker_.RequestStop();
}

void MainWindow::BuildLists() {
    QTreeWidget& objects = *ui_->objectList;
    objects.setColumnCount(5);
    QStringList objectHeaders;
    for (const char* header : kObjectColumns) objectHeaders << ToQ(header);
    objects.setHeaderLabels(objectHeaders);
    ui::GiveWidthToNameColumns(objects, {0, 1});  // ライブラリ, オブジェクト
    objects.header()->setDefaultAlignment(Qt::AlignCenter);

    QTreeWidget& jobs = *ui_->jobList;
    jobs.setColumnCount(static_cast<int>(kJobListColumnCount));
    QStringList jobHeaders;
    for (const JobListColumn& column : kJobListColumns) jobHeaders << ToQ(column.header);
    jobs.setHeaderLabels(jobHeaders);
    for (std::size_t i = 0; i < kJobListColumnCount; ++i) {
        jobs.setColumnWidth(static_cast<int>(i), kJobListColumns[i].width);
    }
    jobs.header()->setDefaultAlignment(Qt::AlignCenter);
    jobs.viewport()->installEventFilter(this);

    jobMenu_ = new QMenu(this);
    jobMenu_->setObjectName(QStringLiteral("jobMenu"));
    auto add = [this](const char* text, int id) {
        QAction* action = jobMenu_->addAction(ToQ(text));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { OnJobMenuAction(id); });
    };
    add("ジョブの停止", StopJob);
    add("ジョブの履歴", JobHistory);
    add("ジョブの活動化", ActivateJob);
    jobMenu_->addSeparator();
    add("ジョブの削除", DeleteJobAction);
}

void MainWindow::ConnectControls() {
    ui_->setSelector->lineEdit()->setMaxLength(static_cast<int>(kSelectorTextLimit));
    // The typed text is the set's name: completing it to a stored name would store over that set.
    ui_->setSelector->setCompleter(nullptr);
    for (QLineEdit* edit : {ui_->retentionEdit, ui_->monthDayEdit, ui_->saveTimeEdit}) {
        ui::InstallInputFilter(*edit, ui::InputFilterKind::Digits);
    }
    auto onClick = [this](QAbstractButton* button, auto rule) {
        connect(button, &QAbstractButton::clicked, this, [this, rule] {
            ReadPanelTexts();
            rule();
            ShowPanel();
        });
    };
    onClick(ui_->dailyGroupRadio, [this] { OnDailyGroupClicked(panel_); });
    onClick(ui_->everyDayRadio, [this] { OnDailyGroupClicked(panel_); });
    onClick(ui_->weekdaysRadio, [this] { OnWeekdaysClicked(panel_); });
    onClick(ui_->monthlyGroupRadio, [this] { OnMonthlyGroupClicked(panel_); });
    onClick(ui_->pcStartRadio,
            [this] { OnStartMethodClicked(panel_, state_, StartMethodChoice::Pc); });
    onClick(ui_->hostStartRadio,
            [this] { OnStartMethodClicked(panel_, state_, StartMethodChoice::Host); });
    onClick(ui_->immediateRadio,
            [this] { OnStartMethodClicked(panel_, state_, StartMethodChoice::Immediate); });
    // The monthly kinds behave as one group of their own.
    onClick(ui_->firstDayRadio, [this] {
        panel_.firstDay.checked = true;
        panel_.lastDay.checked = panel_.givenDay.checked = false;
    });
    onClick(ui_->lastDayRadio, [this] {
        panel_.lastDay.checked = true;
        panel_.firstDay.checked = panel_.givenDay.checked = false;
    });
    onClick(ui_->givenDayRadio, [this] {
        panel_.givenDay.checked = true;
        panel_.firstDay.checked = panel_.lastDay.checked = false;
    });

    connect(ui_->setSelector, qOverload<int>(&QComboBox::activated), this,
            &MainWindow::OnSetChosen);
    connect(ui_->objectsButton, &QPushButton::clicked, this, &MainWindow::OnObjectsClicked);
    connect(ui_->storeButton, &QPushButton::clicked, this, &MainWindow::OnStoreClicked);
    connect(ui_->submitButton, &QPushButton::clicked, this, &MainWindow::OnSubmitClicked);
    connect(ui_->connectionButton, &QPushButton::clicked, this, &MainWindow::OnConnectionClicked);
    // The viewers and the restore program open on the set the operator chose.
    connect(ui_->logViewerButton, &QPushButton::clicked, this,
            [this] { starter_->StartLogViewer(ChosenStoredSet()); });
    connect(ui_->savedDataButton, &QPushButton::clicked, this,
            [this] { starter_->StartSavedDataViewer(ChosenStoredSet()); });
    connect(ui_->restoreButton, &QPushButton::clicked, this,
            [this] { starter_->StartRestore(ChosenStoredSet()); });
    connect(ui_->exitButton, &QPushButton::clicked, this, &MainWindow::OnExitRequested);
}

Expected<void> MainWindow::StartUp() {
    ResetSetPanel(panel_);
    const Expected<AgentStartup> started = StartAgent(context_, state_, ZORVA_VERSION);
    if (!started) return Unexpected{started.error()};
    const AgentStartup& startup = *started;
    const bool notice = !startup.setsLoaded || startup.setsLeftOut || startup.jobFileKept;
    ui_->statusLabel->setText(notice ? ToQ(state_.lastError) : QString());
    ui_->setSelector->clear();
    for (const BackupSet& set : state_.sets.sets) ui_->setSelector->addItem(ToQ(set.setName));
    ui_->setSelector->setCurrentIndex(-1);
    ui_->setSelector->setEditText({});
    ShowPanel();
    LockMainWindow(!startup.hostInstalled);
    RefreshJobList();
    ui_->versionLabel->setText(ToQ(state_.settings.version));
    ui_->setSelector->setFocus();
    timer_.setInterval(startup.schedulerPeriod);
    UpdateTimer();
    context_.log.WriteForced(kProgramStarted);
    return {};
}

// The texts the user may have typed since the last rule ran; checks and enabled states are the
// panel record's alone.
void MainWindow::ReadPanelTexts() {
    panel_.selectorText = FromQ(ui_->setSelector->currentText());
    panel_.description = FromQ(ui_->descriptionEdit->text());
    panel_.retention.text = FromQ(ui_->retentionEdit->text());
    panel_.monthDay.text = FromQ(ui_->monthDayEdit->text());
    panel_.saveTime.text = FromQ(ui_->saveTimeEdit->text());
    QCheckBox* boxes[] = {ui_->mondayBox, ui_->tuesdayBox,  ui_->wednesdayBox, ui_->thursdayBox,
                          ui_->fridayBox, ui_->saturdayBox, ui_->sundayBox};
    for (std::size_t i = 0; i < 7; ++i) panel_.weekdayBoxes[i].checked = boxes[i]->isChecked();
}

void MainWindow::ShowPanel() {
    if (ui_->setSelector->currentText() != ToQ(panel_.selectorText)) {
        ui_->setSelector->setEditText(ToQ(panel_.selectorText));
    }
    if (ui_->descriptionEdit->text() != ToQ(panel_.description)) {
        ui_->descriptionEdit->setText(ToQ(panel_.description));
    }
    Mirror(*ui_->pcStartRadio, panel_.pcStart);
    Mirror(*ui_->hostStartRadio, panel_.hostStart);
    Mirror(*ui_->immediateRadio, panel_.immediate);
    Mirror(*ui_->dailyGroupRadio, panel_.dailyGroup);
    Mirror(*ui_->everyDayRadio, panel_.everyDay);
    Mirror(*ui_->weekdaysRadio, panel_.weekdays);
    Mirror(*ui_->retentionEdit, panel_.retention);
    QCheckBox* boxes[] = {ui_->mondayBox, ui_->tuesdayBox,  ui_->wednesdayBox, ui_->thursdayBox,
                          ui_->fridayBox, ui_->saturdayBox, ui_->sundayBox};
    for (std::size_t i = 0; i < 7; ++i) Mirror(*boxes[i], panel_.weekdayBoxes[i]);
    Mirror(*ui_->monthlyGroupRadio, panel_.monthlyGroup);
    Mirror(*ui_->firstDayRadio, panel_.firstDay);
    Mirror(*ui_->lastDayRadio, panel_.lastDay);
    Mirror(*ui_->givenDayRadio, panel_.givenDay);
    Mirror(*ui_->monthDayEdit, panel_.monthDay);
    Mirror(*ui_->saveTimeEdit, panel_.saveTime);
    if (locked_) LockMainWindow(true);
}

void MainWindow::ShowSetObjects(const BackupSet& set) {
    ui_->objectList->clear();
    for (const ObjectRow& row : set.rows) {
        if (row.library.empty()) break;
        auto* item =
            new QTreeWidgetItem(QStringList{ToQ(row.library), ToQ(row.object), ToQ(row.type),
                                            ToQ(ProtectionText(row)), ToQ(CompressionText(row))});
        CenterAll(*item, 5);
        ui_->objectList->addTopLevelItem(item);
    }
}

void MainWindow::ShowStatus(const QString& text) {
    ui_->statusLabel->setText(text);
}

void MainWindow::ShowError(std::string_view text) {
    services_.boxes.Inform(this, ToQ(kErrorCaption), ToQ(text));
}

void MainWindow::FocusOn(PanelFocus focus) {
    QWidget* target = nullptr;
    switch (focus) {
        case PanelFocus::None:
            return;
        case PanelFocus::SetSelector:
            target = ui_->setSelector;
            break;
        case PanelFocus::Retention:
            target = ui_->retentionEdit;
            break;
        case PanelFocus::Weekdays:
            target = ui_->weekdaysRadio;
            break;
        case PanelFocus::MonthDay:
            target = ui_->monthDayEdit;
            break;
        case PanelFocus::SaveTime:
            target = ui_->saveTimeEdit;
            break;
        case PanelFocus::StoreButton:
            target = ui_->storeButton;
            break;
        case PanelFocus::ConnectionButton:
            target = ui_->connectionButton;
            break;
    }
    target->setFocus(Qt::OtherFocusReason);
}

bool MainWindow::Ask(std::string_view text) {
    return services_.boxes.Confirm(this, ToQ(kQuestionCaption), ToQ(text));
}

void MainWindow::LockMainWindow(bool locked) {
    locked_ = locked;
    QWidget* controls[] = {ui_->setSelector,   ui_->descriptionEdit, ui_->startMethodGroup,
                           ui_->scheduleGroup, ui_->objectList,      ui_->jobList,
                           ui_->objectsButton, ui_->logViewerButton, ui_->savedDataButton,
                           ui_->submitButton,  ui_->storeButton,     ui_->restoreButton};
    for (QWidget* control : controls) control->setEnabled(!locked);
}

void MainWindow::UnlockMainWindow() {
    LockMainWindow(false);
    ResetSetPanel(panel_);
    ShowPanel();
}

void MainWindow::RefreshJobList() {
    QTreeWidget& list = *ui_->jobList;
    const int selected = list.currentIndex().isValid() ? list.currentIndex().row() : -1;
    list.clear();
    for (const JobListRow& row : JobListRows(state_.jobs)) {
        QStringList texts;
        for (const std::string& text : row) texts << ToQ(text);
        auto* item = new QTreeWidgetItem(texts);
        CenterAll(*item, static_cast<int>(kJobListColumnCount));
        list.addTopLevelItem(item);
    }
    if (selected >= 0 && selected < list.topLevelItemCount()) {
        list.setCurrentItem(list.topLevelItem(selected));
    }
    // The columns keep their widths unless a text needs more (this font is wider than the
    // one the widths were made for).
    const QFontMetrics metrics(list.font());
    for (std::size_t i = 0; i < kJobListColumnCount; ++i) {
        const int column = static_cast<int>(i);
        int width = std::max(kJobListColumns[i].width, list.header()->sectionSizeHint(column));
        for (int row = 0; row < list.topLevelItemCount(); ++row) {
            width = std::max(width,
                             metrics.horizontalAdvance(list.topLevelItem(row)->text(column)) + 12);
        }
        list.setColumnWidth(column, width);
    }
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

// A name typed but not stored yet has nothing to show: the programs then open as on their own.
std::string MainWindow::ChosenStoredSet() const {
    const std::string name = FromQ(ui_->setSelector->currentText());
    return FindSetByName(state_.sets, name) >= 0 ? name : std::string();
}

void MainWindow::OnSetChosen() {
    ReadPanelTexts();
    if (ShowSelectedSet(panel_, state_)) ShowSetObjects(CurrentRecord(state_));
    LockScheduleIfJob(panel_, state_.jobs);
    ShowPanel();
}

void MainWindow::OnObjectsClicked() {
    ReadPanelTexts();
    if (!CheckSetName(panel_, state_)) {
        ShowError(state_.lastError);
        ui_->setSelector->setFocus();
        return;
    }
    if (!services_.dialogs) return;
    bool registered = services_.dialogs->EditObjects(
        this, CurrentRecord(state_), {panel_.selectorText, panel_.description}, state_.settings,
        [this] { HoldScheduler(); }, [this] { ReleaseScheduler(); });
    if (registered) ShowSetObjects(CurrentRecord(state_));
    if (!FindSetByName(state_.sets, panel_.selectorText)) {
        ReadPanelTexts();
        ResetScheduleForNewSet(panel_);
        ShowPanel();
    }
}

void MainWindow::OnStoreClicked() {
    ReadPanelTexts();
    if (StartMethodConflict(panel_, state_.jobs)) {
        ShowError(kStartMethodConflictText);
        return;
    }
    EntryCheck check = CheckSetEntries(panel_, state_);
    if (!check.ok) {
        ShowError(state_.lastError);
        FocusOn(check.focus);
        return;
    }
    const bool isNew = state_.sets.newSet == 1;
    if (!Ask(isNew ? kAskNewSet : kAskOverwriteSet)) return;
    if (!StoreCurrentSet(panel_, state_, context_.folder)) {
        ShowError(state_.lastError);
        context_.log.WriteDailyLog(state_.lastError);
    }
    if (isNew) ui_->setSelector->addItem(ToQ(panel_.selectorText));
}

void MainWindow::OnSubmitClicked() {
    HoldScheduler();
    ReadPanelTexts();
    EntryCheck check = CheckSetEntries(panel_, state_);
    if (!check.ok) {
        ShowError(state_.lastError);
        FocusOn(check.focus);
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
    if (isNew) ui_->setSelector->addItem(ToQ(panel_.selectorText));

    const BackupSet& set = CurrentRecord(state_);
    switch (set.startMethod) {
        case '1':
        case '2':
            if (const auto registered = RegisterJob(state_.jobs, state_.sets, context_.clock)) {
                LockScheduleIfJob(panel_, state_.jobs);
                ShowPanel();
            } else {
                state_.lastError = registered.error().text;
                ShowError(state_.lastError);
            }
            RefreshJobList();
            break;
        case '3': {
            const std::string name = set.setName;
            immediateRunning_ = true;
            bool started = starter_->StartTransferAgent(name, [this, name](bool ran) {
                immediateRunning_ = false;
                if (!ran && !exiting_) ShowError(state_.lastError);
                SetJobStatus(state_.jobs, name, kStatusWaiting);
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

void MainWindow::OnJobMenuAction(int action) {
    const QModelIndex current = ui_->jobList->currentIndex();
    if (!current.isValid()) return;
    const int row = current.row();
    JobFileWrite saved = JobFileWrite::Written;
    switch (action) {
        case StopJob:
            saved = SetJobActive(state_.jobs, row, false);
            break;
        case ActivateJob:
            saved = SetJobActive(state_.jobs, row, true);
            break;
        case JobHistory:
            starter_->StartLogViewer(state_.jobs.records.at(static_cast<std::size_t>(row)).setName);
            saved = SaveJobs(state_.jobs);
            break;
        case DeleteJobAction: {
            auto log = [this](std::string_view message) { context_.log.WriteDailyLog(message); };
            saved = DeleteJob(state_.jobs, row, state_.sets, context_.clock, log);
            ReadPanelTexts();
            if (ShowSelectedSet(panel_, state_)) ShowSetObjects(CurrentRecord(state_));
            LockScheduleIfJob(panel_, state_.jobs);
            ShowPanel();
            break;
        }
        default:
            return;
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
    tray_->hide();
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
    if (event->type() == QEvent::WindowStateChange && isMinimized() && services_.trayAvailable) {
        QTimer::singleShot(0, this, &MainWindow::MinimizeToTray);
    }
}

void MainWindow::MinimizeToTray() {
    tray_->show();
    hide();
}

void MainWindow::RestoreFromTray() {
    tray_->hide();
    showNormal();
    activateWindow();
}

// A right click on the job list opens the pop-up menu for the row selected before, and never
// reaches the list, so it does not change the selection.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != ui_->jobList->viewport()) return QDialog::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type == QEvent::ContextMenu) return true;
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick) {
        return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::RightButton) return false;
    if (type == QEvent::MouseButtonPress && !ui_->jobList->selectedItems().isEmpty()) {
        jobMenu_->popup(mouse->globalPosition().toPoint());
    }
    return true;
}

}  // namespace zorva::velmoro
