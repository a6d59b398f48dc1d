#include "common/ui/QuietOffscreen.h"

#include <QString>
#include <QtGlobal>

namespace zorva::ui {
namespace {

QtMessageHandler previousHandler = nullptr;

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.contains(QStringLiteral("propagateSizeHints"))) return;
    if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

void QuietOffscreenWarnings() {
    previousHandler = qInstallMessageHandler(Filter);
}

}  // namespace zorva::ui
