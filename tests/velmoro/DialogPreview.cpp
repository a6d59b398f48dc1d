// Opens one of the agent's dialogs on sample data, to look at it as a user would:
//   velmoro_dialog_preview editor|connection   (in an empty folder: it writes LOG_DAT there)
// The object editor shows its third row marked as the object check marks a missing object.

#include <QApplication>
#include <cstring>
#include <filesystem>

#include "common/Clock.h"
#include "common/DailyLog.h"
#include "velmoro/engine/AgentCommonFiles.h"
#include "velmoro/ui/ConnectionDialog.h"
#include "velmoro/ui/ObjectEditorDialog.h"

int main(int argc, char* argv[]) {
    using namespace zorva;
    QApplication app(argc, argv);
    const auto folder = std::filesystem::current_path();
    SystemClock clock;
    DailyLog log(velmoro::kAgentLogStyle, folder / kLogFolderName, false, clock);
    ProgramContext context{folder, clock, log};
    Settings settings;
    if (argc > 1 && std::strcmp(argv[1], "connection") == 0) {
        settings.termId = "PC01";
        settings.baseDir = "/srv/zorva/save/";
        settings.hostAddress = "192.168.10.20";
        settings.user = "ZORVA";
        settings.password = "SECRET";
        settings.jobQueue = "QGPL/QBATCH";
        velmoro::ConnectionDialog dialog(context, settings, [] { return false; });
        return dialog.exec();
    }
    BackupSet set;
    set.setName = "DAILY";
    set.description = "日次保管（給与・売掛）";
    auto row = [](const char* library, const char* object, const char* type, char option) {
        ObjectRow r;
        r.library = library;
        r.object = object;
        r.type = type;
        r.optionCode = option;
        return r;
    };
    set.rows = {row("PAYLIB", "PAYROLL", "*FILE", '2'), row("QSYS", "ARLIB", "*LIB", '6'),
                row("PAYLIB", "GONE", "*FILE", '1'), row("QSPL", "PRT01", "*SPL", '1')};
    set.rows[2].checkMark = -1;
    velmoro::ObjectEditorDialog dialog(context, settings, set);
    return dialog.exec();
}
