#pragma once
// The job result log: one small file per backup job in LOG_DAT whose name carries the job's
// start, end, set and overall result, with one line per object. The transfer agent writes it;
// the log viewer lists jobs by these names and reads the lines.

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "common/Clock.h"

namespace zorva {

// The outcome of one object of a backup job; the numbers are the ones the result log and the
// report mail speak of.
enum class RowStatus : int {
    Pending = 0,
    Saved = 1,           // saved on the host and downloaded
    HostFailed = 5,      // the host could not save it
    DownloadFailed = 9,  // every download attempt failed
};

// A date-time of all zeros: a row that was never downloaded.
inline constexpr LocalTime kNoTime{0, 0, 0, 0, 0, 0, 0};

// One object of a backup job: the set's row and what became of it.
struct JobObjectRow {
    std::string library;
    std::string object;
    std::string type;
    char objectKind = ' ';
    char optionCode = ' ';
    RowStatus rowStatus = RowStatus::Pending;
    LocalTime downloadStart = kNoTime;
    LocalTime downloadEnd = kNoTime;
};

// What the writer needs of a finished job. The referenced rows outlive the call.
struct JobResult {
    std::string_view setName;
    LocalTime startTime = kNoTime;
    LocalTime endTime = kNoTime;
    std::span<const JobObjectRow> rows;
};

// The rows a report lists: from the first up to the row before the first empty library, at
// most 99.
std::span<const JobObjectRow> ListedRows(std::span<const JobObjectRow> rows);

// "一部未完" when some rows were saved and some not, "異常終了" when none was saved,
// "正常完了" when all were; empty for a job without rows.
std::string JobResultWord(std::span<const JobObjectRow> rows);

// The status text of a row in the result log; "不明 " (with its blank) for an unknown status.
std::string ResultStatusText(RowStatus rowStatus);

// "APP-<start YYYYMMDDHHMM>-<end YYYYMMDDHHMM>-<set>-<result>-.log" (UTF-8).
std::string JobResultName(const JobResult& job);

// The file's bytes (CP932): per row "library/object/type/status/start/end" + CR LF, the times
// as year and month, day, hour, minute in two digits each ("000000000" when never set).
std::string JobResultContent(std::span<const JobObjectRow> rows);

// Appends the content to LOG_DAT/<name> below the program folder with one write. LOG_DAT is
// not created; a file that cannot be written is given up silently (false).
bool WriteJobResultLog(const JobResult& job, const std::filesystem::path& programFolder);

}  // namespace zorva
