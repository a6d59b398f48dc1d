#include "velmoro/engine/AgentState.h"

namespace zorva::velmoro {

BackupSet& CurrentRecord(AgentState& state) {
    const int index = state.sets.currentSet;
    if (index >= 0 && static_cast<std::size_t>(index) < state.sets.sets.size()) {
        return state.sets.sets[static_cast<std::size_t>(index)];
    }
    return state.draft;
}

}  // namespace zorva::velmoro
