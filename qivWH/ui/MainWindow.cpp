#include "qivWH/ui/MainWindow.h"

#include <QPushButton>

#include "common/Settings.h"
#include "common/ui/GenerationBrowser.h"
#include "common/ui/MessageBoxes.h"
#include "ui_MainWindow.h"

namespace zorva::qivwh {
namespace {

constexpr std::size_t kSetFolderWidth = 255;
constexpr std::size_t kViewerRowFields = 4;  // the viewer takes rows without the option code

}  // namespace

MainWindow::MainWindow(const std::filesystem::path& programFolder, const ProfileFile& settings,
                       ui::MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::MainWindow>()),
      boxes_(boxes),
      catalog_(programFolder, ViewerFoldersFrom(settings, kSetFolderWidth), kViewerRowFields) {
    ui_->setupUi(this);
    // A set folder that cannot be listed leaves the list empty, without a message.
    Browser()->ShowSetNames(catalog_.SetNames().value_or(std::vector<std::string>{}));
    Browser()->ShowDescription({});
    connect(Browser(), &ui::GenerationBrowser::setListClosed, this, &MainWindow::LoadChosenSet);
    connect(Browser(), &ui::GenerationBrowser::generationChosen, this, &MainWindow::ShowGeneration);
    connect(ui_->backButton, &QPushButton::clicked, this, &QDialog::reject);
}

MainWindow::~MainWindow() {
    // The browser outlives this window's members by a moment: nothing it says may reach them.
    disconnect(Browser(), nullptr, this, nullptr);
}

ui::GenerationBrowser* MainWindow::Browser() const {
    return ui_->browser;
}

void MainWindow::ChooseSet(const std::string& name) {
    Browser()->ChooseSet(name);
}

void MainWindow::LoadChosenSet() {
    const std::string name = Browser()->ChosenSetName();
    if (name.empty()) {
        Browser()->ShowDescription({});
        return;
    }
    catalog_.LoadSet(name);  // an unreadable set shows no description and finds no files
    Browser()->ShowDescription(catalog_.Description());
    const GenerationTree tree = catalog_.Tree();
    Browser()->ShowTree(name, tree);
    // One box however many folders failed: the tree shows what could be read.
    if (!tree.unreadable.empty()) ShowError("バックアップセットディレクトリを取得出来ない");
}

void MainWindow::ShowGeneration(const QString& treePath) {
    const auto rows = catalog_.Files(treePath.toStdString());
    if (!rows) {
        Browser()->ClearFiles();
        ShowError("バックアップセットディレクトリにファイルがない");
        return;
    }
    Browser()->ShowFiles(*rows);
}

void MainWindow::ShowError(const char* text) {
    boxes_.Inform(this, QStringLiteral("エラー"), QString::fromUtf8(text),
                  ui::MessageIcon::Information);
}

}  // namespace zorva::qivwh
