#include "common/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace zorva {

std::filesystem::path InstanceLock::PathFor(std::string_view programName) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') {
        return std::filesystem::path(runtime) / (std::string(programName) + ".lock");
    }
    return std::filesystem::path("/tmp") /
           (std::string(programName) + "-" + std::to_string(::getuid()) + ".lock");
}

InstanceLock::InstanceLock(std::string_view programName) {
    int fd = ::open(PathFor(programName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace zorva
