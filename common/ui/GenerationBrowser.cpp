#include "common/ui/GenerationBrowser.h"

#include <QHeaderView>
#include <QTreeWidgetItem>

#include "common/ui/QtText.h"
#include "ui_GenerationBrowser.h"

namespace zorva::ui {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;

}  // namespace

GenerationBrowser::GenerationBrowser(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::GenerationBrowser>()) {
    ui_->setupUi(this);
    ui_->browserSplitter->setStretchFactor(1, 1);
    // The generations are shown in red, as operators know them.
    QPalette palette = ui_->generationTree->palette();
    palette.setColor(QPalette::Text, QColor(255, 0, 0));
    ui_->generationTree->setPalette(palette);
    Configure({});
    connect(ui_->setSelector, &PopupComboBox::choiceClosed, this,
            &GenerationBrowser::setListClosed);
    connect(ui_->generationTree, &QTreeWidget::itemSelectionChanged, this,
            &GenerationBrowser::OnTreeSelection);
}

GenerationBrowser::~GenerationBrowser() = default;

void GenerationBrowser::Configure(const GenerationBrowserOptions& options) {
    options_ = options;
    QStringList titles{QStringLiteral("ライブラリ"), QStringLiteral("オブジェクト"),
                       QStringLiteral("タイプ"), QStringLiteral("日付")};
    if (options.statusColumn) titles << QStringLiteral("状況");
    QTreeWidget* list = ui_->fileList;
    list->clear();
    list->setColumnCount(static_cast<int>(titles.size()));
    list->setHeaderLabels(titles);
    const int widths[] = {100, 90, options.typeColumnWidth, 230, 90};
    for (int column = 0; column < list->columnCount(); ++column) {
        list->setColumnWidth(column, widths[column]);
    }
}

void GenerationBrowser::ShowSetNames(const std::vector<std::string>& names) {
    QStringList entries;
    for (const std::string& name : names) entries << ToQ(name);
    entries.sort();
    ui_->setSelector->clear();
    ui_->setSelector->addItems(entries);
    ui_->setSelector->setCurrentIndex(-1);
}

std::string GenerationBrowser::ChosenSetName() const {
    return ui_->setSelector->currentIndex() < 0 ? std::string()
                                                : ui_->setSelector->currentText().toStdString();
}

bool GenerationBrowser::ChooseSet(const std::string& name) {
    const int index = name.empty() ? -1 : ui_->setSelector->findText(ToQ(name), Qt::MatchExactly);
    if (index < 0) return false;
    ui_->setSelector->setCurrentIndex(index);
    Q_EMIT setListClosed();
    return true;
}

void GenerationBrowser::ShowDescription(const std::string& description) {
    ui_->descriptionField->setText(ToQ(description));
}

void GenerationBrowser::ShowTree(const std::string& setName, const GenerationTree& tree) {
    QTreeWidget* view = ui_->generationTree;
    const QSignalBlocker quiet(view);  // rebuilding is no choice of the user's
    view->clear();
    ClearFiles();
    auto* root = new QTreeWidgetItem(view, QStringList{ToQ(setName)});
    root->setData(0, kDepthRole, 0);
    // Red is no warning here: say what it means where the pointer rests.
    root->setToolTip(0, QStringLiteral("赤字はバックアップセットとその保管データの世代フォルダ"));
    // The folders come depth first: each one's parent is the last item one level up.
    std::vector<QTreeWidgetItem*> lastAtDepth{root};
    for (const GenerationFolder& folder : tree.folders) {
        const auto depth = static_cast<std::size_t>(folder.depth);
        if (depth == 0 || depth > lastAtDepth.size()) continue;
        auto* item = new QTreeWidgetItem(lastAtDepth[depth - 1], QStringList{ToQ(folder.name)});
        item->setData(0, kPathRole, ToQ(folder.path));
        item->setData(0, kDepthRole, folder.depth);
        item->setToolTip(
            0,
            QStringLiteral("赤字は保管データの世代フォルダ：選ぶとその保管ファイルが表示される"));
        lastAtDepth.resize(depth);
        lastAtDepth.push_back(item);
    }
    view->expandAll();
}

void GenerationBrowser::ShowFiles(const std::vector<SaveFileRow>& rows) {
    ClearFiles();
    QList<QTreeWidgetItem*> items;
    for (const SaveFileRow& row : rows) {
        QStringList columns{ToQ(row.library), ToQ(row.object), ToQ(row.type),
                            ToQ(JapaneseDateTime(row.written))};
        if (options_.statusColumn) columns << QString();
        auto* item = new QTreeWidgetItem(columns);
        item->setData(0, kPathRole, ToQ(row.fileName));
        if (options_.checkBoxes) item->setCheckState(0, Qt::Checked);
        items << item;
    }
    ui_->fileList->addTopLevelItems(items);
}

void GenerationBrowser::ClearFiles() {
    ui_->fileList->clear();
}

void GenerationBrowser::SetAllChecked(bool checked) {
    if (!options_.checkBoxes) return;
    for (int i = 0; i < ui_->fileList->topLevelItemCount(); ++i) {
        ui_->fileList->topLevelItem(i)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
}

QComboBox* GenerationBrowser::SetSelector() const {
    return ui_->setSelector;
}
QLabel* GenerationBrowser::DescriptionField() const {
    return ui_->descriptionField;
}
QTreeWidget* GenerationBrowser::Tree() const {
    return ui_->generationTree;
}
QTreeWidget* GenerationBrowser::FileList() const {
    return ui_->fileList;
}

void GenerationBrowser::OnTreeSelection() {
    const QList<QTreeWidgetItem*> selected = ui_->generationTree->selectedItems();
    if (selected.isEmpty()) return;
    const int depth = selected.front()->data(0, kDepthRole).toInt();
    if (depth < 1 || depth > kMaxGenerationDepth) return;
    Q_EMIT generationChosen(selected.front()->data(0, kPathRole).toString());
}

}  // namespace zorva::ui
