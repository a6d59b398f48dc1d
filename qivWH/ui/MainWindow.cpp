#include "qivWH/ui/MainWindow.h"

#include <QBrush>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <utility>

#include "common/Settings.h"
#include "common/ui/GenerationBrowser.h"
#include "common/ui/MessageBoxes.h"
#include "common/ui/QtResticRunner.h"
#include "common/ui/TaskRunner.h"
#include "ui_MainWindow.h"

namespace zorva::qivwh {
namespace {

constexpr std::size_t kSetFolderWidth = 255;
constexpr std::size_t kViewerRowFields = 4;  // the viewer takes rows without the option code

// The snapshot id of an off-site item of the tree.
constexpr int kSnapshotRole = Qt::UserRole + 50;

int Percent(std::uint64_t done, std::uint64_t total) {
    return total == 0 ? 100 : static_cast<int>(done * 100 / total);
}

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
    AddVerifyControls();
    AddOffsiteControls(programFolder, settings);
}

void MainWindow::AddOffsiteControls(const std::filesystem::path& programFolder,
                                    const ProfileFile& settings) {
    if (!OffsiteSettingsFrom(settings).Enabled()) return;
    offsite_ = OpenOffsite(programFolder, settings, {});
    fetchButton_ = new QPushButton(QStringLiteral("取得"), this);
    fetchButton_->setObjectName(QStringLiteral("fetchButton"));
    fetchButton_->setAutoDefault(false);
    fetchButton_->setEnabled(false);
    ui_->buttonLayout->insertWidget(1, fetchButton_);
    offsiteRunner_ = std::make_unique<ui::TaskRunner>();
    connect(fetchButton_, &QPushButton::clicked, this, &MainWindow::StartFetch);
    connect(offsiteRunner_.get(), &ui::TaskRunner::finished, this, &MainWindow::OffsiteEnded);
    connect(Browser()->Tree(), &QTreeWidget::itemSelectionChanged, this, [this] {
        const auto selected = Browser()->Tree()->selectedItems();
        fetchButton_->setEnabled(!offsiteRunner_->Running() && !selected.isEmpty() &&
                                 !selected.front()->data(0, kSnapshotRole).isNull());
    });
}

void MainWindow::ListOffsite(const std::string& setName) {
    if (!offsite_) return;
    if (offsiteRunner_->Running()) {  // listed as soon as the running task ends
        pendingOffsiteSet_ = setName;
        return;
    }
    pendingOffsiteSet_.reset();
    offsiteSet_ = setName;
    fetching_ = false;
    if (!*offsite_) {
        snapshots_ = Unexpected{offsite_->error()};
        return ShowSnapshots();
    }
    OffsiteContext context = **offsite_;
    context.setName = setName;
    offsiteRunner_->Start([this, context](Waiter& waiter) mutable {
        context.stopRequested = [&waiter] { return waiter.Interrupted(); };
        ui::QtResticRunner restic;
        snapshots_ = ListSetSnapshots(context, restic);
    });
}

void MainWindow::StartFetch() {
    const auto selected = Browser()->Tree()->selectedItems();
    if (!offsite_ || !*offsite_ || selected.isEmpty() || offsiteRunner_->Running()) return;
    const std::string id = selected.front()->data(0, kSnapshotRole).toString().toStdString();
    if (id.empty()) return;
    fetchButton_->setEnabled(false);
    fetching_ = true;
    OffsiteContext context = **offsite_;
    context.setName = offsiteSet_;
    offsiteRunner_->Start([this, context, id](Waiter& waiter) mutable {
        context.stopRequested = [&waiter] { return waiter.Interrupted(); };
        ui::QtResticRunner restic;
        fetched_ = FetchSnapshot(context, restic, id);
    });
}

void MainWindow::OffsiteEnded() {
    if (!fetching_) {
        ShowSnapshots();
        ListPendingOffsite();
        return;
    }
    fetching_ = false;
    const QString text =
        fetched_ ? QStringLiteral("取得しました：%1/%2")
                       .arg(QString::fromStdString(offsiteSet_), QString::fromStdString(*fetched_))
                 : QString::fromStdString(fetched_.error().text);
    boxes_.Inform(this, fetched_ ? QStringLiteral("完了") : QStringLiteral("エラー"), text,
                  ui::MessageIcon::Information);
    if (Browser()->ChosenSetName() == offsiteSet_) LoadChosenSet();  // shows the new generation
    ListPendingOffsite();
}

void MainWindow::ListPendingOffsite() {
    if (pendingOffsiteSet_) ListOffsite(std::exchange(pendingOffsiteSet_, std::nullopt).value());
}

// One item "オフサイト" below the set's folders, a row per snapshot: date, generation, size.
void MainWindow::ShowSnapshots() {
    if (Browser()->ChosenSetName() != offsiteSet_) return;  // another set is shown now
    auto* root = new QTreeWidgetItem(Browser()->Tree(), {QStringLiteral("オフサイト")});
    root->setFlags(Qt::ItemIsEnabled);
    // The tree is narrow: each row also carries its whole text as a tip.
    const auto addRow = [root](const std::string& text, const std::string& tip) {
        auto* item = new QTreeWidgetItem(root, {QString::fromStdString(text)});
        item->setToolTip(0, QString::fromStdString(tip));
        return item;
    };
    if (!snapshots_) {
        addRow(snapshots_.error().text, snapshots_.error().text);
    } else {
        for (const offsite::Snapshot& snapshot : *snapshots_) {
            const auto columns = SnapshotColumns(snapshot);
            const std::string text = columns[1] + "  " + columns[2] + "  " + columns[3];
            auto* item = addRow(text, text + "  (" + columns[0] + ")");
            item->setData(0, kSnapshotRole, QString::fromStdString(snapshot.id));
        }
    }
    root->setExpanded(true);
}

// Added here rather than in the form, so that the form stays as the viewer was specified.
void MainWindow::AddVerifyControls() {
    verifyButton_ = new QPushButton(QStringLiteral("検証"), this);
    verifyButton_->setObjectName(QStringLiteral("verifyButton"));
    verifyButton_->setAutoDefault(false);
    verifyButton_->setEnabled(false);
    verifyProgress_ = new QProgressBar(this);
    verifyProgress_->setObjectName(QStringLiteral("verifyProgress"));
    verifyProgress_->setRange(0, 100);
    verifyProgress_->setVisible(false);
    ui_->buttonLayout->insertWidget(1, verifyProgress_);
    ui_->buttonLayout->insertWidget(1, verifyButton_);
    verifyRunner_ = std::make_unique<ui::TaskRunner>();
    connect(verifyButton_, &QPushButton::clicked, this, &MainWindow::StartVerify);
    connect(verifyRunner_.get(), &ui::TaskRunner::finished, this, &MainWindow::VerifyEnded);
    connect(this, &MainWindow::verifyProgressed, this, &MainWindow::ShowVerifyProgress,
            Qt::QueuedConnection);
}

void MainWindow::StartVerify() {
    if (chosenGeneration_.isEmpty()) return;
    const std::filesystem::path folder = catalog_.GenerationFolder(chosenGeneration_.toStdString());
    verifiedGeneration_ = chosenGeneration_;
    verifyButton_->setEnabled(false);
    verifyProgress_->setValue(0);
    verifyProgress_->setVisible(true);
    verifyRunner_->Start([this, folder](Waiter& waiter) {
        int shown = -1;
        const VerifyCallbacks callbacks{
            [this, &shown](std::uint64_t done, std::uint64_t total) {
                const int percent = Percent(done, total);
                if (percent == shown) return;  // one queued call per percent, not per chunk
                shown = percent;
                Q_EMIT verifyProgressed(percent);
            },
            [&waiter] { return waiter.Interrupted(); }};
        verdicts_ = VerifyGeneration(folder, callbacks);
    });
}

void MainWindow::ShowVerifyProgress(int percent) {
    verifyProgress_->setValue(percent);
}

// Damaged and missing files are marked red in the file list, with their verdict as a tip.
void MainWindow::VerifyEnded() {
    verifyButton_->setEnabled(!chosenGeneration_.isEmpty());
    verifyProgress_->setValue(100);
    if (!verdicts_) {
        boxes_.Inform(this, QStringLiteral("エラー"),
                      QString::fromStdString(verdicts_.error().text), ui::MessageIcon::Information);
        return;
    }
    if (verifiedGeneration_ != chosenGeneration_) return;  // another generation is shown now
    QTreeWidget* list = Browser()->FileList();
    for (const FileVerdict& verdict : *verdicts_) {
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = list->topLevelItem(i);
            if (ui::GenerationBrowser::FileNameOf(item) != verdict.fileName) continue;
            item->setToolTip(0, QString::fromStdString(std::string(FileCheckText(verdict.check))));
            if (!IsVerificationFailure(verdict.check)) continue;
            for (int column = 0; column < list->columnCount(); ++column) {
                item->setForeground(column, QBrush(Qt::red));
            }
        }
    }
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
    chosenGeneration_.clear();  // the new tree chooses nothing yet
    verifyButton_->setEnabled(false);
    verifyProgress_->setVisible(false);
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
    ListOffsite(name);
}

void MainWindow::ShowGeneration(const QString& treePath) {
    chosenGeneration_ = treePath;
    verifyButton_->setEnabled(!verifyRunner_->Running());
    verifyProgress_->setVisible(false);
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
