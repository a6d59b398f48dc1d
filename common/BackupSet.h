#pragma once
// Backup sets: the named lists of host objects with their start method and schedule, one
// text file per set in the set folder.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Expected.h"

namespace zorva {

inline constexpr std::size_t kMaxSets = 99;
inline constexpr std::size_t kMaxRows = 99;
inline constexpr std::size_t kSetFileReadLimit = 65536;

// Field widths in CP932 bytes.
inline constexpr std::size_t kSetNameWidth = 19;
inline constexpr std::size_t kDescriptionWidth = 127;
inline constexpr std::size_t kObjectFieldWidth = 10;
inline constexpr std::size_t kRetentionWidth = 3;
inline constexpr std::size_t kWeekdayFlagsWidth = 7;
inline constexpr std::size_t kSaveTimeWidth = 4;
inline constexpr std::size_t kMonthDayWidth = 2;

struct ObjectRow {
    std::string library;
    std::string object;
    std::string type;
    char objectKind = ' ';
    char optionCode = ' ';
    int checkMark = 0;  // -1 when the object check found the row wrong; never read from a file

    friend bool operator==(const ObjectRow&, const ObjectRow&) = default;
};

// The kinds of a set. Each is one character of the set file, the enumerator's value. A
// character that names no kind is kept as read (the enum holds any char), so that the file is
// written back unchanged; the rules take it for none of the named kinds. Unset is the blank of
// a kind never chosen.
enum class StartMethod : char { Unset = ' ', Pc = '1', Host = '2', Immediate = '3' };
enum class ScheduleKind : char { Unset = ' ', Daily = '1', Monthly = '2' };
// NotDaily: the schedule is monthly.
enum class DailyKind : char { Unset = ' ', NotDaily = '0', EveryDay = '1', Weekdays = '2' };
enum class MonthlyKind : char { Unset = ' ', FirstDay = '1', LastDay = '2', GivenDay = '3' };

// Texts are UTF-8.
struct BackupSet {
    std::string setName;
    std::string description;
    StartMethod startMethod = StartMethod::Unset;
    ScheduleKind scheduleKind = ScheduleKind::Unset;
    std::string retentionDays;
    DailyKind dailyKind = DailyKind::Unset;
    std::string weekdayFlags;  // Monday first
    std::string saveTime;      // HHMM
    MonthlyKind monthlyKind = MonthlyKind::Unset;
    std::string monthDay;
    std::vector<ObjectRow> rows;  // at most kMaxRows, none with an empty Library

    friend bool operator==(const BackupSet&, const BackupSet&) = default;
};

struct SetTable {
    std::vector<BackupSet> sets;  // SetCount is sets.size()
    int currentSet = 0;
    int newSet = 0;
    std::size_t leftOut = 0;  // set files the last LoadSets found past the kMaxSets it loaded
};

// True for 1 to 10 letters A-Z: the only names that may become file and folder names.
bool IsValidSetName(std::string_view name);

// '1' for a library object (library QSYS), '3' for a spooled-file entry (*SPL), else '2'.
char ObjectKindFor(std::string_view library, std::string_view type);
// '1'..'6': protection adds 3 to the compression level 1..3; always '1' for *SPL… types.
char OptionCodeFor(std::string_view type, bool isProtected, int compressionLevel);
// The object list's protection and compression columns for a row ("○", "*LOW", …).
std::string ProtectionText(const ObjectRow& row);
std::string CompressionText(const ObjectRow& row);

// The file's bytes (CP932) to a record named `name`; never fails. Bytes past the read limit,
// rows past the 99th and text past a field's width are dropped. A row line needs
// `rowFieldCount` fields (the saved-data viewer takes rows of four, everyone else five); a
// missing fifth field leaves optionCode blank.
BackupSet ParseSetFile(std::string_view bytes, std::string_view name,
                       std::size_t rowFieldCount = 5);
// The record as the file's bytes (CP932, TAB separated, CR LF).
std::string FormatSetFile(const BackupSet& set);

// The set in folder/name; a failure when the file cannot be read (a missing file included:
// nothing is created).
Expected<BackupSet> ReadSetFile(const std::filesystem::path& folder, std::string_view name);
// Replaces folder/setName atomically; on failure the old file is untouched.
Expected<void> WriteSetFile(const std::filesystem::path& folder, const BackupSet& set);
// Every plain file of the folder whose name is a set name, in name order, at most kMaxSets
// (the rest are counted in leftOut); a failure when the folder cannot be listed. Other names
// (such as the temporary file of an interrupted write) are not sets; a file that cannot be
// read is skipped.
Expected<void> LoadSets(const std::filesystem::path& folder, SetTable& table);
// Index of the first set named exactly `name`.
std::optional<std::size_t> FindSetByName(const SetTable& table, std::string_view name);

}  // namespace zorva
