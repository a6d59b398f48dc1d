#include "qivRestore/engine/RestoreCommand.h"

#include <algorithm>

#include "common/BackupSet.h"
#include "common/SavedData.h"
#include "common/SavedDataCatalog.h"
#include "common/SavlibsRecord.h"
#include "common/SetFolderReader.h"
#include "qivRestore/engine/GenerationPath.h"
#include "qivRestore/engine/RestoreCommonFiles.h"
#include "qivRestore/engine/RestoreHostProfile.h"

namespace zorva::qivrestore {

const char* const kRestoreUsage =
    "Usage: qivRestore [SETNAME]\n"
    "       qivRestore --set SET --generation PATH [--restore] [--overwrite] [OBJECT...]\n"
    "Without arguments opens the restore window, with SETNAME on that backup set. With --set\n"
    "and --generation sends the save files of one generation of backup set SET (the folder\n"
    "BASEDIR/SET/PATH, such as 7/20261207 or Monday) back to the host library ZORVARST, from\n"
    "the program folder (the current folder), without a window:\n"
    "  --restore    also restore them on the host and wait for each object's result\n"
    "  --overwrite  let the restore replace objects that exist (needs --restore)\n"
    "  OBJECT...    only these objects (as the set names them, or their save file names);\n"
    "               every save file of the generation when none is named\n"
    "Prints the log lines and each object's status. Exit code 0 when every object was sent\n"
    "(with --restore: restored), 1 otherwise, 2 for a command line it cannot use.\n"
    "  --help       this text\n"
    "  --version    the program's version\n";

Expected<RestoreArguments> ParseRestoreArguments(const std::vector<std::string>& arguments) {
    RestoreArguments parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto value = [&](std::string_view option, std::string& into) {
            if (argument == option) {
                if (i + 1 >= arguments.size()) return false;
                into = arguments[++i];
                return true;
            }
            into = argument.substr(option.size() + 1);  // --option=value
            return true;
        };
        bool ok = true;
        if (argument == "--help") {
            parsed.help = true;
        } else if (argument == "--version") {
            parsed.version = true;
        } else if (argument == "--restore") {
            parsed.restore = true;
        } else if (argument == "--overwrite") {
            parsed.overwrite = true;
        } else if (argument == "--set" || argument.starts_with("--set=")) {
            ok = value("--set", parsed.setName);
        } else if (argument == "--generation" || argument.starts_with("--generation=")) {
            ok = value("--generation", parsed.generation);
        } else if (argument == "--") {
            parsed.objects.insert(parsed.objects.end(), arguments.begin() + i + 1, arguments.end());
            break;
        } else if (argument.starts_with("-")) {
            return MakeFailure(FailureCode::BadArgument, "unknown option " + argument);
        } else {
            parsed.objects.push_back(argument);
        }
        if (!ok) return MakeFailure(FailureCode::BadArgument, argument + " needs a value");
    }
    if (parsed.help || parsed.version) return parsed;
    if (!IsBrowsableSetName(parsed.setName)) {
        return MakeFailure(FailureCode::BadArgument,
                           "--set needs a backup set name (the name of a file in the set folder)");
    }
    if (parsed.generation.empty()) {
        return MakeFailure(FailureCode::BadArgument,
                           "--generation needs the generation folder below the set's folder");
    }
    if (parsed.overwrite && !parsed.restore) {
        return MakeFailure(FailureCode::BadArgument, "--overwrite needs --restore");
    }
    return parsed;
}

Expected<void> SelectObjects(std::vector<RestoreRow>& rows,
                             const std::vector<std::string>& objects) {
    if (objects.empty()) return {};
    for (RestoreRow& row : rows) row.checked = false;
    for (const std::string& object : objects) {
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const RestoreRow& r) {
            return r.object == object || HostObjectName(r.object) == object;
        });
        if (row == rows.end()) {
            return MakeFailure(FailureCode::NotFound, object + "の保管データがこの世代に無い");
        }
        row->checked = true;
    }
    return {};
}

bool RunSucceeded(RestoreOutcome outcome, const std::vector<RestoreRow>& rows, bool restore) {
    if (outcome != (restore ? RestoreOutcome::Complete : RestoreOutcome::Uploaded)) return false;
    const std::string_view wanted = restore ? kRestoredText : kUploadedText;
    return std::all_of(rows.begin(), rows.end(),
                       [&](const RestoreRow& r) { return !r.checked || r.status == wanted; });
}

std::optional<std::string> RestoreLockRefusal(const InstanceLock& lock, DailyLog& log) {
    switch (lock.State()) {
        case LockState::Acquired:
            return std::nullopt;
        case LockState::Busy:
            log.WriteDailyLog(kRestoreRunningText);
            return std::string(kRestoreRunningText);
        case LockState::Failed:
            break;
    }
    log.WriteForced(lock.FailureText());
    return lock.FailureText();
}

HostFactory SessionHostFactory() {
    return SessionFactory(kRestoreHostProfile);
}

namespace {

// Every log line goes to the daily log and, one per line, to standard output.
class PrintingObserver final : public RestoreObserver, public HostSessionObserver {
public:
    PrintingObserver(DailyLog& log, std::ostream& out) : log_(log), out_(out) {}
    void Message(std::string_view text) override {
        log_.WriteDailyLog(text);
        out_ << text << '\n' << std::flush;
    }
    void Status(std::string_view) override {}
    void ShowRowStatus(std::size_t, const std::string&) override {}
    void OnHostProgress(const HostProgress& progress) override {
        if (!progress.log.empty()) Message(progress.log);
    }
    void OnHostReport(const std::string& text) override { Message(text); }

private:
    DailyLog& log_;
    std::ostream& out_;
};

void PrintResults(const std::vector<RestoreRow>& rows, std::ostream& out) {
    for (const RestoreRow& row : rows) {
        if (!row.checked) continue;
        out << row.library << '\t' << row.object << '\t' << row.type << '\t'
            << (row.status.empty() ? "-" : row.status) << '\n';
    }
    out << std::flush;
}

}  // namespace

int RunRestoreCommand(const RestoreArguments& arguments, const RestoreCommandEnvironment& env) {
    HostJobWait wait(env.waiter, env.steadyClock);
    const Expected<Settings> read = ReadSettings(SettingsPath(env.programFolder), kRestoreSettings);
    DailyLog log(kRestoreLogStyle, env.programFolder / kLogFolderName,
                 read.has_value() && read->detailLog, env.clock);
    if (!read) {
        log.WriteForced(read.error().text);
        env.err << read.error().text << '\n';
        return 1;
    }
    const Settings& settings = *read;
    wait.StartTimeLimit(env.steadyClock.Now(), TimeLimit(settings.jobTimer));
    const InstanceLock lock(env.programFolder, kRestoreLockName);
    if (const auto refusal = RestoreLockRefusal(lock, log)) {
        env.err << *refusal << '\n';
        return 1;
    }

    RestoreRequest request;
    request.setName = arguments.setName;
    request.restoreOnHost = arguments.restore;
    request.overwrite = arguments.overwrite;
    SavedDataCatalog catalog(env.programFolder, {settings.backupSetFolder, settings.baseDir},
                             kRestoreRowFields);
    if (!catalog.LoadSet(arguments.setName)) {
        env.err << "バックアップセット：" << arguments.setName << "を読み取ることが出来ない\n";
        return 1;
    }
    request.objectTable = catalog.ObjectTable();
    const auto folder = ResolveGeneration(catalog.SetDataFolder(), arguments.generation);
    const auto files = folder ? ListSaveFileRows(*folder, request.objectTable) : std::nullopt;
    if (!files) {
        env.err << "バックアップセットディレクトリにファイルがない" << '\n';
        return 1;
    }
    request.chosenFolder = *folder;
    request.rows = RestoreRowsFrom(*files);
    if (const auto selected = SelectObjects(request.rows, arguments.objects); !selected) {
        env.err << selected.error().text << '\n';
        return 1;
    }

    PrintingObserver observer(log, env.out);
    const auto host = env.hostFactory(settings, wait.PollWaiter(), observer);
    RestoreEngine engine(env.programFolder, settings, *host, wait, observer);
    const RestoreOutcome outcome = engine.Run(std::move(request));
    switch (outcome) {
        case RestoreOutcome::NothingChecked:
            env.err << "アップロードするオブジェクトが指定されていない" << '\n';
            return 1;
        case RestoreOutcome::ConnectFailed:
            env.err << "ホストへの接続失敗" << '\n';
            break;
        case RestoreOutcome::UploadFailed:
            env.err << " アップロード失敗、ログを参照してください" << '\n';
            break;
        case RestoreOutcome::NoResponse:
            env.err << "ホストプログラムから応答が無いので終了します" << '\n';
            break;
        default:
            break;
    }
    host->Close();  // its last log lines come before the results
    PrintResults(engine.Rows(), env.out);
    return RunSucceeded(outcome, engine.Rows(), arguments.restore) ? 0 : 1;
}

}  // namespace zorva::qivrestore
