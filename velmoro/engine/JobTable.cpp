#include "velmoro/engine/JobTable.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <optional>
#include <system_error>

#include "common/Codec.h"
#include "common/DateTime.h"
#include "common/FileIo.h"
#include "common/TextFields.h"
#include "velmoro/engine/Schedule.h"

namespace zorva::velmoro {
namespace {

namespace fs = std::filesystem;

// The widths of the texts of a line, after its active flag.
constexpr std::array<std::size_t, 7> kTextWidths{
    kJobSetNameWidth,   kSubmittedWidth,   kLastRunWidth, kNextRunWidth,
    kLastDurationWidth, kStartMethodWidth, kStatusWidth};

// Any other text is no start method or status: written back, it becomes a blank.
StartMethod StartMethodOf(std::string_view text) {
    if (text == kPcStart) return StartMethod::Pc;
    if (text == kHostStart) return StartMethod::Host;
    return StartMethod::Unset;
}

JobStatus JobStatusOf(std::string_view text) {
    if (text == kStatusWaiting) return JobStatus::Waiting;
    if (text == kStatusRunning) return JobStatus::Running;
    return JobStatus::Unset;
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// The file's bytes, created empty when it does not exist; nullopt when it cannot be read. A
// folder or other non-file in its place is unreadable, never replaced.
std::optional<std::string> ReadJobFile(const fs::path& file) {
    std::error_code error;
    fs::file_status status = fs::status(file, error);
    if (status.type() == fs::file_type::not_found) {
        std::ofstream created(file, std::ios::binary | std::ios::app);
        if (!created) return std::nullopt;
        return std::string();
    }
    if (error || !fs::is_regular_file(status)) return std::nullopt;
    return ReadFileBytes(file, kJobFileReadLimit + 1);
}

// Keeps the first kJobFileReadLimit bytes; a line the limit cuts through is incomplete and
// goes too. True when anything was dropped.
bool CutToReadLimit(std::string& bytes) {
    if (bytes.size() <= kJobFileReadLimit) return false;
    bool lineComplete = IsLineEnd(bytes[kJobFileReadLimit]);
    bytes.resize(kJobFileReadLimit);
    if (!lineComplete) {
        std::size_t end = bytes.find_last_of("\r\n");
        bytes.resize(end == std::string::npos ? 0 : end + 1);
    }
    return true;
}

// One line of the file; nullopt for a line that names no set. Missing fields stay empty.
std::optional<JobRecord> ParseJobLine(std::string_view line) {
    std::vector<std::string_view> fields = SplitRuns(line, ",");
    if (fields.size() < 2) return std::nullopt;
    LineTexts texts;
    for (std::size_t i = 0; i < kTextWidths.size() && i + 1 < fields.size(); ++i) {
        texts[i + 1] = FromCp932(CutCp932(fields[i + 1], kTextWidths[i]));
    }
    JobRecord job;
    job.active = fields[0] == "1";
    job.setName = std::move(texts[1]);
    job.submittedText = std::move(texts[2]);
    job.lastRunText = std::move(texts[3]);
    job.nextRunText = std::move(texts[4]);
    job.lastDuration = std::move(texts[5]);
    job.startMethod = StartMethodOf(texts[6]);
    job.status = JobStatusOf(texts[7]);
    return job;
}

// A field as the file holds it: CP932, cut to width, never empty (the reader would skip it and
// shift the fields after it) and free of the file's separators.
std::string FieldBytes(std::string_view text, std::size_t width) {
    std::string bytes = CutCp932(ToCp932(text), width);
    for (char& c : bytes) {
        if (c == ',' || IsLineEnd(c)) c = ' ';
    }
    return bytes.empty() ? std::string(" ") : bytes;
}

std::string FormatJobLine(const JobRecord& job) {
    const LineTexts texts = TextsOf(job);
    std::string line = texts[0];
    for (std::size_t i = 0; i < kTextWidths.size(); ++i) {
        line += ',';
        line += FieldBytes(texts[i + 1], kTextWidths[i]);
    }
    return line + "\r\n";
}

// True when writing the job back keeps every byte of its line's fields: none past the eighth,
// none cut to its width or changed by the code page, no start method or status other than its
// words. (A missing field loses nothing.)
bool RewriteKeepsLine(std::string_view line, const JobRecord& job) {
    std::vector<std::string_view> fields = SplitRuns(line, ",");
    const LineTexts texts = TextsOf(job);
    if (fields.size() > texts.size()) return false;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        if (FieldBytes(texts[i], kTextWidths[i - 1]) != fields[i]) return false;
    }
    return true;
}

// The jobs of the file's text, and whether every byte of it was read as it stands.
struct ParsedJobs {
    std::vector<JobRecord> records;
    bool whole = true;
};

ParsedJobs ParseJobFile(std::string bytes, const LogSink& log) {
    ParsedJobs parsed;
    if (CutToReadLimit(bytes)) {
        log(kJobBytesIgnored);
        parsed.whole = false;
    }
    bool lineWithoutSet = false;
    for (std::string_view line : SplitLines(bytes)) {
        if (parsed.records.size() == kMaxJobs) {
            log(kJobLinesIgnored);
            parsed.whole = false;
            break;
        }
        std::optional<JobRecord> job = ParseJobLine(line);
        if (!job) {
            lineWithoutSet = true;
            continue;
        }
        if (!RewriteKeepsLine(line, *job)) parsed.whole = false;
        parsed.records.push_back(std::move(*job));
    }
    if (lineWithoutSet) {
        log(kJobLinesWithoutSet);
        parsed.whole = false;
    }
    return parsed;
}

// Keeps the file as it stands under a dated name beside it. A second name for the same file
// costs no copy, and the rewrite, a rename, replaces only the old name.
std::optional<fs::path> KeepOriginal(const fs::path& file, const LocalTime& now) {
    char seconds[12];
    std::snprintf(seconds, sizeof seconds, "%02d", now.second);
    fs::path copy = file;
    copy += ".damaged-" + MinuteStamp(now) + seconds;
    if (::link(file.c_str(), copy.c_str()) == 0) return copy;
    std::optional<std::string> bytes = ReadFileBytes(file);
    if (bytes && WriteFileAtomically(copy, *bytes)) return copy;
    return std::nullopt;
}

}  // namespace

LineTexts TextsOf(const JobRecord& job) {
    return {job.active ? "1" : "0",
            job.setName,
            job.submittedText,
            job.lastRunText,
            job.nextRunText,
            job.lastDuration,
            std::string(StartMethodText(job.startMethod)),
            std::string(JobStatusText(job.status))};
}

Expected<void> LoadJobs(JobTable& table, const SetTable& sets, const Clock& clock,
                        const LogSink& log) {
    // Each refusal is logged here, so that every caller tells the daily log the same.
    auto refuse = [&log](FailureCode code, std::string_view text) {
        log(text);
        return MakeFailure(code, text);
    };
    std::optional<std::string> bytes = ReadJobFile(table.file);
    if (!bytes) return refuse(FailureCode::ReadFailed, kJobFileUnreadable);
    ParsedJobs parsed = ParseJobFile(std::move(*bytes), log);
    if (!parsed.whole) {
        std::optional<fs::path> copy = KeepOriginal(table.file, clock.Now());
        if (!copy) {
            // The table stays as it was: nothing writes the jobs this read would lose.
            return refuse(FailureCode::WriteFailed, kJobFileNotKept);
        }
        log(JobFileKeptText(*copy));
    }

    table.records = std::move(parsed.records);
    for (JobRecord& job : table.records) CalcNextRun(job, sets, clock);
    if (table.records.empty()) return refuse(FailureCode::NotFound, kNoJobsRegistered);
    return {};
}

std::string_view StartMethodText(StartMethod method) {
    switch (method) {
        case StartMethod::Pc:
            return kPcStart;
        case StartMethod::Host:
            return kHostStart;
        default:
            return {};
    }
}

std::string_view JobStatusText(JobStatus status) {
    switch (status) {
        case JobStatus::Waiting:
            return kStatusWaiting;
        case JobStatus::Running:
            return kStatusRunning;
        case JobStatus::Unset:
            break;
    }
    return {};
}

std::string JobFileKeptText(const fs::path& copy) {
    return std::string(kJobFileKept) + copy.filename().string();
}

JobFileWrite SaveJobs(const JobTable& table, std::optional<std::size_t> skip) {
    if (table.records.empty()) return JobFileWrite::NothingToWrite;
    std::string text;
    for (std::size_t i = 0; i < table.records.size(); ++i) {
        if (i != skip) text += FormatJobLine(table.records[i]);
    }
    return WriteFileAtomically(table.file, text) ? JobFileWrite::Written : JobFileWrite::Failed;
}

Expected<void> RegisterJob(JobTable& table, const SetTable& sets, const Clock& clock) {
    if (sets.currentSet < 0 || static_cast<std::size_t>(sets.currentSet) >= sets.sets.size()) {
        return MakeFailure(FailureCode::NotFound, kNoJobToSave);
    }
    const BackupSet& set = sets.sets[static_cast<std::size_t>(sets.currentSet)];
    if (JobExistsForSet(table, set.setName)) {
        return MakeFailure(FailureCode::BadArgument, kJobAlreadyRegistered);
    }
    if (table.records.size() >= kMaxJobs)
        return MakeFailure(FailureCode::BadArgument, kTooManyJobs);
    JobRecord job;
    job.active = true;
    job.setName = set.setName;
    // The job file knows PC and host start only: any other start method registers as host start.
    job.startMethod = set.startMethod == StartMethod::Pc ? StartMethod::Pc : StartMethod::Host;
    job.status = JobStatus::Waiting;
    job.submittedText = LogTimeStamp(clock.Now());
    job.lastRunText = " ";
    job.lastDuration = " ";
    CalcNextRun(job, sets, clock);
    table.records.push_back(std::move(job));

    switch (SaveJobs(table)) {
        case JobFileWrite::Written:
            return {};
        case JobFileWrite::NothingToWrite:
            return MakeFailure(FailureCode::NotFound, kNoJobToSave);
        case JobFileWrite::Failed:
            break;
    }
    return MakeFailure(FailureCode::WriteFailed, kJobFileWriteFailed);
}

void RecordJobRun(JobTable& table, const SetTable& sets, std::optional<std::size_t> setIndex,
                  const Clock& clock) {
    if (!setIndex || *setIndex >= sets.sets.size()) return;
    const BackupSet& set = sets.sets[*setIndex];
    const std::optional<std::size_t> index = FindJobBySetName(table, set.setName);
    if (!index) return;
    JobRecord& job = table.records[*index];
    if (set.startMethod == StartMethod::Pc) CalcNextRun(job, sets, clock);
    job.lastRunText = LogTimeStamp(clock.Now());
}

std::optional<std::size_t> SetJobStatus(JobTable& table, std::string_view setName,
                                        JobStatus status) {
    for (std::size_t i = 0; i < table.records.size(); ++i) {
        JobRecord& job = table.records[i];
        if (!job.active || job.setName != setName) continue;
        job.status = status;
        return i;
    }
    return std::nullopt;
}

JobFileWrite SetJobActive(JobTable& table, int row, bool active) {
    if (row < 0 || static_cast<std::size_t>(row) >= table.records.size()) {
        return JobFileWrite::NothingToWrite;
    }
    table.records[static_cast<std::size_t>(row)].active = active;
    return SaveJobs(table);
}

JobFileWrite DeleteJob(JobTable& table, int row, const SetTable& sets, const Clock& clock,
                       const LogSink& log) {
    if (row < 0 || static_cast<std::size_t>(row) >= table.records.size()) {
        return JobFileWrite::NothingToWrite;
    }
    const JobFileWrite saved = SaveJobs(table, static_cast<std::size_t>(row));
    LoadJobs(table, sets, clock, log);
    return saved;
}

bool JobExistsForSet(const JobTable& table, std::string_view setName) {
    return FindJobBySetName(table, setName).has_value();
}

std::optional<std::size_t> FindJobBySetName(const JobTable& table, std::string_view setName) {
    for (std::size_t i = table.records.size(); i-- > 0;) {
        if (table.records[i].setName == setName) return i;
    }
    return std::nullopt;
}

}  // namespace zorva::velmoro
