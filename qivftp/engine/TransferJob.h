#pragma once
// The state of the one backup job a transfer agent process runs.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"
#include "common/Clock.h"
#include "common/JobResultLog.h"
#include "common/Reporter.h"
#include "common/SavedData.h"
#include "qivftp/engine/OffsiteCopy.h"
#include "qivftp/engine/ScheduledVerify.h"

namespace zorva::qivftp {

struct TransferJob {
    std::string setName;
    std::string description;
    DailyKind dailyKind = DailyKind::Unset;
    std::string retentionDays;
    MonthlyKind monthlyKind = MonthlyKind::Unset;
    std::vector<JobObjectRow> rows;
    LocalTime startTime = kNoTime;
    LocalTime endTime = kNoTime;
    bool jobSubmitted = false;
    bool cancelledByButton = false;
    bool timedOut = false;
    std::optional<VerificationSummary> verification;  // with [VERIFY] DAYS only
    std::optional<OffsiteOutcome> offsite;            // with [OFFSITE] REPOSITORY only
};

// The job's rows and schedule fields from its backup set.
TransferJob MakeTransferJob(const BackupSet& set);

// The job as its result log sees it (a view: the job outlives it).
JobResult ResultOf(const TransferJob& job);

// The fields that place the job's generation folder below BASEDIR.
SaveSchedule ScheduleOf(const TransferJob& job);

}  // namespace zorva::qivftp
