#include "common/DateTime.h"

#include <gtest/gtest.h>

#include <string>

namespace zorva {
namespace {

struct TextCase {
    LocalTime time;
    std::string date, minute, log, mail, japanese;
};

class DateTimeTexts : public ::testing::TestWithParam<TextCase> {};

TEST_P(DateTimeTexts, PadEveryFieldButTheYearOfTheTexts) {
    const TextCase& c = GetParam();
    EXPECT_EQ(DateStamp(c.time), c.date);
    EXPECT_EQ(MinuteStamp(c.time), c.minute);
    EXPECT_EQ(LogTimeStamp(c.time), c.log);
    EXPECT_EQ(MailTimeStamp(c.time), c.mail);
    EXPECT_EQ(JapaneseDateTime(c.time), c.japanese);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, DateTimeTexts,
    ::testing::Values(TextCase{{2026, 12, 31, 23, 59, 58, 4},
                               "20261231",
                               "202612312359",
                               " 2026/12/31 23:59",
                               "2026/12/31 23:59",
                               "2026年12月31日 23時59分58秒"},
                      TextCase{{2007, 3, 5, 9, 7, 2, 1},
                               "20070305",
                               "200703050907",
                               " 2007/03/05 09:07",
                               "2007/03/05 09:07",
                               "2007年03月05日 09時07分02秒"},
                      // A file name keeps eight digits; the other texts show the year as it is.
                      TextCase{{999, 1, 2, 3, 4, 5, 0},
                               "09990102",
                               "99901020304",
                               " 999/01/02 03:04",
                               "999/01/02 03:04",
                               "999年01月02日 03時04分05秒"}));

struct DayCase {
    int year, month, day, days;
    std::string expected;
};

class AddingDays : public ::testing::TestWithParam<DayCase> {};

TEST_P(AddingDays, CrossesMonthYearAndLeapDays) {
    const DayCase& c = GetParam();
    EXPECT_EQ(DateStamp(AddDays(CalendarDate(c.year, c.month, c.day), c.days)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, AddingDays,
    ::testing::Values(DayCase{2026, 3, 10, 0, "20260310"}, DayCase{2024, 2, 28, 1, "20240229"},
                      DayCase{2100, 2, 28, 1, "21000301"}, DayCase{2000, 3, 1, -1, "20000229"},
                      DayCase{2026, 1, 1, -1, "20251231"}, DayCase{2026, 12, 31, 1, "20270101"},
                      DayCase{2026, 12, 29, 7, "20270105"}, DayCase{2026, 3, 10, -999, "20230615"},
                      // A day past its month's end counts on into the next month.
                      DayCase{2026, 2, 31, 0, "20260303"}));

TEST(Calendar, WeekdaysMonthLengthsAndDaySerials) {
    const struct {
        int year, month, day, weekday, length;
    } cases[] = {
        {2026, 12, 7, 1, 31}, {2026, 2, 1, 0, 28}, {2024, 2, 29, 4, 29},
        {2100, 2, 1, 1, 28},  {2000, 2, 1, 2, 29}, {1970, 1, 1, 4, 31},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WeekdayOf(c.year, c.month, c.day), c.weekday) << c.year << "-" << c.month;
        EXPECT_EQ(DaysInMonth(c.year, c.month), c.length) << c.year << "-" << c.month;
        EXPECT_EQ(IsLeapYear(c.year), c.length == 29 && c.month == 2) << c.year;
    }
    EXPECT_EQ(DaysInMonth(2026, 0), 0);
    EXPECT_EQ(DaysInMonth(2026, 13), 0);
    EXPECT_EQ(DaySerial(2026, 3, 1) - DaySerial(2026, 2, 28), 1);
    EXPECT_EQ(DaySerial(2027, 1, 1) - DaySerial(2026, 1, 1), 365);
    EXPECT_EQ(DaySerial(2026, 2, 29), DaySerial(2026, 3, 1));
}

TEST(Calendar, DurationsInHoursMinutesAndSeconds) {
    const struct {
        long long seconds;
        std::string text;
    } cases[] = {{0, "00:00:00"},    {-5, "00:00:00"},    {59, "00:00:59"},
                 {3661, "01:01:01"}, {86399, "23:59:59"}, {360000, "100:00:00"}};
    for (const auto& c : cases) EXPECT_EQ(DurationText(c.seconds), c.text) << c.seconds;
}

}  // namespace
}  // namespace zorva
