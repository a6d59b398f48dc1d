// velmoro: the resident agent. Settings, backup sets, the job list and the scheduler that
// starts the transfer agent for every due job and for every request the host leaves.

#include <sys/resource.h>
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/DailyLog.h"
#include "common/InstanceLock.h"
#include "common/Platform.h"
#include "common/Settings.h"
#include "common/ui/MessageBoxes.h"
#include "common/ui/ProcessLauncher.h"
#include "velmoro/AdminCommands.h"
#include "velmoro/ui/MainWindow.h"

#include <QSystemTrayIcon>

namespace {

constexpr const char* kUsage =
    "Usage: velmoro [--install | --check SET | --help | --version]\n"
    "The resident backup agent of the program folder (the current folder): keeps the backup\n"
    "sets, their schedules and the job list, and starts qivftp for every due job and for every\n"
    "start request the host leaves for this terminal. One copy runs per program folder.\n";

}  // namespace

int main(int argc, char* argv[]) {
    using namespace zorva;
    if (argc > 1 &&
        (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0)) {
        if (std::strcmp(argv[1], "--help") == 0) {
            std::fputs(kUsage, stdout);
            std::fputs(velmoro::AdminCommandUsage(), stdout);
        } else {
            std::fputs("velmoro " ZORVA_VERSION "\n", stdout);
        }
        return 0;
    }
    DisableCoreDumps();
    // The administrator's commands need no window and no display.
    if (const auto exitCode =
            velmoro::RunAdminCommand(std::vector<std::string>(argv + 1, argv + argc))) {
        return *exitCode;
    }
    UseOffscreenWhenNoDisplay();
    QApplication app(argc, argv);
    ui::QtMessageBoxes boxes;

    const std::filesystem::path programFolder = std::filesystem::current_path();
    InstanceLock instance(programFolder, "velmoro");
    if (!instance.Acquired()) {
        const bool busy = instance.State() == LockState::Busy;
        const std::string text = busy ? "プログラムが既に開始されている" : instance.FailureText();
        if (!busy) {
            SystemClock clock;
            DailyLog(Program::Agent, programFolder / kLogFolderName, 0, clock).WriteForced(text);
        }
        // Without a display nobody could close the box: the text goes to standard error.
        if (QGuiApplication::platformName() == QStringLiteral("offscreen")) {
            std::fputs(("velmoro: " + text + "\n").c_str(), stderr);
        } else {
            boxes.Inform(nullptr, QStringLiteral("Velmoro エラーメッセージ"),
                         QString::fromStdString(text), ui::MessageIcon::Critical);
        }
        return 0;
    }

    SystemClock clock;
    DailyLog log(Program::Agent, programFolder / kLogFolderName, 0, clock);
    const ProgramContext context{Program::Agent, programFolder, clock, log};
    ui::SystemProcessLauncher launcher;
    velmoro::MainWindow window(
        context, {boxes, launcher, nullptr, {}, QSystemTrayIcon::isSystemTrayAvailable()});
    QObject::connect(&window, &velmoro::MainWindow::exitConfirmed, &app, &QApplication::quit);
    window.StartUp();
    window.show();
    return app.exec();
}
