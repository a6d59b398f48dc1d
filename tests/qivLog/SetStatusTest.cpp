#include "qivLog/engine/SetStatus.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/Codec.h"
#include "tests/support/TempFolder.h"

namespace zorva::qivlog {
namespace {

struct StatusCase {
    const char* name;
    std::vector<std::string> logs;  // "end result object-results…" of DAILY's jobs
    int exitCode;
    int saved, failed;
};

class DailyStatus : public ::testing::TestWithParam<StatusCase> {};

// A result log of DAILY that ended at `end` (YYYYMMDDhhmm), one line per object result.
void WriteLog(const std::filesystem::path& logFolder, const std::string& end,
              const std::string& word, const std::vector<std::string>& rows) {
    std::ofstream out(logFolder / ("APP-" + end + "-" + end + "-DAILY-" + word + "-.log"));
    for (const auto& row : rows)
        out << ToCp932("LIB/OBJ/*FILE/" + row + "/0612070100/0612070142\r\n");
}

TEST_P(DailyStatus, ComesFromTheNewestResultLogAndItsAge) {
    test::TempFolder folder;
    std::filesystem::create_directory(folder / "LOG_DAT");
    for (const std::string& log : GetParam().logs) {
        const auto fields = log.find(' '), word = log.find(' ', fields + 1);
        std::vector<std::string> rows;
        for (auto at = word; at != std::string::npos; at = log.find(' ', at + 1)) {
            rows.push_back(log.substr(at + 1, log.find(' ', at + 1) - at - 1));
        }
        WriteLog(folder / "LOG_DAT", log.substr(0, fields),
                 log.substr(fields + 1, word - fields - 1), rows);
    }
    const LocalTime now{2026, 12, 7, 12, 0, 0, 1};
    const auto sets = CheckSets(folder.path(), {"DAILY"}, now, AgeLimits{});
    EXPECT_EQ(ExitCode(sets.at(0).state), GetParam().exitCode) << StatusLine(sets[0]);
    EXPECT_EQ(sets[0].saved, GetParam().saved);
    EXPECT_EQ(sets[0].failed, GetParam().failed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DailyStatus,
    ::testing::Values(
        StatusCase{"FreshComplete", {"202612070142 正常完了 保管正常完了 保管正常完了"}, 0, 2, 0},
        StatusCase{"PartlyComplete", {"202612070142 一部未完 保管正常完了 保管異常終了"}, 1, 1, 1},
        StatusCase{"Failed", {"202612070142 異常終了 ホストで保管失敗"}, 2, 0, 1},
        StatusCase{"NewestDecides",
                   {"202612060142 異常終了 保管異常終了", "202612070142 正常完了 保管正常完了"},
                   0,
                   1,
                   0},
        StatusCase{"OlderThanWarnAge", {"202612060900 正常完了 保管正常完了"}, 1, 1, 0},
        StatusCase{"OlderThanCritAge", {"202612050900 正常完了 保管正常完了"}, 2, 1, 0},
        StatusCase{"NoRun", {}, 3, 0, 0}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(OverallState, IsCriticalOverWarningOverUnknownOverOk) {
    const auto of = [](std::vector<CheckState> states) {
        std::vector<SetStatus> sets;
        for (const CheckState state : states) sets.emplace_back().state = state;
        return OverallState(sets);
    };
    EXPECT_EQ(of({CheckState::Ok, CheckState::Unknown}), CheckState::Unknown);
    EXPECT_EQ(of({CheckState::Unknown, CheckState::Warning, CheckState::Ok}), CheckState::Warning);
    EXPECT_EQ(of({CheckState::Warning, CheckState::Critical, CheckState::Unknown}),
              CheckState::Critical);
}

}  // namespace
}  // namespace zorva::qivlog
