#include "common/host/DownloadFile.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "common/FileIo.h"
#include "tests/support/TempFolder.h"

// This test program stands between the code and the system's fsync and rename, to see which
// of them a commit makes, in which order, and to let a chosen one fail. Outside a Recording
// scope they pass straight through.
namespace {

struct SyscallLog {
    std::mutex mutex;
    bool recording = false;
    bool failFileSync = false;
    bool failFolderSync = false;
    std::vector<std::string> events;
} syscalls;

std::string PathOf(int fd) {
    char target[4096] = "";
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

extern "C" int fsync(int fd) {
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(::dlsym(RTLD_NEXT, "fsync"));
    struct stat info {};
    const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    {
        std::lock_guard lock(syscalls.mutex);
        if (syscalls.recording) {
            syscalls.events.push_back((folder ? "fsync folder " : "fsync file ") + PathOf(fd));
            if (folder ? syscalls.failFolderSync : syscalls.failFileSync) {
                errno = EIO;
                return -1;
            }
        }
    }
    return real(fd);
}

extern "C" int rename(const char* from, const char* to) noexcept {
    using Rename = int (*)(const char*, const char*);
    static const auto real = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "rename"));
    {
        std::lock_guard lock(syscalls.mutex);
        if (syscalls.recording) syscalls.events.push_back(std::string("rename to ") + to);
    }
    return real(from, to);
}

namespace zorva {
namespace {

class Recording {
public:
    Recording(bool failFileSync, bool failFolderSync) {
        std::lock_guard lock(syscalls.mutex);
        syscalls.events.clear();
        syscalls.recording = true;
        syscalls.failFileSync = failFileSync;
        syscalls.failFolderSync = failFolderSync;
    }
    ~Recording() {
        std::lock_guard lock(syscalls.mutex);
        syscalls.recording = false;
    }
    std::vector<std::string> Events() const {
        std::lock_guard lock(syscalls.mutex);
        return syscalls.events;
    }
};

namespace fs = std::filesystem;

std::size_t EntriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// Bigger than several writeback pieces, with a pattern that shows any lost or moved block.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 4093) % 251);
    return bytes;
}

TEST(DownloadFile, CommitReplacesTheTargetWithEverythingWritten) {
    test::TempFolder dir;
    const fs::path target = dir / "PAYROLL";
    ASSERT_TRUE(WriteFileAtomically(target, "earlier generation"));
    const std::string bytes = Pattern(27 << 20);
    {
        DownloadFile file(target);
        ASSERT_TRUE(file.Opened());
        for (std::size_t at = 0; at < bytes.size(); at += std::size_t{512} * 1024) {
            ASSERT_TRUE(file.Write(bytes.data() + at,
                                   std::min(std::size_t{512} * 1024, bytes.size() - at)));
        }
        EXPECT_EQ(ReadFileBytes(target), "earlier generation");  // untouched until complete
        ASSERT_TRUE(file.Commit());
    }
    EXPECT_TRUE(ReadFileBytes(target) == bytes);
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(DownloadFile, AnAbandonedDownloadLeavesNothingAndKeepsTheTarget) {
    test::TempFolder dir;
    const fs::path target = dir / "PAYROLL";
    ASSERT_TRUE(WriteFileAtomically(target, "earlier generation"));
    {
        DownloadFile file(target);
        const std::string bytes = Pattern(9 << 20);
        ASSERT_TRUE(file.Write(bytes.data(), bytes.size()));
        EXPECT_TRUE(fs::exists(file.TemporaryPath()));
    }
    EXPECT_EQ(ReadFileBytes(target), "earlier generation");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

struct CommitCase {
    std::string label;
    bool failFileSync, failFolderSync;
    bool committed;
    std::string target;  // the target's content afterwards
};

class DownloadCommit : public ::testing::TestWithParam<CommitCase> {};

// The caller deletes the host's copy once Commit says yes: by then the file and its new name
// must both be on the disk, or the newest copy could be lost with the power.
TEST_P(DownloadCommit, SyncsTheFileThenRenamesThenSyncsTheFolder) {
    const CommitCase& c = GetParam();
    test::TempFolder dir;
    const fs::path folder = fs::canonical(dir.path());
    const fs::path target = folder / "PAYROLL";
    ASSERT_TRUE(WriteFileAtomically(target, "earlier generation"));
    DownloadFile file(target);
    ASSERT_TRUE(file.Opened());
    ASSERT_TRUE(file.Write("new", 3));
    const std::string temporary = file.TemporaryPath().string();

    Recording recording(c.failFileSync, c.failFolderSync);
    EXPECT_EQ(file.Commit(), c.committed);

    std::vector<std::string> expected = {"fsync file " + temporary};
    if (!c.failFileSync) {
        expected.push_back("rename to " + target.string());
        expected.push_back("fsync folder " + folder.string());
    }
    EXPECT_EQ(recording.Events(), expected);
    EXPECT_EQ(ReadFileBytes(target), c.target);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadCommit,
    ::testing::Values(CommitCase{"AllSynced", false, false, true, "new"},
                      CommitCase{"FileSyncFails", true, false, false, "earlier generation"},
                      // Renamed, but not known to be durable: not a good download yet.
                      CommitCase{"FolderSyncFails", false, true, false, "new"}),
    [](const auto& test) { return test.param.label; });

TEST(DownloadFile, SaveFilesAreReadableByTheirOwnerOnly) {
    test::TempFolder dir;
    const fs::path target = dir / "PAYROLL";
    DownloadFile file(target);
    ASSERT_TRUE(file.Opened());
    EXPECT_EQ(fs::status(file.TemporaryPath()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(file.Write("data", 4));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace zorva
