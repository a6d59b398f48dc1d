#include "qivLog/engine/SetStatus.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <tuple>

#include "common/SetFolderReader.h"
#include "common/Settings.h"
#include "qivLog/engine/JobHistory.h"

namespace zorva::qivlog {
namespace {

using std::chrono::minutes;

// The rank Worse compares by; the plug-in codes themselves put UNKNOWN last.
int Severity(CheckState state) {
    switch (state) {
        case CheckState::Ok:
            return 0;
        case CheckState::Unknown:
            return 1;
        case CheckState::Warning:
            return 2;
        case CheckState::Critical:
            return 3;
    }
    return 1;
}

std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    const char* first = text.data() + at;
    const auto [end, error] = std::from_chars(first, first + count, value);
    if (error != std::errc() || end != first + count) return std::nullopt;
    return value;
}

// Minutes since a fixed origin of a "YYYYMMDDhhmm" field or a LocalTime.
std::optional<long long> MinuteSerial(std::string_view field) {
    if (field.size() != 12) return std::nullopt;
    const auto y = Digits(field, 0, 4), mo = Digits(field, 4, 2), d = Digits(field, 6, 2);
    const auto h = Digits(field, 8, 2), mi = Digits(field, 10, 2);
    if (!y || !mo || !d || !h || !mi || *mo < 1 || *mo > 12) return std::nullopt;
    return DaySerial(*y, *mo, *d) * 1440 + *h * 60 + *mi;
}

long long MinuteSerial(const LocalTime& t) {
    return DaySerial(t.year, t.month, t.day) * 1440 + t.hour * 60 + t.minute;
}

CheckState ResultState(std::string_view word) {
    if (word == "正常完了") return CheckState::Ok;
    if (word == "一部未完") return CheckState::Warning;
    // An empty word is a job that had no object to save at all (its set could not be read).
    if (word == "異常終了" || word.empty()) return CheckState::Critical;
    return CheckState::Unknown;
}

CheckState AgeState(minutes age, const AgeLimits& limits) {
    if (age > limits.critical) return CheckState::Critical;
    if (age > limits.warning) return CheckState::Warning;
    return CheckState::Ok;
}

// The set's newest job: the latest start, then the latest end (the name's fields).
std::optional<JobNameFields> NewestJob(const std::vector<std::string>& names,
                                       std::string_view setName, std::string& fileName) {
    std::optional<JobNameFields> newest;
    for (const std::string& name : names) {
        auto job = ParseJobResultName(name);
        if (!job || job->setName != setName) continue;
        if (newest && std::tie(job->start, job->end) < std::tie(newest->start, newest->end)) {
            continue;
        }
        newest = std::move(job);
        fileName = name;
    }
    return newest;
}

SetStatus Judge(SetStatus status, const std::filesystem::path& logFolder,
                const std::string& fileName, const LocalTime& now, const AgeLimits& limits) {
    const auto lines = ReadJobResultFile(logFolder, fileName);
    const auto end = MinuteSerial(status.job->end);
    if (!lines || !end) {
        status.reason = fileName + " cannot be read";
        return status;
    }
    for (const JobDetailLine& line : *lines) ++(LineFailed(line) ? status.failed : status.saved);
    status.age = minutes(std::max(0LL, MinuteSerial(now) - *end));
    status.state = Worse(ResultState(status.job->result), AgeState(*status.age, limits));
    if (status.state == CheckState::Unknown) {
        status.reason = "unknown result " + status.job->result;
    }
    return status;
}

SetStatus CheckSet(const std::string& setName, const std::filesystem::path& logFolder,
                   const std::optional<std::vector<std::string>>& names, const LocalTime& now,
                   const AgeLimits& limits) {
    SetStatus status;
    status.setName = setName;
    if (!names) {
        status.reason = std::string(kLogFolderName) + " cannot be read";
        return status;
    }
    std::string fileName;
    status.job = NewestJob(*names, setName, fileName);
    if (!status.job) {
        status.reason = "no job result log";
        return status;
    }
    return Judge(std::move(status), logFolder, fileName, now, limits);
}

std::string AgeText(minutes age) {
    char text[32];
    std::snprintf(text, sizeof text, "%lldh%02lldm", static_cast<long long>(age.count() / 60),
                  static_cast<long long>(age.count() % 60));
    return text;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// "2026-12-07T01:42" of a name's time field; null when the field is no time.
std::string JsonTime(std::string_view field) {
    if (!MinuteSerial(field)) return "null";
    const std::string f(field);
    return "\"" + f.substr(0, 4) + "-" + f.substr(4, 2) + "-" + f.substr(6, 2) + "T" +
           f.substr(8, 2) + ":" + f.substr(10, 2) + "\"";
}

std::string SetJson(const SetStatus& set) {
    const bool ran = set.job.has_value();
    return "{\"set\":" + JsonString(set.setName) +
           ",\"state\":" + JsonString(StateWord(set.state)) +
           ",\"exitCode\":" + std::to_string(ExitCode(set.state)) +
           ",\"result\":" + (ran ? JsonString(set.job->result) : "null") +
           ",\"start\":" + (ran ? JsonTime(set.job->start) : "null") +
           ",\"end\":" + (ran ? JsonTime(set.job->end) : "null") +
           ",\"saved\":" + std::to_string(set.saved) + ",\"failed\":" + std::to_string(set.failed) +
           ",\"ageSeconds\":" + (set.age ? std::to_string(set.age->count() * 60) : "null") +
           ",\"text\":" + JsonString(StatusLine(set)) + "}";
}

std::optional<minutes> HoursArgument(std::string_view text) {
    int hours = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), hours);
    if (error != std::errc() || end != text.data() + text.size() || hours <= 0) return std::nullopt;
    return std::chrono::hours(hours);
}

// Every set of the set folder; nullopt when it cannot be listed.
std::optional<std::vector<std::string>> AllSetNames(const std::filesystem::path& programFolder) {
    constexpr std::size_t kSetFolderWidth = 63;
    const Expected<ViewerFolders> folders =
        ReadSetFolderName(SettingsPath(programFolder), kSetFolderWidth);
    if (!folders) return std::nullopt;
    return ListSetNames(SetFolderPath(programFolder, folders->backupSetFolder));
}

}  // namespace

int ExitCode(CheckState state) {
    return static_cast<int>(state);
}

std::string_view StateWord(CheckState state) {
    static constexpr std::string_view kWords[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
    return kWords[ExitCode(state)];
}

CheckState Worse(CheckState a, CheckState b) {
    return Severity(a) >= Severity(b) ? a : b;
}

std::vector<SetStatus> CheckSets(const std::filesystem::path& programFolder,
                                 const std::vector<std::string>& setNames, const LocalTime& now,
                                 const AgeLimits& limits) {
    const auto logFolder = programFolder / kLogFolderName;
    const auto names = ListJobResultFiles(logFolder);
    std::vector<SetStatus> sets;
    for (const std::string& setName : setNames) {
        sets.push_back(CheckSet(setName, logFolder, names, now, limits));
    }
    return sets;
}

CheckState OverallState(const std::vector<SetStatus>& sets) {
    if (sets.empty()) return CheckState::Unknown;
    CheckState worst = CheckState::Ok;
    for (const SetStatus& set : sets) worst = Worse(worst, set.state);
    return worst;
}

std::string StatusLine(const SetStatus& set) {
    std::string line = std::string(StateWord(set.state)) + " " + set.setName;
    if (set.job) {
        line += " " + (set.job->result.empty() ? std::string("-") : set.job->result) + " start " +
                DisplayTimeText(set.job->start) + " end " + DisplayTimeText(set.job->end) +
                " saved " + std::to_string(set.saved) + " failed " + std::to_string(set.failed);
    }
    if (set.age) line += " age " + AgeText(*set.age);
    if (!set.reason.empty()) line += " (" + set.reason + ")";
    return line;
}

std::string StatusJson(const std::vector<SetStatus>& sets) {
    const CheckState overall = OverallState(sets);
    std::string json = "{\"state\":" + JsonString(StateWord(overall)) +
                       ",\"exitCode\":" + std::to_string(ExitCode(overall)) + ",\"sets\":[";
    for (std::size_t i = 0; i < sets.size(); ++i) json += (i ? "," : "") + SetJson(sets[i]);
    return json + "]}";
}

bool AsksForStatus(int argc, const char* const argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--status") return true;
    }
    return false;
}

std::variant<StatusRequest, std::string> ParseStatusRequest(int argc, const char* const argv[]) {
    StatusRequest request;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--status") continue;
        if (argument == "--json") {
            request.json = true;
        } else if (argument == "--warn-age" || argument == "--crit-age") {
            const auto age = i + 1 < argc ? HoursArgument(argv[++i]) : std::nullopt;
            if (!age) return std::string(argument) + " needs a number of hours above 0";
            (argument == "--warn-age" ? request.limits.warning : request.limits.critical) = *age;
        } else if (argument.starts_with("--")) {
            return "unknown option " + std::string(argument);
        } else {
            request.setNames.emplace_back(argument);
        }
    }
    return request;
}

StatusOutput RunStatusCheck(const std::filesystem::path& programFolder,
                            const StatusRequest& request, const LocalTime& now) {
    std::vector<std::string> setNames = request.setNames;
    if (setNames.empty()) {
        const auto all = AllSetNames(programFolder);
        if (!all || all->empty()) {
            return {"UNKNOWN no backup set found in the set folder\n",
                    ExitCode(CheckState::Unknown)};
        }
        setNames = *all;
    }
    const auto sets = CheckSets(programFolder, setNames, now, request.limits);
    std::string text;
    if (request.json) {
        text = StatusJson(sets) + "\n";
    } else {
        for (const SetStatus& set : sets) text += StatusLine(set) + "\n";
    }
    return {text, ExitCode(OverallState(sets))};
}

}  // namespace zorva::qivlog
