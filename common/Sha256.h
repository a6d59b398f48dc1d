#pragma once
// SHA-256 through OpenSSL's EVP interface, fed piece by piece: a download hashes the bytes it
// writes, a verification streams a file through it in chunks.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "common/Expected.h"

namespace zorva {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(Sha256&&) noexcept;
    Sha256& operator=(Sha256&&) noexcept;

    void Update(const void* data, std::size_t size);
    // The digest of everything fed so far as 64 lower-case hex digits; the hash starts over.
    std::string HexDigest();

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

// Called after each chunk with the bytes it held; returning false abandons the file.
using ChunkCallback = std::function<bool(std::size_t bytes)>;

// The SHA-256 of a file, read in chunks (never whole: save files can be gigabytes). A file that
// cannot be opened is NotFound when missing and ReadFailed otherwise; a read error, or the
// callback's false, is ReadFailed.
Expected<std::string> Sha256OfFile(const std::filesystem::path& path,
                                   const ChunkCallback& onChunk = {});

}  // namespace zorva
