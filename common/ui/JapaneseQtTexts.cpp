#include "common/ui/JapaneseQtTexts.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace zorva::ui {

bool UseJapaneseQtTexts(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);  // lives as long as the texts are asked for
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace zorva::ui
