#include "velmoro/engine/AgentState.h"

namespace zorva::velmoro {

BackupSet& CurrentRecord(AgentState& state) {
    const int index = state.sets.CurrentSet;
    if (index >= 0 && static_cast<std::size_t>(index) < state.sets.Sets.size()) {
        return state.sets.Sets[static_cast<std::size_t>(index)];
    }
    return state.draft;
}

}  // namespace zorva::velmoro
