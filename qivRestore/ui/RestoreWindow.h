#pragma once
// The restore window "MAIN": choose a set, a generation and its save files, then send them
// back to the host (and have them restored there) on a worker thread.
//
// Every rule lives in the engine (qivRestore/engine) and common/; this window shows, forwards
// and asks. "復元実行" stays disabled from the start of a run until its wait has ended, and a
// new run's log-on closes the earlier run's session.

#include <QDialog>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/DailyLog.h"
#include "common/HostJobWait.h"
#include "common/SavedDataCatalog.h"
#include "common/Settings.h"
#include "common/TransferMeter.h"
#include "common/Waiter.h"
#include "common/ui/MessageBoxes.h"
#include "common/ui/TaskRunner.h"
#include "qivRestore/engine/RestoreCommand.h"
#include "qivRestore/engine/RestoreEngine.h"

namespace Ui {
class RestoreWindow;
}

namespace zorva::qivrestore {

// The engine's and the session's reports: log lines go to the daily log and the message list
// from any thread; status and row texts become signals Qt queues to the window.
class QueuedRestoreObserver final : public QObject,
                                    public RestoreObserver,
                                    public HostSessionObserver {
    Q_OBJECT
public:
    QueuedRestoreObserver(DailyLog& log, MessageList& list) : log_(log), list_(list) {}

    void Message(std::string_view text) override { log_.WriteDailyLog(text, &list_); }
    void Status(std::string_view text) override;
    void ShowRowStatus(std::size_t row, const std::string& text) override;
    void OnHostProgress(const HostProgress& progress) override;
    void OnHostReport(const std::string& text) override { Message(text); }
    void UploadStarting(std::size_t number, std::size_t count,
                        std::optional<std::int64_t> size) override;
    void UploadEnded() override { metering_ = false; }
    void OnTransferBytes(std::int64_t bytes) override;

Q_SIGNALS:
    void statusReported(const QString& text);
    void rowStatusReported(int row, const QString& text);
    // percent -1: the size is unknown.
    void transferReported(int percent, const QString& amount, const QString& count);

private:
    DailyLog& log_;
    MessageList& list_;
    TransferMeter meter_;    // used on the worker thread only
    bool metering_ = false;  // a save file is uploading
};

struct RestoreWindowContext {
    std::filesystem::path programFolder;
    Settings settings;  // read once at start
    DailyLog& log;
    ui::MessageBoxes& boxes;
    HostFactory hostFactory;
    const SteadyClock& steadyClock;
};

class RestoreWindow final : public QDialog {
    Q_OBJECT
public:
    // The time limit (JOBTIMER) starts here, with the window.
    explicit RestoreWindow(RestoreWindowContext context, QWidget* parent = nullptr);
    ~RestoreWindow() override;

    bool RunActive() const { return runner_.Running(); }
    // Opens on the set the agent's selector shows (the command line's SETNAME).
    void ChooseSet(const std::string& name);

Q_SIGNALS:
    // A run has ended and its outcome has been shown (tests wait for it).
    void runEnded(zorva::qivrestore::RestoreOutcome outcome);

protected:
    // "キャンセル", Esc and the close box: end at once, also while the host is working.
    void reject() override;

private:
    void FillSetList();
    void LoadSet();
    void EnableSetControls(bool enabled);
    void FillList(const QString& treePath);
    void SetAllChecks(bool checked);
    void ChooseSaveFilesOnly();
    void ChooseRestore();
    void RunRestore();
    void RunEnded();
    void ShowRowStatus(int row, const QString& text);
    void OnTimeLimit();
    void Inform(const char* text);
    bool AskToEnd(const char* text);
    RestoreRequest MakeRequest() const;
    QTreeWidget* FileList() const;

    std::unique_ptr<Ui::RestoreWindow> ui_;
    RestoreWindowContext context_;
    std::unique_ptr<QueuedRestoreObserver> observer_;
    SleepingWaiter stopWaiter_;
    HostJobWait wait_;
    std::shared_ptr<HostConnection> host_;
    std::unique_ptr<RestoreEngine> engine_;
    QTimer timeLimit_;

    SavedDataCatalog catalog_;  // the chosen set, its object table and generations
    std::filesystem::path chosenFolder_;
    int listVersion_ = 0;  // changes with every fill, so late results of a run find no row
    int runListVersion_ = -1;
    RestoreOutcome outcome_ = RestoreOutcome::Stopped;

    ui::TaskRunner runner_;  // last: destroyed first, it waits for a task that still runs
};

}  // namespace zorva::qivrestore
