#include "common/ui/ProcessLauncher.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/ui/QtText.h"

extern char** environ;

namespace zorva::ui {
namespace {

bool IsExecutableFile(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

QString SystemErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// posix_spawn's attributes and file actions, released on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawnattr_init(&attributes_);
        posix_spawn_file_actions_init(&actions_);
        // The child starts with default signal handling and nothing blocked, whatever this
        // program ignores (SIGPIPE) or blocks on its GUI thread.
        sigset_t all;
        sigfillset(&all);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes_, &all);
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    int ChangeFolder(const std::string& folder) {
        return posix_spawn_file_actions_addchdir_np(&actions_, folder.c_str());
    }
    int Spawn(pid_t& pid, const std::string& path, std::vector<char*>& argv) {
        return posix_spawn(&pid, path.c_str(), &actions_, &attributes_, argv.data(), environ);
    }

private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Shared by the launcher and the threads that wait for its children: the launcher clears
// `target` when it dies, so a late end is dropped instead of reaching a dead object.
struct SystemProcessLauncher::Link {
    std::mutex mutex;
    SystemProcessLauncher* target = nullptr;
};

std::optional<std::filesystem::path> FindProgram(std::string_view program,
                                                 const std::filesystem::path& besideFolder,
                                                 std::string_view searchPath) {
    if (program.empty()) return std::nullopt;
    if (program.find('/') != std::string_view::npos) return std::filesystem::path(program);
    if (!besideFolder.empty() && IsExecutableFile(besideFolder / program)) {
        return besideFolder / program;
    }
    while (!searchPath.empty()) {
        const std::size_t colon = searchPath.find(':');
        const std::string_view folder = searchPath.substr(0, colon);
        searchPath =
            colon == std::string_view::npos ? std::string_view{} : searchPath.substr(colon + 1);
        if (folder.empty()) continue;
        const std::filesystem::path candidate = std::filesystem::path(folder) / program;
        if (IsExecutableFile(candidate)) return candidate;
    }
    return std::nullopt;
}

SystemProcessLauncher::SystemProcessLauncher(QString besideFolder, QObject* parent)
    : ProcessLauncher(parent),
      besideFolder_(
          FromQ(besideFolder.isEmpty() ? QCoreApplication::applicationDirPath() : besideFolder)),
      link_(std::make_shared<Link>()) {
    link_->target = this;
    // Connected on the launcher's thread, so that an end crosses threads inside Qt's queued
    // signal rather than as a call object built on the waiting thread.
    connect(this, &SystemProcessLauncher::childEnded, this, &ProcessLauncher::finished,
            Qt::QueuedConnection);
}

SystemProcessLauncher::~SystemProcessLauncher() {
    const std::lock_guard lock(link_->mutex);
    link_->target = nullptr;
}

LaunchResult SystemProcessLauncher::Launch(const LaunchRequest& request) {
    const char* path = std::getenv("PATH");
    const std::optional<std::filesystem::path> executable =
        FindProgram(FromQ(request.program), besideFolder_, path != nullptr ? path : "");
    if (!executable) return {false, 0, SystemErrorText(ENOENT)};

    std::vector<std::string> words{FromQ(request.program)};
    for (const QString& argument : request.arguments) words.push_back(FromQ(argument));
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    if (!request.workingFolder.isEmpty()) {
        if (const int error = setup.ChangeFolder(FromQ(request.workingFolder))) {
            return {false, 0, SystemErrorText(error)};
        }
    }
    pid_t pid = 0;
    if (const int error = setup.Spawn(pid, executable->string(), argv)) {
        return {false, 0, SystemErrorText(error)};
    }
    const int id = nextId_++;
    // One small thread per child waits for its end; detached, so that neither the GUI thread
    // nor the launcher's end ever waits for a child.
    std::thread([pid, id, link = link_] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        const std::lock_guard lock(link->mutex);
        if (link->target != nullptr) Q_EMIT link->target->childEnded(id, ExitCodeOf(status));
    }).detach();
    return {true, id, {}};
}

}  // namespace zorva::ui
