#pragma once
// Which of the five programs is running. The settings file and the daily log differ between the
// programs by this one value; how a program talks to the host is its HostProfile instead.

#include <filesystem>

namespace zorva {

class Clock;
class DailyLog;

enum class Program { Agent, TransferAgent, Restore, SavedDataViewer, LogViewer };

// What every engine of a program shares: who it is, where its files are, its clock and its
// daily log. The referenced objects belong to main() and outlive every engine.
struct ProgramContext {
    Program program;
    std::filesystem::path folder;  // the program folder: zorva.ini, LOG_DAT, the set folder
    const Clock& clock;
    DailyLog& log;
};

}  // namespace zorva
