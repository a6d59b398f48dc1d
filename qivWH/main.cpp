// qivWH: shows the saved generations of the backup sets and the save files in each. It only
// reads.

#include <QApplication>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "common/CommandLine.h"
#include "common/Settings.h"
#include "common/ui/JapaneseQtTexts.h"
#include "common/ui/MessageBoxes.h"
#include "common/ui/QtResticRunner.h"
#include "qivWH/engine/OffsiteFetch.h"
#include "qivWH/engine/VerifyCommand.h"
#include "qivWH/ui/MainWindow.h"

namespace {

constexpr const char* kUsage =
    "Usage: qivWH [SETNAME]\n"
    "Shows, for a backup set of the program folder (the current folder), the generation\n"
    "folders below BASEDIR and the save files in the chosen one, with the library, object\n"
    "and type each belongs to and the time it was written. It only reads files.\n"
    "With SETNAME that set is chosen at once.\n"
    "Usage: qivWH --verify SET [GENERATION]\n"
    "Checks the save files of the generation (a folder below BASEDIR/SET such as 7/20261207),\n"
    "or of every generation of the set, against the generation's SHA256SUMS.txt and prints\n"
    "one line per file: OK, DAMAGED, MISSING or NOT RECORDED. Exit status 0 when no file is\n"
    "damaged or missing, 1 when one is, 2 when the set or generation cannot be read.\n"
    "Usage: qivWH --offsite SET\n"
    "Lists the set's snapshots in the off-site repository ([OFFSITE] of zorva.ini): id, date,\n"
    "generation and size, one per line.\n"
    "Usage: qivWH --fetch SET SNAPSHOT\n"
    "Brings the snapshot back to BASEDIR/SET/GENERATION, checked against its SHA256SUMS.txt;\n"
    "a generation that exists locally is not overwritten. Exit status 0 when done, 1 when the\n"
    "repository or the fetch failed, 2 when the settings do not allow it.\n"
    "  --help       this text\n"
    "  --version    the program's version\n";

// A command-line mode of its own: nullopt when the arguments are not for it, 2 and the usage
// when they are wrong, `noFolder` when the program folder cannot be read; else what `run`
// makes of them.
template <class Arguments, class Run>
std::optional<int> AnswerMode(const std::optional<zorva::Expected<Arguments>>& parsed, int noFolder,
                              Run run) {
    if (!parsed) return std::nullopt;
    if (!*parsed) {
        std::cerr << "qivWH: " << parsed->error().text << "\n" << kUsage;
        return 2;
    }
    const auto programFolder = zorva::CurrentProgramFolder("qivWH");
    if (!programFolder) return noFolder;
    return run(*programFolder, **parsed);
}

// The verification from the command line: no window, no display needed.
std::optional<int> AnswerVerify(int argc, char* argv[]) {
    const auto parsed = zorva::qivwh::ParseVerifyArguments({argv + 1, argv + argc});
    return AnswerMode(parsed, 2, [](const auto& folder, const auto& verify) {
        return zorva::qivwh::RunVerifyCommand(folder, verify, std::cout, std::cerr);
    });
}

// The off-site listing and fetch from the command line: restic runs under a core
// application (no window, no display).
std::optional<int> AnswerOffsite(int argc, char* argv[]) {
    const auto parsed = zorva::qivwh::ParseOffsiteArguments({argv + 1, argv + argc});
    return AnswerMode(parsed, 1, [&](const auto& folder, const auto& offsite) {
        QCoreApplication app(argc, argv);
        zorva::ui::QtResticRunner restic;
        return zorva::qivwh::RunOffsiteCommand(folder, offsite, restic, std::cout, std::cerr);
    });
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace zorva;
    if (const auto exitCode = AnswerVerify(argc, argv)) return *exitCode;
    if (const auto exitCode = AnswerOffsite(argc, argv)) return *exitCode;
    if (const auto exitCode = AnswerCommonOptions(argc, argv, "qivWH", kUsage, true)) {
        return *exitCode;
    }
    const auto folder = CurrentProgramFolder("qivWH");
    if (!folder) return 1;
    const std::filesystem::path& programFolder = *folder;
    QApplication app(argc, argv);
    ui::UseJapaneseQtTexts(app);
    ui::QtMessageBoxes boxes;
    const Expected<ProfileFile> settings = ProfileFile::Load(SettingsPath(programFolder));
    if (!settings) {
        ui::ReportStartFailure(boxes, "qivWH", QStringLiteral("エラー"), settings.error().text);
        return 1;
    }
    qivwh::MainWindow window(programFolder, *settings, boxes);
    if (argc > 1) window.ChooseSet(argv[1]);
    window.show();
    return app.exec();
}
