#pragma once
// Runs a JobEngine on a worker thread for a JobWindow: engine reports become signals that Qt
// delivers to the window on the GUI thread, the window's cancel and close become stop
// requests, and the end of the job closes the window.

#include <QObject>
#include <QStringList>
#include <atomic>
#include <memory>

#include "common/ui/TaskRunner.h"
#include "qivftp/engine/JobEngine.h"
#include "qivftp/ui/JobWindow.h"

namespace zorva::qivftp {

// The engine's view as signals. It lives on the GUI thread and is called from the engine's:
// Qt queues each emission to the connected window, and drops it if the window is gone, so the
// worker never looks at the window itself.
class SignalJobView final : public QObject, public JobView {
    Q_OBJECT
public:
    std::size_t Count() const override { return count_.load(); }
    void Clear() override;
    void InsertTop(const std::string& message) override;
    void ShowTitle(const std::string& description) override;
    void ShowObjects(const std::vector<JobObjectRow>& rows) override;
    void AddDownloadRow(const JobObjectRow& row) override;
    void SetDownloadState(std::size_t downloadIndex, const std::string& state) override;
    void SetStatus(const std::string& text) override;
    void ShowTransfer(const TransferSnapshot& snapshot) override;

    // Connects every signal to the window's matching function.
    void Show(JobWindow& window);

Q_SIGNALS:
    void messagesCleared();
    void messageInserted(const QString& text);
    void titleShown(const QString& text);
    void objectsShown(const QList<QStringList>& rows);
    void downloadRowAdded(const QStringList& columns);
    void downloadStateSet(int item, const QString& state);
    void statusSet(const QString& text);
    // percent -1: the size is unknown.
    void transferShown(int percent, const QString& amount, const QString& count);

private:
    std::atomic<std::size_t> count_{0};  // mirrors the list so the 1,000-entry rule needs no GUI
};

class JobRunner final : public QObject {
    Q_OBJECT
public:
    JobRunner(JobWindow& window, JobEnvironment environment, const Clock& clock, DailyLog& log,
              HostFactory hostFactory, MailSender mailSender = {});
    // A job still running is stopped as by the close box, and waited for.
    ~JobRunner() override;

    void Start();

private:
    SignalJobView view_;
    std::unique_ptr<JobEngine> engine_;
    ui::TaskRunner runner_;  // after engine_: it ends the task before the engine goes
};

}  // namespace zorva::qivftp
