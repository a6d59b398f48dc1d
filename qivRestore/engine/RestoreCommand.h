#pragma once
// The restore from the command line, for a script or an ssh session after a disaster:
//   qivRestore --set SET --generation PATH [--restore] [--overwrite] [OBJECT...]
// runs the window's restore run without a window on the data of one generation, prints the
// log lines and each object's 状況 text, and tells by its exit code whether every object came
// through.

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/DailyLog.h"
#include "common/Expected.h"
#include "common/HostJobWait.h"
#include "common/InstanceLock.h"
#include "common/Settings.h"
#include "common/host/HostFactory.h"
#include "common/host/HostSession.h"
#include "qivRestore/engine/RestoreEngine.h"

namespace zorva::qivrestore {

// Fields an object row of a set file needs for the restore program.
inline constexpr std::size_t kRestoreRowFields = 5;

struct RestoreArguments {
    bool help = false;
    bool version = false;
    std::string setName;
    std::string generation;            // below BASEDIR/SET, such as "7/20261207" or "Monday"
    bool restore = false;              // "レストアまで行う"
    bool overwrite = false;            // "上書き可"
    std::vector<std::string> objects;  // none: every save file of the generation
};

extern const char* const kRestoreUsage;

// A failure for a command line that asks for nothing sensible.
Expected<RestoreArguments> ParseRestoreArguments(const std::vector<std::string>& arguments);

// Checks the rows of the named objects (by stored or host name) and clears the others; every
// row stays checked when no object is named. A failure names an object that has no save file
// in the generation.
Expected<void> SelectObjects(std::vector<RestoreRow>& rows,
                             const std::vector<std::string>& objects);

// True when the run ended as planned and every checked object ended "転送完了" (upload only)
// or "復元完了" (restore).
bool RunSucceeded(RestoreOutcome outcome, const std::vector<RestoreRow>& rows, bool restore);

// The libcurl session of the restore program.
HostFactory SessionHostFactory();

struct RestoreCommandEnvironment {
    std::filesystem::path programFolder;
    const Clock& clock;
    Waiter& waiter;
    const SteadyClock& steadyClock;
    std::ostream& out;  // log lines and results
    std::ostream& err;  // what stops the command before the host is contacted
    HostFactory hostFactory;
};

// The program folder's lock: one restore at a time, since a second one would clear ZORVARST
// under the first. Window and command line take it for the life of the process.
inline constexpr std::string_view kRestoreLockName = "qivRestore";
inline constexpr std::string_view kRestoreRunningText = "プログラムが既に開始されている";

// nullopt when `lock` is held; else what to tell the operator, already written to the daily
// log: another restore runs, or the lock file cannot be opened (never taken as running).
std::optional<std::string> RestoreLockRefusal(const InstanceLock& lock, DailyLog& log);

// Returns the exit code: 0 when RunSucceeded, 1 otherwise (also when another restore holds the
// program folder). The time limit (JOBTIMER) counts from this call, as it counts from the
// window's opening.
int RunRestoreCommand(const RestoreArguments& arguments, const RestoreCommandEnvironment& env);

}  // namespace zorva::qivrestore
