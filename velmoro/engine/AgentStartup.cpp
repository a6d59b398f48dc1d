#include "velmoro/engine/AgentStartup.h"

#include "common/DailyLog.h"
#include "velmoro/engine/AgentCommonFiles.h"
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

namespace {

// The settings as read once, with what start-up puts in; written back only when that changed.
Expected<Settings> ReadAndCompleteSettings(const ProgramContext& context,
                                           std::string_view version) {
    const std::filesystem::path iniPath = SettingsPath(context.folder);
    Expected<ProfileFile> ini = ProfileFile::Load(iniPath);
    if (!ini) return Unexpected{ini.error()};
    const std::string before = ini->bytes();
    EnsureSetupKeys(*ini, version);
    EnsureSetFolder(context.folder, *ini);
    Settings settings = SettingsFrom(*ini, kAgentSettings);
    context.log.SetDetailLog(settings.detailLog);
    if (ini->bytes() == before) return settings;
    // Unwritten, the file keeps its old bytes; the agent still runs on what it read.
    if (const Expected<void> saved = ini->Save(iniPath); !saved) {
        context.log.WriteDailyLog(saved.error().text);
    }
    return settings;
}

}  // namespace

Expected<AgentStartup> StartAgent(const ProgramContext& context, AgentState& state,
                                  std::string_view version) {
    Expected<Settings> settings = ReadAndCompleteSettings(context, version);
    if (!settings) return Unexpected{settings.error()};
    state = AgentState();
    state.settings = std::move(*settings);

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
    startup.hostInstalled = state.settings.hostInstalled;

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
