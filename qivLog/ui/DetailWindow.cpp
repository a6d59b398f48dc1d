#include "qivLog/ui/DetailWindow.h"

#include <QColor>
#include <QPushButton>
#include <algorithm>

#include "qivLog/engine/JobHistory.h"
#include "ui_DetailWindow.h"

namespace zorva::qivlog {

DetailWindow::DetailWindow(const std::filesystem::path& programFolder, const std::string& fileName,
                           QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::DetailWindow>()), fileName_(fileName) {
    ui_->setupUi(this);
    connect(ui_->backButton, &QPushButton::clicked, this, &QDialog::reject);
    const JobDetail detail = ReadJobDetail(programFolder, fileName);
    QList<QTreeWidgetItem*> items;
    for (const JobDetailLine& line : detail.lines) {
        auto* item = new QTreeWidgetItem(
            QStringList{QString::fromStdString(line.library), QString::fromStdString(line.object),
                        QString::fromStdString(line.type), QString::fromStdString(line.result),
                        QString::fromStdString(line.start), QString::fromStdString(line.end)});
        for (int column = 0; column < item->columnCount(); ++column) {
            item->setTextAlignment(column, Qt::AlignCenter);
            // Red, as the other windows mark what is missing.
            if (LineFailed(line)) item->setForeground(column, QColor(255, 0, 0));
        }
        items.append(item);
    }
    ui_->detailList->addTopLevelItems(items);
    for (int column = 0; column < ui_->detailList->columnCount(); ++column) {
        // 100 pixels each, wider where a status text or a time would be cut off.
        ui_->detailList->resizeColumnToContents(column);
        ui_->detailList->setColumnWidth(column,
                                        std::max(100, ui_->detailList->columnWidth(column) + 12));
        ui_->detailList->headerItem()->setTextAlignment(column, Qt::AlignCenter);
    }
    // The reason an empty list is empty: the program shows no message box.
    ui_->statusLine->setText(QString::fromStdString(detail.status));
}

DetailWindow::~DetailWindow() = default;

}  // namespace zorva::qivlog
