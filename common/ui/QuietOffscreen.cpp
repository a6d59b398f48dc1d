#include "common/ui/QuietOffscreen.h"

#include <QString>
#include <QtGlobal>

namespace zorva::ui {
namespace {

QtMessageHandler previousHandler = nullptr;

// cron gives no XDG_RUNTIME_DIR; Qt then uses a private folder of its own and says so, which
// would mail the crontab's owner after every run. Nothing of ours lives in that folder.
bool IsRuntimeFolderNote(const QString& message) {
    return qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") &&
           message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.contains(QStringLiteral("propagateSizeHints"))) return;
    if (type == QtWarningMsg && IsRuntimeFolderNote(message)) return;
    if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

void QuietOffscreenWarnings() {
    previousHandler = qInstallMessageHandler(Filter);
}

}  // namespace zorva::ui
