// qivWH: shows the saved generations of the backup sets and the save files in each. It only
// reads.

#include <QApplication>
#include <filesystem>

#include "common/CommandLine.h"
#include "common/Settings.h"
#include "common/ui/JapaneseQtTexts.h"
#include "common/ui/MessageBoxes.h"
#include "qivWH/ui/MainWindow.h"

namespace {

constexpr const char* kUsage =
    "Usage: qivWH [SETNAME]\n"
    "Shows, for a backup set of the program folder (the current folder), the generation\n"
    "folders below BASEDIR and the save files in the chosen one, with the library, object\n"
    "and type each belongs to and the time it was written. It only reads files.\n"
    "With SETNAME that set is chosen at once.\n"
    "  --help       this text\n"
    "  --version    the program's version\n";

}  // namespace

int main(int argc, char* argv[]) {
    using namespace zorva;
    if (const auto exitCode = AnswerCommonOptions(argc, argv, "qivWH", kUsage, true)) {
        return *exitCode;
    }
    QApplication app(argc, argv);
    ui::UseJapaneseQtTexts(app);
    ui::QtMessageBoxes boxes;
    const std::filesystem::path programFolder = std::filesystem::current_path();
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
