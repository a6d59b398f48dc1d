#include "velmoro/engine/Schedule.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace zorva::velmoro {
namespace {

struct Date {
    int year;
    int month;
    int day;
};

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A save time is four digits HHMM of a real clock time; anything else gives no next run, so
// that a job never shows or waits for a moment that cannot come.
bool IsSaveTime(std::string_view text) {
    if (text.size() != 4 || !AllDigits(text)) return false;
    int value = std::stoi(std::string(text));
    return value / 100 <= 23 && value % 100 <= 59;
}

// The given day as typed: one or two digits, 1 to 31. A 31 stays 31 in a shorter month.
std::optional<int> GivenDay(std::string_view text) {
    if (text.empty() || text.size() > 2 || !AllDigits(text)) return std::nullopt;
    int day = std::stoi(std::string(text));
    if (day < 1 || day > 31) return std::nullopt;
    return day;
}

// The moment of a next run; the day may lie past its month's end (a given day 31 stays 31).
LocalTime RunMoment(const Date& date, int hour, int minute, int second) {
    const int weekday = WeekdayOf(date.year, date.month, date.day);
    return LocalTime{date.year, date.month, date.day, hour, minute, second, weekday};
}

// The date `days` after today, across month and year ends.
Date DaysAfter(const LocalTime& now, int days) {
    const std::chrono::year_month_day date = AddDays(CalendarDate(now), days);
    return Date{static_cast<int>(date.year()), static_cast<int>(unsigned{date.month()}),
                static_cast<int>(unsigned{date.day()})};
}

Date NextMonth(Date d, int day) {
    return d.month == 12 ? Date{d.year + 1, 1, day} : Date{d.year, d.month + 1, day};
}

// Flags are Monday first; a position the text does not reach counts as not ticked.
std::optional<Date> NextTickedWeekday(std::string_view flags, const LocalTime& now, bool later) {
    auto ticked = [&](int position) {
        std::size_t i = static_cast<std::size_t>(position % 7);
        return i < flags.size() && flags[i] == '1';
    };
    const int today = (now.weekday + 6) % 7;
    if (ticked(today) && later) return Date{now.year, now.month, now.day};
    for (int k = ticked(today) ? today + 1 : today; k <= 13; ++k) {
        if (ticked(k)) return DaysAfter(now, k - today);
    }
    return std::nullopt;
}

std::optional<Date> NextMonthlyDate(const BackupSet& set, const LocalTime& now, bool later) {
    const Date today{now.year, now.month, now.day};
    switch (set.monthlyKind) {
        case MonthlyKind::FirstDay:
            if (now.day == 1 && later) return today;
            return NextMonth(today, 1);
        case MonthlyKind::LastDay: {
            int last = DaysInMonth(now.year, now.month);
            if (now.day != last) return Date{now.year, now.month, last};
            if (later) return today;
            if (now.month == 12) return Date{now.year + 1, 1, 31};
            return Date{now.year, now.month + 1, DaysInMonth(now.year, now.month + 1)};
        }
        case MonthlyKind::GivenDay: {
            std::optional<int> given = GivenDay(set.monthDay);
            if (!given) return std::nullopt;
            if (now.day < *given) return Date{now.year, now.month, *given};
            if (now.day == *given && later) return today;
            return NextMonth(today, *given);
        }
        default:
            return std::nullopt;
    }
}

std::optional<Date> NextDate(const BackupSet& set, const LocalTime& now, bool later) {
    if (set.scheduleKind != ScheduleKind::Daily) return NextMonthlyDate(set, now, later);
    if (set.dailyKind != DailyKind::EveryDay) {
        return NextTickedWeekday(set.weekdayFlags, now, later);
    }
    if (later) return Date{now.year, now.month, now.day};
    return DaysAfter(now, 1);
}

// "YYYY/MM/DD HH:MM". A given-day schedule shows its day as typed, right-aligned with a blank,
// except on that very day.
std::string NextRunText(const BackupSet& set, const Date& date, const LocalTime& now) {
    char text[64];
    bool givenDay = set.scheduleKind != ScheduleKind::Daily &&
                    set.monthlyKind == MonthlyKind::GivenDay && GivenDay(set.monthDay) != now.day;
    if (givenDay) {
        std::snprintf(text, sizeof text, "%04d/%02d/%2s ", date.year, date.month,
                      set.monthDay.c_str());
    } else {
        std::snprintf(text, sizeof text, "%04d/%02d/%02d ", date.year, date.month, date.day);
    }
    return text + set.saveTime.substr(0, 2) + ":" + set.saveTime.substr(2, 2);
}

long long SecondsSinceOrigin(const LocalTime& t) {
    return DaySerial(t.year, t.month, t.day) * 86400 + t.hour * 3600LL + t.minute * 60LL + t.second;
}

// A number of the next run's text; a blank may lead (a given day shows as typed).
std::optional<int> ShownNumber(std::string_view text, int low, int high) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.empty() || !AllDigits(text)) return std::nullopt;
    const int value = std::stoi(std::string(text));
    if (value < low || value > high) return std::nullopt;
    return value;
}

// The next run as the job's text "YYYY/MM/DD HH:MM" shows it; false when the text is no moment.
bool TakeShownNextRun(JobRecord& job) {
    const std::string_view t = job.nextRunText;
    if (t.size() != 16 || t[4] != '/' || t[7] != '/' || t[10] != ' ' || t[13] != ':') return false;
    const auto year = ShownNumber(t.substr(0, 4), 1, 9999);
    const auto month = ShownNumber(t.substr(5, 2), 1, 12);
    const auto day = ShownNumber(t.substr(8, 2), 1, 31);
    const auto hour = ShownNumber(t.substr(11, 2), 0, 23);
    const auto minute = ShownNumber(t.substr(14, 2), 0, 59);
    if (!year || !month || !day || !hour || !minute) return false;
    job.nextRun = RunMoment(Date{*year, *month, *day}, *hour, *minute, 0);
    return true;
}

bool IsDue(const JobRecord& job, long long today, long long timeOfDay) {
    if (!job.active || job.startMethod != StartMethod::Pc || !job.nextRun) return false;
    const LocalTime& next = *job.nextRun;
    long long date = next.year * 10000LL + next.month * 100LL + next.day;
    long long time = next.hour * 100LL + next.minute;
    // Date and time of day are compared apart: a job whose day has passed waits for its time.
    return date <= today && time <= timeOfDay;
}

}  // namespace

void CalcNextRun(JobRecord& job, const SetTable& sets, const Clock& clock) {
    const LocalTime now = clock.Now();
    const std::optional<std::size_t> index = FindSetByName(sets, job.setName);
    if (!index) {
        if (!job.nextRun) TakeShownNextRun(job);
        return;
    }
    const BackupSet& set = sets.sets[*index];
    if (!IsSaveTime(set.saveTime)) return;

    char nowText[16];
    std::snprintf(nowText, sizeof nowText, "%02d%02d", now.hour, now.minute);
    // The present minute counts as passed: its run is taken as done.
    const bool later = set.saveTime > std::string_view(nowText);
    std::optional<Date> date = NextDate(set, now, later);
    if (!date) return;

    const int saveTime = std::stoi(set.saveTime);
    // Only FindDueJob sets the second (when it found the job due): it outlives a recalculation.
    const int second = job.nextRun ? job.nextRun->second : 0;
    job.nextRun = RunMoment(*date, saveTime / 100, saveTime % 100, second);
    job.nextRunText = NextRunText(set, *date, now);
}

DueWork FindDueJob(JobTable& table, const SetTable& sets, const Clock& clock) {
    const LocalTime now = clock.Now();
    const long long today = now.year * 10000LL + now.month * 100LL + now.day;
    const long long timeOfDay = now.hour * 100LL + now.minute;
    DueWork work;
    for (JobRecord& job : table.records) {
        if (!IsDue(job, today, timeOfDay)) continue;
        job.nextRun->second = now.second;
        if (const auto set = FindSetByName(sets, job.setName)) {
            work.kind = DueWork::Kind::Set;
            work.setIndex = *set;
            return work;
        }
        // Nothing can run it: say so once and let the jobs after it run.
        work.unloadedSets.push_back(job.setName);
        job.nextRun.reset();
    }
    bool hostStart = false;
    for (JobRecord& job : table.records) {
        if (!job.active || job.startMethod != StartMethod::Host) continue;
        job.nextRun = now;
        hostStart = true;
    }
    if (hostStart) work.kind = DueWork::Kind::HostStart;
    return work;
}

void CalcLastDuration(JobRecord& job, const Clock& clock) {
    const LocalTime now = clock.Now();
    // A job never found due has no start: it counts from the zero date.
    const LocalTime start = job.nextRun.value_or(LocalTime{0, 0, 0, 0, 0, 0, 0});
    job.lastDuration = DurationText(SecondsSinceOrigin(now) - SecondsSinceOrigin(start));
}

}  // namespace zorva::velmoro
