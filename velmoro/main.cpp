// velmoro: the resident agent. Settings, backup sets, the job list and the scheduler that
// starts the transfer agent for every due job and for every request the host leaves.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/CommandLine.h"
#include "common/DailyLog.h"
#include "common/InstanceLock.h"
#include "common/Platform.h"
#include "common/Settings.h"
#include "common/ui/JapaneseQtTexts.h"
#include "common/ui/MessageBoxes.h"
#include "common/ui/ProcessLauncher.h"
#include "common/ui/QtText.h"
#include "common/ui/QuietOffscreen.h"
#include "velmoro/cli/AdminCommands.h"
#include "velmoro/engine/AgentCommonFiles.h"
#include "velmoro/ui/MainWindow.h"
#include "velmoro/ui/QtAgentDialogs.h"

#include <QSystemTrayIcon>

namespace {

constexpr const char* kUsage =
    "Usage: velmoro [--install | --check SET | --trust-host [--yes] | --help | --version]\n"
    "The resident backup agent of the program folder (the current folder): keeps the backup\n"
    "sets, their schedules and the job list, and starts qivftp for every due job and for every\n"
    "start request the host leaves for this terminal. One copy runs per program folder.\n"
    "Options (no window and no display needed):\n";

}  // namespace

int main(int argc, char* argv[]) {
    using namespace zorva;
    // Anything but an administrator's command is --help, --version or a usage error: a
    // mistyped option must not start the agent and lay out a program folder.
    const bool adminCommand = argc > 1 && (std::strcmp(argv[1], "--install") == 0 ||
                                           std::strcmp(argv[1], "--check") == 0 ||
                                           std::strcmp(argv[1], "--trust-host") == 0);
    const std::string usage = std::string(kUsage) + velmoro::AdminCommandUsage();
    if (const auto code = AnswerCommonOptions(argc, argv, "velmoro", usage, !adminCommand)) {
        return *code;
    }
    DisableCoreDumps();
    // The administrator's commands need no display and no window.
    if (std::optional<int> code =
            velmoro::RunAdminCommand(std::vector<std::string>(argv + 1, argv + argc))) {
        return *code;
    }
    UseOffscreenWhenNoDisplay();
    ui::QuietOffscreenWarnings();
    QApplication app(argc, argv);
    ui::UseJapaneseQtTexts(app);
    ui::QtMessageBoxes boxes;

    const auto folder = CurrentProgramFolder("velmoro");
    if (!folder) return 1;
    const std::filesystem::path& programFolder = *folder;
    SystemClock clock;
    // Until the settings are read once, after the lock, only forced entries are written.
    DailyLog log(velmoro::kAgentLogStyle, programFolder / kLogFolderName, false, clock);

    const QString caption = QStringLiteral("Velmoro エラーメッセージ");
    InstanceLock instance(programFolder, "velmoro");
    if (!instance.Acquired()) {
        // A lock file that cannot be opened is its own error, never "already running"; the
        // agent then does not run at all, and says so by its exit status too.
        const bool busy = instance.State() == LockState::Busy;
        const std::string text = busy ? "プログラムが既に開始されている" : instance.FailureText();
        if (!busy) log.WriteForced(text);
        ui::ReportStartFailure(boxes, "velmoro", caption, text);
        return busy ? 0 : 1;
    }
    const ProgramContext context{programFolder, clock, log};
    ui::SystemProcessLauncher launcher;
    velmoro::QtAgentDialogs dialogs(context, boxes);
    velmoro::MainWindow window(
        context, {boxes, launcher, &dialogs, {}, QSystemTrayIcon::isSystemTrayAvailable()});
    QObject::connect(&window, &velmoro::MainWindow::exitConfirmed, &app, &QApplication::quit);
    // Settings it cannot read would leave the scheduler without host, timers or sets; such a
    // file is never written either.
    if (const Expected<void> started = window.StartUp(); !started) {
        log.WriteForced(started.error().text);
        ui::ReportStartFailure(boxes, "velmoro", caption, started.error().text);
        return 1;
    }
    window.show();
    return app.exec();
}
