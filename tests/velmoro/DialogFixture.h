#pragma once
// What a dialog test of the agent needs: a program folder with its daily log, a clock, the
// message-box seam and a scripted host the dialog's worker thread talks to.

#include <memory>

#include "common/DailyLog.h"
#include "common/Program.h"
#include "common/Settings.h"
#include "tests/support/FakeClock.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/TempFolder.h"
#include "velmoro/engine/AgentCommonFiles.h"
#include "velmoro/engine/AgentHostSession.h"

namespace zorva::velmoro::test {

struct DialogFixture {
    DialogFixture() { std::filesystem::create_directories(folder / "LOG_DAT"); }

    // A factory that hands the dialog `host` (not owned).
    static HostFactory Serving(HostConnection& host) {
        return [&host](const Settings&, Waiter&, HostSessionObserver&) {
            return std::shared_ptr<HostConnection>(&host, [](HostConnection*) {});
        };
    }

    zorva::test::TempFolder folder;
    zorva::test::FakeClock clock{2026, 12, 7, 10, 30};
    DailyLog log{velmoro::kAgentLogStyle, folder / "LOG_DAT", true, clock};
    ProgramContext context{folder.path(), clock, log};
    zorva::test::ScriptedMessageBoxes boxes;
};

}  // namespace zorva::velmoro::test
