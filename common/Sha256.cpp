#include "common/Sha256.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "common/UniqueFd.h"

namespace zorva {
namespace {

// Large enough that the system call per chunk costs nothing beside the hash, small enough to
// stay in the cache.
constexpr std::size_t kChunkSize = 1 << 20;
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

std::string HexText(const unsigned char* bytes, unsigned size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (unsigned i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

Unexpected ReadFailure(const std::filesystem::path& path, int error) {
    return MakeFailure(error == ENOENT ? FailureCode::NotFound : FailureCode::ReadFailed,
                       path.string() + "を読み取れない：" +
                           std::error_code(error, std::generic_category()).message());
}

}  // namespace

struct Sha256::Context {
    std::unique_ptr<EVP_MD_CTX, ContextFree> evp{EVP_MD_CTX_new()};

    void Start() {
        // Only fails when OpenSSL cannot allocate; nothing could be hashed then.
        if (!evp || EVP_DigestInit_ex(evp.get(), EVP_sha256(), nullptr) != 1)
            throw std::runtime_error("SHA-256 is not available");
    }
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
    context_->Start();
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(const void* data, std::size_t size) {
    EVP_DigestUpdate(context_->evp.get(), data, size);
}

std::string Sha256::HexDigest() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    EVP_DigestFinal_ex(context_->evp.get(), digest, &size);
    context_->Start();
    return HexText(digest, size);
}

Expected<std::string> Sha256OfFile(const std::filesystem::path& path,
                                   const ChunkCallback& onChunk) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return ReadFailure(path, errno);
    // Read once from start to end: the kernel may read ahead as far as it likes.
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha256 hash;
    std::vector<char> buffer(kChunkSize);
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ReadFailure(path, errno);
        if (n == 0) break;
        hash.Update(buffer.data(), static_cast<std::size_t>(n));
        if (onChunk && !onChunk(static_cast<std::size_t>(n)))
            return MakeFailure(FailureCode::ReadFailed, path.string() + "の検証を中断した");
    }
    return hash.HexDigest();
}

}  // namespace zorva
