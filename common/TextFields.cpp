#include "common/TextFields.h"

namespace zorva {

std::vector<std::string_view> SplitRuns(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> pieces;
    std::size_t start = text.find_first_not_of(separators);
    while (start != std::string_view::npos) {
        std::size_t end = text.find_first_of(separators, start);
        pieces.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        start = end == std::string_view::npos ? end : text.find_first_not_of(separators, end);
    }
    return pieces;
}

std::string PadRight(std::string_view text, std::size_t width) {
    std::string field(text.substr(0, width));
    field.resize(width, ' ');
    return field;
}

}  // namespace zorva
