#pragma once
// The backup set panel of the main window as a plain record: which radios and boxes are
// checked and enabled, and the texts of its edits. The rules that keep the schedule controls
// consistent, check the entries and store a set work on this record; the window only mirrors it.

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/Expected.h"
#include "velmoro/engine/AgentState.h"

namespace zorva::velmoro {

struct PanelToggle {
    bool checked = false;
    bool enabled = true;

    friend bool operator==(const PanelToggle&, const PanelToggle&) = default;
};

struct PanelEdit {
    std::string text;
    bool enabled = true;

    friend bool operator==(const PanelEdit&, const PanelEdit&) = default;
};

struct SetPanelState {
    std::string selectorText;  // the set selector's text: typed or the selected entry
    std::string description;
    PanelToggle pcStart, hostStart, immediate;
    PanelToggle dailyGroup, everyDay, weekdays;
    PanelEdit retention;
    std::array<PanelToggle, 7> weekdayBoxes;  // Monday first
    PanelToggle monthlyGroup, firstDay, lastDay, givenDay;
    PanelEdit monthDay;
    PanelEdit saveTime;

    friend bool operator==(const SetPanelState&, const SetPanelState&) = default;
};

// Where a failed check puts the focus.
enum class PanelFocus {
    None,
    SetSelector,
    Retention,
    Weekdays,
    MonthDay,
    SaveTime,
    StoreButton,
    ConnectionButton
};

inline constexpr std::size_t kSelectorTextLimit = 10;
inline constexpr std::size_t kDescriptionTextLimit = 128;
inline constexpr std::size_t kRetentionTextLimit = 3;
inline constexpr std::size_t kMonthDayTextLimit = 2;
inline constexpr std::size_t kSaveTimeTextLimit = 4;

inline constexpr std::string_view kSetNameBlank = "バックアップセットＩＤがブランクです";
inline constexpr std::string_view kSetNameLettersOnly =
    "バックアップセットＩＤはアルファベットのみ有効です";
inline constexpr std::string_view kSetTableFull = "バックアップセットが既に９９登録済みです";
inline constexpr std::string_view kNoWeekdayTicked = "保管する曜日をチェックしてください";
inline constexpr std::string_view kMonthDayMissing = "保管する日付を指定してください";
inline constexpr std::string_view kMonthDayInvalid = "保管する日付の指定が不正です";
inline constexpr std::string_view kSaveTimeNotFourDigits =
    "保管時刻を２４時間制で４桁（HHMM)入力してください";
inline constexpr std::string_view kSaveTimeInvalid = "保管時刻の指定が不正です";
inline constexpr std::string_view kRetentionInvalid = "保存日数は数字で入力してください";
inline constexpr std::string_view kNoObjects = "保管オブジェクトを設定して下さい";
inline constexpr std::string_view kSettingsIncomplete = "端末設定にエラーがあります";
inline constexpr std::string_view kStartMethodConflictText =
    "起動方法を変更、または即時起動での保管はできません";
inline constexpr std::string_view kAskNewSet = "バックアップセットの新規登録を行います";
inline constexpr std::string_view kAskOverwriteSet = "既存のバックアップセットを上書きします";

// Control operations: they only set check marks, texts and enabled states.
void ClearMonthly(SetPanelState& panel);
void EnableMonthly(SetPanelState& panel);
// kind: EveryDay or Weekdays.
void ClearDaily(SetPanelState& panel, DailyKind kind);
void SelectDaily(SetPanelState& panel, DailyKind kind);
void ClearSchedule(SetPanelState& panel);
void ResetSetPanel(SetPanelState& panel);
// After the object editor closed on a name that is not stored yet: PC start, every day; the
// save time keeps its text.
void ResetScheduleForNewSet(SetPanelState& panel);

// Shows the set named by the selector. The set's index (now sets.currentSet), or nullopt when
// no stored set has that name (then nothing changes).
std::optional<std::size_t> ShowSelectedSet(SetPanelState& panel, AgentState& state);
// Locks the start method and schedule while the selected set has a job.
void LockScheduleIfJob(SetPanelState& panel, const JobTable& jobs);

// Clicks on the radio buttons.
void OnDailyGroupClicked(SetPanelState& panel);  // also "毎日"
void OnWeekdaysClicked(SetPanelState& panel);
void OnMonthlyGroupClicked(SetPanelState& panel);
void OnStartMethodClicked(SetPanelState& panel, AgentState& state, StartMethod choice);

// Makes sets.currentSet the named set, or the next free index for a new name (newSet 1). A
// refused name's failure text is also kept in state.lastError.
Expected<void> CheckSetName(const SetPanelState& panel, AgentState& state);

struct EntryCheck {
    bool ok = false;
    PanelFocus focus = PanelFocus::None;  // of the first failure
};
// Copies the entries into the current record while it checks them; the first failure sets
// state.lastError and the focus.
EntryCheck CheckSetEntries(const SetPanelState& panel, AgentState& state);

// All connection settings a job needs are filled in.
bool SettingsComplete(const Settings& settings);

// True when the selected set's job was registered with another start method than the one
// selected now.
bool StartMethodConflict(const SetPanelState& panel, const JobTable& jobs);

// True when storing the panel would change the current set's file: its entries or object rows
// differ from what the file holds, or the file cannot be read.
bool StoreChangesSetFile(const SetPanelState& panel, AgentState& state,
                         const std::filesystem::path& programFolder);

// Fills the current record from the panel and writes its file (then the settings). False with
// state.lastError set when the write failed. A new set joins the table either way, as its
// record stays in memory.
bool StoreCurrentSet(const SetPanelState& panel, AgentState& state,
                     const std::filesystem::path& programFolder);

// The set folder of the program folder, from the settings.
std::filesystem::path SetFolder(const std::filesystem::path& programFolder,
                                const Settings& settings);

}  // namespace zorva::velmoro
