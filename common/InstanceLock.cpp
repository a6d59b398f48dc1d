#include "common/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zorva {

std::filesystem::path InstanceLock::PathFor(const std::filesystem::path& programFolder,
                                            std::string_view programName) {
    return programFolder / ("." + std::string(programName) + ".lock");
}

InstanceLock::InstanceLock(const std::filesystem::path& programFolder, std::string_view programName)
    : path_(PathFor(programFolder, programName)) {
    // O_NOFOLLOW: a link planted in the folder must not make us create or lock another file.
    UniqueFd fd(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) {
        errorText_ = std::strerror(errno);
        return;
    }
    // Only a plain file is a lock file: a FIFO or device planted under its name is refused.
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        errorText_ = std::strerror(EINVAL);
        return;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            state_ = LockState::Busy;
        } else {
            errorText_ = std::strerror(error);
        }
        return;
    }
    fd_ = std::move(fd);
    state_ = LockState::Acquired;
}

std::string InstanceLock::FailureText() const {
    return path_.string() + "が開けない：" + errorText_;
}

InstanceLock::~InstanceLock() = default;

}  // namespace zorva
