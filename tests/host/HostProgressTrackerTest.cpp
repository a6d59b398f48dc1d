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

// A line per libcurl callback would flood the log: a count at once, then at most one a second,
// and the transfer's whole count last (not twice when it was the last one shown).
TEST(HostProgressTracker, ByteCountsAtOnceThenOneASecondAndTheWholeLast) {
    for (const std::int64_t last : {60, 50}) {
        std::vector<std::string> shown;
        HostProgressTracker tracker(
            qivrestore::kRestoreHostProfile,
            [&](const HostProgress& progress) { shown.push_back(progress.log); });
        const HostProgressTracker::Clock::time_point start{};
        tracker.Begin(HostActivity::Upload);
        for (const auto& [ms, count] : std::vector<std::pair<int, std::int64_t>>{
                 {0, 10}, {400, 20}, {1000, 30}, {1500, 40}, {2000, 50}, {2001, last}})
            tracker.Bytes(count, start + std::chrono::milliseconds(ms));
        tracker.Begin(HostActivity::Idle);
        std::vector<std::string> expected{"10", "30", "50"};
        if (last != 50) expected.push_back(std::to_string(last));
        for (std::string& count : expected) count += "バイトアップロードしました";
        EXPECT_EQ(shown, expected);
    }
}

}  // namespace
}  // namespace zorva
