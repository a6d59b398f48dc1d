// qivLog: lists the results of past backup jobs, optionally of the set named on the command
// line, and shows each job's objects.

#include <QApplication>
#include <filesystem>

#include "common/Clock.h"
#include "common/CommandLine.h"
#include "common/Settings.h"
#include "common/ui/JapaneseQtTexts.h"
#include "common/ui/MessageBoxes.h"
#include "qivLog/ui/LogWindow.h"

namespace {

constexpr const char* kUsage =
    "Usage: qivLog [SETNAME]\n"
    "Lists the job result logs in LOG_DAT of the program folder (the current folder) for a\n"
    "date range, of all backup sets or of one, and shows the objects of a job on a double\n"
    "click. With SETNAME the first set beginning with it is chosen and its jobs of the last\n"
    "month are listed at once. It only reads files.\n"
    "  --help       this text\n"
    "  --version    the program's version\n";

}  // namespace

int main(int argc, char* argv[]) {
    using namespace zorva;
    if (const auto exitCode = AnswerCommonOptions(argc, argv, "qivLog", kUsage, true)) {
        return *exitCode;
    }
    const std::string preset = argc > 1 ? argv[1] : "";
    QApplication app(argc, argv);
    ui::UseJapaneseQtTexts(app);
    // The window reads the set folder name again whenever it needs it; here the settings are
    // read once to refuse a file that is there but cannot be read.
    if (const auto ini = ProfileFile::Load(SettingsPath(std::filesystem::current_path())); !ini) {
        ui::QtMessageBoxes boxes;
        ui::ReportStartFailure(boxes, "qivLog", QStringLiteral("エラー"), ini.error().text);
        return 1;
    }
    SystemClock clock;
    qivlog::LogWindow window(std::filesystem::current_path(), preset, clock);
    window.show();
    return app.exec();
}
