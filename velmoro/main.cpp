// velmoro: the resident agent. Settings, backup sets, the job list and the scheduler that
// starts the transfer agent for every due job and for every request the host leaves.

#include <sys/resource.h>
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "common/Clock.h"
#include "common/DailyLog.h"
#include "common/InstanceLock.h"
#include "common/Settings.h"
#include "common/ui/MessageBoxes.h"
#include "common/ui/ProcessLauncher.h"
#include "velmoro/ui/MainWindow.h"

#include <QSystemTrayIcon>

namespace {

constexpr const char* kUsage =
    "Usage: velmoro\n"
    "The resident backup agent of the program folder (the current folder): keeps the backup\n"
    "sets, their schedules and the job list, and starts qivftp for every due job and for every\n"
    "start request the host leaves for this terminal. One copy runs per program folder.\n";

// The agent holds the host password in memory: a core dump must not carry it to disk.
void DisableCoreDumps() {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
}

// An agent started without a display (a service, an ssh session) still schedules: it runs
// without a window.
void UseOffscreenWhenNoDisplay() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display && *display) || (wayland && *wayland) || std::getenv("QT_QPA_PLATFORM")) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace zorva;
    if (argc > 1 &&
        (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0)) {
        std::fputs(std::strcmp(argv[1], "--help") == 0 ? kUsage : "velmoro " ZORVA_VERSION "\n",
                   stdout);
        return 0;
    }
    DisableCoreDumps();
    UseOffscreenWhenNoDisplay();
    QApplication app(argc, argv);
    ui::QtMessageBoxes boxes;

    const std::filesystem::path programFolder = std::filesystem::current_path();
    InstanceLock instance(programFolder, "velmoro");
    if (!instance.Acquired()) {
        // A lock file that cannot be opened is its own error, never "already running".
        const std::string text = instance.State() == LockState::Busy
                                     ? std::string("プログラムが既に開始されている")
                                     : instance.FailureText();
        // Without a display nobody could close the box: the text goes to standard error.
        if (QGuiApplication::platformName() == QStringLiteral("offscreen")) {
            std::fprintf(stderr, "velmoro: %s\n", text.c_str());
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
