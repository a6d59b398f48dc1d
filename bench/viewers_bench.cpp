// Benchmark of the two viewers (see bench/README.md): how long qivLog takes from "表示" to the
// last row of a LOG_DAT of 100,000 result logs, and qivWH from choosing a set to its tree of
// ten years of daily generations, each beside the time `ls -f` / `find` take over the same
// folders.
//
//     build/bin/viewers_bench [--logs 100000] [--sets 50] [--days 3650] [--repeats 5]

#include <unistd.h>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Codec.h"
#include "common/ui/GenerationBrowser.h"
#include "common/ui/MessageBoxes.h"
#include "qivLog/engine/JobHistory.h"
#include "qivLog/ui/LogWindow.h"
#include "qivWH/ui/MainWindow.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
    int logs = 100000;
    int sets = 50;
    int days = 3650;
    int repeats = 5;
};

class SilentBoxes final : public zorva::ui::MessageBoxes {
public:
    zorva::ui::MessageAnswer Show(const zorva::ui::MessageBoxRequest&) override {
        ++shown;
        return zorva::ui::MessageAnswer::Ok;
    }
    int shown = 0;
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double TimeIt(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return Seconds(Clock::now() - start);
}

double TimeCommand(const std::string& command) {
    return TimeIt([&] {
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "failed: %s\n", command.c_str());
    });
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string SetName(int i) {
    std::string name = "SET";
    name += static_cast<char>('A' + i / 26 % 26);
    name += static_cast<char>('A' + i % 26);
    return name;
}

// A date `day` days after 2000-01-01 as YYYYMMDD (months of 28 days are close enough here;
// every name stays unique through the minute).
std::string Stamp(int index) {
    char text[32];
    const int day = index / 48, slot = index % 48;
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d", 2000 + day / 336, day / 28 % 12 + 1,
                  day % 28 + 1, slot / 2, slot % 2 * 30);
    return text;
}

void MakeProgramFolder(const fs::path& program, const Options& o) {
    fs::create_directories(program / "LOG_DAT");
    fs::create_directories(program / "BACKUPSET");
    WriteFile(program / "zorva.ini", "[DIRECTORIES]\r\nBACKUPSET=BACKUPSET\r\nBASEDIR=" +
                                         (program / "data").string() + "/\r\n");
    for (int s = 0; s < o.sets; ++s) {
        WriteFile(
            program / "BACKUPSET" / SetName(s),
            zorva::ToCp932("保管セット " + SetName(s) +
                           "\r\n1\r\n1\t2200\r\n1\t3650\r\n \t\r\nLIB\tOBJA\t*FILE\t2\t2\t\r\n"
                           "LIB\tOBJ*B\t*FILE\t2\t2\t\r\n"));
    }
    const std::string content = zorva::ToCp932(
        "LIB/OBJA/*FILE/保管正常完了/200001012200/200001012201\r\n"
        "LIB/OBJ*B/*FILE/保管正常完了/200001012201/200001012202\r\n");
    for (int i = 0; i < o.logs; ++i) {
        const std::string start = Stamp(i);
        WriteFile(program / "LOG_DAT" /
                      ("APP-" + start + "-" + start + "-" + SetName(i % o.sets) + "-正常完了-.log"),
                  content);
    }
    // Ten years of an every-day set: BASEDIR/SET/3650/YYYYMMDD with two save files each.
    const fs::path days = program / "data" / SetName(0) / "3650";
    for (int d = 0; d < o.days; ++d) {
        const fs::path day = days / Stamp(d * 48).substr(0, 8);
        fs::create_directories(day);
        WriteFile(day / "OBJA", "save");
        WriteFile(day / "OBJ#B", "save");
    }
}

void BenchLogViewer(const fs::path& program, const Options& o) {
    zorva::SystemClock clock;
    zorva::qivlog::LogWindow window(program, "", clock);
    window.show();
    window.findChild<QDateEdit*>(QStringLiteral("fromDate"))->setDate(QDate(2000, 1, 1));
    window.findChild<QDateEdit*>(QStringLiteral("toDate"))->setDate(QDate(2099, 12, 31));
    auto* show = window.findChild<QPushButton*>(QStringLiteral("showButton"));
    auto* jobs = window.findChild<QTreeView*>(QStringLiteral("jobList"));
    std::vector<double> fills, lists, engine;
    for (int r = 0; r < o.repeats; ++r) {
        engine.push_back(TimeIt([&] {
            zorva::qivlog::ListJobHistory(program, "BACKUPSET", {"20000101", "20991231", {}});
        }));
        lists.push_back(TimeCommand("ls -f '" + (program / "LOG_DAT").string() + "' >/dev/null"));
        fills.push_back(TimeIt([&] {
            QSignalSpy shown(&window, &zorva::qivlog::LogWindow::jobListShown);
            show->click();
            shown.wait(60000);
            jobs->scrollToBottom();  // the last row shown, not only filled in
            QApplication::processEvents();
        }));
        if (jobs->model()->rowCount() != o.logs) {
            std::fprintf(stderr, "qivLog listed %d rows, expected %d\n", jobs->model()->rowCount(),
                         o.logs);
        }
    }
    const double fill = Median(fills), list = Median(lists);
    std::printf("qivLog: of which reading and choosing the jobs (engine alone) %.3f s\n",
                Median(engine));
    std::printf(
        "qivLog: %d result logs of %d sets: 表示 to last row %.3f s (goal < 1 s: %s); "
        "ls -f %.3f s; ratio %.1f\n",
        o.logs, o.sets, fill, fill < 1.0 ? "met" : "MISSED", list, fill / list);
}

void BenchSavedDataViewer(const fs::path& program, const Options& o) {
    SilentBoxes boxes;
    zorva::qivwh::MainWindow window(program, *zorva::ProfileFile::Load(program / "zorva.ini"),
                                    boxes);
    window.show();
    zorva::ui::GenerationBrowser* browser = window.Browser();
    std::vector<double> opens, finds;
    for (int r = 0; r < o.repeats; ++r) {
        finds.push_back(TimeCommand("find '" + (program / "data" / SetName(0)).string() +
                                    "' -type d >/dev/null"));
        opens.push_back(TimeIt([&] {
            browser->SetSelector()->setCurrentIndex(0);
            Q_EMIT browser->setListClosed();
            QApplication::processEvents();
        }));
    }
    const int items = browser->Tree()->topLevelItem(0)->child(0)->childCount();
    const double open = Median(opens), find = Median(finds);
    std::printf(
        "qivWH: a set of %d generation folders (%d shown): choice to tree %.3f s; "
        "find -type d %.3f s; ratio %.1f; message boxes %d\n",
        o.days, items, open, find, open / find, boxes.shown);
}

}  // namespace

int main(int argc, char* argv[]) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int value = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--logs") == 0) o.logs = value;
        if (std::strcmp(argv[i], "--sets") == 0) o.sets = value;
        if (std::strcmp(argv[i], "--days") == 0) o.days = value;
        if (std::strcmp(argv[i], "--repeats") == 0) o.repeats = value;
    }
    QApplication app(argc, argv);
    const fs::path program =
        fs::temp_directory_path() / ("viewers-bench-" + std::to_string(::getpid()));
    std::printf("building %d result logs and %d generation folders in %s ...\n", o.logs, o.days,
                program.c_str());
    MakeProgramFolder(program, o);
    BenchLogViewer(program, o);
    BenchSavedDataViewer(program, o);
    fs::remove_all(program);
    return 0;
}
