#include "common/Platform.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace zorva {
namespace {

struct DisplayCase {
    std::string label;
    const char* display;  // nullptr: unset
    const char* wayland;
    const char* platform;
    std::string expected;  // QT_QPA_PLATFORM afterwards, "-" for unset
};

void SetOrUnset(const char* name, const char* value) {
    if (value == nullptr) {
        ::unsetenv(name);
    } else {
        ::setenv(name, value, 1);
    }
}

// Each case runs in a child process, so the test program's own environment stays as it was.
class OffscreenChoice : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(OffscreenChoice, OnlyARunWithoutAnyDisplayGoesOffscreen) {
    const DisplayCase& c = GetParam();
    pid_t child = ::fork();
    if (child == 0) {
        SetOrUnset("DISPLAY", c.display);
        SetOrUnset("WAYLAND_DISPLAY", c.wayland);
        SetOrUnset("QT_QPA_PLATFORM", c.platform);
        UseOffscreenWhenNoDisplay();
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        _exit(std::string(platform == nullptr ? "-" : platform) == c.expected ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, OffscreenChoice,
    ::testing::Values(DisplayCase{"CronOrSsh", nullptr, nullptr, nullptr, "offscreen"},
                      DisplayCase{"EmptyValues", "", "", "", "offscreen"},
                      DisplayCase{"X11", ":0", nullptr, nullptr, "-"},
                      DisplayCase{"Wayland", nullptr, "wayland-0", nullptr, "-"},
                      DisplayCase{"PlatformChosen", nullptr, nullptr, "xcb", "xcb"}),
    [](const auto& test) { return test.param.label; });

TEST(DisableCoreDumps, LeavesNoCoreFileWhateverTheLimitWas) {
    pid_t child = ::fork();
    if (child == 0) {
        const rlimit generous{RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_CORE, &generous);  // may be refused; the soft limit is what counts
        DisableCoreDumps();
        rlimit now{};
        ::getrlimit(RLIMIT_CORE, &now);
        _exit(now.rlim_cur == 0 && ::prctl(PR_GET_DUMPABLE) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace zorva
