#pragma once
// The agent's commands for administrators (over ssh, in scripts), run before any window:
//   velmoro --install     installs the host module with the settings of zorva.ini
//   velmoro --check SET   asks the host whether every object of the stored set SET exists
//   velmoro --trust-host [--yes]  shows the host's TLS certificate; --yes pins its key
// All print the progress texts and the outcome as the dialogs show them (UTF-8), write the
// same daily-log lines, and end with 0 on success and 1 on failure.

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Reporter.h"
#include "common/Settings.h"
#include "common/Waiter.h"
#include "common/host/HostConnection.h"
#include "velmoro/engine/AgentHostSession.h"

namespace zorva::velmoro {

struct AdminEnvironment {
    std::filesystem::path programFolder;
    std::ostream& out;
    const Clock& clock;
    Waiter& waiter;
    HostFactory hostFactory;  // empty: the agent's FTP session
};

// The exit code when `arguments` (without the program name) are one of the commands,
// nullopt otherwise.
std::optional<int> RunAdminCommand(const std::vector<std::string>& arguments,
                                   AdminEnvironment& environment);

// The same in the current folder, printing to standard output.
std::optional<int> RunAdminCommand(const std::vector<std::string>& arguments);

// Lines for the program's --help text.
const char* AdminCommandUsage();

}  // namespace zorva::velmoro
