#pragma once
// "LOG": the job list of a date range and a set, the set's description, and the details of a
// job on a double click. It only reads; what it cannot read it says in its status line.

#include <QDialog>
#include <filesystem>
#include <memory>
#include <string>

#include "common/Clock.h"
#include "common/Expected.h"
#include "qivLog/engine/JobHistory.h"

namespace Ui {
class LogWindow;
}

namespace zorva::ui {
class TaskRunner;
}

namespace zorva::qivlog {

class JobHistoryModel;
class DetailWindow;

class LogWindow final : public QDialog {
    Q_OBJECT
public:
    // `presetSetName`: the set named on the command line, or empty.
    LogWindow(std::filesystem::path programFolder, const std::string& presetSetName,
              const Clock& clock, QWidget* parent = nullptr);
    ~LogWindow() override;

    // Fills the job list for the chosen range and set ("表示"). The folder is read on a worker
    // thread, so that a large LOG_DAT never freezes the window; jobListShown follows.
    void FillJobList();
    // Opens "DETAIL" over this window for the job of `row`, exactly the file the row came from.
    DetailWindow* OpenDetail(int row);

Q_SIGNALS:
    // The rows of the last "表示" are in the list.
    void jobListShown();

private:
    void ShowJobList();
    Expected<std::string> SetFolderName() const;
    void FillSetList();
    void ShowDescription(int entry);
    void ApplyPreset(const std::string& presetSetName);

    std::unique_ptr<Ui::LogWindow> ui_;
    JobHistoryModel* model_;
    std::filesystem::path programFolder_;
    // Why the set list is empty; it stays in view while nothing else fails.
    QString setListFailure_;
    JobHistory pending_;                      // written by the worker, read once it has finished
    std::unique_ptr<ui::TaskRunner> runner_;  // last: it ends its task before the rest goes
};

}  // namespace zorva::qivlog
