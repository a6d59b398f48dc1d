#include "common/InstanceLock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

// The lock must hold against another process, which is how a second program start sees it.
bool OtherProcessGetsLock(std::string_view name) {
    pid_t child = ::fork();
    if (child == 0) _exit(InstanceLock(name).Acquired() ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(InstanceLock, SecondInstanceIsRefusedUntilTheFirstEnds) {
    test::TempFolder runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    EXPECT_EQ(InstanceLock::PathFor("qivftp"), runtime / "qivftp.lock");
    {
        InstanceLock first("qivftp");
        ASSERT_TRUE(first.Acquired());
        EXPECT_FALSE(OtherProcessGetsLock("qivftp"));
        EXPECT_TRUE(OtherProcessGetsLock("velmoro"));
    }
    EXPECT_TRUE(OtherProcessGetsLock("qivftp"));
}

}  // namespace
}  // namespace zorva
