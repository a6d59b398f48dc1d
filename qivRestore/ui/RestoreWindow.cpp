#include "qivRestore/ui/RestoreWindow.h"

#include <QAbstractItemView>
#include <QColor>
#include <QHeaderView>
#include <QTreeWidgetItem>

#include "common/BackupSet.h"
#include "common/ui/QtText.h"
#include "qivRestore/engine/GenerationFiles.h"
#include "qivRestore/engine/SetBrowsing.h"
#include "ui_RestoreWindow.h"

namespace zorva::restore {
namespace {

constexpr const char* kCaption = "エラー";
constexpr const char* kEndCaption = "終了確認";
constexpr int kPathRole = Qt::UserRole;
const int kColumnWidths[] = {100, 90, 80, 180, 70};

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace

void QueuedRestoreObserver::Status(std::string_view text) {
    Q_EMIT statusReported(ui::ToQ(text));
}

void QueuedRestoreObserver::ShowRowStatus(std::size_t row, const std::string& text) {
    Q_EMIT rowStatusReported(static_cast<int>(row), ui::ToQ(text));
}

void QueuedRestoreObserver::OnHostProgress(const HostProgress& progress) {
    if (!progress.log.empty()) Message(progress.log);
}

RestoreWindow::RestoreWindow(RestoreWindowContext context, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::RestoreWindow>()),
      context_(std::move(context)),
      wait_(stopWaiter_, context_.steadyClock) {
    ui_->setupUi(this);
    observer_ = std::make_unique<QueuedRestoreObserver>(context_.log, ui_->messageList->Feed());
    for (int column = 0; column < 5; ++column)
        ui_->objectList->header()->resizeSection(column, kColumnWidths[column]);

    connect(ui_->setSelector, &SetSelector::popupClosed, this, &RestoreWindow::LoadSet);
    // A choice made with the keys on the closed list loads the set as well.
    connect(ui_->setSelector, &QComboBox::activated, this, [this] {
        if (!ui_->setSelector->view()->isVisible()) LoadSet();
    });
    connect(ui_->generationTree, &QTreeWidget::itemSelectionChanged, this,
            &RestoreWindow::OnTreeSelection);
    connect(ui_->selectAllButton, &QPushButton::clicked, this, [this] { SetAllChecks(true); });
    connect(ui_->clearSelectionButton, &QPushButton::clicked, this,
            [this] { SetAllChecks(false); });
    connect(ui_->savfOnlyRadio, &QRadioButton::clicked, this, &RestoreWindow::ChooseSaveFilesOnly);
    connect(ui_->restoreRadio, &QRadioButton::clicked, this, &RestoreWindow::ChooseRestore);
    connect(ui_->restoreButton, &QPushButton::clicked, this, &RestoreWindow::RunRestore);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &RestoreWindow::reject);
    connect(&runner_, &ui::TaskRunner::finished, this, &RestoreWindow::RunEnded);
    connect(observer_.get(), &QueuedRestoreObserver::statusReported, ui_->statusLabel,
            &QLabel::setText);
    connect(observer_.get(), &QueuedRestoreObserver::rowStatusReported, this,
            &RestoreWindow::ShowRowStatus);

    FillSetList();
    // The time limit counts from the window's opening, whatever the operator does meanwhile.
    const auto limit = TimeLimit(context_.settings.JobTimer);
    wait_.StartTimeLimit(context_.steadyClock.Now(), limit);
    timeLimit_.setSingleShot(true);
    connect(&timeLimit_, &QTimer::timeout, this, &RestoreWindow::OnTimeLimit);
    timeLimit_.start(limit);
}

RestoreWindow::~RestoreWindow() {
    stopWaiter_.Interrupt();
    // Hiding the window on its way out closes the list's popup: no set is loaded then.
    ui_->setSelector->disconnect(this);
    ui_->generationTree->disconnect(this);
}

std::filesystem::path RestoreWindow::SetFolder() const {
    return context_.ProgramFolder / context_.settings.BackupSetFolder;
}

void RestoreWindow::FillSetList() {
    const auto names =
        context_.settings.BackupSetFolder.empty() ? std::nullopt : ListSetNames(SetFolder());
    if (!names) {
        Inform("バックアップセットの設定でエラー");
        return;
    }
    for (const std::string& name : *names) ui_->setSelector->addItem(ui::ToQ(name));
    ui_->setSelector->setCurrentIndex(-1);  // nothing chosen yet
}

void RestoreWindow::EnableSetControls(bool enabled) {
    for (QWidget* widget :
         {static_cast<QWidget*>(ui_->selectAllButton),
          static_cast<QWidget*>(ui_->clearSelectionButton),
          static_cast<QWidget*>(ui_->savfOnlyRadio), static_cast<QWidget*>(ui_->restoreRadio)}) {
        widget->setEnabled(enabled);
    }
    ui_->restoreButton->setEnabled(enabled && !runner_.Running());
}

// Each closing of the list loads the set shown, chosen again or not.
void RestoreWindow::LoadSet() {
    if (ui_->setSelector->currentIndex() >= 0)
        setName_ = ui::FromQ(ui_->setSelector->currentText());
    ui_->generationTree->clear();
    ui_->objectList->clear();
    ++listVersion_;
    objectTable_.clear();  // no row of an earlier, longer set stays findable
    chosenFolder_.clear();

    const auto set = context_.settings.BackupSetFolder.empty()
                         ? std::nullopt
                         : ReadSetForRestore(SetFolder(), setName_);
    if (!set) {
        EnableSetControls(false);
        ui_->savfOnlyRadio->setChecked(false);
        ui_->overwriteCheck->setEnabled(false);
        return;
    }
    objectTable_ = set->Rows;
    ui_->descriptionLabel->setText(ui::ToQ(set->Description));
    BuildTree();
    EnableSetControls(true);
    ChooseSaveFilesOnly();
}

void RestoreWindow::BuildTree() {
    auto* root = new QTreeWidgetItem(ui_->generationTree, {ui::ToQ(setName_)});
    root->setForeground(0, QColor(255, 0, 0));
    const GenerationTree tree =
        ListGenerationTree(std::filesystem::path(context_.settings.BaseDir) / setName_);
    std::vector<QTreeWidgetItem*> parents{root};
    for (const GenerationFolder& folder : tree.Folders) {
        parents.resize(static_cast<std::size_t>(folder.Depth));
        auto* item = new QTreeWidgetItem(parents.back(), {ui::ToQ(folder.Name)});
        item->setData(0, kPathRole, ui::ToQ(folder.Path));
        item->setForeground(0, QColor(255, 0, 0));
        parents.push_back(item);
    }
    ui_->generationTree->expandAll();
    if (!tree.Unreadable.empty()) Inform("バックアップセットディレクトリを取得出来ない");
}

void RestoreWindow::OnTreeSelection() {
    const auto selected = ui_->generationTree->selectedItems();
    if (selected.isEmpty()) return;
    const QVariant path = selected.front()->data(0, kPathRole);
    if (!path.isValid()) return;  // the root item: the list stays as it is
    FillList(ui::FromQ(path.toString()));
}

void RestoreWindow::FillList(const std::string& treePath) {
    ui_->objectList->clear();
    ++listVersion_;
    chosenFolder_ = std::filesystem::path(context_.settings.BaseDir) / setName_ / treePath;
    const auto files = ListGenerationFiles(chosenFolder_);
    if (!files) {
        Inform("バックアップセットディレクトリにファイルがない");
        return;
    }
    for (const RestoreRow& row : BuildRestoreRows(*files, objectTable_)) {
        auto* item =
            new QTreeWidgetItem(ui_->objectList, {ui::ToQ(row.Library), ui::ToQ(row.Object),
                                                  ui::ToQ(row.Type), ui::ToQ(row.Date), QString()});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Checked);
    }
}

void RestoreWindow::SetAllChecks(bool checked) {
    for (int i = 0; i < ui_->objectList->topLevelItemCount(); ++i)
        ui_->objectList->topLevelItem(i)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void RestoreWindow::ChooseSaveFilesOnly() {
    ui_->savfOnlyRadio->setChecked(true);
    ui_->restoreRadio->setChecked(false);
    ui_->overwriteCheck->setChecked(false);
    ui_->overwriteCheck->setEnabled(false);
}

void RestoreWindow::ChooseRestore() {
    ui_->restoreRadio->setChecked(true);
    ui_->savfOnlyRadio->setChecked(false);
    ui_->overwriteCheck->setEnabled(true);
}

RestoreRequest RestoreWindow::MakeRequest() const {
    RestoreRequest request;
    request.SetName = setName_;
    request.ChosenFolder = chosenFolder_;
    request.ObjectTable = objectTable_;
    request.RestoreOnHost = ui_->restoreRadio->isChecked();
    request.Overwrite = ui_->overwriteCheck->isChecked();
    for (int i = 0; i < ui_->objectList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = ui_->objectList->topLevelItem(i);
        request.Rows.push_back({ui::FromQ(item->text(0)), ui::FromQ(item->text(1)),
                                ui::FromQ(item->text(2)), ui::FromQ(item->text(3)),
                                ui::FromQ(item->text(4)), item->checkState(0) == Qt::Checked});
    }
    return request;
}

void RestoreWindow::RunRestore() {
    if (runner_.Running()) return;
    ui_->messageList->Feed().Clear();
    RestoreRequest request = MakeRequest();
    if (std::none_of(request.Rows.begin(), request.Rows.end(),
                     [](const RestoreRow& row) { return row.Checked; })) {
        Inform("アップロードするオブジェクトが指定されていない");
        return;
    }
    if (!engine_) {
        host_ = context_.hostFactory(context_.settings, wait_.PollWaiter(), *observer_);
        engine_ = std::make_unique<RestoreEngine>(context_.ProgramFolder, context_.settings, *host_,
                                                  wait_, *observer_);
    }
    ui_->restoreButton->setEnabled(false);
    runListVersion_ = listVersion_;
    stopWaiter_.Reset();
    runner_.Start([this, request = std::move(request)](Waiter&) mutable {
        outcome_ = engine_->Run(std::move(request));
    });
}

void RestoreWindow::ShowRowStatus(int row, const QString& text) {
    if (runListVersion_ != listVersion_) return;  // the list shows other data now
    if (QTreeWidgetItem* item = ui_->objectList->topLevelItem(row)) item->setText(4, text);
}

void RestoreWindow::RunEnded() {
    ui_->restoreButton->setEnabled(ui_->savfOnlyRadio->isEnabled());
    const RestoreOutcome outcome = outcome_;
    switch (outcome) {
        case RestoreOutcome::NothingChecked:
            Inform("アップロードするオブジェクトが指定されていない");
            break;
        case RestoreOutcome::ConnectFailed:
            Inform("ホストへの接続失敗");
            break;
        case RestoreOutcome::UploadFailed:
            Inform(" アップロード失敗、ログを参照してください");
            break;
        case RestoreOutcome::Uploaded:
            if (AskToEnd("終了してもよいですか")) reject();
            break;
        case RestoreOutcome::Complete:
            if (AskToEnd("復元処理終了")) reject();
            break;
        case RestoreOutcome::NoResponse:
            Inform("ホストプログラムから応答が無いので終了します");
            reject();
            break;
        case RestoreOutcome::TimedOut:
        case RestoreOutcome::Stopped:
            reject();
            break;
    }
    Q_EMIT runEnded(outcome);
}

void RestoreWindow::OnTimeLimit() {
    // During a run the engine meets the same deadline and ends the run itself.
    if (runner_.Running()) return;
    context_.log.WriteDailyLog(setName_ + " 復元処理のタイムアウト", &ui_->messageList->Feed());
    reject();
}

void RestoreWindow::reject() {
    stopWaiter_.Interrupt();
    timeLimit_.stop();
    QDialog::reject();
}

void RestoreWindow::Inform(const char* text) {
    context_.boxes.Inform(this, Q(kCaption), Q(text));
}

bool RestoreWindow::AskToEnd(const char* text) {
    return context_.boxes.Show({this, Q(kEndCaption), Q(text), ui::MessageIcon::Question,
                                ui::MessageButtons::YesNo}) == ui::MessageAnswer::Yes;
}

}  // namespace zorva::restore
