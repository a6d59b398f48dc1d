#include "common/ui/QtResticRunner.h"

#include <signal.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>

#include "common/ui/QtText.h"

namespace zorva::ui {
namespace {

using offsite::RunEnd;
using offsite::RunResult;

constexpr int kPollMilliseconds = 100;
// The end of restic's standard error is where its reason stands.
constexpr qsizetype kErrorTextLimit = 16 * 1024;

QProcessEnvironment ResticEnvironment(const offsite::ResticCommand& command) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (std::string_view name : offsite::kOverriddenVariables) environment.remove(ToQ(name));
    for (const std::string& variable : command.environment) {
        const auto equals = variable.find('=');
        environment.insert(ToQ(variable.substr(0, equals)), ToQ(variable.substr(equals + 1)));
    }
    return environment;
}

void KillGroup(QProcess& process) {
    if (const qint64 pid = process.processId(); pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
    process.waitForFinished(-1);
}

class OutputLines {
public:
    void Take(QProcess& process, const offsite::RunControl& control) {
        pending_ += process.readAllStandardOutput();
        for (qsizetype end; (end = pending_.indexOf('\n')) >= 0; pending_.remove(0, end + 1)) {
            if (control.onLine) control.onLine(std::string_view(pending_.constData(), end));
        }
        errors_ += process.readAllStandardError();
        if (errors_.size() > kErrorTextLimit) errors_ = errors_.right(kErrorTextLimit);
    }
    std::string Errors() const { return errors_.toStdString(); }

private:
    QByteArray pending_;
    QByteArray errors_;
};

}  // namespace

RunResult QtResticRunner::Run(const offsite::ResticCommand& command,
                              const offsite::RunControl& control) {
    QProcess process;
    QStringList arguments;
    for (const std::string& argument : command.arguments) arguments << ToQ(argument);
    process.setProgram(QStringLiteral("restic"));
    process.setArguments(arguments);
    process.setProcessEnvironment(ResticEnvironment(command));
    if (!command.workingFolder.empty()) process.setWorkingDirectory(ToQ(command.workingFolder));
    process.setStandardInputFile(QProcess::nullDevice());
    process.setChildProcessModifier([] { ::setsid(); });
    process.start();
    if (!process.waitForStarted(-1)) return {RunEnd::NotStarted, -1, FromQ(process.errorString())};

    const auto deadline = std::chrono::steady_clock::now() + control.timeLimit;
    OutputLines output;
    std::optional<RunEnd> killed;
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(kPollMilliseconds);
        output.Take(process, control);
        if (control.stopRequested && control.stopRequested()) {
            killed = RunEnd::Stopped;
        } else if (control.timeLimit.count() > 0 && std::chrono::steady_clock::now() > deadline) {
            killed = RunEnd::TimedOut;
        }
        if (killed) {
            KillGroup(process);
            return {*killed, -1, output.Errors()};
        }
    }
    process.waitForFinished(-1);
    output.Take(process, control);
    if (process.exitStatus() != QProcess::NormalExit) return {RunEnd::Exited, -1, output.Errors()};
    return {RunEnd::Exited, process.exitCode(), output.Errors()};
}

}  // namespace zorva::ui
