#pragma once
// The daily operation log: one file per calendar day in LOG_DAT, one line per message with the
// time stamp behind it. The transfer agent and the restore program also show every message at
// the top of a list in their window.

#include <filesystem>
#include <string>
#include <string_view>

#include "common/Clock.h"

namespace zorva {

// The message list of a window, newest first. Implementations must be callable from the
// thread that writes the log.
class MessageList {
public:
    virtual ~MessageList() = default;
    virtual std::size_t Count() const = 0;
    virtual void Clear() = 0;
    virtual void InsertTop(const std::string& message) = 0;
};

// Empties a list holding more than 1,000 entries, then puts the message on top.
void AddToMessageList(MessageList& list, const std::string& message);

// How one program's lines look. Each program defines its own once and hands it to its log, so
// the log knows no program.
struct DailyLogStyle {
    std::string_view lineEnd;
    std::size_t lineBuffer;  // bytes, including the terminating zero the line once needed
};

class DailyLog {
public:
    // `detailLog` is the Settings switch (LOG is "YES").
    DailyLog(DailyLogStyle style, std::filesystem::path logFolder, bool detailLog,
             const Clock& clock);

    // Writes one line (UTF-8 message) and, when given, shows it in `list`. Failures are
    // silent: a message that cannot be written is lost from the file only.
    void WriteDailyLog(std::string_view message, MessageList* list = nullptr);
    // The agent's start and exit entries, written whatever the detail switch says.
    void WriteForced(std::string_view message);

    void SetDetailLog(bool detailLog) { detailLog_ = detailLog; }
    bool DetailLog() const { return detailLog_; }

    // The line bytes (CP932) for a message at `now`: message cut on a character boundary so
    // that the whole line fits the program's buffer, time stamp, line end.
    static std::string FormatLine(const DailyLogStyle& style, std::string_view message,
                                  const LocalTime& now);
    static std::string FileName(const LocalTime& now);

private:
    void Append(std::string_view message);

    DailyLogStyle style_;
    std::filesystem::path folder_;
    bool detailLog_;
    const Clock& clock_;
};

}  // namespace zorva
