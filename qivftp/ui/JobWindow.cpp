#include "qivftp/ui/JobWindow.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <QTreeWidget>

namespace zorva::qivftp {

JobWindow::JobWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("VelMoro"));
    setObjectName(QStringLiteral("qivftpWindow"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto bordered = [this](const QString& name) {
        auto* label = new QLabel(this);
        label->setObjectName(name);
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        return label;
    };
    setTitleLine_ = bordered(QStringLiteral("setTitleLine"));
    statusLine_ = bordered(QStringLiteral("statusLine"));
    cancelButton_ = new QPushButton(QStringLiteral("中止"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    objectList_ = MakeList(QStringLiteral("objectList"));
    downloadList_ = MakeList(QStringLiteral("downloadList"));
    messageList_ = new QListWidget(this);
    messageList_->setObjectName(QStringLiteral("messageList"));
    messageList_->setFrameStyle(QFrame::Box | QFrame::Plain);

    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        if (onCancel) onCancel();
    });
    resize(800, 600);
}

QTreeWidget* JobWindow::MakeList(const QString& objectName) {
    auto* list = new QTreeWidget(this);
    list->setObjectName(objectName);
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("ライブラリ"), QStringLiteral("オブジェクト"),
                           QStringLiteral("タイプ"), QStringLiteral("状態")});
    for (int column = 0; column < 4; ++column) list->setColumnWidth(column, 100);
    list->header()->setDefaultAlignment(Qt::AlignLeft);
    list->setStyleSheet(QStringLiteral("QTreeView::item { border: 1px solid #d0d0d0; }"));
    return list;
}

void JobWindow::resizeEvent(QResizeEvent* event) {
    const int w = event->size().width();
    const int h = event->size().height();
    setTitleLine_->setGeometry(10, 5, w / 2 - 15, 30);
    statusLine_->setGeometry(w / 2 + 5, 5, w / 2 - 15, 30);
    cancelButton_->setGeometry(5 * w / 6 - 25, h / 6 + h / 2 + 20, 50, 30);
    objectList_->setGeometry(10, 40, w / 2 - 15, h / 2);
    downloadList_->setGeometry(w / 2 + 5, 40, w / 2 - 15, h / 2);
    messageList_->setGeometry(10, h / 2 + 45, 2 * w / 3, h / 3);
    QWidget::resizeEvent(event);
}

void JobWindow::ShowTitle(const QString& text) { setTitleLine_->setText(text); }

void JobWindow::SetStatus(const QString& text) { statusLine_->setText(text); }

void JobWindow::ShowObjects(const QList<QStringList>& rows) {
    objectList_->clear();
    for (const QStringList& row : rows) new QTreeWidgetItem(objectList_, row);
}

void JobWindow::AddDownloadRow(const QStringList& columns) {
    new QTreeWidgetItem(downloadList_, columns);
}

void JobWindow::SetDownloadState(int item, const QString& state) {
    if (QTreeWidgetItem* row = downloadList_->topLevelItem(item)) row->setText(3, state);
}

void JobWindow::InsertMessage(const QString& text) { messageList_->insertItem(0, text); }

void JobWindow::ClearMessages() { messageList_->clear(); }

void JobWindow::JobFinished() {
    finished_ = true;
    cancelButton_->setEnabled(false);
    close();
}

void JobWindow::closeEvent(QCloseEvent* event) {
    if (finished_) {
        event->accept();
        return;
    }
    // The job ends first (report, result log); the window closes when it has.
    event->ignore();
    if (onCloseRequest) onCloseRequest();
}

}  // namespace zorva::qivftp
