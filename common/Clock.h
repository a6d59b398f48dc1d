#pragma once
// The local calendar time, behind an interface so that rules about days and hours can be
// tested at any moment.

#include <string>

namespace zorva {

struct LocalTime {
    int year = 1970;
    int month = 1;   // 1-12
    int day = 1;     // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4;  // 0 = Sunday … 6 = Saturday

    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime Now() const = 0;
};

// The machine's local time (localtime_r).
class SystemClock final : public Clock {
public:
    LocalTime Now() const override;
};

// Day of the week of a calendar date, 0 = Sunday.
int WeekdayOf(int year, int month, int day);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// "YYYYMMDD", for file and folder names.
std::string DateStamp(const LocalTime& t);
// " YYYY/MM/DD HH:MM" (leading blank), for logs and the job list.
std::string LogTimeStamp(const LocalTime& t);
// "HH:MM:SS" for a duration in seconds.
std::string DurationText(long long seconds);

}  // namespace zorva
