#include "common/CommandLine.h"

#include <cstdio>
#include <string>
#include <system_error>

namespace zorva {

std::optional<int> AnswerCommonOptions(int argc, const char* const argv[], std::string_view program,
                                       std::string_view usage, bool refuseOtherOptions) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help") {
            std::fwrite(usage.data(), 1, usage.size(), stdout);
            return 0;
        }
        if (argument == "--version") {
            const std::string text = std::string(program) + " " ZORVA_VERSION "\n";
            std::fputs(text.c_str(), stdout);
            return 0;
        }
        if (refuseOtherOptions && argument.starts_with("--")) {
            const std::string text = std::string(program) + ": unknown option " +
                                     std::string(argument) + "\n" + std::string(usage);
            std::fputs(text.c_str(), stderr);
            return 2;
        }
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> CurrentProgramFolder(std::string_view program) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::current_path(error);
    if (!error) return folder;
    const std::string text =
        std::string(program) +
        ": the current folder (the program folder) cannot be read: " + error.message() + "\n";
    std::fputs(text.c_str(), stderr);
    return std::nullopt;
}

}  // namespace zorva
