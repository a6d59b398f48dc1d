#include "velmoro/engine/SetPanel.h"

#include <algorithm>

#include "common/Codec.h"

namespace zorva::velmoro {
namespace {

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void Uncheck(PanelToggle& toggle, bool enabled) {
    toggle.checked = false;
    toggle.enabled = enabled;
}

void SetWeekdayBoxes(SetPanelState& panel, bool enabled) {
    for (PanelToggle& box : panel.weekdayBoxes) box.enabled = enabled;
}

StartMethod SelectedStartMethod(const SetPanelState& panel, StartMethod otherwise) {
    if (panel.pcStart.checked) return StartMethod::Pc;
    if (panel.hostStart.checked) return StartMethod::Host;
    if (panel.immediate.checked) return StartMethod::Immediate;
    return otherwise;
}

std::string WeekdayFlags(const SetPanelState& panel) {
    std::string flags;
    for (const PanelToggle& box : panel.weekdayBoxes) flags += box.checked ? '1' : '0';
    return flags;
}

// Only the first failure of a check sequence names the focus and the message.
struct FirstFailure {
    AgentState& state;
    EntryCheck result{true, PanelFocus::None};

    void Fail(PanelFocus focus, std::string_view text) {
        if (!result.ok) return;
        result = {false, focus};
        state.lastError = text;
    }
};

void CheckDailyEntries(const SetPanelState& panel, BackupSet& set, FirstFailure& check) {
    set.scheduleKind = ScheduleKind::Daily;
    if (panel.everyDay.checked) {
        set.dailyKind = DailyKind::EveryDay;
        set.retentionDays = panel.retention.text.empty() ? "999" : panel.retention.text;
        // The retention names the saved-data folder: only digits may reach it.
        if (!AllDigits(panel.retention.text)) check.Fail(PanelFocus::Retention, kRetentionInvalid);
        return;
    }
    if (!panel.weekdays.checked) return;
    set.dailyKind = DailyKind::Weekdays;
    set.weekdayFlags = WeekdayFlags(panel);
    if (set.weekdayFlags.find('1') == std::string::npos) {
        check.Fail(PanelFocus::Weekdays, kNoWeekdayTicked);
    }
}

void CheckMonthlyEntries(const SetPanelState& panel, BackupSet& set, FirstFailure& check) {
    set.scheduleKind = ScheduleKind::Monthly;
    if (panel.firstDay.checked) set.monthlyKind = MonthlyKind::FirstDay;
    if (panel.lastDay.checked) set.monthlyKind = MonthlyKind::LastDay;
    if (!panel.givenDay.checked) return;
    set.monthlyKind = MonthlyKind::GivenDay;
    const std::string& day = panel.monthDay.text;
    if (day.empty()) {
        check.Fail(PanelFocus::MonthDay, kMonthDayMissing);
        return;
    }
    // Pasted text passes the typed-digit filter; a day must still be a number 1-31.
    if (!AllDigits(day) || std::stoi(day) < 1 || std::stoi(day) > 31) {
        check.Fail(PanelFocus::MonthDay, kMonthDayInvalid);
    }
}

void CheckSaveTime(const SetPanelState& panel, BackupSet& set, FirstFailure& check) {
    const std::string& time = panel.saveTime.text;
    set.saveTime = time;
    // Non-digits (pasted) would store a time that never comes: they fail like a short text.
    if (time.size() != 4 || !AllDigits(time)) {
        check.Fail(PanelFocus::SaveTime, kSaveTimeNotFourDigits);
        return;
    }
    if (std::stoi(time.substr(0, 2)) > 23 || std::stoi(time.substr(2, 2)) > 59) {
        check.Fail(PanelFocus::SaveTime, kSaveTimeInvalid);
    }
}

// The record as storing the panel writes it.
void FillSetFromPanel(const SetPanelState& panel, BackupSet& set) {
    set.setName = CutToCp932Width(panel.selectorText, kSetNameWidth);
    set.description = CutToCp932Width(panel.description, kDescriptionWidth);
    if (set.description.empty()) set.description = " ";
    set.startMethod = SelectedStartMethod(panel, set.startMethod);
    if (panel.dailyGroup.checked) {
        set.scheduleKind = ScheduleKind::Daily;
        set.dailyKind = panel.everyDay.checked ? DailyKind::EveryDay : DailyKind::Weekdays;
        if (!panel.everyDay.checked) set.weekdayFlags = WeekdayFlags(panel);
    } else {
        set.scheduleKind = ScheduleKind::Monthly;
        set.dailyKind = DailyKind::NotDaily;
        if (panel.firstDay.checked) set.monthlyKind = MonthlyKind::FirstDay;
        if (panel.lastDay.checked) set.monthlyKind = MonthlyKind::LastDay;
        if (panel.givenDay.checked) {
            set.monthlyKind = MonthlyKind::GivenDay;
            set.monthDay = panel.monthDay.text.substr(0, kMonthDayWidth);
        }
    }
    set.saveTime = panel.saveTime.text.substr(0, kSaveTimeWidth);
}

}  // namespace

void ClearMonthly(SetPanelState& panel) {
    panel.monthlyGroup.checked = false;
    Uncheck(panel.firstDay, false);
    Uncheck(panel.lastDay, false);
    Uncheck(panel.givenDay, false);
    panel.monthDay = {"", false};
}

void EnableMonthly(SetPanelState& panel) {
    panel.monthlyGroup.checked = true;
    panel.firstDay.enabled = panel.lastDay.enabled = panel.givenDay.enabled = true;
    panel.monthDay.enabled = true;
}

void ClearDaily(SetPanelState& panel, DailyKind kind) {
    panel.dailyGroup.checked = false;
    if (kind == DailyKind::EveryDay) {
        Uncheck(panel.everyDay, false);
        panel.retention = {"", false};
        return;
    }
    Uncheck(panel.weekdays, false);
    for (PanelToggle& box : panel.weekdayBoxes) Uncheck(box, false);
}

void SelectDaily(SetPanelState& panel, DailyKind kind) {
    const bool everyDay = kind == DailyKind::EveryDay;
    panel.dailyGroup.checked = true;
    panel.everyDay.enabled = panel.weekdays.enabled = true;
    panel.everyDay.checked = everyDay;
    panel.weekdays.checked = !everyDay;
    panel.retention.enabled = everyDay;
    if (!everyDay) SetWeekdayBoxes(panel, true);
}

void ClearSchedule(SetPanelState& panel) {
    ClearMonthly(panel);
    ClearDaily(panel, DailyKind::EveryDay);
    ClearDaily(panel, DailyKind::Weekdays);
}

void ResetSetPanel(SetPanelState& panel) {
    panel.selectorText.clear();
    panel.description.clear();
    panel.pcStart.checked = true;
    panel.hostStart.checked = panel.immediate.checked = false;
    panel.saveTime.text.clear();
    ClearSchedule(panel);
    SelectDaily(panel, DailyKind::EveryDay);
}

void ResetScheduleForNewSet(SetPanelState& panel) {
    panel.pcStart = {true, true};
    panel.hostStart = {false, true};
    panel.immediate = {false, true};
    panel.saveTime.enabled = true;  // what the user typed stays
    panel.dailyGroup.enabled = panel.monthlyGroup.enabled = true;
    ClearSchedule(panel);
    SelectDaily(panel, DailyKind::EveryDay);
}

std::optional<std::size_t> ShowSelectedSet(SetPanelState& panel, AgentState& state) {
    const std::optional<std::size_t> index = FindSetByName(state.sets, panel.selectorText);
    if (!index) return std::nullopt;
    state.sets.currentSet = static_cast<int>(*index);
    const BackupSet& set = state.sets.sets[*index];
    panel.description = set.description;
    ClearSchedule(panel);
    panel.pcStart.checked = panel.hostStart.checked = panel.immediate.checked = false;
    if (set.scheduleKind == ScheduleKind::Daily) {
        if (set.dailyKind == DailyKind::EveryDay) {
            SelectDaily(panel, DailyKind::EveryDay);
            panel.retention.text = set.retentionDays;
        } else {
            SelectDaily(panel, DailyKind::Weekdays);
            for (std::size_t i = 0; i < panel.weekdayBoxes.size(); ++i) {
                panel.weekdayBoxes[i].checked =
                    i < set.weekdayFlags.size() && set.weekdayFlags[i] == '1';
            }
        }
    } else {
        EnableMonthly(panel);
        if (set.monthlyKind == MonthlyKind::FirstDay) {
            panel.firstDay.checked = true;
        } else if (set.monthlyKind == MonthlyKind::LastDay) {
            panel.lastDay.checked = true;
        } else {
            panel.givenDay.checked = true;
            panel.monthDay.text = set.monthDay;
        }
    }
    const bool pc = set.startMethod == StartMethod::Pc;
    const bool host = set.startMethod == StartMethod::Host;
    panel.pcStart.checked = pc;
    panel.hostStart.checked = host;
    panel.immediate.checked = !pc && !host;
    panel.saveTime = {pc ? set.saveTime : std::string(), pc};
    panel.dailyGroup.enabled = panel.monthlyGroup.enabled = pc;
    return index;
}

void LockScheduleIfJob(SetPanelState& panel, const JobTable& jobs) {
    const bool unlocked = !JobExistsForSet(jobs, panel.selectorText);
    panel.pcStart.enabled = panel.hostStart.enabled = panel.immediate.enabled = unlocked;
    panel.dailyGroup.enabled = panel.monthlyGroup.enabled = unlocked;
    if (unlocked) return;
    panel.firstDay.enabled = panel.lastDay.enabled = panel.givenDay.enabled = false;
    SetWeekdayBoxes(panel, false);
    panel.monthDay.enabled = panel.everyDay.enabled = panel.weekdays.enabled = false;
    panel.retention.enabled = panel.saveTime.enabled = false;
}

void OnDailyGroupClicked(SetPanelState& panel) {
    ClearSchedule(panel);
    SelectDaily(panel, DailyKind::EveryDay);
}

void OnWeekdaysClicked(SetPanelState& panel) {
    ClearSchedule(panel);
    SelectDaily(panel, DailyKind::Weekdays);
}

void OnMonthlyGroupClicked(SetPanelState& panel) {
    ClearSchedule(panel);
    EnableMonthly(panel);
    panel.firstDay.checked = true;
}

void OnStartMethodClicked(SetPanelState& panel, AgentState& state, StartMethod choice) {
    if (JobExistsForSet(state.jobs, panel.selectorText)) {
        ShowSelectedSet(panel, state);
        LockScheduleIfJob(panel, state.jobs);
    } else {
        ClearSchedule(panel);
        if (choice == StartMethod::Pc) {
            panel.saveTime.enabled = true;
        } else {
            panel.saveTime = {"", false};
        }
        SelectDaily(panel, DailyKind::EveryDay);
    }
    panel.pcStart.checked = choice == StartMethod::Pc;
    panel.hostStart.checked = choice == StartMethod::Host;
    panel.immediate.checked = choice == StartMethod::Immediate;
}

Expected<void> CheckSetName(const SetPanelState& panel, AgentState& state) {
    // The status line shows the agent's last error, so a refusal is kept there too.
    auto refuse = [&state](std::string_view text) {
        state.lastError = text;
        return MakeFailure(FailureCode::BadArgument, state.lastError);
    };
    const std::string& name = panel.selectorText;
    if (name.empty()) return refuse(kSetNameBlank);
    if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
        return refuse(kSetNameLettersOnly);
    }
    if (const auto index = FindSetByName(state.sets, name)) {
        state.sets.currentSet = static_cast<int>(*index);
        state.sets.newSet = 0;
        return {};
    }
    if (state.sets.sets.size() >= kMaxSets) return refuse(kSetTableFull);
    state.sets.currentSet = static_cast<int>(state.sets.sets.size());
    state.sets.newSet = 1;
    return {};
}

EntryCheck CheckSetEntries(const SetPanelState& panel, AgentState& state) {
    if (!CheckSetName(panel, state)) return {false, PanelFocus::SetSelector};
    BackupSet& set = CurrentRecord(state);
    FirstFailure check{state};
    set.description = CutToCp932Width(panel.description, kDescriptionWidth);
    set.startMethod = SelectedStartMethod(panel, set.startMethod);
    if (panel.dailyGroup.checked) CheckDailyEntries(panel, set, check);
    if (panel.monthlyGroup.checked) CheckMonthlyEntries(panel, set, check);
    if (!panel.hostStart.checked && !panel.immediate.checked) CheckSaveTime(panel, set, check);
    if (set.rows.empty() || set.rows.front().library.empty()) {
        check.Fail(PanelFocus::StoreButton, kNoObjects);
    }
    if (!SettingsComplete(state.settings)) {
        check.Fail(PanelFocus::ConnectionButton, kSettingsIncomplete);
    }
    return check.result;
}

bool SettingsComplete(const Settings& s) {
    const bool host = !s.termId.empty() && !s.baseDir.empty() && !s.hostAddress.empty() &&
                      !s.user.empty() && !s.password.empty() && !s.jobQueue.empty();
    const bool mail =
        !s.mailActive || (!s.mailAddress.empty() && !s.smtp.empty() && !s.mailFrom.empty());
    return host && mail;
}

bool StartMethodConflict(const SetPanelState& panel, const JobTable& jobs) {
    for (const JobRecord& job : jobs.records) {
        if (job.setName != panel.selectorText) continue;
        if (job.startMethod == StartMethod::Pc && !panel.pcStart.checked) return true;
        if (job.startMethod == StartMethod::Host && !panel.hostStart.checked) return true;
    }
    return false;
}

std::filesystem::path SetFolder(const std::filesystem::path& programFolder,
                                const Settings& settings) {
    // Start-up names the folder in the file; a record made otherwise may still name none.
    const std::string& name = settings.backupSetFolder;
    return programFolder / (name.empty() ? std::string(kDefaultSetFolderName) : name);
}

bool StoreChangesSetFile(const SetPanelState& panel, AgentState& state,
                         const std::filesystem::path& programFolder) {
    BackupSet wanted = CurrentRecord(state);
    FillSetFromPanel(panel, wanted);
    const Expected<BackupSet> stored =
        ReadSetFile(SetFolder(programFolder, state.settings), wanted.setName);
    if (!stored) return true;
    // Compared as written: what the file holds beyond the record's fields does not count.
    return FormatSetFile(*stored) != FormatSetFile(wanted);
}

bool StoreCurrentSet(const SetPanelState& panel, AgentState& state,
                     const std::filesystem::path& programFolder) {
    BackupSet& set = CurrentRecord(state);
    FillSetFromPanel(panel, set);
    const Expected<void> written = WriteSetFile(SetFolder(programFolder, state.settings), set);
    if (!written) state.lastError = written.error().text;
    if (written) WriteSettings(SettingsPath(programFolder), state.settings);
    if (state.sets.newSet == 1) {
        state.sets.sets.push_back(set);
        state.draft = BackupSet();
        state.sets.newSet = 0;
    }
    return written.has_value();
}

}  // namespace zorva::velmoro
