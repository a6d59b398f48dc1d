// schedule.txt of any bytes loads into at most 100 jobs whose texts keep their widths; saved
// and loaded again at the same moment, the jobs are the same.

#include <filesystem>
#include <string>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/support/FakeClock.h"
#include "velmoro/engine/JobTable.h"

namespace {

using namespace zorva;
using namespace zorva::velmoro;

bool Fits(const std::string& utf8, std::size_t width) {
    return ToCp932(utf8).size() <= width;
}

const std::filesystem::path& JobFile() {
    static const FuzzScratchFile file("schedule");
    return file.path();
}

// Sets of each schedule kind, so that next runs are calculated for real.
SetTable Sets() {
    SetTable table;
    BackupSet daily;
    daily.setName = "DAILY";
    daily.startMethod = StartMethod::Pc;
    daily.scheduleKind = ScheduleKind::Daily;
    daily.dailyKind = DailyKind::EveryDay;
    daily.saveTime = "2200";
    daily.weekdayFlags = "1111111";
    BackupSet monthly = daily;
    monthly.setName = "MONTHLY";
    monthly.scheduleKind = ScheduleKind::Monthly;
    monthly.dailyKind = DailyKind::NotDaily;
    monthly.monthlyKind = MonthlyKind::GivenDay;
    monthly.monthDay = "31";
    BackupSet host = daily;
    host.setName = "HOST";
    host.startMethod = StartMethod::Host;
    table.sets = {daily, monthly, host};
    return table;
}

// The records as the file keeps them: an empty text is written as a single blank, since an
// empty field would vanish and shift the fields after it.
std::vector<JobRecord> Stored(std::vector<JobRecord> records) {
    for (JobRecord& job : records) {
        for (std::string* text : {&job.setName, &job.submittedText, &job.lastRunText,
                                  &job.nextRunText, &job.lastDuration}) {
            if (text->empty()) *text = " ";
        }
    }
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!WriteFileAtomically(JobFile(), bytes)) return 0;
    static const SetTable sets = Sets();
    const test::FakeClock clock(2026, 2, 28, 21, 59, 30);
    const LogSink quiet = [](std::string_view) {};

    JobTable table{JobFile(), {}};
    LoadJobs(table, sets, clock, quiet);
    FUZZ_CHECK(table.records.size() <= kMaxJobs);
    for (const JobRecord& job : table.records) {
        FUZZ_CHECK(!job.setName.empty() && Fits(job.setName, kJobSetNameWidth));
        FUZZ_CHECK(Fits(job.submittedText, kSubmittedWidth) &&
                   Fits(job.lastRunText, kLastRunWidth));
        FUZZ_CHECK(Fits(job.nextRunText, kNextRunWidth));
        FUZZ_CHECK(Fits(job.lastDuration, kLastDurationWidth));
    }
    if (table.records.empty()) return 0;
    FUZZ_CHECK(SaveJobs(table) == JobFileWrite::Written);
    JobTable again{JobFile(), {}};
    LoadJobs(again, sets, clock, quiet);
    FUZZ_CHECK(again.records == Stored(table.records));
    return 0;
}
