#include "qivLog/ui/JobHistoryModel.h"

namespace zorva::qivlog {
namespace {

constexpr int kColumns = 5;

const std::string& Cell(const JobHistoryRow& row, int column) {
    switch (column) {
        case 0:
            return row.start;
        case 1:
            return row.end;
        case 2:
            return row.setName;
        case 3:
            return row.result;
        default:
            return row.description;
    }
}

}  // namespace

void JobHistoryModel::SetRows(std::vector<JobHistoryRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int JobHistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int JobHistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant JobHistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    return QString::fromStdString(Cell(Row(index.row()), index.column()));
}

QVariant JobHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    static const char* const kTitles[kColumns] = {"開始日時", "終了日時", "バックアップセット",
                                                  "結果", "バックアップセット名"};
    return section >= 0 && section < kColumns ? QString::fromUtf8(kTitles[section]) : QVariant();
}

}  // namespace zorva::qivlog
