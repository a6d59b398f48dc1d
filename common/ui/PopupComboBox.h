#pragma once
// A drop-down list that says when its list closes, whether or not the choice changed: the
// saved-data pages load the chosen set at that moment, also when the same set is chosen again.

#include <QComboBox>

namespace zorva::ui {

class PopupComboBox final : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    void showPopup() override;
    void hidePopup() override;

Q_SIGNALS:
    // The list closed, or a key changed the choice without opening it.
    void choiceClosed();

private:
    void keyPressEvent(QKeyEvent* event) override;

    bool open_ = false;  // Qt hides the list again while the widget goes away: that is no choice
};

}  // namespace zorva::ui
