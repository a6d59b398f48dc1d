#pragma once
// Reading a server's LIST answer for one file: its size column. An IBM i server answers
// "OWNER SIZE DATE TIME TYPE NAME"; a Unix-style server (our simulator among them)
// "PERMISSIONS LINKS OWNER GROUP SIZE MONTH DAY TIME NAME".

#include <cstdint>
#include <optional>
#include <string_view>

namespace zorva {

// The size on the first line of `listing`; nullopt when that column holds no number.
std::optional<std::int64_t> ListedFileSize(std::string_view listing);

}  // namespace zorva
