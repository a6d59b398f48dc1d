#pragma once
// The main window's backup set panel: the set selector, the description, the start method and
// schedule choices and the set's object list. It mirrors the engine's panel record and runs the
// engine's rule for each choice clicked; checks and enabled states are the record's alone.

#include <string>

#include "velmoro/engine/AgentState.h"
#include "velmoro/engine/SetPanel.h"

namespace Ui {
class MainWindow;
}

namespace zorva::velmoro {

class SetPanelView {
public:
    SetPanelView(Ui::MainWindow& ui, SetPanelState& panel, AgentState& state);

    // The stored sets' names in the selector, none of them chosen.
    void ListStoredSets();
    // A set stored under a new name joins the selector.
    void AddSetName(const std::string& name);
    // The texts the user may have typed since the last rule ran, into the record.
    void Read();
    // The record on the panel.
    void Show();
    void ShowObjects(const BackupSet& set);
    void FocusOn(PanelFocus focus);
    // A locked panel stays disabled whatever the record says.
    void Lock(bool locked);
    // The set the selector names when it is stored; empty for a name not stored yet.
    std::string ChosenStoredSet() const;

private:
    void BuildObjectList();
    void ConnectChoices();

    Ui::MainWindow& ui_;
    SetPanelState& panel_;
    AgentState& state_;
    bool locked_ = false;
};

}  // namespace zorva::velmoro
