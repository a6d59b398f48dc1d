#pragma once
// The agent's start-up up to the window: settings, backup sets, the install flag and the job
// file, in the order the window then shows them.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "common/Expected.h"
#include "common/Program.h"
#include "velmoro/engine/AgentState.h"

namespace zorva::velmoro {

inline constexpr std::string_view kSetsUnreadable = "バックアップセットの設定でエラー";
inline constexpr std::string_view kProgramStarted = "プログラムが起動された";
inline constexpr std::string_view kProgramEnded = "プログラムが終了された";

// The sets past the 99 the agent holds, said once at start: their jobs cannot run.
std::string SetsLeftOutText(std::size_t count);

struct AgentStartup {
    bool setsLoaded = false;  // false: lastError holds kSetsUnreadable for the status line
    // Sets past the 99 loaded: lastError holds SetsLeftOutText for the status line.
    bool setsLeftOut = false;
    // The job file was kept beside as damaged: unless the sets are told of, lastError holds
    // JobFileKeptText for the status line.
    bool jobFileKept = false;
    bool hostInstalled = false;
    std::chrono::milliseconds schedulerPeriod{0};
};

// Reads zorva.ini once; a file that is there but cannot be read is the Failure, and then
// nothing is written and `state` stays as it was. Otherwise puts the missing set-up keys and
// the set folder name into what was read and writes that back in one replacement when it
// changed, makes sure of the set folder and LOG_DAT, takes the settings (the log switch and
// the install flag included) from the same reading, loads the sets and the jobs (a job left
// "実行中" by an earlier run is waiting again) and writes the jobs back with their fresh next
// runs.
Expected<AgentStartup> StartAgent(const ProgramContext& context, AgentState& state,
                                  std::string_view version);

// A job still marked running from an earlier run of the agent: nothing runs it now.
void ResetRunningJobs(JobTable& jobs);

}  // namespace zorva::velmoro
