#pragma once
// Starts another program of the system without a shell and without waiting for it: the
// program is looked up in the folder of the running executable first (the five programs are
// built and installed side by side), then on PATH. The caller learns at once whether it
// started (with the system's error text when not); its end arrives later as `finished`.
//
// Windows take a ProcessLauncher& from main(): SystemProcessLauncher there,
// RecordingProcessLauncher (tests/support) in tests.

#include <QObject>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

namespace zorva::ui {

struct LaunchRequest {
    QString program;        // a bare name such as "qivftp", or a path containing '/'
    QStringList arguments;  // argv[1...], passed as they are
    QString workingFolder;  // the child's current folder (the program folder)
};

struct LaunchResult {
    bool started = false;
    int id = 0;         // names the launch in `finished` (started only)
    QString errorText;  // the system's text for the failure (not started only)
};

class ProcessLauncher : public QObject {
    Q_OBJECT
public:
    explicit ProcessLauncher(QObject* parent = nullptr) : QObject(parent) {}
    virtual LaunchResult Launch(const LaunchRequest& request) = 0;

Q_SIGNALS:
    // Once per started launch, on the launcher's thread. `exitCode` is the program's exit
    // code, or -1 when a signal ended it.
    void finished(int id, int exitCode);
};

// The executable that `program` names: a name containing '/' as it is; otherwise the first of
// `besideFolder`/program and each folder of `searchPath` (colon-separated, empty entries
// skipped: the current folder is never searched by accident) that is an executable file.
std::optional<std::filesystem::path> FindProgram(std::string_view program,
                                                 const std::filesystem::path& besideFolder,
                                                 std::string_view searchPath);

// Real child processes (posix_spawn). A child outlives the launcher: ending the program that
// started it leaves it running to its end, which is then no longer reported.
class SystemProcessLauncher final : public ProcessLauncher {
    Q_OBJECT
public:
    // `besideFolder` defaults to the folder of the running executable.
    explicit SystemProcessLauncher(QString besideFolder = {}, QObject* parent = nullptr);
    ~SystemProcessLauncher() override;

    LaunchResult Launch(const LaunchRequest& request) override;

Q_SIGNALS:
    // Emitted by a child's waiting thread; queued on to `finished`.
    void childEnded(int id, int exitCode);

private:
    struct Link;
    std::filesystem::path besideFolder_;
    std::shared_ptr<Link> link_;
    int nextId_ = 1;
};

}  // namespace zorva::ui
