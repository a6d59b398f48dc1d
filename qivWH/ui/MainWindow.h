#pragma once
// "MAIN" of the saved-data viewer: the sets, the generations of the chosen set and the save
// files of the chosen generation. It only reads.

#include <QDialog>
#include <filesystem>
#include <memory>
#include <string>

#include "common/ProfileFile.h"
#include "common/SavedDataCatalog.h"

namespace Ui {
class MainWindow;
}

namespace zorva::ui {
class GenerationBrowser;
class MessageBoxes;
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
    // Opens on the set the agent's selector shows (the command line's SETNAME).
    void ChooseSet(const std::string& name);

private:
    void LoadChosenSet();
    void ShowGeneration(const QString& treePath);
    void ShowError(const char* text);

    std::unique_ptr<Ui::MainWindow> ui_;
    ui::MessageBoxes& boxes_;
    SavedDataCatalog catalog_;
};

}  // namespace zorva::qivwh
