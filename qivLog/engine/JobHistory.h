#pragma once
// The log viewer's rules: which jobs of LOG_DAT a date range and a set choose, what each row
// shows, and what the details of one job are.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Clock.h"
#include "common/JobResultReader.h"

namespace zorva::qivlog {

// The same day one month back; the last day of that month when it is shorter.
LocalTime OneMonthBack(const LocalTime& today);

// The set filter list's first entry: every set.
inline constexpr std::string_view kAllSetsEntry = "バックアップセット";

// The set filter's entries: kAllSetsEntry, then the set names in name order.
std::vector<std::string> SetFilterEntries(const std::vector<std::string>& setNames);

// The entry a preset set name chooses: the first that begins with it, ignoring the case of
// A-Z, searched from the second entry on and then the first; nullopt for none (or no preset).
std::optional<std::size_t> FindPresetEntry(const std::vector<std::string>& entries,
                                           std::string_view preset);

struct JobHistoryFilter {
    std::string from;     // YYYYMMDD, included
    std::string to;       // YYYYMMDD, included
    std::string setName;  // empty: every set
};

struct JobHistoryRow {
    std::string start;  // display texts "YYYY/MM/DD hh:mm"
    std::string end;
    std::string setName;
    std::string result;
    std::string description;
    std::string fileName;  // the result log the row came from, byte for byte

    friend bool operator==(const JobHistoryRow&, const JobHistoryRow&) = default;
};

struct JobHistory {
    std::vector<JobHistoryRow> rows;
    std::string status;  // why the list is empty or incomplete; empty when all went well
};

// The jobs whose start or end date lies in the range, of the filter's set only when it names
// one, oldest first (name order). Each set's description is read once per call.
JobHistory ListJobHistory(const std::filesystem::path& programFolder,
                          std::string_view setFolderName, const JobHistoryFilter& filter);

struct JobDetail {
    std::vector<JobDetailLine> lines;
    std::string status;
};

// True for an object line whose object did not come through (shown highlighted).
bool LineFailed(const JobDetailLine& line);

// The object lines of one result log of LOG_DAT.
JobDetail ReadJobDetail(const std::filesystem::path& programFolder, std::string_view fileName);

// The result log's name rebuilt from a row's shown texts: what the row's file is called when
// its name was well formed.
std::string RebuildJobResultName(std::string_view start, std::string_view end,
                                 std::string_view setName, std::string_view result);

}  // namespace zorva::qivlog
