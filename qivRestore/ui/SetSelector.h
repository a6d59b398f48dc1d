#pragma once
// The set list: a sorted drop-down list that says when its list closes, chosen or not, since
// every closing loads the set shown (again).

#include <QComboBox>

namespace zorva::restore {

class SetSelector final : public QComboBox {
    Q_OBJECT
public:
    explicit SetSelector(QWidget* parent = nullptr) : QComboBox(parent) {}

    void hidePopup() override {
        QComboBox::hidePopup();
        Q_EMIT popupClosed();
    }

Q_SIGNALS:
    void popupClosed();
};

}  // namespace zorva::restore
