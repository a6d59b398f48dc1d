#pragma once
// The restic runner of the programs: a QProcess on the calling (worker) thread, driven by its
// blocking waits, so it needs no event loop. restic runs in a session of its own: a kill takes
// its ssh with it, and no terminal is there for a backend to prompt on.

#include "common/offsite/ResticRunner.h"

namespace zorva::ui {

class QtResticRunner final : public offsite::ResticRunner {
public:
    offsite::RunResult Run(const offsite::ResticCommand& command,
                           const offsite::RunControl& control) override;
};

}  // namespace zorva::ui
