#pragma once
// Splitting of the system's delimited text files, where a run of separators counts as one and
// empty pieces vanish.

#include <string>
#include <string_view>
#include <vector>

namespace zorva {

// Pieces of `text` between any of the `separators`; runs count as one, empty pieces vanish.
std::vector<std::string_view> SplitRuns(std::string_view text, std::string_view separators);

// The non-empty lines of `text` (split at CR and LF).
inline std::vector<std::string_view> SplitLines(std::string_view text) {
    return SplitRuns(text, "\r\n");
}

// `text` left-aligned in a field of `width` bytes, blank-padded or cut.
std::string PadRight(std::string_view text, std::size_t width);

}  // namespace zorva
