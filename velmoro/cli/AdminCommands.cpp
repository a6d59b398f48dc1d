#include "velmoro/cli/AdminCommands.h"

#include <cstdio>
#include <iostream>

#include "common/BackupSet.h"
#include "common/Codec.h"
#include "common/DailyLog.h"
#include "common/InstanceLock.h"
#include "common/ProfileFile.h"
#include "common/TextFields.h"
#include "common/host/HostCertificate.h"
#include "common/host/HostFactory.h"
#include "velmoro/engine/AgentCommonFiles.h"
#include "velmoro/engine/AgentHostSession.h"
#include "velmoro/engine/ConnectionCheck.h"
#include "velmoro/engine/HostInstall.h"
#include "velmoro/engine/ObjectCheck.h"
#include "velmoro/engine/ObjectEditor.h"

namespace zorva::velmoro {
namespace {

constexpr const char* kTransferRunning = "既にダウンロードが開始されている";
constexpr const char* kInstallDone = "iSeries/ASへのモジュールの導入が完了した";

// Progress and the session's reports go to the terminal; messages to the daily log.
class TerminalReporter final : public Reporter {
public:
    TerminalReporter(std::ostream& out, DailyLog& log) : out_(out), log_(log) {}
    void Message(std::string_view text) override { log_.WriteDailyLog(text); }
    void Status(std::string_view text) override { out_ << text << '\n' << std::flush; }

private:
    std::ostream& out_;
    DailyLog& log_;
};

std::shared_ptr<HostConnection> MakeHost(AdminEnvironment& env, const Settings& settings,
                                         Reporter& reporter) {
    return MakeAgentHost(env.hostFactory ? env.hostFactory : SessionHostFactory(), settings,
                         env.waiter, reporter);
}

// Everything a command works with: the settings, the daily log, the terminal.
struct CommandContext {
    explicit CommandContext(AdminEnvironment& environment)
        : env(environment),
          read(ReadSettings(SettingsPath(environment.programFolder), kAgentSettings)),
          settings(read.has_value() ? *read : Settings{}),
          log(kAgentLogStyle, environment.programFolder / kLogFolderName, settings.detailLog,
              environment.clock),
          reporter(environment.out, log) {
        if (!read) log.WriteForced(read.error().text);
    }
    // The text of settings that could not be read; nothing that needs settings runs then.
    std::optional<std::string> SettingsFailure() const {
        if (read) return std::nullopt;
        return read.error().text;
    }

    int Fail(std::string_view text) {
        env.out << text << '\n' << std::flush;
        return 1;
    }

    AdminEnvironment& env;
    Expected<Settings> read;
    Settings settings;  // empty when they could not be read
    DailyLog log;
    TerminalReporter reporter;
};

int Install(AdminEnvironment& env) {
    CommandContext context(env);
    if (const auto failure = context.SettingsFailure()) return context.Fail(*failure);
    // Held for the whole installation: it empties the exchange libraries a running transfer
    // agent works in, and no transfer agent may start meanwhile.
    InstanceLock transferAgent(env.programFolder, "qivftp");
    switch (transferAgent.State()) {
        case LockState::Acquired:
            break;
        case LockState::Busy:
            return context.Fail(kTransferRunning);
        case LockState::Failed:
            // Nothing is known about a transfer agent then: not "already running", but no go.
            context.log.WriteDailyLog(transferAgent.FailureText());
            return context.Fail(transferAgent.FailureText());
    }
    Settings checked = context.settings;
    const ConnectionCheck check =
        CheckConnectionSettings(EntriesFrom(context.settings), env.programFolder, checked);
    if (!check.ok) return context.Fail(check.message);
    auto host = MakeHost(env, checked, context.reporter);
    const HostTaskResult result = RunHostInstallation(*host, env.programFolder, context.reporter);
    if (result.interrupted) return 1;
    return result.ok ? (env.out << kInstallDone << '\n'
                                << std::flush,
                        0)
                     : context.Fail(result.text);
}

void PrintMarkedRows(std::ostream& out, const std::vector<ObjectRow>& rows, std::size_t count) {
    for (std::size_t i = 0; i < count && i < rows.size(); ++i) {
        if (rows[i].checkMark != -1) continue;
        char number[32];
        std::snprintf(number, sizeof number, "%3zu ", i + 1);
        out << number << PadRight(rows[i].library, 10) << ' ' << PadRight(rows[i].object, 10) << ' '
            << rows[i].type << '\n';
    }
    out << std::flush;
}

std::filesystem::path SetFolder(const CommandContext& context) {
    const std::string& name = context.settings.backupSetFolder;
    return context.env.programFolder / (name.empty() ? std::string(kDefaultSetFolderName) : name);
}

int Check(AdminEnvironment& env, const std::string& setName) {
    CommandContext context(env);
    if (const auto failure = context.SettingsFailure()) return context.Fail(*failure);
    if (!IsValidSetName(setName))
        return context.Fail("バックアップセット名が正しくない：" + CutToCp932Width(setName, 32));
    const Expected<BackupSet> set = ReadSetFile(SetFolder(context), setName);
    if (!set) return context.Fail(set.error().text);

    ObjectEditor editor(set->rows);
    std::size_t count = 0;
    std::string message;
    if (editor.CheckList(count, message) != ListCheck::Accepted) {
        context.Fail(message);
        PrintMarkedRows(env.out, editor.Rows(), count);
        return 1;
    }
    auto host = MakeHost(env, context.settings, context.reporter);
    const HostTaskResult result =
        CheckObjectsOnHost(*host, env.waiter, env.programFolder, editor.Rows(), count);
    if (result.interrupted) return 1;
    context.log.WriteDailyLog(result.text);
    env.out << ObjectCheckMessage(result) << '\n';
    PrintMarkedRows(env.out, editor.Rows(), count);
    return result.ok ? 0 : 1;
}

// Shows the host's certificate and, with `store`, pins its key in zorva.ini.
int TrustHost(AdminEnvironment& env, bool store) {
    CommandContext context(env);
    if (const auto failure = context.SettingsFailure()) return context.Fail(*failure);
    const Expected<HostCertificate> found = FetchHostCertificate(EndpointOf(context.settings));
    if (!found) {
        context.log.WriteDailyLog(found.error().text);
        return context.Fail(found.error().text);
    }
    env.out << CertificateDescription(*found) << '\n' << std::flush;
    if (!CanPin(*found)) {
        context.log.WriteDailyLog(found->verifyFailure);
        return 1;
    }
    if (!store) {
        env.out << "PINNEDKEYにするには --trust-host --yes を実行してください\n" << std::flush;
        return 0;
    }
    const Expected<void> stored = EditSettingsFile(
        SettingsPath(env.programFolder),
        [&found](ProfileFile& ini) { ini.SetText("HOST", "PINNEDKEY", found->pinnedKey); });
    if (!stored) return context.Fail("PINNEDKEYを書き込めない：" + stored.error().text);
    context.log.WriteDailyLog("PINNEDKEYを登録しました：" + found->pinnedKey);
    env.out << "PINNEDKEYを登録しました\n" << std::flush;
    return 0;
}

}  // namespace

std::optional<int> RunAdminCommand(const std::vector<std::string>& arguments,
                                   AdminEnvironment& environment) {
    if (arguments.empty()) return std::nullopt;
    if (arguments[0] == "--trust-host") {
        const bool yes = arguments.size() == 2 && arguments[1] == "--yes";
        if (arguments.size() > 2 || (arguments.size() == 2 && !yes)) {
            environment.out << AdminCommandUsage();
            return 1;
        }
        return TrustHost(environment, yes);
    }
    if (arguments[0] == "--install") {
        if (arguments.size() != 1) {
            environment.out << AdminCommandUsage();
            return 1;
        }
        return Install(environment);
    }
    if (arguments[0] == "--check") {
        if (arguments.size() != 2) {
            environment.out << AdminCommandUsage();
            return 1;
        }
        return Check(environment, arguments[1]);
    }
    return std::nullopt;
}

std::optional<int> RunAdminCommand(const std::vector<std::string>& arguments) {
    SystemClock clock;
    SleepingWaiter waiter;
    std::error_code ec;
    AdminEnvironment environment{std::filesystem::current_path(ec), std::cout, clock, waiter, {}};
    return RunAdminCommand(arguments, environment);
}

const char* AdminCommandUsage() {
    return "  --install    install the host module with the settings of zorva.ini in the\n"
           "               current folder (refused while a transfer agent runs there)\n"
           "  --check SET  ask the host whether every object of the stored set SET exists;\n"
           "               rows of missing objects are listed with their row numbers\n"
           "  --trust-host [--yes]\n"
           "               show the host's TLS certificate and its key's fingerprint; with\n"
           "               --yes keep the key as [HOST] PINNEDKEY in zorva.ini\n"
           "All print their progress, write the daily log and exit 0 on success, 1 on failure.\n"
           "  --help       this text\n"
           "  --version    the program's version\n";
}

}  // namespace zorva::velmoro
