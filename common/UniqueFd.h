#pragma once
// The one owner of a file descriptor (file, folder, socket, lock): closed exactly once, when
// its owner ends or when Close() asks for the result of closing, which for a written file is
// the last chance to learn of a failed write.

#include <unistd.h>

#include <utility>

namespace zorva {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int release() { return std::exchange(fd_, -1); }
    // Closes the held descriptor (if any) and holds `fd` instead.
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes now; false when there was nothing to close or closing failed.
    bool Close() {
        const int fd = release();
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int fd_ = -1;
};

}  // namespace zorva
