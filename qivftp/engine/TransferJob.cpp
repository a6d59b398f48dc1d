#include "qivftp/engine/TransferJob.h"

namespace zorva::qivftp {

TransferJob MakeTransferJob(const BackupSet& set) {
    TransferJob job;
    job.setName = set.setName;
    job.description = set.description;
    job.dailyKind = set.dailyKind;
    job.retentionDays = set.retentionDays;
    job.monthlyKind = set.monthlyKind;
    for (const ObjectRow& row : set.rows) {
        job.rows.push_back(
            JobObjectRow{row.library, row.object, row.type, row.objectKind, row.optionCode});
    }
    return job;
}

JobResult ResultOf(const TransferJob& job) {
    return JobResult{job.setName, job.startTime, job.endTime, job.rows};
}

SaveSchedule ScheduleOf(const TransferJob& job) {
    return SaveSchedule{job.setName, job.dailyKind, job.retentionDays, job.monthlyKind};
}

}  // namespace zorva::qivftp
