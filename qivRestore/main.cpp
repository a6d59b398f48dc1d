// qivRestore: sends saved data back to the host. Without arguments it opens the restore
// window; with --set and --generation it runs the same restore from the command line.

#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/CommandLine.h"
#include "common/DailyLog.h"
#include "common/HostJobWait.h"
#include "common/InstanceLock.h"
#include "common/Platform.h"
#include "common/Settings.h"
#include "common/Waiter.h"
#include "common/ui/JapaneseQtTexts.h"
#include "common/ui/MessageBoxes.h"
#include "qivRestore/engine/RestoreCommand.h"
#include "qivRestore/engine/RestoreCommonFiles.h"
#include "qivRestore/ui/RestoreWindow.h"

namespace {

int RunFromCommandLine(const std::vector<std::string>& arguments) {
    using namespace zorva;
    const auto parsed = qivrestore::ParseRestoreArguments(arguments);
    if (!parsed) {
        std::cerr << "qivRestore: " << parsed.error().text << "\n" << qivrestore::kRestoreUsage;
        return 2;  // a usage error, as in every program of the system
    }
    const auto programFolder = CurrentProgramFolder("qivRestore");
    if (!programFolder) return 1;
    SystemClock clock;
    SleepingWaiter waiter;
    SystemSteadyClock steadyClock;
    return qivrestore::RunRestoreCommand(
        *parsed, {*programFolder, clock, waiter, steadyClock, std::cout, std::cerr,
                  qivrestore::SessionHostFactory()});
}

int RunWindow(int argc, char* argv[], const std::string& chosenSet) {
    using namespace zorva;
    const auto folder = CurrentProgramFolder("qivRestore");
    if (!folder) return 1;
    const std::filesystem::path& programFolder = *folder;
    SystemClock clock;
    SystemSteadyClock steadyClock;
    const Expected<Settings> settings =
        ReadSettings(SettingsPath(programFolder), qivrestore::kRestoreSettings);
    DailyLog log(qivrestore::kRestoreLogStyle, programFolder / kLogFolderName,
                 settings.has_value() && settings->detailLog, clock);
    ui::QtMessageBoxes boxes;

    QApplication app(argc, argv);
    ui::UseJapaneseQtTexts(app);
    if (!settings) {
        log.WriteForced(settings.error().text);
        ui::ReportStartFailure(boxes, "qivRestore", QStringLiteral("エラー"),
                               settings.error().text);
        return 1;
    }
    const InstanceLock lock(programFolder, qivrestore::kRestoreLockName);
    if (const auto refusal = qivrestore::RestoreLockRefusal(lock, log)) {
        ui::ReportStartFailure(boxes, "qivRestore", QStringLiteral("エラー"), *refusal);
        return 1;
    }
    qivrestore::RestoreWindow window(
        {programFolder, *settings, log, boxes, qivrestore::SessionHostFactory(), steadyClock});
    window.ChooseSet(chosenSet);
    window.show();
    QObject::connect(&window, &QDialog::finished, &app, &QApplication::quit);
    app.exec();
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    zorva::DisableCoreDumps();  // before the password is read
    // Its own options are parsed below: other options are not refused here.
    if (const auto exitCode = zorva::AnswerCommonOptions(argc, argv, "qivRestore",
                                                         zorva::qivrestore::kRestoreUsage)) {
        return *exitCode;
    }
    std::vector<std::string> arguments(argv + 1, argv + argc);
    // A lone name is the set the agent's selector shows: the window opens on it.
    const bool chosenSetOnly = arguments.size() == 1 && !arguments[0].starts_with("-");
    if (!arguments.empty() && !chosenSetOnly) return RunFromCommandLine(arguments);
    return RunWindow(argc, argv, chosenSetOnly ? arguments[0] : std::string());
}
