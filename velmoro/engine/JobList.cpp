#include "velmoro/engine/JobList.h"

namespace zorva::velmoro {

JobListRow JobListRowFor(const JobRecord& job) {
    return {std::string(job.active ? kActiveText : kStoppedText),
            job.setName,
            job.submittedText,
            job.lastRunText,
            job.startMethod == StartMethod::Pc ? job.nextRunText : std::string(),
            job.lastDuration,
            std::string(StartMethodText(job.startMethod)),
            std::string(JobStatusText(job.status))};
}

std::vector<JobListRow> JobListRows(const JobTable& table) {
    std::vector<JobListRow> rows;
    rows.reserve(table.records.size());
    for (const JobRecord& job : table.records) rows.push_back(JobListRowFor(job));
    return rows;
}

}  // namespace zorva::velmoro
