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
