#pragma once
// The 34-byte line exchanged with the host programs (save request, progress list, object
// check, restore list): a code, object, library and type blank-padded to 10 bytes each, one
// status or option character, CR LF.

#include <optional>
#include <string>
#include <string_view>

namespace zorva {

inline constexpr std::size_t kSavlibsRecordSize = 34;
inline constexpr std::size_t kSavlibsLineSize = 32;  // without CR LF

struct SavlibsRecord {
    char code = ' ';
    std::string object;   // CP932 bytes, at most 10
    std::string library;  // CP932 bytes, at most 10
    std::string type;     // CP932 bytes, at most 10
    char status = ' ';

    friend bool operator==(const SavlibsRecord&, const SavlibsRecord&) = default;
};

// The record's 34 bytes; longer names are cut to their 10 bytes.
std::string BuildSavlibsRecord(const SavlibsRecord& record);

// A line of exactly 32 bytes (no line end) as a record, names cut at their first blank;
// nullopt for any other length.
std::optional<SavlibsRecord> ParseSavlibsLine(std::string_view line);

}  // namespace zorva
