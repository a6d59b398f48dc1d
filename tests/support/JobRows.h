#pragma once
#include <string>
#include <utility>

#include "common/JobResultLog.h"

namespace zorva::test {

inline LocalTime At(int year, int month, int day, int hour, int minute) {
    return LocalTime{year, month, day, hour, minute, 0, 0};
}

// A row of library PAYLIB, type *FILE, with the given outcome and download times.
inline JobObjectRow Row(std::string object, int status, LocalTime start = kNoTime,
                        LocalTime end = kNoTime) {
    JobObjectRow row;
    row.library = "PAYLIB";
    row.object = std::move(object);
    row.type = "*FILE";
    row.rowStatus = static_cast<RowStatus>(status);  // the number the result log speaks of
    row.downloadStart = start;
    row.downloadEnd = end;
    return row;
}

}  // namespace zorva::test
