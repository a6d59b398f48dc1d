// The session against the host simulator, the way the programs use it: exchange files in
// both transfer types, host commands, downloads that break off, and a cancel in the middle of
// a slow transfer.

#include "common/host/HostSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "common/FileIo.h"
#include "qivftp/engine/TransferHostProfile.h"
#include "tests/host/HostPeers.h"
#include "tests/support/InstantWaiter.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::HostsimProcess;
using test::InstantWaiter;
using test::RecordingObserver;
using test::TempFolder;
using Lines = std::vector<std::string>;

std::string AllByteValues(int rounds) {
    std::string bytes;
    for (int round = 0; round < rounds; ++round) {
        for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
    }
    return bytes;
}

long Entries(const fs::path& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

TEST(HostSessionWithHostsim, ExchangeFilesAndCommandsKeepEveryByte) {
    HostsimProcess host;
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    HostSession session(qivftp::kTransferHostProfile, host.Endpoint(), waiter, observer);
    const std::string request =
        "1DAILY     QGPL      *FILE     0\r\n2PAYROLL   PRD       *LIB      4\r\n";
    const std::string saveFile = AllByteValues(64);
    ASSERT_TRUE(WriteFileAtomically(local / "DAILY", request));
    ASSERT_TRUE(WriteFileAtomically(local / "SAL#ES*1", saveFile));

    ASSERT_EQ(session.Open(), HostStatus::Ok);
    ASSERT_EQ(session.SetCurrentLibrary("ZORVADATA"), HostStatus::Ok);
    ASSERT_EQ(session.PutFile(local / "DAILY", "DAILY", TransferType::Ascii), HostStatus::Ok);
    ASSERT_EQ(session.PutFile(local / "SAL#ES*1", "ZORVARST/SAL#ES*1", TransferType::Binary),
              HostStatus::Ok);
    ASSERT_EQ(session.Command(" RCMD CRTLIB LIB(PAYROLL)"), HostStatus::Ok);
    EXPECT_EQ(session.LastReplyLines().size(), 2u);
    ASSERT_EQ(session.GetFile("DAILY", local / "DAILY.back", TransferType::Ascii), HostStatus::Ok);
    ASSERT_EQ(session.GetFile("ZORVARST/SAL#ES*1", local / "SAVF.back", TransferType::Binary),
              HostStatus::Ok);
    Lines names;
    ASSERT_EQ(session.List("ZORVARST", names), HostStatus::Ok);
    ASSERT_EQ(session.DeleteFile("ZORVARST/SAL#ES*1"), HostStatus::Ok);

    EXPECT_EQ(ReadFileBytes(host.root() / "ZORVADATA" / "DAILY"), request);
    EXPECT_TRUE(fs::is_directory(host.root() / "PAYROLL"));
    EXPECT_EQ(ReadFileBytes(local / "DAILY.back"), request);
    EXPECT_EQ(ReadFileBytes(local / "SAVF.back"), saveFile);
    EXPECT_EQ(names, Lines{"SAL#ES*1"});
    EXPECT_FALSE(fs::exists(host.root() / "ZORVARST" / "SAL#ES*1"));
    EXPECT_EQ(observer.Reports(), Lines{"ホストに接続しました"});
}

// The size a download's progress bar measures against, asked without a word to the user.
TEST(HostSessionWithHostsim, FileSizeIsTheListingsAndShowsNothing) {
    HostsimProcess host;
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    HostSession session(qivftp::kTransferHostProfile, host.Endpoint(), waiter, observer);
    ASSERT_TRUE(WriteFileAtomically(local / "SAVF", AllByteValues(3)));
    ASSERT_EQ(session.Open(), HostStatus::Ok);
    ASSERT_EQ(session.PutFile(local / "SAVF", "ZORVARST/SAL#ES*1", TransferType::Binary),
              HostStatus::Ok);
    observer.Clear();
    EXPECT_EQ(session.FileSize("ZORVARST/SAL#ES*1"), 768);
    EXPECT_EQ(session.FileSize("ZORVARST/MISSING"), std::nullopt);
    EXPECT_TRUE(observer.Progress().empty());
    // Nor does a refused listing cost the connection (a new log-on would be reported).
    ASSERT_EQ(session.GetFile("ZORVARST/SAL#ES*1", local / "BACK", TransferType::Binary),
              HostStatus::Ok);
    EXPECT_TRUE(observer.Reports().empty());
}

// A download that fails, whether the file is missing or the transfer breaks off, leaves the
// earlier file of that name as it was and nothing else; a good one replaces it.
struct BrokenDownload {
    const char* name;
    const char* control;
    const char* remote;
};

void PrintTo(const BrokenDownload& param, std::ostream* out) {
    *out << param.name;
}

class HostSessionBrokenDownload : public ::testing::TestWithParam<BrokenDownload> {};

TEST_P(HostSessionBrokenDownload, EarlierFileStaysUntilADownloadCompletes) {
    HostsimProcess host;
    host.Control(GetParam().control);
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    HostSession session(qivftp::kTransferHostProfile, host.Endpoint(), waiter, observer);
    const std::string saveFile = AllByteValues(200);
    fs::create_directories(host.root() / "DAILY");
    ASSERT_TRUE(WriteFileAtomically(host.root() / "DAILY" / "PAYROLL", saveFile));
    ASSERT_TRUE(WriteFileAtomically(local / "PAYROLL", "earlier generation"));

    ASSERT_EQ(session.Open(), HostStatus::Ok);
    EXPECT_EQ(session.GetFile(GetParam().remote, local / "PAYROLL", TransferType::Binary,
                              RetryPolicy{2, 10s}),
              HostStatus::Failed);
    EXPECT_EQ(ReadFileBytes(local / "PAYROLL"), "earlier generation");
    EXPECT_EQ(Entries(local.path()), 1);

    host.Control("{}");
    ASSERT_EQ(session.GetFile("DAILY/PAYROLL", local / "PAYROLL", TransferType::Binary),
              HostStatus::Ok);
    EXPECT_EQ(ReadFileBytes(local / "PAYROLL"), saveFile);
    EXPECT_EQ(Entries(local.path()), 1);
    EXPECT_EQ(waiter.Waits(), std::vector<std::chrono::milliseconds>{10s});
}

INSTANTIATE_TEST_SUITE_P(Kinds, HostSessionBrokenDownload,
                         ::testing::Values(BrokenDownload{"Missing", "{}", "DAILY/NOSUCH"},
                                           BrokenDownload{"CutOff", R"({"cut": {"RETR": 20000}})",
                                                          "DAILY/PAYROLL"}),
                         [](const auto& test) { return std::string(test.param.name); });

// A cancel arriving with the first byte count of a slow transfer ends it in that same progress
// callback: no later byte count, no partial file, the earlier file kept.
class HostSessionCancel : public ::testing::TestWithParam<bool> {};

TEST_P(HostSessionCancel, CancelEndsASlowTransferAtOnce) {
    const bool download = GetParam();
    HostsimProcess host;
    host.Control(R"({"rate": 32768})");
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    HostSession session(qivftp::kTransferHostProfile, host.Endpoint(), waiter, observer);
    fs::create_directories(host.root() / "DAILY");
    ASSERT_TRUE(WriteFileAtomically(host.root() / "DAILY" / "PAYROLL", AllByteValues(16'000)));
    ASSERT_TRUE(WriteFileAtomically(local / "PAYROLL", "earlier generation"));
    ASSERT_TRUE(WriteFileAtomically(local / "UPLOAD", AllByteValues(16'000)));
    int countsAfterCancel = 0;
    observer.onProgress = [&](const HostProgress& progress) {
        if (progress.log.find("バイト") == std::string::npos) return;
        if (waiter.Interrupted()) ++countsAfterCancel;
        waiter.Interrupt();
    };
    ASSERT_EQ(session.Open(), HostStatus::Ok);

    const auto start = std::chrono::steady_clock::now();
    const HostStatus status =
        download ? session.GetFile("DAILY/PAYROLL", local / "PAYROLL", TransferType::Binary)
                 : session.PutFile(local / "UPLOAD", "DAILY/UPLOAD", TransferType::Binary);

    EXPECT_EQ(status, HostStatus::Interrupted);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(countsAfterCancel, 0);
    EXPECT_EQ(ReadFileBytes(local / "PAYROLL"), "earlier generation");
    EXPECT_EQ(Entries(local.path()), 2);
    EXPECT_EQ(observer.Reports(), Lines{"ホストに接続しました"});
}

INSTANTIATE_TEST_SUITE_P(DownloadAndUpload, HostSessionCancel, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Download" : "Upload"; });

}  // namespace
}  // namespace zorva
