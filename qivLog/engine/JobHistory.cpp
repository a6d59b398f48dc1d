#include "qivLog/engine/JobHistory.h"

#include <algorithm>
#include <map>

#include "common/SetFolderReader.h"
#include "common/Settings.h"

namespace zorva::qivlog {
namespace {

// Reads each set's description the first time a row of that set needs it.
class DescriptionCache {
public:
    DescriptionCache(std::filesystem::path setFolder, std::string& status)
        : setFolder_(std::move(setFolder)), status_(status) {}

    const std::string& For(const std::string& setName) {
        auto found = cache_.find(setName);
        if (found != cache_.end()) return found->second;
        auto description = ReadSetDescription(setFolder_, setName);
        if (!description) status_ = "バックアップセット：" + setName + "を読み取ることが出来ない";
        return cache_.emplace(setName, description.value_or("")).first->second;
    }

private:
    std::filesystem::path setFolder_;
    std::string& status_;
    std::map<std::string, std::string> cache_;
};

bool Chosen(const JobNameFields& job, const JobHistoryFilter& filter) {
    const bool inRange = DateInRange(job.start, filter.from, filter.to) ||
                         DateInRange(job.end, filter.from, filter.to);
    return inRange && (filter.setName.empty() || job.setName == filter.setName);
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool BeginsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (UpperAscii(text[i]) != UpperAscii(prefix[i])) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> SetFilterEntries(const std::vector<std::string>& setNames) {
    std::vector<std::string> entries{std::string(kAllSetsEntry)};
    entries.insert(entries.end(), setNames.begin(), setNames.end());
    return entries;
}

std::optional<std::size_t> FindPresetEntry(const std::vector<std::string>& entries,
                                           std::string_view preset) {
    if (preset.empty()) return std::nullopt;
    for (std::size_t step = 0; step < entries.size(); ++step) {
        const std::size_t i = (step + 1) % entries.size();
        if (BeginsWithIgnoringCase(entries[i], preset)) return i;
    }
    return std::nullopt;
}

LocalTime OneMonthBack(const LocalTime& today) {
    LocalTime back = today;
    back.month = today.month == 1 ? 12 : today.month - 1;
    back.year = today.month == 1 ? today.year - 1 : today.year;
    back.day = std::min(today.day, DaysInMonth(back.year, back.month));
    back.weekday = WeekdayOf(back.year, back.month, back.day);
    return back;
}

JobHistory ListJobHistory(const std::filesystem::path& programFolder,
                          std::string_view setFolderName, const JobHistoryFilter& filter) {
    JobHistory history;
    const auto names = ListJobResultFiles(programFolder / kLogFolderName);
    if (!names || names->empty()) {
        history.status = "ログの取得でエラー";
        return history;
    }
    std::string setStatus;
    DescriptionCache descriptions(SetFolderPath(programFolder, setFolderName), setStatus);
    for (const std::string& name : *names) {
        const auto job = ParseJobResultName(name);
        if (!job || !Chosen(*job, filter)) continue;
        history.rows.push_back({DisplayTimeText(job->start), DisplayTimeText(job->end),
                                job->setName, job->result, descriptions.For(job->setName), name});
    }
    history.status = setStatus;
    return history;
}

bool LineFailed(const JobDetailLine& line) {
    return line.result != "保管正常完了";
}

JobDetail ReadJobDetail(const std::filesystem::path& programFolder, std::string_view fileName) {
    JobDetail detail;
    auto lines = ReadJobResultFile(programFolder / kLogFolderName, fileName);
    if (!lines) {
        detail.status = std::string(fileName) + "を読み取ることが出来ない";
    } else if (lines->empty()) {
        detail.status = std::string(fileName) + "にデータがない";
    } else {
        detail.lines = std::move(*lines);
    }
    return detail;
}

std::string RebuildJobResultName(std::string_view start, std::string_view end,
                                 std::string_view setName, std::string_view result) {
    return JobResultFileName({StripTimeSeparators(start), StripTimeSeparators(end),
                              std::string(setName), std::string(result)});
}

}  // namespace zorva::qivlog
