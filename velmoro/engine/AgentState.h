#pragma once
// What the agent holds in memory while it runs: the settings, the backup sets, the jobs and
// the last failure text. One object, owned by the main window and handed to the engines.

#include <string>

#include "common/BackupSet.h"
#include "common/Settings.h"
#include "velmoro/engine/JobTable.h"

namespace zorva::velmoro {

struct AgentState {
    Settings settings;
    SetTable sets;
    // The record a new set name works on until it is stored (it then joins `sets`). It keeps
    // what was copied into it when a new set was checked but not stored.
    BackupSet draft;
    JobTable jobs;
    std::string lastError;  // LastErrorText
};

// The record at sets.currentSet, or the draft while a new name is being worked on.
BackupSet& CurrentRecord(AgentState& state);

}  // namespace zorva::velmoro
