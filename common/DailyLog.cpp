#include "common/DailyLog.h"

#include "common/Codec.h"
#include "common/FileIo.h"

namespace zorva {
namespace {

struct ProgramTraits {
    std::string_view lineEnd;
    std::size_t lineBuffer;  // bytes, including the terminating zero the line once needed
};

ProgramTraits TraitsOf(Program program) {
    switch (program) {
        case Program::Agent:
            return {"\n\r\n", 260};
        case Program::TransferAgent:
            return {"\r\n", 256};
        case Program::Restore:
            return {"\n", 256};
        case Program::SavedDataViewer:  // the viewers keep no log and never talk to the host
        case Program::LogViewer:
            break;
    }
    return {"\r\n", 256};
}

constexpr std::size_t kListLimit = 1000;

}  // namespace

void AddToMessageList(MessageList& list, const std::string& message) {
    if (list.Count() > kListLimit) list.Clear();
    list.InsertTop(message);
}

DailyLog::DailyLog(Program program, std::filesystem::path logFolder, int detailLog,
                   const Clock& clock)
    : program_(program), folder_(std::move(logFolder)), detailLog_(detailLog), clock_(clock) {}

std::string DailyLog::FileName(const LocalTime& now) {
    return DateStamp(now) + ".log";
}

std::string DailyLog::FormatLine(Program program, std::string_view message, const LocalTime& now) {
    const ProgramTraits traits = TraitsOf(program);
    const std::string stamp = LogTimeStamp(now);
    const std::size_t room = traits.lineBuffer - 1 - stamp.size() - traits.lineEnd.size();
    std::string line = CutCp932(ToCp932(message), room);
    line += stamp;
    line += traits.lineEnd;
    return line;
}

bool DailyLog::FileWanted() const {
    // The agent writes only when the switch is exactly on; the restore program whenever it is
    // not off.
    return program_ == Program::Restore ? detailLog_ != 0 : detailLog_ == 1;
}

void DailyLog::Append(std::string_view message) {
    const LocalTime now = clock_.Now();
    // A missing folder is not created: the line is simply lost.
    AppendToFile(folder_ / FileName(now), FormatLine(program_, message, now));
}

void DailyLog::WriteDailyLog(std::string_view message, MessageList* list) {
    if (list != nullptr && program_ != Program::Agent) {
        AddToMessageList(*list, std::string(message));
    }
    if (FileWanted()) Append(message);
}

void DailyLog::WriteForced(std::string_view message) {
    Append(message);
}

}  // namespace zorva
