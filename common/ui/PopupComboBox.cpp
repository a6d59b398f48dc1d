#include "common/ui/PopupComboBox.h"

#include <QKeyEvent>
#include <QTimer>

namespace zorva::ui {

void PopupComboBox::showPopup() {
    open_ = true;
    QComboBox::showPopup();
}

void PopupComboBox::hidePopup() {
    QComboBox::hidePopup();
    if (!open_) return;
    open_ = false;
    // Qt closes the list before it takes the clicked entry as the choice: say so once the
    // click has been handled, when currentIndex() is the chosen entry.
    QTimer::singleShot(0, this, [this] { Q_EMIT choiceClosed(); });
}

void PopupComboBox::keyPressEvent(QKeyEvent* event) {
    // Arrow keys change the choice of a closed list; the set shown must follow it.
    const int before = currentIndex();
    QComboBox::keyPressEvent(event);
    if (currentIndex() != before) Q_EMIT choiceClosed();
}

}  // namespace zorva::ui
