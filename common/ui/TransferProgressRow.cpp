#include "common/ui/TransferProgressRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace zorva::ui {

TransferProgressRow::TransferProgressRow(QWidget* parent)
    : QWidget(parent),
      bar_(new QProgressBar(this)),
      amount_(new QLabel(this)),
      count_(new QLabel(this)) {
    setObjectName(QStringLiteral("transferRow"));
    bar_->setObjectName(QStringLiteral("transferBar"));
    amount_->setObjectName(QStringLiteral("transferLine"));
    count_->setObjectName(QStringLiteral("transferCountLine"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(bar_, 2);
    row->addWidget(amount_, 3);
    row->addWidget(count_, 1);
}

void TransferProgressRow::Show(int percent, const QString& amount, const QString& count) {
    if (percent < 0) {
        bar_->setRange(0, 0);  // busy: no size to measure against
    } else {
        bar_->setRange(0, 100);
        bar_->setValue(percent);
    }
    amount_->setText(amount);
    count_->setText(count);
}

}  // namespace zorva::ui
