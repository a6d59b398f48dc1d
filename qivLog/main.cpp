// qivLog: lists the results of past backup jobs, optionally of the set named on the command
// line, and shows each job's objects.

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <variant>

#include "common/Clock.h"
#include "common/CommandLine.h"
#include "common/Settings.h"
#include "common/ui/JapaneseQtTexts.h"
#include "common/ui/MessageBoxes.h"
#include "qivLog/engine/SetStatus.h"
#include "qivLog/ui/LogWindow.h"

namespace {

constexpr const char* kUsage =
    "Usage: qivLog [SETNAME]\n"
    "       qivLog --status [--json] [--warn-age HOURS] [--crit-age HOURS] [SET...]\n"
    "Lists the job result logs in LOG_DAT of the program folder (the current folder) for a\n"
    "date range, of all backup sets or of one, and shows the objects of a job on a double\n"
    "click. With SETNAME the first set beginning with it is chosen and its jobs of the last\n"
    "month are listed at once. It only reads files.\n"
    "With --status no window opens: one line per set (every set when none is named) tells\n"
    "its newest job's start, end, result and objects saved and failed and how long ago it\n"
    "ended, and the exit code is a monitoring check's: 0 OK, 1 WARNING (partly complete, or\n"
    "older than --warn-age, default 26 hours), 2 CRITICAL (failed, or older than --crit-age,\n"
    "default 50 hours), 3 UNKNOWN (no result log); the worst set decides.\n"
    "  --json       the same as one JSON object\n"
    "  --help       this text\n"
    "  --version    the program's version\n";

// The monitoring check: no window, no display needed.
int RunStatus(int argc, const char* const argv[]) {
    using namespace zorva;
    const auto request = qivlog::ParseStatusRequest(argc, argv);
    if (const auto* wrong = std::get_if<std::string>(&request)) {
        const std::string text = "qivLog: " + *wrong + "\n" + kUsage;
        std::fputs(text.c_str(), stderr);
        return qivlog::ExitCode(qivlog::CheckState::Unknown);
    }
    const auto programFolder = CurrentProgramFolder("qivLog");
    if (!programFolder) return qivlog::ExitCode(qivlog::CheckState::Unknown);
    const auto output = qivlog::RunStatusCheck(
        *programFolder, std::get<qivlog::StatusRequest>(request), SystemClock().Now());
    std::fputs(output.text.c_str(), stdout);
    return output.exitCode;
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace zorva;
    const bool status = qivlog::AsksForStatus(argc, argv);
    if (const auto exitCode = AnswerCommonOptions(argc, argv, "qivLog", kUsage, !status)) {
        return *exitCode;
    }
    if (status) return RunStatus(argc, argv);
    const std::string preset = argc > 1 ? argv[1] : "";
    const auto programFolder = CurrentProgramFolder("qivLog");
    if (!programFolder) return 1;
    QApplication app(argc, argv);
    ui::UseJapaneseQtTexts(app);
    // The window reads the set folder name again whenever it needs it; here the settings are
    // read once to refuse a file that is there but cannot be read.
    if (const auto ini = ProfileFile::Load(SettingsPath(*programFolder)); !ini) {
        ui::QtMessageBoxes boxes;
        ui::ReportStartFailure(boxes, "qivLog", QStringLiteral("エラー"), ini.error().text);
        return 1;
    }
    SystemClock clock;
    qivlog::LogWindow window(*programFolder, preset, clock);
    window.show();
    return app.exec();
}
