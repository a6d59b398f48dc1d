// The host's progress list, line by line as the transfer agent reads it: a line it takes is a
// record whose names fit their 10 bytes without blanks, that builds back to the same line, and
// whose save file can only land directly inside the save folder.

#include <filesystem>
#include <string>

#include "common/SavedData.h"
#include "common/SavlibsRecord.h"
#include "common/TextFields.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

bool Name(const std::string& name) {
    return name.size() <= 10 && name.find(' ') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorva;
    const std::filesystem::path folder = "/save/DAILY/20260101";
    const std::string_view list(reinterpret_cast<const char*>(data), size);
    for (const std::string_view line : SplitLines(list)) {
        const std::optional<SavlibsRecord> record = ParseSavlibsLine(line);
        FUZZ_CHECK(record.has_value() == (line.size() == kSavlibsLineSize));
        if (!record) continue;
        FUZZ_CHECK(Name(record->object) && Name(record->library) && Name(record->type));
        const std::string built = BuildSavlibsRecord(*record);
        FUZZ_CHECK(built.size() == kSavlibsRecordSize && built.ends_with("\r\n"));
        FUZZ_CHECK(ParseSavlibsLine(std::string_view(built).substr(0, kSavlibsLineSize)) == record);
        if (const auto path = SaveFilePath(folder, record->object)) {
            FUZZ_CHECK(path->parent_path() == folder);
            FUZZ_CHECK(path->lexically_normal().parent_path() == folder);
            FUZZ_CHECK(path->filename() != "." && path->filename() != "..");
        }
    }
    return 0;
}
