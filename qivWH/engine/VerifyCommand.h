#pragma once
// `qivWH --verify SET [GENERATION]`: checks the save files of one generation, or of every
// generation of the set, against their manifests and prints one line per file. It needs no
// display and only reads.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/Expected.h"

namespace zorva::qivwh {

struct VerifyArguments {
    std::string setName;
    std::optional<std::string> generation;  // "7/20261207"; all generations without it
};

// nullopt when the arguments do not ask for --verify; a failure when they ask for it wrongly.
std::optional<Expected<VerifyArguments>> ParseVerifyArguments(
    const std::vector<std::string>& arguments);

// Prints "GENERATION/FILE: OK|DAMAGED|MISSING|NOT RECORDED" per file. Exit code 0 when no
// file is damaged or missing, 1 when one is, 2 when the set or generation cannot be read.
int RunVerifyCommand(const std::filesystem::path& programFolder, const VerifyArguments& arguments,
                     std::ostream& out, std::ostream& err);

}  // namespace zorva::qivwh
