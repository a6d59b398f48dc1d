#include "common/Platform.h"

#include <sys/prctl.h>
#include <sys/resource.h>

#include <cstdlib>

namespace zorva {
namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

void UseOffscreenWhenNoDisplay() {
    if (IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) return;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

void DisableCoreDumps() {
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    // A core handler that ignores the limit (a pipe in core_pattern) still honours this.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

}  // namespace zorva
