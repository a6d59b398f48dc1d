// qivftp: runs one backup job for the set named on the command line, then exits 0.

#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "common/BackupSet.h"
#include "common/Clock.h"
#include "common/Codec.h"
#include "common/CommandLine.h"
#include "common/DailyLog.h"
#include "common/InstanceLock.h"
#include "common/Platform.h"
#include "common/Settings.h"
#include "common/ui/JapaneseQtTexts.h"
#include "common/ui/QtResticRunner.h"
#include "common/ui/QuietOffscreen.h"
#include "qivftp/engine/JobEngine.h"
#include "qivftp/engine/TransferCommonFiles.h"
#include "qivftp/ui/JobRunner.h"
#include "qivftp/ui/JobWindow.h"

namespace {

constexpr const char* kUsage =
    "Usage: qivftp SETNAME\n"
    "Runs one backup job for the backup set SETNAME (1 to 10 letters A-Z) of the program\n"
    "folder (the current folder): saves its objects on the host, downloads the save files\n"
    "below BASEDIR, writes the job result log in LOG_DAT and mails the report.\n"
    "The exit code is 0; the outcome is in the logs (1 when the current folder cannot be read).\n"
    "  --help       this text\n"
    "  --version    the program's version\n";

}  // namespace

int main(int argc, char* argv[]) {
    using namespace zorva;
    DisableCoreDumps();  // before the password is read
    if (const auto exitCode = AnswerCommonOptions(argc, argv, "qivftp", kUsage, true)) {
        return *exitCode;
    }
    // Without a folder nothing can be logged: the only failure that shows in the exit code.
    const auto folder = CurrentProgramFolder("qivftp");
    if (!folder) return 1;
    const std::filesystem::path& programFolder = *folder;
    SystemClock clock;
    // Read once, before anything else, so that early messages follow the log switch too.
    const Expected<Settings> settings =
        ReadSettings(SettingsPath(programFolder), qivftp::kTransferSettings);
    DailyLog log(qivftp::kTransferLogStyle, programFolder / kLogFolderName,
                 settings.has_value() && settings->detailLog, clock);

    // The whole command line is the set name: "DEMO EXTRA" is not DEMO. An argument that is
    // no set name ends the program before it makes any file, the lock file included.
    std::string setName;
    for (int i = 1; i < argc; ++i) setName += (i > 1 ? " " : "") + std::string(argv[i]);
    if (setName.empty()) return 0;
    if (!IsValidSetName(setName)) {
        // Also on standard error: a mistyped cron line mails its reason to its owner.
        const std::string text =
            "バックアップセット名が正しくない：" + CutToCp932Width(setName, 32);
        log.WriteDailyLog(text);
        std::fprintf(stderr, "qivftp: %s\n", text.c_str());
        return 0;
    }
    // Without its settings the job would log on to no host and mail nobody: it is not run.
    if (!settings) {
        log.WriteForced(settings.error().text);
        std::fprintf(stderr, "qivftp: %s\n", settings.error().text.c_str());
        return 0;
    }
    const InstanceLock instance(programFolder, "qivftp");
    if (instance.State() == LockState::Busy) {
        log.WriteDailyLog("プログラムが既に開始されている");
        return 0;
    }
    if (instance.State() == LockState::Failed) {
        // Without the lock a second run could double the job; without this message the job
        // would be skipped unnoticed.
        log.WriteDailyLog(instance.FailureText());
        std::fprintf(stderr, "qivftp: %s\n", instance.FailureText().c_str());
        return 0;
    }

    UseOffscreenWhenNoDisplay();
    ui::QuietOffscreenWarnings();
    QApplication app(argc, argv);
    ui::UseJapaneseQtTexts(app);
    qivftp::JobWindow window;
    ui::QtResticRunner restic;
    qivftp::JobRunner runner(window, {programFolder, setName, *settings, &restic}, clock, log,
                             qivftp::SessionHostFactory());
    window.show();
    runner.Start();
    app.exec();
    return 0;
}
