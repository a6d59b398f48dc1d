#include "common/host/HostListing.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace zorva {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while ((at = line.find_first_not_of(" \t", at)) != std::string_view::npos) {
        const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

// "-rw-r--r--", "drwx------": a Unix-style line begins with its permissions.
bool UnixPermissions(std::string_view word) {
    return word.size() == 10 && word.find_first_not_of("-dlrwxsStT", 0) == std::string_view::npos;
}

}  // namespace

std::optional<std::int64_t> ListedFileSize(std::string_view listing) {
    const auto words = Words(listing.substr(0, listing.find_first_of("\r\n")));
    if (words.size() < 2) return std::nullopt;
    const std::size_t column = UnixPermissions(words[0]) ? 4 : 1;
    if (words.size() <= column) return std::nullopt;
    const std::string_view text = words[column];
    std::int64_t size = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    if (error != std::errc() || end != text.data() + text.size() || size < 0) return std::nullopt;
    return size;
}

}  // namespace zorva
