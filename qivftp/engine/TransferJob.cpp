#include "qivftp/engine/TransferJob.h"

namespace zorva::qivftp {

TransferJob MakeTransferJob(const BackupSet& set) {
    TransferJob job;
    job.SetName = set.SetName;
    job.Description = set.Description;
    job.DailyKind = set.DailyKind;
    job.RetentionDays = set.RetentionDays;
    job.MonthlyKind = set.MonthlyKind;
    for (const ObjectRow& row : set.Rows) {
        job.Rows.push_back(
            JobObjectRow{row.Library, row.Object, row.Type, row.ObjectKind, row.OptionCode});
    }
    return job;
}

JobResult ResultOf(const TransferJob& job) {
    return JobResult{job.SetName, job.StartTime, job.EndTime, job.Rows};
}

SaveSchedule ScheduleOf(const TransferJob& job) {
    return SaveSchedule{job.SetName, job.DailyKind, job.RetentionDays, job.MonthlyKind};
}

}  // namespace zorva::qivftp
