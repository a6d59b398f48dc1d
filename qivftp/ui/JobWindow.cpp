#include "qivftp/ui/JobWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHeaderView>

#include "common/ui/ListColumns.h"
#include "common/ui/TransferProgressRow.h"
#include "ui_JobWindow.h"

namespace zorva::qivftp {
namespace {

void PrepareList(QTreeWidget& list) {
    ui::GiveWidthToNameColumns(list, {0, 1});  // ライブラリ, オブジェクト
    list.header()->setDefaultAlignment(Qt::AlignLeft);
    // Grid lines, as the report-style lists always had.
    list.setStyleSheet(QStringLiteral("QTreeView::item { border: 1px solid #d0d0d0; }"));
}

}  // namespace

JobWindow::JobWindow(QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::JobWindow>()),
      transferRow_(new ui::TransferProgressRow(this)) {
    ui_->setupUi(this);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    // Below the lists, across the window.
    static_cast<QGridLayout*>(layout())->addWidget(transferRow_, 3, 0, 1, 6);
    PrepareList(*ui_->objectList);
    PrepareList(*ui_->downloadList);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &JobWindow::cancelRequested);
}

JobWindow::~JobWindow() = default;

void JobWindow::ShowTransfer(int percent, const QString& amount, const QString& count) {
    transferRow_->Show(percent, amount, count);
}

void JobWindow::ShowTitle(const QString& text) {
    ui_->setTitleLine->setText(text);
}

void JobWindow::SetStatus(const QString& text) {
    ui_->statusLine->setText(text);
}

void JobWindow::ShowObjects(const QList<QStringList>& rows) {
    ui_->objectList->clear();
    for (const QStringList& row : rows) new QTreeWidgetItem(ui_->objectList, row);
}

void JobWindow::AddDownloadRow(const QStringList& columns) {
    new QTreeWidgetItem(ui_->downloadList, columns);
}

void JobWindow::SetDownloadState(int item, const QString& state) {
    if (QTreeWidgetItem* row = ui_->downloadList->topLevelItem(item)) row->setText(3, state);
}

void JobWindow::InsertMessage(const QString& text) {
    ui_->messageList->insertItem(0, text);
}

void JobWindow::ClearMessages() {
    ui_->messageList->clear();
}

void JobWindow::JobFinished() {
    finished_ = true;
    ui_->cancelButton->setEnabled(false);
    close();
}

void JobWindow::closeEvent(QCloseEvent* event) {
    if (finished_) {
        event->accept();
        return;
    }
    // The job ends first (report, result log); the window closes when it has.
    event->ignore();
    Q_EMIT closeRequested();
}

}  // namespace zorva::qivftp
