// A set file of any bytes becomes a set whose fields keep their widths, with at most 99 rows
// and none without a library; written out and read again it is the same set.

#include <string>

#include "common/BackupSet.h"
#include "common/Codec.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

bool Fits(const std::string& utf8, std::size_t width) {
    return zorva::ToCp932(utf8).size() <= width;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorva;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const BackupSet set = ParseSetFile(bytes, "FUZZ");
    FUZZ_CHECK(set.setName == "FUZZ");
    FUZZ_CHECK(Fits(set.description, kDescriptionWidth));
    FUZZ_CHECK(Fits(set.retentionDays, kRetentionWidth));
    FUZZ_CHECK(Fits(set.weekdayFlags, kWeekdayFlagsWidth));
    FUZZ_CHECK(Fits(set.saveTime, kSaveTimeWidth));
    FUZZ_CHECK(Fits(set.monthDay, kMonthDayWidth));
    FUZZ_CHECK(set.rows.size() <= kMaxRows);
    for (const ObjectRow& row : set.rows) {
        FUZZ_CHECK(!row.library.empty());
        FUZZ_CHECK(Fits(row.library, kObjectFieldWidth) && Fits(row.object, kObjectFieldWidth) &&
                   Fits(row.type, kObjectFieldWidth));
        FUZZ_CHECK(row.checkMark == 0);
    }
    // An empty description is stored as a single blank (an empty first line would vanish).
    BackupSet stored = set;
    if (stored.description.empty()) stored.description = " ";
    FUZZ_CHECK(ParseSetFile(FormatSetFile(set), "FUZZ") == stored);
    return 0;
}
