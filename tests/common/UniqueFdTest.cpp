#include "common/UniqueFd.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>

#include "common/FileIo.h"

namespace zorva {
namespace {

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFd, ClosesExactlyOnceWhoeverOwnsIt) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    const int readEnd = pipeEnds[0];
    {
        UniqueFd first(readEnd);
        UniqueFd second(std::move(first));
        EXPECT_FALSE(first.valid());  // NOLINT(bugprone-use-after-move): what a move leaves
        EXPECT_EQ(second.get(), readEnd);
        UniqueFd third;
        third = std::move(second);
        EXPECT_TRUE(IsOpen(readEnd));
    }
    EXPECT_FALSE(IsOpen(readEnd));

    UniqueFd writeEnd(pipeEnds[1]);
    EXPECT_TRUE(writeEnd.Close());
    EXPECT_FALSE(IsOpen(pipeEnds[1]));
    EXPECT_FALSE(writeEnd.Close());  // nothing left to close
    const int kept = UniqueFd(::dup(STDERR_FILENO)).release();
    EXPECT_TRUE(IsOpen(kept));
    ::close(kept);
}

TEST(WriteAll, WritesEveryByteThroughShortWritesAndReportsFailure) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    UniqueFd readEnd(pipeEnds[0]);
    UniqueFd writeEnd(pipeEnds[1]);
    // Far more than a pipe holds: the writer gets short writes while the reader drains.
    std::string sent(4 << 20, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 131 % 251);
    std::string received;
    std::thread reader([&] {
        char buffer[65536];
        for (ssize_t n; (n = ::read(readEnd.get(), buffer, sizeof buffer)) > 0;) {
            received.append(buffer, static_cast<std::size_t>(n));
        }
    });
    EXPECT_TRUE(WriteAll(writeEnd.get(), sent));
    writeEnd.Close();
    reader.join();
    EXPECT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);

    // No reader left: the write fails instead of looping (SIGPIPE ignored, as in a test).
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    ::close(pipeEnds[0]);
    UniqueFd orphan(pipeEnds[1]);
    EXPECT_FALSE(WriteAll(orphan.get(), "data"));
    std::signal(SIGPIPE, previous);
    EXPECT_TRUE(WriteAll(orphan.get(), ""));  // nothing to write is done at once
}

}  // namespace
}  // namespace zorva
