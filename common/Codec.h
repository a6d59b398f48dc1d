#pragma once
// Conversion between the programs' UTF-8 text and the CP932 (Shift-JIS) bytes of every file.

#include <cstddef>
#include <string>
#include <string_view>

namespace zorva {

// UTF-8 to CP932; a character CP932 cannot hold (or a broken UTF-8 sequence) becomes "?".
std::string ToCp932(std::string_view utf8);

// CP932 to UTF-8; a byte sequence that is not CP932 becomes "?".
std::string FromCp932(std::string_view cp932);

// Length of the longest prefix of `cp932` that fits `width` bytes without splitting a
// two-byte character.
std::size_t Cp932PrefixLength(std::string_view cp932, std::size_t width);

// `cp932` cut to at most `width` bytes on a character boundary.
std::string CutCp932(std::string_view cp932, std::size_t width);

// UTF-8 text cut so that its CP932 form takes at most `width` bytes.
std::string CutToCp932Width(std::string_view utf8, std::size_t width);

// Width of `utf8` in CP932 bytes.
std::size_t Cp932Width(std::string_view utf8);

}  // namespace zorva
