// qivRestore: sends saved data back to the host. Without arguments it opens the restore
// window; with --set and --generation it runs the same restore from the command line.

#include <sys/resource.h>

#include <iostream>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/HostJobWait.h"
#include "common/Waiter.h"
#include "qivRestore/engine/RestoreCommand.h"

namespace {

// The settings hold the host password: no core dump may carry it to disk.
void ForbidCoreDumps() {
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
}

int RunFromCommandLine(const std::vector<std::string>& arguments) {
    using namespace zorva;
    std::string error;
    const auto parsed = restore::ParseRestoreArguments(arguments, error);
    if (!parsed) {
        std::cerr << "qivRestore: " << error << "\n" << restore::kRestoreUsage;
        return 1;
    }
    if (parsed->Help) {
        std::cout << restore::kRestoreUsage;
        return 0;
    }
    if (parsed->Version) {
        std::cout << "qivRestore " ZORVA_VERSION "\n";
        return 0;
    }
    SystemClock clock;
    SleepingWaiter waiter;
    SystemSteadyClock steadyClock;
    return restore::RunRestoreCommand(
        *parsed, {std::filesystem::current_path(), clock, waiter, steadyClock, std::cout, std::cerr,
                  restore::SessionHostFactory()});
}

}  // namespace

int main(int argc, char* argv[]) {
    ForbidCoreDumps();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!arguments.empty()) return RunFromCommandLine(arguments);
    std::cerr << "qivRestore: the restore window is not built yet; use --help\n";
    return 1;
}
