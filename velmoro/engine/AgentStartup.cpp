#include "velmoro/engine/AgentStartup.h"

#include "common/DailyLog.h"
#include "velmoro/engine/SetPanel.h"
#include "velmoro/engine/SetupKeys.h"

namespace zorva::velmoro {

std::string SetsLeftOutText(std::size_t count) {
    return "バックアップセットが９９を超えたため、名前順で後の" + std::to_string(count) +
           "件を読み込まなかった";
}

void ResetRunningJobs(JobTable& jobs) {
    for (JobRecord& job : jobs.records) {
        if (job.status == JobStatus::Running) job.status = JobStatus::Waiting;
    }
}

AgentStartup StartAgent(const ProgramContext& context, AgentState& state,
                        std::string_view version) {
    const std::filesystem::path ini = SettingsPath(context.folder);
    MakeSettingsWritable(ini);
    EnsureSetupKeys(ini, version);
    EnsureSetFolder(context.folder);
    state = AgentState();
    state.settings = ReadSettings(ini, Program::Agent);
    context.log.SetDetailLog(state.settings.detailLog);

    AgentStartup startup;
    startup.setsLoaded =
        LoadSets(SetFolder(context.folder, state.settings), state.sets).has_value();
    if (!startup.setsLoaded) state.lastError = kSetsUnreadable;
    startup.setsLeftOut = state.sets.leftOut > 0;
    if (startup.setsLeftOut) {
        state.lastError = SetsLeftOutText(state.sets.leftOut);
        context.log.WriteDailyLog(state.lastError);
    }
    state.sets.currentSet = 0;
    startup.hostInstalled = ReadInstallFlag(ini) == 1;
    state.settings.hostInstalled = startup.hostInstalled ? 1 : 0;

    state.jobs.file = context.folder / kJobFileName;
    auto log = [&](std::string_view message) {
        context.log.WriteDailyLog(message);
        if (!message.starts_with(kJobFileKept)) return;
        // Told on the status line too, unless that tells of the sets already.
        startup.jobFileKept = true;
        if (state.lastError.empty()) state.lastError = message;
    };
    if (LoadJobs(state.jobs, state.sets, context.clock, log)) {
        ResetRunningJobs(state.jobs);
        if (SaveJobs(state.jobs) == JobFileWrite::Failed)
            context.log.WriteDailyLog(kJobFileWriteFailed);
    }
    startup.schedulerPeriod = SchedulerPeriod(state.settings.monitorInterval, context.log);
    return startup;
}

}  // namespace zorva::velmoro
