#include "common/JobResultLog.h"

#include <cstdio>

#include "common/BackupSet.h"
#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/Settings.h"

namespace zorva {
namespace {}  // namespace

std::span<const JobObjectRow> ListedRows(std::span<const JobObjectRow> rows) {
    std::size_t count = 0;
    while (count < rows.size() && count < kMaxRows && !rows[count].library.empty()) ++count;
    return rows.first(count);
}

std::string JobResultWord(std::span<const JobObjectRow> rows) {
    std::size_t done = 0, other = 0;
    for (const JobObjectRow& row : ListedRows(rows)) {
        (row.rowStatus == RowStatus::Saved ? done : other) += 1;
    }
    if (other > 0) return done > 0 ? "一部未完" : "異常終了";
    return done > 0 ? "正常完了" : "";
}

std::string ResultStatusText(RowStatus rowStatus) {
    switch (rowStatus) {
        case RowStatus::Pending:
            return "保管未完了";
        case RowStatus::Saved:
            return "保管正常完了";
        case RowStatus::HostFailed:
            return "ホストで保管失敗";
        case RowStatus::DownloadFailed:
            return "保管異常終了";
    }
    return "不明 ";
}

std::string JobResultName(const JobResult& job) {
    return "APP-" + MinuteStamp(job.startTime) + "-" + MinuteStamp(job.endTime) + "-" +
           std::string(job.setName) + "-" + JobResultWord(job.rows) + "-.log";
}

std::string JobResultContent(std::span<const JobObjectRow> rows) {
    std::string content;
    for (const JobObjectRow& row : ListedRows(rows)) {
        content += ToCp932(row.library + "/" + row.object + "/" + row.type + "/" +
                           ResultStatusText(row.rowStatus) + "/" + MinuteStamp(row.downloadStart) +
                           "/" + MinuteStamp(row.downloadEnd)) +
                   "\r\n";
    }
    return content;
}

bool WriteJobResultLog(const JobResult& job, const std::filesystem::path& programFolder) {
    // The file is opened for appending, never truncated: a job whose name comes out the same
    // as an earlier one's adds its lines to that file.
    return AppendToFile(programFolder / kLogFolderName / JobResultName(job),
                        JobResultContent(job.rows));
}

}  // namespace zorva
