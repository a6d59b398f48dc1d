#pragma once
// Which of the five programs is running. Texts, limits and retry counts that differ between the
// programs are chosen by this one value.

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
