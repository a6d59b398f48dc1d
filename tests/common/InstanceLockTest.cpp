#include "common/InstanceLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;

// The lock must hold against another process, which is how a second program start sees it.
// The child may run in another environment (cron has no runtime folder, the desktop has one).
LockState StateInOtherProcess(const fs::path& folder, std::string_view name,
                              const char* runtimeFolder = nullptr) {
    pid_t child = ::fork();
    if (child == 0) {
        if (runtimeFolder == nullptr) {
            ::unsetenv("XDG_RUNTIME_DIR");
        } else {
            ::setenv("XDG_RUNTIME_DIR", runtimeFolder, 1);
        }
        _exit(static_cast<int>(InstanceLock(folder, name).State()));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<LockState>(WEXITSTATUS(status));
}

TEST(InstanceLock, TwoRunsOnOneFolderExcludeEachOtherWhateverTheirEnvironment) {
    test::TempFolder program, other, runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    {
        InstanceLock first(program.path(), "qivftp");
        ASSERT_EQ(first.State(), LockState::Acquired);
        EXPECT_EQ(first.Path(), program / ".qivftp.lock");
        EXPECT_EQ(StateInOtherProcess(program.path(), "qivftp"), LockState::Busy);
        EXPECT_EQ(StateInOtherProcess(program.path(), "qivftp", "/run/user/elsewhere"),
                  LockState::Busy);
        EXPECT_EQ(StateInOtherProcess(program.path(), "velmoro"), LockState::Acquired);
        EXPECT_EQ(StateInOtherProcess(other.path(), "qivftp"), LockState::Acquired);
    }
    EXPECT_EQ(StateInOtherProcess(program.path(), "qivftp"), LockState::Acquired);
    EXPECT_TRUE(fs::is_regular_file(program / ".qivftp.lock"));
    EXPECT_EQ(fs::status(program / ".qivftp.lock").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

struct BrokenLockCase {
    std::string label;
    std::function<fs::path(const test::TempFolder&)> prepare;  // returns the program folder
};

class InstanceLockFailure : public ::testing::TestWithParam<BrokenLockCase> {};

// A lock that cannot be taken is an error of its own with the system's reason, never "another
// run is busy": that would silently skip every backup.
TEST_P(InstanceLockFailure, IsReportedWithTheSystemsReasonNotAsBusy) {
    test::TempFolder root;
    const fs::path folder = GetParam().prepare(root);
    InstanceLock lock(folder, "qivftp");
    EXPECT_EQ(lock.State(), LockState::Failed);
    EXPECT_FALSE(lock.Acquired());
    EXPECT_FALSE(lock.ErrorText().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstanceLockFailure,
    ::testing::Values(BrokenLockCase{"MissingProgramFolder",
                                     [](const test::TempFolder& root) { return root / "missing"; }},
                      BrokenLockCase{"FolderInPlaceOfTheLockFile",
                                     [](const test::TempFolder& root) {
                                         fs::create_directory(root / ".qivftp.lock");
                                         return root.path();
                                     }},
                      BrokenLockCase{"LinkInPlaceOfTheLockFile",
                                     [](const test::TempFolder& root) {
                                         std::ofstream(root / "elsewhere") << "";
                                         fs::create_symlink(root / "elsewhere",
                                                            root / ".qivftp.lock");
                                         return root.path();
                                     }},
                      BrokenLockCase{"PipeInPlaceOfTheLockFile",
                                     [](const test::TempFolder& root) {
                                         ::mkfifo((root / ".qivftp.lock").c_str(), 0600);
                                         return root.path();
                                     }}),
    [](const auto& test) { return test.param.label; });

}  // namespace
}  // namespace zorva
