#pragma once
// The job list's rows for the view: a table over the engine's rows, so that a list of a hundred
// thousand jobs costs no widget item per cell.

#include <QAbstractTableModel>
#include <vector>

#include "qivLog/engine/JobHistory.h"

namespace zorva::qivlog {

class JobHistoryModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<JobHistoryRow> rows);
    const JobHistoryRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<JobHistoryRow> rows_;
};

}  // namespace zorva::qivlog
