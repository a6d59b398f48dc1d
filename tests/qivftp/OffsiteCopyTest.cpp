#include "qivftp/engine/OffsiteCopy.h"

#include <gtest/gtest.h>

namespace zorva::qivftp {
namespace {

using namespace std::chrono_literals;

const auto kNow = std::filesystem::file_time_type::clock::now();

struct CopyCase {
    std::string label;
    std::vector<offsite::Snapshot> snapshots;
    int keep;
    std::vector<std::string> toCopy;
};

offsite::Snapshot Of(std::string generation, std::string digest) {
    offsite::Snapshot snapshot;
    snapshot.generation = std::move(generation);
    snapshot.manifestDigest = std::move(digest);
    return snapshot;
}

class GenerationsToCopyTest : public ::testing::TestWithParam<CopyCase> {};

// Local: Monday changed 3 days ago, Tuesday 2 days ago (reused: its digest is new), today 0.
TEST_P(GenerationsToCopyTest, NewestKeepWithoutASnapshotOfTheirContentOldestFirst) {
    const std::vector<LocalGeneration> local{
        {"Tuesday", kNow - 48h, "tue2"}, {"Today", kNow, "now1"}, {"Monday", kNow - 72h, "mon1"}};
    EXPECT_EQ(GenerationsToCopy(local, GetParam().snapshots, GetParam().keep), GetParam().toCopy);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GenerationsToCopyTest,
    ::testing::Values(
        CopyCase{"NoSnapshotYet", {}, 7, {"Monday", "Tuesday", "Today"}},
        CopyCase{"KeepBoundsTheRetries", {}, 2, {"Tuesday", "Today"}},
        CopyCase{"CopiedOnesStay", {Of("Monday", "mon1"), Of("Tuesday", "tue2")}, 7, {"Today"}},
        CopyCase{"ReusedFolderIsCopiedAgain",
                 {Of("Monday", "mon1"), Of("Tuesday", "tue1"), Of("Today", "now1")},
                 7,
                 {"Tuesday"}},
        CopyCase{"AllCopied",
                 {Of("Monday", "mon1"), Of("Tuesday", "tue2"), Of("Today", "now1")},
                 7,
                 {}}),
    [](const auto& test) { return test.param.label; });

struct PruneCase {
    std::string label;
    std::string state;
    bool due;
};

class PruneDueTest : public ::testing::TestWithParam<PruneCase> {};

TEST_P(PruneDueTest, AtMostOnceAWeekPerRepository) {
    const LocalTime now{2026, 12, 7, 22, 0, 0, 1};
    EXPECT_EQ(PruneDue(GetParam().state, "/r", now), GetParam().due);
    const std::string written = WithPruneDay(GetParam().state, "/r", now);
    EXPECT_FALSE(PruneDue(written, "/r", now)) << written;
    EXPECT_NE(written.find("20261201\t/other\n"), std::string::npos) << written;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PruneDueTest,
    ::testing::Values(PruneCase{"Never", "20261201\t/other\n", true},
                      PruneCase{"SixDaysAgo", "20261201\t/other\n20261201\t/r\n", false},
                      PruneCase{"SevenDaysAgo", "20261201\t/other\n20261130\t/r\n", true},
                      PruneCase{"Damaged", "2026x201\t/r\n20261201\t/other\n", true}),
    [](const auto& test) { return test.param.label; });

}  // namespace
}  // namespace zorva::qivftp
