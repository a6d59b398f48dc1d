#pragma once
// Every text of the system is Japanese, whatever the user's locale: Qt's own texts (standard
// buttons, the file and folder dialogs, an edit's context menu) are made Japanese too.

#include <QCoreApplication>

namespace zorva::ui {

// Installs Qt's Japanese translation (qtbase_ja.qm of Qt's translations folder, Debian's
// qt6-translations-l10n) on `app`; false, with the program left in Qt's English, when the
// file is not there. Call once, right after the application object is made.
bool UseJapaneseQtTexts(QCoreApplication& app);

}  // namespace zorva::ui
