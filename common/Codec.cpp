#include "common/Codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace zorva {
namespace {

// One conversion descriptor per call keeps the functions thread-safe without locks.
class Iconv {
public:
    // Without the C library's CP932 tables no file of the system can be read or written, and a
    // "?" for every character would silently corrupt the set and job files on the next save:
    // the program stops at once and says why instead.
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) return;
        std::fprintf(stderr, "no %s to %s conversion: the C library's iconv tables are missing\n",
                     from, to);
        std::abort();
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts `in`; an unconvertible or invalid sequence of `skip(in)` bytes becomes "?".
    template <typename Skip>
    std::string Convert(std::string_view in, Skip skip) {
        std::string out;
        out.reserve(in.size() * 2);
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        char buffer[1024];
        while (left > 0) {
            char* dst = buffer;
            std::size_t room = sizeof buffer;
            std::size_t rc = iconv(cd_, &src, &left, &dst, &room);
            out.append(buffer, dst);
            if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
            // EILSEQ or EINVAL: replace one character and go on.
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            std::size_t n = skip(std::string_view(src, left));
            src += n;
            left -= n;
            out += '?';
        }
        return out;
    }

private:
    iconv_t cd_;
};

// Bytes to skip at an unconvertible spot: a whole character when it is well-formed UTF-8,
// else the one bad byte.
std::size_t Utf8SequenceLength(std::string_view s) {
    auto lead = static_cast<unsigned char>(s[0]);
    std::size_t n = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 1;
    if (n > s.size()) return 1;
    for (std::size_t i = 1; i < n; ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
    }
    return n;
}

bool IsCp932Lead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::size_t Cp932SequenceLength(std::string_view s) {
    return IsCp932Lead(static_cast<unsigned char>(s[0])) && s.size() >= 2 ? 2 : 1;
}

}  // namespace

std::string ToCp932(std::string_view utf8) {
    return Iconv("CP932", "UTF-8").Convert(utf8, Utf8SequenceLength);
}

std::string FromCp932(std::string_view cp932) {
    return Iconv("UTF-8", "CP932").Convert(cp932, Cp932SequenceLength);
}

std::size_t Cp932PrefixLength(std::string_view cp932, std::size_t width) {
    std::size_t i = 0;
    while (i < cp932.size()) {
        std::size_t n = IsCp932Lead(static_cast<unsigned char>(cp932[i])) ? 2 : 1;
        if (i + n > width) break;
        i += n;
    }
    return i < cp932.size() ? i : cp932.size();
}

std::string CutCp932(std::string_view cp932, std::size_t width) {
    return std::string(cp932.substr(0, Cp932PrefixLength(cp932, width)));
}

std::string CutToCp932Width(std::string_view utf8, std::size_t width) {
    std::string cp = ToCp932(utf8);
    if (cp.size() <= width) return std::string(utf8);
    return FromCp932(CutCp932(cp, width));
}

std::size_t Cp932Width(std::string_view utf8) {
    return ToCp932(utf8).size();
}

}  // namespace zorva
