#include "common/SavlibsRecord.h"

#include "common/TextFields.h"

namespace zorva {
namespace {

std::string FieldUpToBlank(std::string_view field) {
    return std::string(field.substr(0, field.find(' ')));
}

}  // namespace

std::string BuildSavlibsRecord(const SavlibsRecord& record) {
    std::string line;
    line += record.code;
    line += PadRight(record.object, 10);
    line += PadRight(record.library, 10);
    line += PadRight(record.type, 10);
    line += record.status;
    line += "\r\n";
    return line;
}

std::optional<SavlibsRecord> ParseSavlibsLine(std::string_view line) {
    if (line.size() != kSavlibsLineSize) return std::nullopt;
    return SavlibsRecord{line[0], FieldUpToBlank(line.substr(1, 10)),
                         FieldUpToBlank(line.substr(11, 10)), FieldUpToBlank(line.substr(21, 10)),
                         line[31]};
}

}  // namespace zorva
