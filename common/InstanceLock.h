#pragma once
// "Only one of me per program folder": an exclusive lock on a hidden file in the program
// folder, held for the life of the object and released by the system if the process dies.
// Two runs on one folder exclude each other whatever their environment (cron, desktop, ssh);
// runs on different folders (different hosts) do not.

#include <filesystem>
#include <string>
#include <string_view>

#include "common/UniqueFd.h"

namespace zorva {

enum class LockState {
    Acquired,  // this process holds the lock
    Busy,      // another process holds it
    Failed,    // the lock file cannot be created or opened: nothing is known about others
};

class InstanceLock {
public:
    InstanceLock(const std::filesystem::path& programFolder, std::string_view programName);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    LockState State() const { return state_; }
    bool Acquired() const { return state_ == LockState::Acquired; }
    // The system's error text when Failed; empty otherwise.
    const std::string& ErrorText() const { return errorText_; }
    const std::filesystem::path& Path() const { return path_; }
    // What a program logs and shows when Failed: the lock file's path followed by
    // "が開けない：" and the system's reason.
    std::string FailureText() const;

    // <program folder>/.<name>.lock
    static std::filesystem::path PathFor(const std::filesystem::path& programFolder,
                                         std::string_view programName);

private:
    std::filesystem::path path_;
    UniqueFd fd_;
    LockState state_ = LockState::Failed;
    std::string errorText_;
};

}  // namespace zorva
