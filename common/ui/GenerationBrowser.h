#pragma once
// The browsing the saved-data viewer and the restore program share: the set list, the chosen
// set's description, its generation tree (root = set name, all expanded, red text) and the
// save files of the chosen generation. It shows what it is given and says what the user chose;
// the program decides what to read and which messages to show (SavedDataCatalog reads).

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "common/GenerationTree.h"
#include "common/SaveFileList.h"

class QComboBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class GenerationBrowser;
}

namespace zorva::ui {

struct GenerationBrowserOptions {
    bool checkBoxes = false;    // a check box per file row (restore)
    bool statusColumn = false;  // a fifth column "状況" (restore)
    int typeColumnWidth = 90;   // 90 in the viewer, 80 in the restore program
};

class GenerationBrowser final : public QWidget {
    Q_OBJECT
public:
    explicit GenerationBrowser(QWidget* parent = nullptr);
    ~GenerationBrowser() override;

    void Configure(const GenerationBrowserOptions& options);

    // The set list: the names sorted, nothing chosen.
    void ShowSetNames(const std::vector<std::string>& names);
    // The chosen entry's text; empty when nothing is chosen.
    std::string ChosenSetName() const;
    // Chooses the entry named exactly `name` as the user would (setListClosed follows); false,
    // with nothing chosen, when the list has no such entry.
    bool ChooseSet(const std::string& name);

    void ShowDescription(const std::string& description);
    // Replaces the tree by the set's root item and its folders, all expanded, and empties
    // the file list.
    void ShowTree(const std::string& setName, const GenerationTree& tree);
    // Replaces the file list's rows; with check boxes every row starts checked.
    void ShowFiles(const std::vector<SaveFileRow>& rows);
    void ClearFiles();
    void SetAllChecked(bool checked);

    // The widgets, for the program's own wiring and for tests.
    QComboBox* SetSelector() const;
    QLabel* DescriptionField() const;
    QTreeWidget* Tree() const;
    QTreeWidget* FileList() const;
    // The save file name a row of the file list shows.
    static std::string FileNameOf(const QTreeWidgetItem* fileRow);

Q_SIGNALS:
    // The set list closed: load the set ChosenSetName() names (also when it did not change).
    void setListClosed();
    // A generation was chosen: its path from the set's folder ("7/20260301"). The root item,
    // and items deeper than kMaxGenerationDepth, choose nothing.
    void generationChosen(const QString& treePath);

private:
    void OnTreeSelection();

    std::unique_ptr<Ui::GenerationBrowser> ui_;
    GenerationBrowserOptions options_;
};

}  // namespace zorva::ui
