#pragma once
// The state of the one backup job a transfer agent process runs.

#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"
#include "common/Clock.h"
#include "common/Reporter.h"

namespace zorva::qivftp {

enum RowStatus : int {
    kPending = 0,
    kSaved = 1,           // saved on the host and downloaded
    kHostFailed = 5,      // the host could not save it
    kDownloadFailed = 9,  // every download attempt failed
};

// A date-time of all zeros: a row that was never downloaded.
inline constexpr LocalTime kNoTime{0, 0, 0, 0, 0, 0, 0};

struct JobObjectRow {
    std::string Library;
    std::string Object;
    std::string Type;
    char ObjectKind = ' ';
    char OptionCode = ' ';
    int RowStatus = kPending;
    LocalTime DownloadStart = kNoTime;
    LocalTime DownloadEnd = kNoTime;
};

struct TransferJob {
    std::string SetName;
    std::string Description;
    char DailyKind = ' ';
    std::string RetentionDays;
    char MonthlyKind = ' ';
    std::vector<JobObjectRow> Rows;
    LocalTime StartTime = kNoTime;
    LocalTime EndTime = kNoTime;
    bool JobSubmitted = false;
    bool CancelledByButton = false;
    bool TimedOut = false;
};

// The job's rows and schedule fields from its backup set.
TransferJob MakeTransferJob(const BackupSet& set);

}  // namespace zorva::qivftp
