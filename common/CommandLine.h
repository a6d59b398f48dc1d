#pragma once
// The options every program answers the same way: --help prints its usage, --version its name
// and version, both on standard output with exit code 0.

#include <optional>
#include <string_view>

namespace zorva {

// The exit code when the command line asked for --help or --version, nullopt otherwise. With
// `refuseOtherOptions`, any other argument beginning with "--" is refused: the usage goes to
// standard error and the exit code is 2 (for programs whose arguments are names, not options).
std::optional<int> AnswerCommonOptions(int argc, const char* const argv[], std::string_view program,
                                       std::string_view usage, bool refuseOtherOptions = false);

}  // namespace zorva
