#include "qivftp/engine/ScheduledVerify.h"

#include <gtest/gtest.h>

#include "common/FileIo.h"
#include "common/SaveFileList.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivftp {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const auto kNow = fs::file_time_type::clock::now();

// A generation saved `savedDaysAgo` days ago, at this time of day (so at any hour that many
// calendar days), holding the file X, recorded with `digest`.
void MakeGeneration(const fs::path& folder, int savedDaysAgo, const std::string& digest) {
    fs::create_directories(folder);
    ASSERT_TRUE(WriteFileAtomically(folder / "X", "saved"));
    ASSERT_TRUE(WriteManifest(folder, Manifest{{{"X", digest}}}));
    fs::last_write_time(folder / kManifestFileName, kNow - savedDaysAgo * 24h);
}

struct DueCase {
    std::string label;
    int savedDaysAgo;
    std::optional<int> verifiedDaysAgo;
    bool due;
};

class VerificationDue : public ::testing::TestWithParam<DueCase> {};

TEST_P(VerificationDue, OlderThanTheSettingAndNotReadThisWeek) {
    const DueCase& c = GetParam();
    test::TempFolder folder;
    MakeGeneration(folder.path(), c.savedDaysAgo, std::string(64, 'a'));
    const LocalTime now = LocalFileTime(kNow);
    if (c.verifiedDaysAgo) {
        const LocalTime then = LocalFileTime(kNow - *c.verifiedDaysAgo * 24h);
        ASSERT_TRUE(WriteFileAtomically(folder / std::string(kVerifiedFileName),
                                        DateStamp(then) + "120000\n"));
    }
    EXPECT_EQ(IsVerificationDue(folder.path(), std::chrono::days(30), now), c.due);
}

INSTANTIATE_TEST_SUITE_P(Cases, VerificationDue,
                         ::testing::Values(DueCase{"Young", 30, std::nullopt, false},
                                           DueCase{"OldNeverVerified", 31, std::nullopt, true},
                                           DueCase{"OldVerifiedThisWeek", 40, 6, false},
                                           DueCase{"OldVerifiedAWeekAgo", 40, 7, true}),
                         [](const auto& test) { return test.param.label; });

TEST(VerifyDueGenerations, ReportsDamageOnceAWeekAndSaysSoInTheMail) {
    test::TempFolder set;
    MakeGeneration(set / "7/20260101", 40, std::string(64, 'a'));  // not the digest of "saved"
    MakeGeneration(set / "7/20260301", 2, std::string(64, 'a'));   // too young to be read
    test::RecordingReporter output;
    const LocalTime now = LocalFileTime(kNow);

    const VerificationSummary summary =
        VerifyDueGenerations(set.path(), std::chrono::days(30), now, {}, output);
    EXPECT_EQ(summary, (VerificationSummary{1, {"7/20260101/X"}}));
    EXPECT_EQ(output.messages,
              std::vector<std::string>{"保管データ検証：7/20260101/Xのチェックサムが一致しない"});
    EXPECT_EQ(VerificationMailLine(summary), "保管データ検証 : 1世代 不一致1件 7/20260101/X");
    EXPECT_EQ(VerifyDueGenerations(set.path(), std::chrono::days(30), now, {}, output),
              VerificationSummary{});
    EXPECT_EQ(VerificationMailLine({}), "保管データ検証 : 0世代 異常なし");
}

}  // namespace
}  // namespace zorva::qivftp
