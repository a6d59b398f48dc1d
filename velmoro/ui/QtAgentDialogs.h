#pragma once
// The main window's two dialogs as the program opens them: the object editor and the
// connection settings, modal to the main window, asking through the same message boxes.

#include "common/Program.h"
#include "common/ui/MessageBoxes.h"
#include "velmoro/ui/MainWindow.h"

namespace zorva::velmoro {

class QtAgentDialogs final : public AgentDialogs {
public:
    QtAgentDialogs(const ProgramContext& context, ui::MessageBoxes& boxes)
        : context_(context), boxes_(boxes) {}

    bool EditObjects(QWidget* parent, BackupSet& set, const EditedSetLabels& labels,
                     const Settings& settings, std::function<void()> registrationStarted,
                     std::function<void()> registrationFinished) override;
    std::optional<Settings> EditConnection(QWidget* parent, const Settings& current,
                                           std::function<bool()> transferRunning,
                                           std::function<void()> installed) override;

private:
    const ProgramContext& context_;
    ui::MessageBoxes& boxes_;
};

}  // namespace zorva::velmoro
