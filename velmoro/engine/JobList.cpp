#include "velmoro/engine/JobList.h"

namespace zorva::velmoro {

JobListRow JobListRowFor(const JobRecord& job) {
    return {std::string(job.Active == 1 ? kActiveText : kStoppedText),
            job.SetName,
            job.SubmittedText,
            job.LastRunText,
            job.StartMethodText == kPcStart ? job.NextRunText : std::string(),
            job.LastDuration,
            job.StartMethodText,
            job.StatusText};
}

std::vector<JobListRow> JobListRows(const JobTable& table) {
    std::vector<JobListRow> rows;
    rows.reserve(table.Records.size());
    for (const JobRecord& job : table.Records) rows.push_back(JobListRowFor(job));
    return rows;
}

}  // namespace zorva::velmoro
