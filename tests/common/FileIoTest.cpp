#include "common/FileIo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;

TEST(FileIo, AtomicReplaceKeepsModeAndLeavesNoTemporaryFile) {
    test::TempFolder dir;
    fs::path file = dir / "zorva.ini";
    ASSERT_TRUE(WriteFileAtomically(file, "old", 0600));
    ASSERT_TRUE(WriteFileAtomically(file, "new"));
    EXPECT_EQ(ReadFileBytes(file), "new");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// A run as root (an administrator's command) must not hand a user's file to root.
TEST(FileIo, AtomicReplaceKeepsOwnerAndGroup) {
    for (ExistingMode mode : {ExistingMode::Keep, ExistingMode::Replace}) {
        test::TempFolder dir;
        fs::path file = dir / "zorva.ini";
        ASSERT_TRUE(WriteFileAtomically(file, "old", 0600));
        // Only root can give a file away; anyone else checks that their own file stays theirs.
        const uid_t owner = ::geteuid() == 0 ? 4321 : ::geteuid();
        const gid_t group = ::geteuid() == 0 ? 4322 : ::getegid();
        ASSERT_EQ(::chown(file.c_str(), owner, group), 0);
        ASSERT_TRUE(WriteFileAtomically(file, "new", 0600, mode));
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, owner);
        EXPECT_EQ(st.st_gid, group);
    }
}

TEST(FileIo, WriteFailingHalfWayLeavesTheOldFile) {
    test::TempFolder dir;
    fs::path file = dir / "set";
    ASSERT_TRUE(WriteFileAtomically(file, "good"));
    {
        test::FileSizeLimit limit(16);
        EXPECT_FALSE(WriteFileAtomically(file, std::string(4096, 'x')));
        EXPECT_FALSE(AppendToFile(dir / "log", std::string(4096, 'x')));
    }
    EXPECT_EQ(ReadFileBytes(file), "good");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    EXPECT_FALSE(WriteFileAtomically(dir / "missing" / "file", "x"));
}

TEST(FileIo, ReadStopsAtLimitAndAppendAdds) {
    test::TempFolder dir;
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
