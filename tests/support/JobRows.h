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
    row.Library = "PAYLIB";
    row.Object = std::move(object);
    row.Type = "*FILE";
    row.RowStatus = status;
    row.DownloadStart = start;
    row.DownloadEnd = end;
    return row;
}

}  // namespace zorva::test
