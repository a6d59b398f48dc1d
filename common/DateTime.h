#pragma once
// Calendar dates and the date and time texts of the system, on the C++20 calendar types: the
// one place that walks days and months (the purge's cut-off, the schedule's next run) and
// that formats a moment for a file name, a log line, a mail or a list.

#include <chrono>
#include <string>

namespace zorva {

// A moment of local calendar time, as the Clock gives it.
struct LocalTime {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4;  // 0 = Sunday … 6 = Saturday

    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

// The date of a moment, and a date `days` later (earlier when negative), across month and
// year ends.
std::chrono::year_month_day CalendarDate(const LocalTime& t);
std::chrono::year_month_day CalendarDate(int year, int month, int day);
std::chrono::year_month_day AddDays(std::chrono::year_month_day date, int days);

// Day of the week of a calendar date, 0 = Sunday.
int WeekdayOf(int year, int month, int day);
bool IsLeapYear(int year);
// 28 to 31; 0 for a month outside 1-12.
int DaysInMonth(int year, int month);
// Days since a fixed origin; a day past its month's end counts on into the next month.
long long DaySerial(int year, int month, int day);

// "YYYYMMDD", for file and folder names.
std::string DateStamp(const LocalTime& t);
std::string DateStamp(std::chrono::year_month_day date);
// "YYYYMMDDHHMM", the moment in a job result log's name.
std::string MinuteStamp(const LocalTime& t);
// " YYYY/MM/DD HH:MM" (leading blank), for logs and the job list.
std::string LogTimeStamp(const LocalTime& t);
// "YYYY/MM/DD HH:MM" (no blank), for the report mail.
std::string MailTimeStamp(const LocalTime& t);
// "YYYY年MM月DD日 HH時MM分SS秒", a file's time in the saved-data lists.
std::string JapaneseDateTime(const LocalTime& t);
// "HH:MM:SS" for a duration in seconds (a negative one as 0).
std::string DurationText(long long seconds);

}  // namespace zorva
