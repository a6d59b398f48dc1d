#include "velmoro/ui/JobListView.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidget>
#include <algorithm>

#include "common/ui/ListColumns.h"
#include "common/ui/QtText.h"
#include "velmoro/engine/JobList.h"

namespace zorva::velmoro {

using ui::ToQ;

JobListView::JobListView(QTreeWidget& list, QWidget& window)
    : QObject(&window), list_(list), viewport_(list.viewport()) {
    list_.setColumnCount(static_cast<int>(kJobListColumnCount));
    QStringList headers;
    for (const JobListColumn& column : kJobListColumns) headers << ToQ(column.header);
    list_.setHeaderLabels(headers);
    for (std::size_t i = 0; i < kJobListColumnCount; ++i) {
        list_.setColumnWidth(static_cast<int>(i), kJobListColumns[i].width);
    }
    list_.header()->setDefaultAlignment(Qt::AlignCenter);
    viewport_->installEventFilter(this);

    menu_ = new QMenu(&window);
    menu_->setObjectName(QStringLiteral("jobMenu"));
    AddMenuEntry("ジョブの停止", JobMenuAction::Stop);
    AddMenuEntry("ジョブの履歴", JobMenuAction::History);
    AddMenuEntry("ジョブの活動化", JobMenuAction::Activate);
    menu_->addSeparator();
    AddMenuEntry("ジョブの削除", JobMenuAction::Delete);
}

void JobListView::AddMenuEntry(const char* text, JobMenuAction action) {
    QAction* entry = menu_->addAction(ToQ(text));
    connect(entry, &QAction::triggered, this, [this, action] {
        const QModelIndex current = list_.currentIndex();
        if (current.isValid()) Q_EMIT actionChosen(action, current.row());
    });
}

void JobListView::Show(const JobTable& jobs) {
    const int selected = list_.currentIndex().isValid() ? list_.currentIndex().row() : -1;
    list_.clear();
    for (const JobListRow& row : JobListRows(jobs)) {
        QStringList texts;
        for (const std::string& text : row) texts << ToQ(text);
        auto* item = new QTreeWidgetItem(texts);
        ui::CenterAllColumns(*item);
        list_.addTopLevelItem(item);
    }
    if (selected >= 0 && selected < list_.topLevelItemCount()) {
        list_.setCurrentItem(list_.topLevelItem(selected));
    }
    FitColumns();
}

// The columns keep their widths unless a text needs more (this font is wider than the one the
// widths were made for).
void JobListView::FitColumns() {
    const QFontMetrics metrics(list_.font());
    for (std::size_t i = 0; i < kJobListColumnCount; ++i) {
        const int column = static_cast<int>(i);
        int width = std::max(kJobListColumns[i].width, list_.header()->sectionSizeHint(column));
        for (int row = 0; row < list_.topLevelItemCount(); ++row) {
            width = std::max(width,
                             metrics.horizontalAdvance(list_.topLevelItem(row)->text(column)) + 12);
        }
        list_.setColumnWidth(column, width);
    }
}

// A right click opens the pop-up menu for the row selected before, and never reaches the list,
// so it does not change the selection.
bool JobListView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != viewport_) return QObject::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type == QEvent::ContextMenu) return true;
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick) {
        return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::RightButton) return false;
    if (type == QEvent::MouseButtonPress && !list_.selectedItems().isEmpty()) {
        menu_->popup(mouse->globalPosition().toPoint());
    }
    return true;
}

}  // namespace zorva::velmoro
