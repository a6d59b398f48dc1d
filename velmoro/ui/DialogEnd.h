#pragma once
// How the agent's dialogs end, as their result() and exec() give it. None of the ends is
// QDialog::Rejected, a dialog's result before it has ended.

#include <QDialog>

namespace zorva::velmoro {

enum class DialogEnd {
    Registered = QDialog::Accepted,  // "登録" succeeded
    Escaped,                         // Esc or the close box
    Cancelled,                       // "キャンセル"
};

inline void EndDialog(QDialog& dialog, DialogEnd end) {
    dialog.done(static_cast<int>(end));
}

}  // namespace zorva::velmoro
