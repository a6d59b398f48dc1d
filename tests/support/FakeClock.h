#pragma once
#include "common/Clock.h"

namespace zorva::test {

// A clock that shows whatever the test sets; weekday follows the date.
class FakeClock final : public Clock {
public:
    explicit FakeClock(int year = 2026, int month = 1, int day = 1, int hour = 0, int minute = 0,
                       int second = 0) {
        Set(year, month, day, hour, minute, second);
    }
    void Set(int year, int month, int day, int hour, int minute, int second = 0) {
        now_ = LocalTime{year, month, day, hour, minute, second, WeekdayOf(year, month, day)};
    }
    LocalTime Now() const override { return now_; }

private:
    LocalTime now_;
};

}  // namespace zorva::test
