#include "qivWH/engine/VerifyCommand.h"

#include <algorithm>

#include "common/GenerationTree.h"
#include "common/Manifest.h"
#include "common/SavedData.h"
#include "common/SetFolderReader.h"
#include "common/Settings.h"

namespace zorva::qivwh {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kSetFolderWidth = 255;
constexpr int kDamageFound = 1;
constexpr int kCannotVerify = 2;

// Only a folder the viewer itself would list: never a link, never a path out of the set.
bool IsGenerationOf(const fs::path& setFolder, const std::string& generation) {
    const GenerationTree tree = ListGenerationTree(setFolder);
    return std::any_of(tree.folders.begin(), tree.folders.end(),
                       [&](const GenerationFolder& folder) { return folder.path == generation; });
}

// Prints the generation's lines; false when one of them is a failure.
Expected<bool> VerifyOne(const fs::path& setFolder, const std::string& generation,
                         std::ostream& out) {
    const auto verdicts = VerifyGeneration(setFolder / generation);
    if (!verdicts) return Unexpected{verdicts.error()};
    for (const FileVerdict& verdict : *verdicts) {
        out << generation << "/" << verdict.fileName << ": " << FileCheckText(verdict.check)
            << "\n";
    }
    return AllVerified(*verdicts);
}

}  // namespace

std::optional<Expected<VerifyArguments>> ParseVerifyArguments(
    const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments[0] != "--verify") return std::nullopt;
    if (arguments.size() < 2 || arguments.size() > 3 || !IsBrowsableSetName(arguments[1])) {
        return Expected<VerifyArguments>(MakeFailure(
            FailureCode::BadArgument, "--verify needs a set name and may take one generation"));
    }
    VerifyArguments parsed{arguments[1], std::nullopt};
    if (arguments.size() == 3) parsed.generation = arguments[2];
    return Expected<VerifyArguments>(parsed);
}

int RunVerifyCommand(const fs::path& programFolder, const VerifyArguments& arguments,
                     std::ostream& out, std::ostream& err) {
    const Expected<ViewerFolders> read =
        ReadSetFolderName(SettingsPath(programFolder), kSetFolderWidth);
    if (!read) {
        err << "qivWH: " << read.error().text << "\n";
        return kCannotVerify;
    }
    const ViewerFolders& folders = *read;
    if (!IsUsableBaseDir(folders.baseDir)) {
        err << "qivWH: 保管用ベースディレクトリの指定が不正です\n";
        return kCannotVerify;
    }
    const fs::path setFolder = fs::path(folders.baseDir) / arguments.setName;
    if (arguments.generation && !IsGenerationOf(setFolder, *arguments.generation)) {
        err << "qivWH: " << arguments.setName << "/" << *arguments.generation
            << ": no such generation\n";
        return kCannotVerify;
    }
    const std::vector<std::string> generations = arguments.generation
                                                     ? std::vector{*arguments.generation}
                                                     : VerifiableGenerations(setFolder);
    bool allVerified = true;
    for (const std::string& generation : generations) {
        const Expected<bool> verified = VerifyOne(setFolder, generation, out);
        if (!verified) {
            err << "qivWH: " << verified.error().text << "\n";
            return kCannotVerify;
        }
        allVerified = allVerified && *verified;
    }
    return allVerified ? 0 : kDamageFound;
}

}  // namespace zorva::qivwh
