#include "velmoro/engine/SetPanel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/FileIo.h"
#include "tests/support/TempFolder.h"

namespace zorva::velmoro {
namespace {

Settings CompleteSettings() {
    Settings s;
    s.termId = "PC01";
    s.baseDir = "/srv/save/";
    s.hostAddress = "10.0.0.1";
    s.user = "ZORVA";
    s.password = "SECRET";
    s.jobQueue = "QGPL/QBATCH";
    return s;
}

BackupSet StoredSet(std::string name, StartMethod startMethod = StartMethod::Pc) {
    BackupSet set;
    set.setName = std::move(name);
    set.description = "stored";
    set.startMethod = startMethod;
    set.scheduleKind = ScheduleKind::Daily;
    set.dailyKind = DailyKind::EveryDay;
    set.retentionDays = "7";
    set.saveTime = startMethod == StartMethod::Pc ? "2200" : "";
    set.rows.push_back({"PAYLIB", "*ALL", "*FILE", '2', '2', 0});
    return set;
}

JobRecord JobOf(std::string name, StartMethod method) {
    JobRecord job;
    job.active = 1;
    job.setName = std::move(name);
    job.startMethod = method;
    return job;
}

// A panel for a new PC start, every-day set with the given entries.
SetPanelState PcPanel(std::string name, std::string saveTime) {
    SetPanelState panel;
    ResetSetPanel(panel);
    panel.selectorText = std::move(name);
    panel.saveTime.text = std::move(saveTime);
    return panel;
}

AgentState StateWith(std::vector<BackupSet> sets) {
    AgentState state;
    state.settings = CompleteSettings();
    state.sets.sets = std::move(sets);
    return state;
}

TEST(SetPanel, SetNameRules) {
    struct Case {
        std::string name;
        std::size_t storedSets;
        int result;
        std::string error;
        int newSet;
    };
    const std::vector<Case> cases = {
        {"", 0, 0, std::string(kSetNameBlank), 0},
        {"PAY1", 0, 0, std::string(kSetNameLettersOnly), 0},
        {"payroll", 0, 0, std::string(kSetNameLettersOnly), 0},
        {"PAY ROLL", 0, 0, std::string(kSetNameLettersOnly), 0},
        {"ＰＡＹ", 0, 0, std::string(kSetNameLettersOnly), 0},
        {"NEWSET", 3, 1, "", 1},
        {"NEWSET", 99, 0, std::string(kSetTableFull), 0},
        {"SETB", 99, 1, "", 0},  // an existing name with 99 sets stored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " with " + std::to_string(c.storedSets) + " sets");
        std::vector<BackupSet> sets;
        for (std::size_t i = 0; i < c.storedSets; ++i) {
            sets.push_back(StoredSet(std::string("SET") + static_cast<char>('A' + i % 26) +
                                     static_cast<char>('A' + i / 26)));
        }
        if (c.storedSets > 1) sets[1].setName = "SETB";
        AgentState state = StateWith(sets);
        state.sets.currentSet = 0;
        SetPanelState panel = PcPanel(c.name, "2200");
        EXPECT_EQ(CheckSetName(panel, state).has_value(), c.result == 1);
        EXPECT_EQ(state.lastError, c.error);
        EXPECT_EQ(state.sets.newSet, c.newSet);
        const int current = c.result == 0 ? 0 : c.newSet == 1 ? static_cast<int>(c.storedSets) : 1;
        EXPECT_EQ(state.sets.currentSet, current);
    }
}

// The entries of a new set named NEWSET, checked against complete settings, with one object.
struct EntryCase {
    std::string label;
    void (*arrange)(SetPanelState&);
    bool ok;
    PanelFocus focus;
    std::string_view error;
};

TEST(SetPanel, CheckSetEntriesFirstFailureWins) {
    const std::vector<EntryCase> cases = {
        {"valid every day", [](SetPanelState&) {}, true, PanelFocus::None, ""},
        {"save time 2400", [](SetPanelState& p) { p.saveTime.text = "2400"; }, false,
         PanelFocus::SaveTime, kSaveTimeInvalid},
        {"save time 1260", [](SetPanelState& p) { p.saveTime.text = "1260"; }, false,
         PanelFocus::SaveTime, kSaveTimeInvalid},
        {"save time 2359", [](SetPanelState& p) { p.saveTime.text = "2359"; }, true,
         PanelFocus::None, ""},
        {"save time 930", [](SetPanelState& p) { p.saveTime.text = "930"; }, false,
         PanelFocus::SaveTime, kSaveTimeNotFourDigits},
        {"save time pasted 12a4", [](SetPanelState& p) { p.saveTime.text = "12a4"; }, false,
         PanelFocus::SaveTime, kSaveTimeNotFourDigits},
        {"host start ignores the time",
         [](SetPanelState& p) {
             p.pcStart.checked = false;
             p.hostStart.checked = true;
             p.saveTime.text = "99";
         },
         true, PanelFocus::None, ""},
        {"given day 31",
         [](SetPanelState& p) {
             OnMonthlyGroupClicked(p);
             p.firstDay.checked = false;
             p.givenDay.checked = true;
             p.monthDay.text = "31";
         },
         true, PanelFocus::None, ""},
        {"given day 0",
         [](SetPanelState& p) {
             OnMonthlyGroupClicked(p);
             p.firstDay.checked = false;
             p.givenDay.checked = true;
             p.monthDay.text = "0";
         },
         false, PanelFocus::MonthDay, kMonthDayInvalid},
        {"given day 32",
         [](SetPanelState& p) {
             OnMonthlyGroupClicked(p);
             p.firstDay.checked = false;
             p.givenDay.checked = true;
             p.monthDay.text = "32";
         },
         false, PanelFocus::MonthDay, kMonthDayInvalid},
        {"given day empty",
         [](SetPanelState& p) {
             OnMonthlyGroupClicked(p);
             p.firstDay.checked = false;
             p.givenDay.checked = true;
         },
         false, PanelFocus::MonthDay, kMonthDayMissing},
        {"weekday message wins over the time message",
         [](SetPanelState& p) {
             OnWeekdaysClicked(p);
             p.saveTime.text = "2400";
         },
         false, PanelFocus::Weekdays, kNoWeekdayTicked},
        {"pasted retention", [](SetPanelState& p) { p.retention.text = "../"; }, false,
         PanelFocus::Retention, kRetentionInvalid},
    };
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.label);
        AgentState state = StateWith({StoredSet("OTHER")});
        state.draft.rows.push_back({"PAYLIB", "PAYROLL", "*FILE", '2', '1', 0});
        SetPanelState panel = PcPanel("NEWSET", "2200");
        c.arrange(panel);
        EntryCheck check = CheckSetEntries(panel, state);
        EXPECT_EQ(check.ok, c.ok);
        EXPECT_EQ(check.focus, c.focus);
        EXPECT_EQ(state.lastError, c.error);
    }
}

TEST(SetPanel, CheckSetEntriesCopiesWhatItChecks) {
    AgentState state = StateWith({});
    state.draft.rows.push_back({"PAYLIB", "PAYROLL", "*FILE", '2', '1', 0});
    SetPanelState panel = PcPanel("NEWSET", "0930");
    panel.description = "夜間保管";
    ASSERT_TRUE(CheckSetEntries(panel, state).ok);
    EXPECT_EQ(state.draft.retentionDays, "999");  // empty retention with "毎日"
    EXPECT_EQ(state.draft.scheduleKind, ScheduleKind::Daily);
    EXPECT_EQ(state.draft.dailyKind, DailyKind::EveryDay);
    EXPECT_EQ(state.draft.startMethod, StartMethod::Pc);
    EXPECT_EQ(state.draft.saveTime, "0930");
    EXPECT_EQ(state.draft.description, "夜間保管");

    OnWeekdaysClicked(panel);
    panel.weekdayBoxes[0].checked = panel.weekdayBoxes[6].checked = true;
    ASSERT_TRUE(CheckSetEntries(panel, state).ok);
    EXPECT_EQ(state.draft.dailyKind, DailyKind::Weekdays);
    EXPECT_EQ(state.draft.weekdayFlags, "1000001");
}

TEST(SetPanel, LaterChecksFailOnObjectsAndSettings) {
    AgentState state = StateWith({});
    SetPanelState panel = PcPanel("NEWSET", "2200");
    EntryCheck check = CheckSetEntries(panel, state);
    EXPECT_EQ(check.focus, PanelFocus::StoreButton);
    EXPECT_EQ(state.lastError, kNoObjects);

    state.draft.rows.push_back({"PAYLIB", "PAYROLL", "*FILE", '2', '1', 0});
    for (auto clear : std::vector<void (*)(Settings&)>{[](Settings& s) { s.termId.clear(); },
                                                       [](Settings& s) { s.jobQueue.clear(); },
                                                       [](Settings& s) {
                                                           s.mailActive = 1;
                                                           s.mailAddress = "a@b";
                                                           s.smtp = "mail";
                                                       }}) {
        state.settings = CompleteSettings();
        clear(state.settings);
        check = CheckSetEntries(panel, state);
        EXPECT_EQ(check.focus, PanelFocus::ConnectionButton);
        EXPECT_EQ(state.lastError, kSettingsIncomplete);
    }
}

TEST(SetPanel, ShowSelectedSetMirrorsTheRecord) {
    BackupSet monthly = StoredSet("MONTHLY");
    monthly.scheduleKind = ScheduleKind::Monthly;
    monthly.dailyKind = DailyKind::NotDaily;
    monthly.monthlyKind = MonthlyKind::GivenDay;
    monthly.monthDay = "15";
    BackupSet host = StoredSet("HOSTSET", StartMethod::Host);
    host.dailyKind = DailyKind::Weekdays;
    host.weekdayFlags = "0100001";
    AgentState state = StateWith({StoredSet("DAILY"), monthly, host});
    SetPanelState panel;
    ResetSetPanel(panel);

    panel.selectorText = "MONTHLY";
    EXPECT_EQ(ShowSelectedSet(panel, state), 1);
    EXPECT_TRUE(panel.monthlyGroup.checked && panel.givenDay.checked);
    EXPECT_EQ(panel.monthDay, (PanelEdit{"15", true}));
    EXPECT_FALSE(panel.dailyGroup.checked || panel.everyDay.checked);
    EXPECT_EQ(panel.saveTime, (PanelEdit{"2200", true}));

    panel.selectorText = "HOSTSET";
    EXPECT_EQ(ShowSelectedSet(panel, state), 2);
    EXPECT_TRUE(panel.hostStart.checked);
    EXPECT_FALSE(panel.pcStart.checked || panel.immediate.checked);
    EXPECT_EQ(panel.saveTime, (PanelEdit{"", false}));
    EXPECT_FALSE(panel.dailyGroup.enabled || panel.monthlyGroup.enabled);
    EXPECT_TRUE(panel.weekdays.checked && panel.weekdayBoxes[1].checked &&
                panel.weekdayBoxes[6].checked && !panel.weekdayBoxes[0].checked);

    SetPanelState before = panel;
    panel.selectorText = "NOSUCH";
    before.selectorText = "NOSUCH";
    EXPECT_EQ(ShowSelectedSet(panel, state), std::nullopt);
    EXPECT_EQ(panel, before);
    EXPECT_EQ(state.sets.currentSet, 2);
}

TEST(SetPanel, StartMethodClickWithoutJobResetsToEveryDay) {
    AgentState state = StateWith({StoredSet("DAILY")});
    SetPanelState panel;
    ResetSetPanel(panel);
    panel.selectorText = "DAILY";
    ShowSelectedSet(panel, state);
    OnWeekdaysClicked(panel);
    OnStartMethodClicked(panel, state, StartMethod::Host);
    EXPECT_TRUE(panel.hostStart.checked && !panel.pcStart.checked);
    EXPECT_EQ(panel.saveTime, (PanelEdit{"", false}));
    EXPECT_TRUE(panel.dailyGroup.checked && panel.everyDay.checked && !panel.weekdays.checked);
    EXPECT_TRUE(panel.retention.enabled);

    OnStartMethodClicked(panel, state, StartMethod::Pc);
    EXPECT_TRUE(panel.saveTime.enabled);
}

TEST(SetPanel, JobLocksScheduleAndStartMethodClicksRestoreTheSet) {
    AgentState state = StateWith({StoredSet("DAILY")});
    state.jobs.records.push_back(JobOf("DAILY", StartMethod::Pc));
    SetPanelState panel;
    ResetSetPanel(panel);
    panel.selectorText = "DAILY";
    ShowSelectedSet(panel, state);
    LockScheduleIfJob(panel, state.jobs);
    EXPECT_FALSE(panel.pcStart.enabled || panel.hostStart.enabled || panel.saveTime.enabled ||
                 panel.retention.enabled || panel.everyDay.enabled || panel.dailyGroup.enabled);

    // The click shows the stored set again but selects the clicked method: a conflict to store.
    OnStartMethodClicked(panel, state, StartMethod::Immediate);
    EXPECT_TRUE(panel.immediate.checked && !panel.pcStart.checked);
    EXPECT_EQ(panel.saveTime.text, "2200");
    EXPECT_TRUE(StartMethodConflict(panel, state.jobs));

    struct Case {
        StartMethod jobMethod;
        StartMethod selected;
        bool conflict;
    };
    for (const Case& c : std::vector<Case>{{StartMethod::Pc, StartMethod::Pc, false},
                                           {StartMethod::Pc, StartMethod::Host, true},
                                           {StartMethod::Host, StartMethod::Host, false},
                                           {StartMethod::Host, StartMethod::Pc, true},
                                           {StartMethod::Host, StartMethod::Immediate, true}}) {
        JobTable jobs;
        jobs.records.push_back(JobOf("DAILY", c.jobMethod));
        SetPanelState p = panel;
        p.pcStart.checked = c.selected == StartMethod::Pc;
        p.hostStart.checked = c.selected == StartMethod::Host;
        p.immediate.checked = c.selected == StartMethod::Immediate;
        EXPECT_EQ(StartMethodConflict(p, jobs), c.conflict);
    }

    // Without the job the group radios and start methods come back, inner controls stay.
    state.jobs.records.clear();
    LockScheduleIfJob(panel, state.jobs);
    EXPECT_TRUE(panel.pcStart.enabled && panel.dailyGroup.enabled && panel.monthlyGroup.enabled);
    EXPECT_FALSE(panel.saveTime.enabled);
}

TEST(SetPanel, StoreWritesTheFileAndAddsANewSet) {
    test::TempFolder folder;
    AgentState state = StateWith({});
    state.settings.backupSetFolder = "BACKUPSET";
    std::filesystem::create_directories(folder / "BACKUPSET");
    state.draft.rows.push_back({"PAYLIB", "PAYROLL", "*FILE", '2', '1', 0});
    SetPanelState panel = PcPanel("NEWSET", "2200");
    panel.retention.text = "7";
    ASSERT_TRUE(CheckSetEntries(panel, state).ok);
    ASSERT_TRUE(StoreCurrentSet(panel, state, folder.path()));
    ASSERT_EQ(state.sets.sets.size(), 1u);
    EXPECT_EQ(state.sets.newSet, 0);
    const BackupSet& stored = state.sets.sets[0];
    EXPECT_EQ(stored.description, " ");  // an empty description is stored as one blank
    std::optional<std::string> bytes = ReadFileBytes(folder / "BACKUPSET/NEWSET");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, " \r\n1\r\n1\t2200\r\n1\t7\r\n \t\r\nPAYLIB\tPAYROLL\t*FILE\t2\t1\t\r\n");
    EXPECT_TRUE(state.draft.rows.empty());

    // A monthly last-day store keeps the old weekday flags and day, as the file format says.
    panel.selectorText = "NEWSET";
    OnMonthlyGroupClicked(panel);
    panel.firstDay.checked = false;
    panel.lastDay.checked = true;
    ASSERT_TRUE(CheckSetEntries(panel, state).ok);
    ASSERT_TRUE(StoreCurrentSet(panel, state, folder.path()));
    EXPECT_EQ(*ReadFileBytes(folder / "BACKUPSET/NEWSET"),
              " \r\n1\r\n2\t2200\r\n0\t\r\n2\t\r\nPAYLIB\tPAYROLL\t*FILE\t2\t1\t\r\n");
}

TEST(SetPanel, FailedStoreKeepsTheOldFileAndStillCountsTheNewSet) {
    test::TempFolder folder;
    AgentState state = StateWith({});
    state.settings.backupSetFolder = "MISSING";  // no such folder: the write fails
    state.draft.rows.push_back({"PAYLIB", "PAYROLL", "*FILE", '2', '1', 0});
    SetPanelState panel = PcPanel("NEWSET", "2200");
    ASSERT_TRUE(CheckSetEntries(panel, state).ok);
    EXPECT_FALSE(StoreCurrentSet(panel, state, folder.path()));
    EXPECT_EQ(state.lastError, "バックアップセット:NEWSET 保管が失敗しました");
    EXPECT_EQ(state.sets.sets.size(), 1u);
}

}  // namespace
}  // namespace zorva::velmoro
