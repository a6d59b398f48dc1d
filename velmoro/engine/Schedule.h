#pragma once
// Calendar arithmetic of the job list: when a job runs next, whether one is due now, and how
// long the last run took. All of it on the local wall clock; runs missed while the agent was
// not running are never caught up.

#include <string>
#include <vector>

#include "common/BackupSet.h"
#include "common/Clock.h"
#include "velmoro/engine/JobTable.h"

namespace zorva::velmoro {

// What a scheduler tick has to do.
struct DueWork {
    enum class Kind {
        Nothing,
        Set,        // run the set at setIndex: its PC start job is due
        HostStart,  // no PC start job is due, but host start jobs wait for the host
    };
    Kind kind = Kind::Nothing;
    std::size_t setIndex = 0;
    // Due jobs whose set is not loaded: passed over (they no longer wait), for the log.
    std::vector<std::string> unloadedSets;

    static DueWork RunSet(std::size_t index) { return Of(Kind::Set, index); }
    static DueWork PollHost() { return Of(Kind::HostStart, 0); }
    static DueWork Of(Kind kind, std::size_t index) {
        DueWork work;
        work.kind = kind;
        work.setIndex = index;
        return work;
    }
    friend bool operator==(const DueWork&, const DueWork&) = default;
};

// Fills the job's next run and its text from its set's schedule and the present moment. Both
// stay as they were when the set is missing or its schedule names no day: no weekday ticked, no
// monthly kind, a save time that is not HHMM (00:00-23:59), a given day outside 1-31. A job of a
// missing set whose next run was never calculated takes the one its text shows (as the job file
// keeps it), so that it still comes due and is seen.
void CalcNextRun(JobRecord& job, const SetTable& sets, const Clock& clock);

// The set of the first due PC start job (the second of its next run set to now); else HostStart
// after stamping every active host start job with the present moment; else Nothing. A due job whose
// set is missing is named in unloadedSets and is not due again (its next run is cleared): it
// holds back no other job. A job whose next run was never calculated is never due.
DueWork FindDueJob(JobTable& table, const SetTable& sets, const Clock& clock);

// lastDuration = the time from the job's due moment to now, "HH:MM:SS".
void CalcLastDuration(JobRecord& job, const Clock& clock);

}  // namespace zorva::velmoro
