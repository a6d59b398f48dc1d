#pragma once
// The job result log: one small file per job in LOG_DAT whose name carries the job's start,
// end, set and overall result, with one line per object. The log viewer lists jobs by these
// names.

#include <filesystem>
#include <span>
#include <string>

#include "qivftp/engine/TransferJob.h"

namespace zorva::qivftp {

// The rows a report lists: from the first up to the row before the first empty library, at
// most 99.
std::span<const JobObjectRow> ListedRows(const TransferJob& job);

// "一部未完" when some rows were saved and some not, "異常終了" when none was saved,
// "正常完了" when all were; empty for a job without rows.
std::string JobResultWord(const TransferJob& job);

// The status text of a row in the result log; "不明 " (with its blank) for an unknown status.
std::string ResultStatusText(int rowStatus);

// "APP-<start YYYYMMDDHHMM>-<end YYYYMMDDHHMM>-<set>-<result>-.log" (UTF-8).
std::string JobResultName(const TransferJob& job);

// The file's bytes (CP932): per row "library/object/type/status/start/end" + CR LF, the times
// as year and month, day, hour, minute in two digits each ("000000000" when never set).
std::string JobResultContent(const TransferJob& job);

// Appends the content to LOG_DAT/<name> below the program folder with one write. LOG_DAT is
// not created; a file that cannot be written is given up silently (false).
bool WriteJobResultLog(const TransferJob& job, const std::filesystem::path& programFolder);

}  // namespace zorva::qivftp
