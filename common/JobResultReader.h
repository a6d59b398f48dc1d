#pragma once
// The reading side of the job result logs in LOG_DAT: what a file name says about its job
// and what each line says about one object. The log viewer lists jobs by these names alone.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorva {

// Reading more of a detail file than this is never needed: a job of 99 objects writes less.
inline constexpr std::size_t kJobResultReadLimit = 9900;

// The four fields a result log's name carries, as they stand in the name (UTF-8 on this
// platform); a field the name lacks is empty.
struct JobNameFields {
    std::string start;  // YYYYMMDDhhmm
    std::string end;    // YYYYMMDDhhmm
    std::string setName;
    std::string result;

    friend bool operator==(const JobNameFields&, const JobNameFields&) = default;
};

// One object line of a result log, its texts ready to show (times as display texts).
struct JobDetailLine {
    std::string library;
    std::string object;
    std::string type;
    std::string result;
    std::string start;
    std::string end;

    friend bool operator==(const JobDetailLine&, const JobDetailLine&) = default;
};

// True for a name the result-log listing looks at: it begins with "AP" (in any case, as the
// folder pattern "AP*.*" matched it).
bool IsJobResultCandidate(std::string_view fileName);

// The fields of "APP-start-end-set-result-.log". Each '-' separates two fields, so an empty
// result word (a job without rows) stays empty instead of taking the ".log" piece; pieces past
// the fifth are ignored. nullopt for a name whose first piece is empty.
std::optional<JobNameFields> ParseJobResultName(std::string_view fileName);

// "APP-<start>-<end>-<set>-<result>-.log", the name a job's fields make.
std::string JobResultFileName(const JobNameFields& fields);

// A time field regrouped for display: "200703050930" -> "2007/03/05 09:30". Whatever the field
// holds is regrouped as far as it goes ("000000000" -> "0000/00/00 0"); past 12 characters
// nothing is shown.
std::string DisplayTimeText(std::string_view digits);

// The text with every blank, '/' and ':' removed: a display time or a picker date back to
// digits.
std::string StripTimeSeparators(std::string_view text);

// The first 8 characters of a time field lie in [from, to] (YYYYMMDD each, both included),
// compared character by character.
bool DateInRange(std::string_view time, std::string_view from, std::string_view to);

// The object lines of a result log's bytes (CP932): at most kJobResultReadLimit bytes up to
// the first zero byte, split into lines at CR and LF and into fields at '/' (runs count as one),
// lines of only '/' skipped, missing fields empty, fields cut to the viewer's room; a time of
// only zeros (an object never downloaded) is empty.
std::vector<JobDetailLine> ParseJobResultLines(std::string_view bytes);

// The object lines of LOG_DAT/fileName; nullopt when it is no readable regular file or the
// name is not a plain file name of that folder.
std::optional<std::vector<JobDetailLine>> ReadJobResultFile(const std::filesystem::path& logFolder,
                                                            std::string_view fileName);

// Every plain file of `logFolder` that IsJobResultCandidate accepts, in name order (byte order);
// nullopt when the folder cannot be listed.
std::optional<std::vector<std::string>> ListJobResultFiles(const std::filesystem::path& logFolder);

}  // namespace zorva
