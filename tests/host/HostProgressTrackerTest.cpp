#include "common/host/HostProgressTracker.h"
#include "qivRestore/engine/RestoreHostProfile.h"
#include "velmoro/engine/AgentHostProfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorva {
namespace {

// One highest count serves uploads and downloads; only the start of a download resets it.
TEST(HostProgressTracker, ByteCountsNeverGoBackUntilADownloadStarts) {
    std::vector<std::string> shown;
    HostProgressTracker tracker(velmoro::kAgentHostProfile, [&](const HostProgress& progress) {
        shown.push_back(progress.status);
    });
    tracker.Begin(HostActivity::Download);
    tracker.DownloadStarted();
    for (std::int64_t count : {100, 50, 100, 150}) tracker.Bytes(count);
    tracker.Begin(HostActivity::Upload);
    for (std::int64_t count : {120, 200}) tracker.Bytes(count);
    tracker.Begin(HostActivity::Download);
    tracker.DownloadStarted();
    tracker.Bytes(10);
    tracker.Bytes(5'000'000'000);  // save files pass 4 GiB
    tracker.Begin(HostActivity::Idle);

    EXPECT_EQ(shown, (std::vector<std::string>{
                         "ftp handle created",
                         "100バイトダウンロードしました",
                         "150バイトダウンロードしました",
                         "200バイトアップロードしました",
                         "ftp handle created",
                         "10バイトダウンロードしました",
                         "5000000000バイトダウンロードしました",
                     }));
}

struct ByteTimingCase {
    std::string label;
    HostActivity activity;
    std::vector<std::pair<int, std::int64_t>> counts;  // milliseconds into the transfer, count
    std::vector<std::string> shown;
};

class HostProgressByteTiming : public ::testing::TestWithParam<ByteTimingCase> {};

// A line per libcurl callback would flood the log: a count at once, then at most one a second,
// and the transfer's whole count last.
TEST_P(HostProgressByteTiming, ShowsAFirstCountOneASecondAndTheLast) {
    const ByteTimingCase& c = GetParam();
    std::vector<std::string> shown;
    HostProgressTracker tracker(qivrestore::kRestoreHostProfile, [&](const HostProgress& progress) {
        shown.push_back(progress.log);
    });
    const HostProgressTracker::Clock::time_point start{};
    tracker.Begin(c.activity);
    for (const auto& [ms, count] : c.counts)
        tracker.Bytes(count, start + std::chrono::milliseconds(ms));
    tracker.Begin(HostActivity::Idle);
    EXPECT_EQ(shown, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostProgressByteTiming,
    ::testing::Values(
        ByteTimingCase{"ManyInASecond",
                       HostActivity::Upload,
                       {{0, 65536}, {1, 131072}, {2, 196608}, {900, 262144}},
                       {"65536バイトアップロードしました", "262144バイトアップロードしました"}},
        ByteTimingCase{"OneASecond",
                       HostActivity::Upload,
                       {{0, 10}, {400, 20}, {1000, 30}, {1500, 40}, {2000, 50}, {2001, 60}},
                       {"10バイトアップロードしました", "30バイトアップロードしました",
                        "50バイトアップロードしました", "60バイトアップロードしました"}},
        ByteTimingCase{"LastAlreadyShown",
                       HostActivity::Upload,
                       {{0, 10}, {5, 20}, {1005, 20}},
                       {"10バイトアップロードしました", "20バイトアップロードしました"}},
        ByteTimingCase{"Download",
                       HostActivity::Download,
                       {{0, 16384}, {3, 32768}},
                       {"16384バイトダウンロードしました", "32768バイトダウンロードしました"}}),
    [](const auto& test) { return test.param.label; });

}  // namespace
}  // namespace zorva
