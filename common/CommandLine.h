#pragma once
// The options every program answers the same way: --help prints its usage, --version its name
// and version, both on standard output with exit code 0.

#include <filesystem>
#include <optional>
#include <string_view>

namespace zorva {

// The exit code when the command line asked for --help or --version, nullopt otherwise. With
// `refuseOtherOptions`, any other argument beginning with "--" is refused: the usage goes to
// standard error and the exit code is 2 (for programs whose arguments are names, not options).
std::optional<int> AnswerCommonOptions(int argc, const char* const argv[], std::string_view program,
                                       std::string_view usage, bool refuseOtherOptions = false);

// The program folder, which is the current folder every program runs in. When the system cannot
// name it (removed under the shell that started the program, or no longer searchable), nullopt
// after one line on standard error: there is then no folder for a log either.
std::optional<std::filesystem::path> CurrentProgramFolder(std::string_view program);

}  // namespace zorva
