#pragma once
// The agent's jobs: backup sets handed to the scheduler, held as a table of records in list
// order and mirrored line for line in schedule.txt in the program folder.

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"
#include "common/Clock.h"
#include "common/Expected.h"

namespace zorva::velmoro {

inline constexpr std::size_t kMaxJobs = 100;
inline constexpr std::size_t kJobFileReadLimit = 9900;
inline constexpr const char* kJobFileName = "schedule.txt";

// Field widths in CP932 bytes.
inline constexpr std::size_t kJobSetNameWidth = 19;
inline constexpr std::size_t kSubmittedWidth = 17;
inline constexpr std::size_t kLastRunWidth = 17;
inline constexpr std::size_t kNextRunWidth = 29;
inline constexpr std::size_t kLastDurationWidth = 21;
inline constexpr std::size_t kStartMethodWidth = 19;
inline constexpr std::size_t kStatusWidth = 11;

inline constexpr std::string_view kPcStart = "ＰＣ起動";
inline constexpr std::string_view kHostStart = "ホスト起動";
inline constexpr std::string_view kStatusWaiting = "実行前";
inline constexpr std::string_view kStatusRunning = "実行中";

// Texts for the daily log and the agent's last error text.
inline constexpr std::string_view kJobFileUnreadable = "ジョブ登録ファイルを読み取れない";
inline constexpr std::string_view kNoJobsRegistered = "ジョブの登録がない";
inline constexpr std::string_view kJobFileWriteFailed = "ジョブの書出しに失敗した";
inline constexpr std::string_view kJobAlreadyRegistered = "既に登録されているジョブです";
inline constexpr std::string_view kTooManyJobs = "投入できるジョブ数を超えています";
inline constexpr std::string_view kNoJobToSave = "投入すべきジョブがない";
inline constexpr std::string_view kJobLinesIgnored =
    "ジョブ登録ファイルの100件を超える行を無視した";
inline constexpr std::string_view kJobBytesIgnored =
    "ジョブ登録ファイルの9900バイトを超える部分を無視した";
inline constexpr std::string_view kJobLinesWithoutSet =
    "ジョブ登録ファイルのバックアップセット名がない行を無視した";
inline constexpr std::string_view kJobFileKept =
    "ジョブ登録ファイルを読み切れないため元のファイルを残した：";
inline constexpr std::string_view kJobFileNotKept =
    "ジョブ登録ファイルを読み切れず元のファイルも残せないため読み込まない";

// Whether a job waits for its next run (kStatusWaiting) or runs (kStatusRunning); Unset for a
// line of the job file without either.
enum class JobStatus { Unset, Waiting, Running };

// One job. Texts are UTF-8 and fit their CP932 widths; they are kept as the file holds them.
struct JobRecord {
    bool active = false;        // "活動", else stopped ("停止")
    std::string setName;        // 19
    std::string submittedText;  // 17, " YYYY/MM/DD HH:MM"
    std::string lastRunText;    // 17, a single blank before the first run
    // 29, "YYYY/MM/DD HH:MM" as the list shows it (a given day as typed); what the file holds
    // while no run could be calculated.
    std::string nextRunText;
    std::string lastDuration;  // 21, "HH:MM:SS", a single blank before the first run
    // Not stored in the file: recalculated from the present moment whenever the file is read;
    // nullopt until a next run has been calculated.
    std::optional<LocalTime> nextRun;
    StartMethod startMethod = StartMethod::Unset;  // Pc or Host: a job is never immediate
    JobStatus status = JobStatus::Unset;

    friend bool operator==(const JobRecord&, const JobRecord&) = default;
};

// The texts of the job file and the job list: kPcStart, kHostStart, or empty for any other.
std::string_view StartMethodText(StartMethod method);
// kStatusWaiting, kStatusRunning, or empty.
std::string_view JobStatusText(JobStatus status);

// The eight fields of a job's line as texts, in file order: the active flag ("1" or "0"), the
// set name, the three times, the last duration, the start method and the status.
using LineTexts = std::array<std::string, 8>;
LineTexts TextsOf(const JobRecord& job);

struct JobTable {
    std::filesystem::path file;      // schedule.txt in the program folder
    std::vector<JobRecord> records;  // list order: the index is the row of the job list
};

// Receives each message meant for the daily log.
using LogSink = std::function<void(std::string_view message)>;

// Reads the file into a fresh table (creating it empty when missing) and calculates every
// job's next run from the present moment. A failure when the file holds no job (the table is
// then empty) or cannot be read (the table is left as it was); its text is the one logged. What
// does not fit is ignored and logged once per read: bytes past kJobFileReadLimit (with the line
// they cut), lines past the 100th job, lines without a set name. A file not read whole and clean
// (any of these, or a field that would not be written back as it stands) would lose that part with
// the next write: it is first kept beside, as "schedule.txt.damaged-YYYYMMDDhhmmss", and
// JobFileKeptText is logged; when even that fails, the read counts as failed.
Expected<void> LoadJobs(JobTable& table, const SetTable& sets, const Clock& clock,
                        const LogSink& log);

// How a write of the job file ended.
enum class JobFileWrite {
    Written,
    NothingToWrite,  // an empty table, or no such row: the file is not touched
    Failed,          // the file cannot be written; the old file stays
};

// Replaces the file atomically with every record but the one at `skip`.
JobFileWrite SaveJobs(const JobTable& table, std::optional<std::size_t> skip = std::nullopt);

// Appends a job for the set at sets.currentSet and saves the table; when only the save failed,
// the job stays in the table.
Expected<void> RegisterJob(JobTable& table, const SetTable& sets, const Clock& clock);

// Books a finished run of the set at `setIndex`: its job's next run is recalculated for a PC
// start set, and its last run becomes now.
void RecordJobRun(JobTable& table, const SetTable& sets, std::optional<std::size_t> setIndex,
                  const Clock& clock);

// Sets the status of the first active job of the set; stopped jobs keep theirs. The index of
// the job changed.
std::optional<std::size_t> SetJobStatus(JobTable& table, std::string_view setName,
                                        JobStatus status);

// Stops or activates the job at `row` and saves the table; NothingToWrite for a row that does
// not exist.
JobFileWrite SetJobActive(JobTable& table, int row, bool active);

// Writes the file without the job at `row` and reads it back. On Failed the reread brings the
// job back.
JobFileWrite DeleteJob(JobTable& table, int row, const SetTable& sets, const Clock& clock,
                       const LogSink& log);

// The daily log and status line text for a kept copy of the job file: kJobFileKept and the
// copy's name.
std::string JobFileKeptText(const std::filesystem::path& copy);

bool JobExistsForSet(const JobTable& table, std::string_view setName);
// Index of the last job of the set.
std::optional<std::size_t> FindJobBySetName(const JobTable& table, std::string_view setName);

}  // namespace zorva::velmoro
