#include "common/host/DownloadFile.h"

#include <gtest/gtest.h>

#include "common/FileIo.h"
#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

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
        for (std::size_t at = 0; at < bytes.size(); at += 512 * 1024) {
            ASSERT_TRUE(file.Write(bytes.data() + at,
                                   std::min<std::size_t>(512 * 1024, bytes.size() - at)));
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

}  // namespace
}  // namespace zorva
