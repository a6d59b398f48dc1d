#pragma once
// What the job list shows: its columns and one row of texts per job.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "velmoro/engine/JobTable.h"

namespace zorva::velmoro {

struct JobListColumn {
    std::string_view header;
    int width;
};

inline constexpr std::size_t kJobListColumnCount = 8;
inline constexpr std::array<JobListColumn, kJobListColumnCount> kJobListColumns{{
    {"活動", 40},
    {"ＩＤ", 80},
    {"投入日時", 105},
    {"前回実行日時", 105},
    {"次回実行日時", 105},
    {"前回処理時間", 90},
    {"起動方法", 80},
    {"状況", 50},
}};

inline constexpr std::string_view kActiveText = "活動";
inline constexpr std::string_view kStoppedText = "停止";

using JobListRow = std::array<std::string, kJobListColumnCount>;

// The row of one job: the next run shows for PC start jobs only.
JobListRow JobListRowFor(const JobRecord& job);
// One row per job, in table order.
std::vector<JobListRow> JobListRows(const JobTable& table);

}  // namespace zorva::velmoro
