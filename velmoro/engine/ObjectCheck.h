#pragma once
// The object existence check: the host confirms that every object of a set's list exists.
// The list goes up as ZORVADATA/CHKOBJF, ZORVAV3/IFEXIST answers in the same file with '9'
// for each missing object and writes ZORVADATA/VERIFIED when done; missing objects' rows are
// marked (checkMark -1).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"
#include "common/Waiter.h"
#include "common/host/HostConnection.h"
#include "velmoro/engine/HostTaskResult.h"

namespace zorva::velmoro {

inline constexpr std::string_view kCheckListName = "CHKOBJF";
inline constexpr std::string_view kVerifiedName = "VERIFIED";
inline constexpr int kCheckFetchAttempts = 100;  // one second apart
inline constexpr std::size_t kCheckAnswerReadLimit = 9900;

// True for a generic name the host cannot check (last character '*'), except on *SPL rows.
bool IsSkippedGenericRow(const ObjectRow& row);

// The CHKOBJF the PC sends: one 34-byte record per row to check, in row order.
std::string BuildCheckList(const std::vector<ObjectRow>& rows, std::size_t count);

// Marks the rows the host's answer names as missing ('9' in byte 31; any other status, or
// none, means the object exists). Resets every mark first. A line marks the row at its own
// position when that row names the same object, else every row that does. Returns whether any
// object is missing; `complete` tells whether the answer holds one line per record of
// `sentList`, each with the fields of the record at its place (a line cut short by the
// transfer's trimmed trailing blanks included); anything else is no answer.
bool MarkMissingObjects(std::string_view answer, std::string_view sentList,
                        std::vector<ObjectRow>& rows, bool& complete);

// Checks the first `count` rows on the host. `rows` are the editor's 99 rows; their marks are
// reset and set from the host's answer. Every wait goes through `waiter`; an interrupted
// waiter ends the check without a result text. The local CHKOBJF and VERIFIED stay in the
// program folder.
HostTaskResult CheckObjectsOnHost(HostConnection& host, Waiter& waiter,
                                  const std::filesystem::path& programFolder,
                                  std::vector<ObjectRow>& rows, std::size_t count);

// The text the editor shows for a finished check: the outcome, or on failure the check's
// error heading, a line break and the outcome.
std::string ObjectCheckMessage(const HostTaskResult& result);

}  // namespace zorva::velmoro
