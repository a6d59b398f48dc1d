#pragma once
// A property a fuzzer checks: when it does not hold, the input is a finding (libFuzzer keeps
// it as a crash file), not merely something that did not crash.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

// A scratch file of this fuzzer process, removed when it ends; in memory where the system
// offers a memory file system: the parsers under test read files, and a disk would slow every
// run down.
class FuzzScratchFile {
public:
    explicit FuzzScratchFile(const std::string& name) {
        std::error_code ignored;
        const std::filesystem::path memory = "/dev/shm";
        const std::filesystem::path folder = std::filesystem::is_directory(memory, ignored)
                                                 ? memory
                                                 : std::filesystem::temp_directory_path();
        path_ = folder / ("zorva-fuzz-" + name + "-" + std::to_string(getpid()));
    }
    ~FuzzScratchFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    FuzzScratchFile(const FuzzScratchFile&) = delete;
    FuzzScratchFile& operator=(const FuzzScratchFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};
