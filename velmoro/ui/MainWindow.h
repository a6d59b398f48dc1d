#pragma once
// The agent's main window "MAIN": it wires the backup set panel (SetPanelView), the job list
// with its pop-up menu (JobListView) and the notification-area icon (TrayIcon) to the engine's
// rules, and holds the buttons that start the other programs and the scheduler timer. Message
// boxes go through the MessageBoxes seam and programs are started through the ProcessLauncher
// (QtProgramLauncher), so that tests answer and watch both.

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/Expected.h"
#include "common/Program.h"
#include "common/Waiter.h"
#include "common/ui/MessageBoxes.h"
#include "common/ui/ProcessLauncher.h"
#include "common/ui/QueuedReporter.h"
#include "common/ui/TaskRunner.h"
#include "velmoro/engine/AgentStartup.h"
#include "velmoro/engine/Launch.h"
#include "velmoro/engine/Scheduler.h"
#include "velmoro/engine/SetPanel.h"

class QMenu;

namespace Ui {
class MainWindow;
}

namespace zorva::velmoro {

class JobListView;
class QtProgramLauncher;
class SetPanelView;
class TrayIcon;
enum class JobMenuAction;

// The set name and description the object editor shows: as typed in the main window now.
struct EditedSetLabels {
    std::string name;
    std::string description;
};

// The two dialogs the main window opens (object editor and connection settings).
class AgentDialogs {
public:
    virtual ~AgentDialogs() = default;
    // The object editor on `set`; true when it ended with "登録". The two calls bracket the
    // host check, while which the scheduler is held.
    virtual bool EditObjects(QWidget* parent, BackupSet& set, const EditedSetLabels& labels,
                             const Settings& settings, std::function<void()> registrationStarted,
                             std::function<void()> registrationFinished) = 0;
    // The connection settings; the new settings when it ended with "登録". `installed` is called
    // after a successful host module installation.
    virtual std::optional<Settings> EditConnection(QWidget* parent, const Settings& current,
                                                   std::function<bool()> transferRunning,
                                                   std::function<void()> installed) = 0;
};

struct MainWindowServices {
    ui::MessageBoxes& boxes;
    ui::ProcessLauncher& launcher;
    AgentDialogs* dialogs = nullptr;
    // The host connection of a host-start poll; empty: the agent's FTP session.
    HostFactory hostFactory;
    bool trayAvailable = false;
};

class MainWindow final : public QDialog, private SchedulerShell {
    Q_OBJECT
public:
    MainWindow(const ProgramContext& context, MainWindowServices services,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up steps after the window is built; ends with the forced start entry. A
    // settings file that cannot be read is the Failure: nothing is shown or written then.
    Expected<void> StartUp();

    const AgentState& State() const { return state_; }
    bool SchedulerTimerActive() const { return timer_.isActive(); }
    int SchedulerPeriod() const { return timer_.interval(); }
    // One scheduler tick now, as the timer would.
    void RunSchedulerTick();
    // While a transfer agent runs, once a second: its progress note in the status line.
    void PollTransferProgress();
    bool TransferProgressPolled() const { return progressTimer_.isActive(); }
    // The pop-up menu of the job list, for tests.
    QMenu* JobMenu() const;

Q_SIGNALS:
    // The user confirmed the exit question; the forced exit entry is written.
    void exitConfirmed();

protected:
    void reject() override;  // Esc
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // SchedulerShell
    void SetTitle(std::string_view title) override;
    void RefreshJobList() override;
    void RunInBackground(std::function<void()> work, std::function<void()> then) override;
    void TickEnded() override;

    void ConnectButtons();
    void ShowStatus(const QString& text);
    void ShowError(std::string_view text);
    bool Ask(std::string_view text);
    void LockMainWindow(bool locked);
    void UnlockMainWindow();

    void OnSetChosen();
    void OnObjectsClicked();
    void OnStoreClicked();
    void OnSubmitClicked();
    void OnConnectionClicked();
    void OnJobMenuAction(JobMenuAction action, int row);
    void OnExitRequested();

    // The scheduler timer runs while nothing holds it and no tick or immediate run is going on.
    void HoldScheduler();
    void ReleaseScheduler();
    void UpdateTimer();

    const ProgramContext& context_;
    MainWindowServices services_;
    std::unique_ptr<Ui::MainWindow> ui_;
    AgentState state_;
    SetPanelState panel_;
    std::unique_ptr<SetPanelView> setPanel_;
    JobListView* jobList_ = nullptr;
    TrayIcon* tray_ = nullptr;
    ui::QueuedReporter reporter_;
    std::unique_ptr<QtProgramLauncher> launcher_;
    std::unique_ptr<ProgramStarter> starter_;
    // Declared before the scheduler it is lent to: a connection the scheduler still holds
    // closes through it when the window goes.
    SleepingWaiter hostWaiter_;
    std::unique_ptr<Scheduler> scheduler_;
    ui::TaskRunner worker_;
    std::function<void()> workerThen_;
    QTimer timer_;
    QTimer progressTimer_;
    QString shownProgress_;  // the progress text the status line shows, if it still does
    int holds_ = 0;
    bool immediateRunning_ = false;
    bool exiting_ = false;
};

}  // namespace zorva::velmoro
