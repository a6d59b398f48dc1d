#pragma once
// The row a transfer window shows under its lists: a bar for the file under way (busy when its
// size is unknown), its amount, rate and time left, and how many objects of the run this is.

#include <QWidget>

class QLabel;
class QProgressBar;

namespace zorva::ui {

class TransferProgressRow final : public QWidget {
    Q_OBJECT
public:
    explicit TransferProgressRow(QWidget* parent = nullptr);

    // percent -1: the size is unknown.
    void Show(int percent, const QString& amount, const QString& count);

private:
    QProgressBar* bar_;
    QLabel* amount_;
    QLabel* count_;
};

}  // namespace zorva::ui
