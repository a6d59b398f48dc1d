#include "common/FileIo.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <unistd.h>

#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;

TEST(FileIo, AtomicReplaceKeepsModeAndLeavesNoTemporaryFile) {
    testing::TempFolder dir;
    fs::path file = dir / "zorva.ini";
    ASSERT_TRUE(WriteFileAtomically(file, "old", 0600));
    ASSERT_TRUE(WriteFileAtomically(file, "new"));
    EXPECT_EQ(ReadFileBytes(file), "new");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// Lowers the file size limit for its lifetime: writes beyond it fail with EFBIG, as on a full
// disk, and this works for root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST(FileIo, WriteFailingHalfWayLeavesTheOldFile) {
    testing::TempFolder dir;
    fs::path file = dir / "set";
    ASSERT_TRUE(WriteFileAtomically(file, "good"));
    {
        FileSizeLimit limit(16);
        EXPECT_FALSE(WriteFileAtomically(file, std::string(4096, 'x')));
        EXPECT_FALSE(AppendToFile(dir / "log", std::string(4096, 'x')));
    }
    EXPECT_EQ(ReadFileBytes(file), "good");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    EXPECT_FALSE(WriteFileAtomically(dir / "missing" / "file", "x"));
}

TEST(FileIo, ReadStopsAtLimitAndAppendAdds) {
    testing::TempFolder dir;
    fs::path file = dir / "log";
    ASSERT_TRUE(AppendToFile(file, "abc"));
    ASSERT_TRUE(AppendToFile(file, "def"));
    EXPECT_EQ(ReadFileBytes(file), "abcdef");
    EXPECT_EQ(ReadFileBytes(file, 4), "abcd");
    EXPECT_FALSE(ReadFileBytes(dir / "none").has_value());
    EXPECT_FALSE(AppendToFile(dir / "nofolder" / "log", "x"));
}

}  // namespace
}  // namespace zorva
