#include "common/host/HostProgressTracker.h"
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

}  // namespace
}  // namespace zorva
