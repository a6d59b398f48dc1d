#include "velmoro/ui/QtAgentDialogs.h"

#include "velmoro/ui/ConnectionDialog.h"
#include "velmoro/ui/ObjectEditorDialog.h"

namespace zorva::velmoro {

bool QtAgentDialogs::EditObjects(QWidget* parent, BackupSet& set, const EditedSetLabels& labels,
                                 const Settings& settings,
                                 std::function<void()> registrationStarted,
                                 std::function<void()> registrationFinished) {
    ObjectEditorDialog dialog(context_, settings, set, parent, &boxes_);
    dialog.ShowSetLabels(labels.name, labels.description);
    QObject::connect(&dialog, &ObjectEditorDialog::registrationStarted, &dialog,
                     [&registrationStarted] { registrationStarted(); });
    QObject::connect(&dialog, &ObjectEditorDialog::registrationFinished, &dialog,
                     [&registrationFinished] { registrationFinished(); });
    return dialog.exec() == static_cast<int>(DialogEnd::Registered);
}

std::optional<Settings> QtAgentDialogs::EditConnection(QWidget* parent, const Settings& current,
                                                       std::function<bool()> transferRunning,
                                                       std::function<void()> installed) {
    ConnectionDialog dialog(context_, current, std::move(transferRunning), parent, &boxes_);
    QObject::connect(&dialog, &ConnectionDialog::hostModuleInstalled, &dialog,
                     [&installed] { installed(); });
    if (dialog.exec() != static_cast<int>(DialogEnd::Registered)) return std::nullopt;
    return dialog.Result();
}

}  // namespace zorva::velmoro
