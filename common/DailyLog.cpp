#include "common/DailyLog.h"

#include "common/Codec.h"
#include "common/FileIo.h"

namespace zorva {
namespace {

constexpr std::size_t kListLimit = 1000;

}  // namespace

void AddToMessageList(MessageList& list, const std::string& message) {
    if (list.Count() > kListLimit) list.Clear();
    list.InsertTop(message);
}

DailyLog::DailyLog(DailyLogStyle style, std::filesystem::path logFolder, bool detailLog,
                   const Clock& clock)
    : style_(style), folder_(std::move(logFolder)), detailLog_(detailLog), clock_(clock) {}

std::string DailyLog::FileName(const LocalTime& now) {
    return DateStamp(now) + ".log";
}

std::string DailyLog::FormatLine(const DailyLogStyle& style, std::string_view message,
                                 const LocalTime& now) {
    const std::string stamp = LogTimeStamp(now);
    const std::size_t room = style.lineBuffer - 1 - stamp.size() - style.lineEnd.size();
    std::string line = CutCp932(ToCp932(message), room);
    line += stamp;
    line += style.lineEnd;
    return line;
}

void DailyLog::Append(std::string_view message) {
    const LocalTime now = clock_.Now();
    // A missing folder is not created: the line is simply lost.
    AppendToFile(folder_ / FileName(now), FormatLine(style_, message, now));
}

void DailyLog::WriteDailyLog(std::string_view message, MessageList* list) {
    if (list != nullptr) AddToMessageList(*list, std::string(message));
    if (detailLog_) Append(message);
}

void DailyLog::WriteForced(std::string_view message) {
    Append(message);
}

}  // namespace zorva
