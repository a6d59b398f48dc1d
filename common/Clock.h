#pragma once
// The local calendar time, behind an interface so that rules about days and hours can be
// tested at any moment.

#include "common/DateTime.h"

namespace zorva {

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

}  // namespace zorva
