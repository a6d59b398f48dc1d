#pragma once
// "LOG": the job list of a date range and a set, the set's description, and the details of a
// job on a double click. It only reads; what it cannot read it says in its status line.

#include <QDialog>
#include <filesystem>
#include <memory>
#include <string>

#include "common/Clock.h"

namespace Ui {
class LogWindow;
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

    // Fills the job list for the chosen range and set ("表示").
    void FillJobList();
    // Opens "DETAIL" over this window for the job of `row`, exactly the file the row came from.
    DetailWindow* OpenDetail(int row);

private:
    std::string SetFolderName() const;
    void FillSetList();
    void ShowDescription(int entry);
    void ApplyPreset(const std::string& presetSetName);

    std::unique_ptr<Ui::LogWindow> ui_;
    JobHistoryModel* model_;
    std::filesystem::path programFolder_;
};

}  // namespace zorva::qivlog
