#pragma once
// Peers for the host session tests: a real FTP server process, and small TCP peers that
// misbehave the way a broken host or network does.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/host/HostSession.h"
#include "tests/support/TempFolder.h"

namespace zorva {

inline void PrintTo(HostStatus status, std::ostream* out) {
    *out << (status == HostStatus::Ok       ? "Ok"
             : status == HostStatus::Failed ? "Failed"
                                            : "Interrupted");
}

}  // namespace zorva

namespace zorva::test {

inline int ListeningSocket(int backlog) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (backlog >= 0 && ::listen(fd, backlog) != 0)) {
        throw std::runtime_error("cannot open a test socket");
    }
    return fd;
}

inline int PortOf(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

// An FTP server process on a free port of 127.0.0.1 with its own root folder, stopped with the
// object.
class ServerProcess {
public:
    ServerProcess() { std::filesystem::create_directories(root()); }
    virtual ~ServerProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    std::filesystem::path root() const { return folder_ / "root"; }
    HostEndpoint Endpoint() const { return {"127.0.0.1", port_, "ZORVA", "SECRET"}; }

    // Returns once the server has finished what it was doing: it serves one client after the
    // other, so its greeting to a new connection comes after that.
    void Sync() const {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port_));
        char greeting[128];
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            (void)::recv(fd, greeting, sizeof greeting, 0);
        }
        ::close(fd);
    }

protected:
    // Starts the server and reads the "listening on 127.0.0.1:PORT" line it prints.
    void Start(const std::vector<std::string>& args,
               const std::vector<std::string>& settings = {}) {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        const std::string log = (folder_ / "server.log").string();
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> environment(settings);
        for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
        auto pointers = [](const std::vector<std::string>& texts) {
            std::vector<char*> list;
            for (const auto& text : texts) list.push_back(const_cast<char*>(text.c_str()));
            list.push_back(nullptr);
            return list;
        };
        std::vector<char*> argv = pointers(args);
        std::vector<char*> envp = pointers(environment);
        int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        std::string output;
        pollfd ready{pipeFds[0], POLLIN, 0};
        while (spawned == 0 && output.find('\n') == std::string::npos &&
               ::poll(&ready, 1, 20'000) > 0) {
            char buffer[256];
            ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
            if (got <= 0) break;
            output.append(buffer, static_cast<size_t>(got));
        }
        ::close(pipeFds[0]);
        if (spawned != 0) pid_ = -1;
        auto colon = output.rfind(':');
        if (spawned != 0 || output.rfind("listening on 127.0.0.1:", 0) != 0 ||
            colon == std::string::npos) {
            throw std::runtime_error("the FTP server did not start: " + output);
        }
        port_ = std::stoi(output.substr(colon + 1));
    }

    TempFolder folder_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// The small server of tests/host/ftp_test_server.py, which records every command line. The
// root holds the libraries ZORVADATA and QGPL (with a file ZORVAV3).
class FtpServerProcess final : public ServerProcess {
public:
    explicit FtpServerProcess(std::vector<std::string> options = {}) {
        std::filesystem::create_directories(root() / "ZORVADATA");
        std::filesystem::create_directories(root() / "QGPL");
        std::ofstream(root() / "QGPL" / "ZORVAV3") << "module";
        std::vector<std::string> args = {ZORVA_PYTHON,   ZORVA_FTP_TEST_SERVER,
                                         "--root",       root().string(),
                                         "--transcript", (folder_ / "transcript").string()};
        args.insert(args.end(), options.begin(), options.end());
        Start(args);
    }

    // Every command line the server received, as it arrived (the password masked).
    std::vector<std::string> Transcript() const {
        std::vector<std::string> lines;
        std::ifstream in(folder_ / "transcript");
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

// The team's host simulator, with the host module and the exchange libraries installed;
// `options` go after these, on `port` (0: a free one).
class HostsimProcess final : public ServerProcess {
public:
    explicit HostsimProcess(std::vector<std::string> options = {}, int port = 0) {
        std::vector<std::string> args{
            ZORVA_PYTHON,    "-m",     "hostsim",           "serve", "--root",
            root().string(), "--port", std::to_string(port)};
        args.insert(args.end(), {"--user", "ZORVA", "--password", "SECRET", "--installed"});
        args.insert(args.end(), options.begin(), options.end());
        Start(args, {std::string("PYTHONPATH=") + ZORVA_SOURCE_DIR});
    }
    int Port() const { return port_; }

    // Sets the simulator's faults (its control file, JSON).
    void Control(const std::string& json) const {
        std::ofstream(root() / "hostsim-control.json") << json;
    }
};

// A TCP peer on 127.0.0.1 that is no FTP server.
class BrokenPeer {
public:
    enum class Kind {
        Refusing,   // bound, not listening: connections are refused
        BlackHole,  // accept queue full: connection attempts go unanswered
        Silent,     // accepts and never says a word
        Garbage,    // greets with something that is not an FTP reply
        HangsUp,    // greets, then closes the connection
    };

    explicit BrokenPeer(Kind kind) : kind_(kind) {
        listener_ = ListeningSocket(kind == Kind::Refusing ? -1 : 0);
        if (kind == Kind::BlackHole) {
            // One connection fills the queue of a backlog of 0; later SYNs are dropped.
            filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<uint16_t>(PortOf(listener_)));
            if (::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                throw std::runtime_error("the connection that fills the queue failed");
            }
        } else if (kind != Kind::Refusing) {
            thread_ = std::thread([this] { Serve(); });
        }
    }
    ~BrokenPeer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        for (int fd : accepted_) ::close(fd);
        if (filler_ >= 0) ::close(filler_);
        ::close(listener_);
    }
    BrokenPeer(const BrokenPeer&) = delete;
    BrokenPeer& operator=(const BrokenPeer&) = delete;

    HostEndpoint Endpoint() const { return {"127.0.0.1", PortOf(listener_), "ZORVA", "SECRET"}; }

private:
    void Serve() {
        while (!stop_) {
            pollfd ready{listener_, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0) continue;
            int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            if (kind_ == Kind::Garbage) {
                ::send(fd, "HELLO THERE\r\n", 13, MSG_NOSIGNAL);
            } else if (kind_ == Kind::HangsUp) {
                ::send(fd, "220 Ready.\r\n", 12, MSG_NOSIGNAL);
                ::close(fd);
                continue;
            }
            accepted_.push_back(fd);
        }
    }

    Kind kind_;
    int listener_ = -1;
    int filler_ = -1;
    std::vector<int> accepted_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Records what the session reports, and lets a test act on a progress text.
class RecordingObserver final : public HostSessionObserver {
public:
    void OnHostProgress(const HostProgress& progress) override {
        progress_.push_back(progress);
        if (onProgress) onProgress(progress);
    }
    void OnHostReport(const std::string& text) override { reports_.push_back(text); }

    const std::vector<HostProgress>& Progress() const { return progress_; }
    const std::vector<std::string>& Reports() const { return reports_; }
    void Clear() {
        progress_.clear();
        reports_.clear();
    }

    std::function<void(const HostProgress&)> onProgress;

private:
    std::vector<HostProgress> progress_;
    std::vector<std::string> reports_;
};

}  // namespace zorva::test
