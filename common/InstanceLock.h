#pragma once
// "Only one of me at a time": an exclusive lock on a file in the user's runtime folder, held
// for the life of the object and released by the system if the process dies.

#include <filesystem>
#include <string_view>

namespace zorva {

class InstanceLock {
public:
    explicit InstanceLock(std::string_view programName);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // False when another process holds the lock.
    bool Acquired() const { return fd_ >= 0; }

    // $XDG_RUNTIME_DIR/<name>.lock, else /tmp/<name>-<uid>.lock.
    static std::filesystem::path PathFor(std::string_view programName);

private:
    int fd_ = -1;
};

}  // namespace zorva
