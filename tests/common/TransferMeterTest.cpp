#include "common/TransferMeter.h"

#include <gtest/gtest.h>

#include "common/TransferProgressFile.h"

namespace zorva {
namespace {

using namespace std::chrono_literals;

struct Reading {
    int atMs;
    std::int64_t bytes;
    const char* shown;  // nullptr: throttled; else "amount|rate|remaining|count"
};

struct MeterCase {
    const char* name;
    std::optional<std::int64_t> size;
    std::vector<Reading> readings;
};

class Meter : public ::testing::TestWithParam<MeterCase> {};

TEST_P(Meter, ShowsAtMostTenTimesASecondAndTheCompleteFile) {
    const auto start = TransferMeter::Clock::time_point{} + 1h;
    TransferMeter meter;
    meter.Begin(2, 5, GetParam().size, start);
    for (const Reading& r : GetParam().readings) {
        const auto shown = meter.Bytes(r.bytes, start + std::chrono::milliseconds(r.atMs));
        ASSERT_EQ(shown.has_value(), r.shown != nullptr) << r.atMs;
        if (!shown) continue;
        EXPECT_EQ(TransferBytesText(*shown) + "|" + TransferRateText(*shown) + "|" +
                      TransferRemainingText(*shown) + "|" + TransferCountText(*shown),
                  r.shown);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Meter,
    ::testing::Values(
        MeterCase{"SizeKnown",
                  50'000'000,
                  {{0, 0, "0.0 / 50.0 MB|0.0 MB/s||2 / 5 オブジェクト"},
                   {50, 1'000'000, nullptr},
                   {1000, 10'000'000, "10.0 / 50.0 MB|10.0 MB/s|残り 00:00:04|2 / 5 オブジェクト"},
                   {1099, 11'000'000, nullptr},
                   {1100, 11'000'000, "11.0 / 50.0 MB|10.0 MB/s|残り 00:00:04|2 / 5 オブジェクト"},
                   {1150, 50'000'000, "50.0 / 50.0 MB|43.5 MB/s|残り 00:00:00|2 / 5 オブジェクト"},
                   {1160, 50'000'000, nullptr}}},
        MeterCase{"SizeUnknown",
                  std::nullopt,
                  {{0, 0, "0.0 MB|0.0 MB/s||2 / 5 オブジェクト"},
                   {2000, 5'000'000, "5.0 MB|2.5 MB/s||2 / 5 オブジェクト"},
                   {2010, 6'000'000, nullptr}}},
        MeterCase{"SmallFile",
                  61'440,
                  {{0, 0, "0.0 / 61.4 KB|0.0 MB/s||2 / 5 オブジェクト"},
                   {20, 61'440, "61.4 / 61.4 KB|3.1 MB/s|残り 00:00:00|2 / 5 オブジェクト"}}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(TransferProgressFile, NoteSurvivesTheFileAndRefusesNonsense) {
    const TransferProgressNote note{"DAILY", "#OBJ", 42};
    EXPECT_EQ(ParseTransferProgress(TransferProgressContent(note)), note);
    EXPECT_EQ(TransferProgressText(note), "DAILY  #OBJ  42%");
    EXPECT_EQ(ParseTransferProgress("SET=DAILY\r\nPERCENT=\r\n")->percent, std::nullopt);
    EXPECT_EQ(ParseTransferProgress("SET=DAILY\r\nPERCENT=101\r\n"), std::nullopt);
    EXPECT_EQ(ParseTransferProgress("OBJECT=X\r\n"), std::nullopt);
}

}  // namespace
}  // namespace zorva
