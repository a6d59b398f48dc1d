#include "common/ui/ListColumns.h"

#include <QHeaderView>
#include <QTreeView>
#include <QTreeWidgetItem>
#include <algorithm>

namespace zorva::ui {

void GiveWidthToNameColumns(QTreeView& list, std::initializer_list<int> nameColumns) {
    QHeaderView& header = *list.header();
    header.setStretchLastSection(false);
    for (int column = 0; column < header.count(); ++column) {
        const bool name =
            std::find(nameColumns.begin(), nameColumns.end(), column) != nameColumns.end();
        header.setSectionResizeMode(column,
                                    name ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    }
}

void CenterAllColumns(QTreeWidgetItem& row) {
    for (int i = 0; i < row.columnCount(); ++i) row.setTextAlignment(i, Qt::AlignCenter);
}

}  // namespace zorva::ui
