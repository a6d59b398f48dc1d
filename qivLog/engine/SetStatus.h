#pragma once
// The monitoring check: how each backup set stands by its newest job result log, in the words
// and exit codes monitoring systems expect of a check plug-in (0 OK, 1 WARNING, 2 CRITICAL,
// 3 UNKNOWN), as text lines and as JSON.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/Clock.h"
#include "common/JobResultReader.h"

namespace zorva::qivlog {

enum class CheckState { Ok, Warning, Critical, Unknown };

// The plug-in exit code of a state: 0, 1, 2, 3.
int ExitCode(CheckState state);
// "OK", "WARNING", "CRITICAL", "UNKNOWN".
std::string_view StateWord(CheckState state);
// The state a check of several sets reports: CRITICAL over WARNING over UNKNOWN over OK.
CheckState Worse(CheckState a, CheckState b);

struct AgeLimits {
    std::chrono::minutes warning = std::chrono::hours(26);
    std::chrono::minutes critical = std::chrono::hours(50);
};

struct SetStatus {
    std::string setName;
    CheckState state = CheckState::Unknown;
    std::optional<JobNameFields> job;  // the newest job of the set
    int saved = 0;
    int failed = 0;
    std::optional<std::chrono::minutes> age;  // since the newest job ended
    std::string reason;                       // why the state is UNKNOWN
};

// The status of each named set from the result logs of programFolder/LOG_DAT, at `now`.
std::vector<SetStatus> CheckSets(const std::filesystem::path& programFolder,
                                 const std::vector<std::string>& setNames, const LocalTime& now,
                                 const AgeLimits& limits);

// The worst state of all sets; UNKNOWN for no set at all.
CheckState OverallState(const std::vector<SetStatus>& sets);

// "OK DAILY 正常完了 start 2026/12/07 01:00 end 2026/12/07 01:42 saved 12 failed 0 age 16h05m"
std::string StatusLine(const SetStatus& set);

// {"state":…,"exitCode":…,"sets":[{…}]} on one line, strings in UTF-8.
std::string StatusJson(const std::vector<SetStatus>& sets);

// True when the command line asks for the check ("--status" anywhere).
bool AsksForStatus(int argc, const char* const argv[]);

// What "--status [--json] [--warn-age HOURS] [--crit-age HOURS] [SET…]" asks for.
struct StatusRequest {
    bool json = false;
    AgeLimits limits;
    std::vector<std::string> setNames;  // empty: every set of the set folder
};

// The request, or the text that says what is wrong with the command line.
std::variant<StatusRequest, std::string> ParseStatusRequest(int argc, const char* const argv[]);

struct StatusOutput {
    std::string text;  // for standard output, ending with a line end
    int exitCode = 3;
};

// Runs the check in programFolder: the named sets, or every set of the set folder the settings
// name.
StatusOutput RunStatusCheck(const std::filesystem::path& programFolder,
                            const StatusRequest& request, const LocalTime& now);

}  // namespace zorva::qivlog
