#pragma once
// "MAIN" of the saved-data viewer: the sets, the generations of the chosen set and the save
// files of the chosen generation. It only reads.

#include <QDialog>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/Manifest.h"
#include "common/ProfileFile.h"
#include "common/SavedDataCatalog.h"
#include "qivWH/engine/OffsiteFetch.h"

class QProgressBar;
class QPushButton;

namespace Ui {
class MainWindow;
}

namespace zorva::ui {
class GenerationBrowser;
class MessageBoxes;
class TaskRunner;
}  // namespace zorva::ui

namespace zorva::qivwh {

class MainWindow final : public QDialog {
    Q_OBJECT
public:
    // `settings`: zorva.ini as main read it once.
    MainWindow(const std::filesystem::path& programFolder, const ProfileFile& settings,
               ui::MessageBoxes& boxes, QWidget* parent = nullptr);
    ~MainWindow() override;

    ui::GenerationBrowser* Browser() const;
    QPushButton* VerifyButton() const { return verifyButton_; }
    QProgressBar* VerifyProgress() const { return verifyProgress_; }
    QPushButton* FetchButton() const { return fetchButton_; }
    // Opens on the set the agent's selector shows (the command line's SETNAME).
    void ChooseSet(const std::string& name);

Q_SIGNALS:
    // From the verifying thread; queued to ShowVerifyProgress.
    void verifyProgressed(int percent);

private:
    void LoadChosenSet();
    void ShowGeneration(const QString& treePath);
    void ShowError(const char* text);
    void AddVerifyControls();
    // 検証: reads the chosen generation back on a worker thread.
    void StartVerify();
    void ShowVerifyProgress(int percent);
    void VerifyEnded();
    // The set's off-site snapshots below its tree, listed on a worker thread; 取得 brings the
    // chosen one back as a local generation.
    void AddOffsiteControls(const std::filesystem::path& programFolder,
                            const ProfileFile& settings);
    void ListOffsite(const std::string& setName);
    void StartFetch();
    void OffsiteEnded();
    void ListPendingOffsite();
    void ShowSnapshots();

    std::unique_ptr<Ui::MainWindow> ui_;
    ui::MessageBoxes& boxes_;
    SavedDataCatalog catalog_;
    QPushButton* verifyButton_ = nullptr;
    QProgressBar* verifyProgress_ = nullptr;
    QString chosenGeneration_;
    QString verifiedGeneration_;
    // Written by the worker, read after its end.
    Expected<std::vector<FileVerdict>> verdicts_{std::vector<FileVerdict>{}};
    std::optional<Expected<OffsiteContext>> offsite_;  // none without [OFFSITE] REPOSITORY
    QPushButton* fetchButton_ = nullptr;
    std::string offsiteSet_;  // the set the last off-site task was about
    bool fetching_ = false;
    // A set chosen while an off-site task ran: its snapshots are listed when that task ends.
    std::optional<std::string> pendingOffsiteSet_;
    Expected<std::vector<offsite::Snapshot>> snapshots_{std::vector<offsite::Snapshot>{}};
    Expected<std::string> fetched_{std::string()};
    std::unique_ptr<ui::TaskRunner> offsiteRunner_;
    // Last: destroyed first, it stops and joins a verification still writing the above.
    std::unique_ptr<ui::TaskRunner> verifyRunner_;
};

}  // namespace zorva::qivwh
