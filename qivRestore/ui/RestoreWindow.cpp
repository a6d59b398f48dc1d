#include "qivRestore/ui/RestoreWindow.h"

#include <QTreeWidgetItem>

#include "common/ui/GenerationBrowser.h"
#include "common/ui/QtText.h"
#include "common/ui/TransferProgressRow.h"
#include "ui_RestoreWindow.h"

namespace zorva::qivrestore {
namespace {

constexpr const char* kCaption = "エラー";
constexpr const char* kEndCaption = "終了確認";

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

void QueuedRestoreObserver::UploadStarting(std::size_t number, std::size_t count,
                                           std::optional<std::int64_t> size) {
    meter_.Begin(number, count, size, TransferMeter::Clock::now());
    metering_ = true;
}

void QueuedRestoreObserver::OnTransferBytes(std::int64_t bytes) {
    if (!metering_) return;
    if (const auto shown = meter_.Bytes(bytes, TransferMeter::Clock::now())) {
        Q_EMIT transferReported(TransferPercent(*shown).value_or(-1),
                                ui::ToQ(TransferAmountText(*shown)),
                                ui::ToQ(TransferCountText(*shown)));
    }
}

RestoreWindow::RestoreWindow(RestoreWindowContext context, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::RestoreWindow>()),
      context_(std::move(context)),
      wait_(stopWaiter_, context_.steadyClock),
      catalog_(context_.programFolder,
               {context_.settings.backupSetFolder, context_.settings.baseDir}, kRestoreRowFields) {
    ui_->setupUi(this);
    observer_ = std::make_unique<QueuedRestoreObserver>(context_.log, ui_->messageList->Feed());
    ui_->browser->Configure({.checkBoxes = true, .statusColumn = true, .typeColumnWidth = 80});

    connect(ui_->browser, &ui::GenerationBrowser::setListClosed, this, &RestoreWindow::LoadSet);
    connect(ui_->browser, &ui::GenerationBrowser::generationChosen, this, &RestoreWindow::FillList);
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
    // The upload's row appears with the first upload: until then the window keeps its layout.
    auto* transferRow = new ui::TransferProgressRow(this);
    transferRow->hide();
    ui_->windowLayout->addWidget(transferRow);
    connect(observer_.get(), &QueuedRestoreObserver::transferReported, transferRow,
            [transferRow](int percent, const QString& amount, const QString& count) {
                transferRow->show();
                transferRow->Show(percent, amount, count);
            });

    FillSetList();
    // The time limit counts from the window's opening, whatever the operator does meanwhile.
    const auto limit = TimeLimit(context_.settings.jobTimer);
    wait_.StartTimeLimit(context_.steadyClock.Now(), limit);
    timeLimit_.setSingleShot(true);
    connect(&timeLimit_, &QTimer::timeout, this, &RestoreWindow::OnTimeLimit);
    timeLimit_.start(limit);
}

RestoreWindow::~RestoreWindow() {
    stopWaiter_.Interrupt();
    ui_->browser->disconnect(this);
}

void RestoreWindow::ChooseSet(const std::string& name) {
    ui_->browser->ChooseSet(name);
}

QTreeWidget* RestoreWindow::FileList() const {
    return ui_->browser->FileList();
}

void RestoreWindow::FillSetList() {
    const auto names = catalog_.SetNames();
    if (!names) {
        Inform("バックアップセットの設定でエラー");
        return;
    }
    ui_->browser->ShowSetNames(*names);
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

// Each closing of the list loads the set shown, chosen again or not; with nothing chosen the
// set loaded before stays the one tried.
void RestoreWindow::LoadSet() {
    std::string name = ui_->browser->ChosenSetName();
    if (name.empty()) name = catalog_.SetName();
    chosenFolder_.clear();
    ++listVersion_;
    // The catalog empties the object table first: no row of an earlier set stays findable.
    if (!catalog_.LoadSet(name)) {
        ui_->browser->ShowTree(name, {});
        ui_->browser->Tree()->clear();
        ui_->browser->ShowDescription({});
        EnableSetControls(false);
        ui_->savfOnlyRadio->setChecked(false);
        ui_->overwriteCheck->setEnabled(false);
        return;
    }
    ui_->browser->ShowDescription(catalog_.Description());
    const GenerationTree tree = catalog_.Tree();
    ui_->browser->ShowTree(name, tree);
    EnableSetControls(true);
    ChooseSaveFilesOnly();
    if (!tree.unreadable.empty()) Inform("バックアップセットディレクトリを取得出来ない");
}

void RestoreWindow::FillList(const QString& treePath) {
    ++listVersion_;
    const std::string path = ui::FromQ(treePath);
    chosenFolder_ = catalog_.GenerationFolder(path);
    const auto files = catalog_.Files(path);
    if (!files) {
        ui_->browser->ClearFiles();
        Inform("バックアップセットディレクトリにファイルがない");
        return;
    }
    ui_->browser->ShowFiles(*files);
}

void RestoreWindow::SetAllChecks(bool checked) {
    ui_->browser->SetAllChecked(checked);
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
    request.setName = catalog_.SetName();
    request.chosenFolder = chosenFolder_;
    request.objectTable = catalog_.ObjectTable();
    request.restoreOnHost = ui_->restoreRadio->isChecked();
    request.overwrite = ui_->overwriteCheck->isChecked();
    for (int i = 0; i < FileList()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = FileList()->topLevelItem(i);
        request.rows.push_back({ui::FromQ(item->text(0)), ui::FromQ(item->text(1)),
                                ui::FromQ(item->text(2)), ui::FromQ(item->text(3)),
                                ui::FromQ(item->text(4)), item->checkState(0) == Qt::Checked});
    }
    return request;
}

void RestoreWindow::RunRestore() {
    if (runner_.Running()) return;
    ui_->messageList->Feed().Clear();
    RestoreRequest request = MakeRequest();
    if (std::none_of(request.rows.begin(), request.rows.end(),
                     [](const RestoreRow& row) { return row.checked; })) {
        Inform("アップロードするオブジェクトが指定されていない");
        return;
    }
    if (!engine_) {
        host_ = context_.hostFactory(context_.settings, wait_.PollWaiter(), *observer_);
        engine_ = std::make_unique<RestoreEngine>(context_.programFolder, context_.settings, *host_,
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
    if (QTreeWidgetItem* item = FileList()->topLevelItem(row)) item->setText(4, text);
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
    context_.log.WriteDailyLog(catalog_.SetName() + " 復元処理のタイムアウト",
                               &ui_->messageList->Feed());
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

}  // namespace zorva::qivrestore
