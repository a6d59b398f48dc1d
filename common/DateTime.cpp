#include "common/DateTime.h"

#include <cstdio>

namespace zorva {
namespace {

using std::chrono::day;
using std::chrono::days;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month_day;

// The first of a month that is always valid, so that day arithmetic from it is defined.
year_month_day FirstOf(int y, int m) {
    return year{y} / month{static_cast<unsigned>(m < 1 ? 1 : m > 12 ? 12 : m)} / day{1};
}

// Texts are formatted from the plain numbers, as the original texts were.
template <typename... Numbers>
std::string Format(const char* pattern, Numbers... numbers) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, numbers...);
    return text;
}

}  // namespace

year_month_day CalendarDate(int y, int m, int d) {
    return year_month_day{sys_days{FirstOf(y, m)} + days{d - 1}};
}

year_month_day CalendarDate(const LocalTime& t) {
    return CalendarDate(t.year, t.month, t.day);
}

year_month_day AddDays(year_month_day date, int count) {
    return year_month_day{sys_days{date} + days{count}};
}

int WeekdayOf(int y, int m, int d) {
    return static_cast<int>(std::chrono::weekday{sys_days{CalendarDate(y, m, d)}}.c_encoding());
}

bool IsLeapYear(int y) {
    return year{y}.is_leap();
}

int DaysInMonth(int y, int m) {
    if (m < 1 || m > 12) return 0;
    return static_cast<int>(
        unsigned{(year{y} / month{static_cast<unsigned>(m)} / std::chrono::last).day()});
}

long long DaySerial(int y, int m, int d) {
    return (sys_days{FirstOf(y, m)} + days{d - 1}).time_since_epoch().count();
}

// Four year digits, so that the byte order of two stamps is their date order.
std::string DateStamp(const LocalTime& t) {
    return Format("%04d%02d%02d", t.year, t.month, t.day);
}

std::string DateStamp(year_month_day date) {
    return Format("%04d%02u%02u", static_cast<int>(date.year()), unsigned{date.month()},
                  unsigned{date.day()});
}

std::string MinuteStamp(const LocalTime& t) {
    return Format("%d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute);
}

std::string LogTimeStamp(const LocalTime& t) {
    return " " + MailTimeStamp(t);
}

std::string MailTimeStamp(const LocalTime& t) {
    return Format("%d/%02d/%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
}

std::string JapaneseDateTime(const LocalTime& t) {
    return Format("%d年%02d月%02d日 %02d時%02d分%02d秒", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
}

std::string DurationText(long long seconds) {
    if (seconds < 0) seconds = 0;
    return Format("%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

}  // namespace zorva
