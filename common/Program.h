#pragma once
// What every engine of a program shares: where its files are, its clock and its daily log.
// How a program reads the settings, words its log lines and talks to the host are values it
// hands to the shared code (SettingsReading, DailyLogStyle, HostProfile); nothing here asks
// which program runs.

#include <filesystem>

namespace zorva {

class Clock;
class DailyLog;

// The referenced objects belong to main() and outlive every engine.
struct ProgramContext {
    std::filesystem::path folder;  // the program folder: zorva.ini, LOG_DAT, the set folder
    const Clock& clock;
    DailyLog& log;
};

}  // namespace zorva
