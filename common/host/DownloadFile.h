#pragma once
// The file a download is written to until it is complete: a hidden name beside the target,
// renamed to the target only by Commit and removed otherwise. A background thread pushes what
// has been written to disk as the download goes on, so that making the file durable at the
// end costs little and receiving never waits for the disk.

#include <sys/types.h>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "common/Sha256.h"
#include "common/UniqueFd.h"

namespace zorva {

enum class DownloadDigest { None, Sha256 };

class DownloadFile {
public:
    // More than `limit` bytes make Write fail (a text file that never ends must not fill the
    // disk). With DownloadDigest::Sha256 the bytes are hashed as they are written, so the
    // checksum of a save file costs no second read.
    explicit DownloadFile(std::filesystem::path target,
                          std::uint64_t limit = std::numeric_limits<std::uint64_t>::max(),
                          DownloadDigest digest = DownloadDigest::None);
    ~DownloadFile();
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;

    bool Opened() const { return fd_.valid(); }
    const std::filesystem::path& TemporaryPath() const { return path_; }

    // False on a write error or past the limit.
    bool Write(const char* data, std::size_t size);
    // Why the file could not be created, written or committed (the system's error); empty
    // when nothing failed on the PC's side (a download past its limit included).
    std::error_code LocalError() const { return error_; }
    // Makes the file durable and gives it the target's name, then syncs the folder so that the
    // name survives a power loss. False when any step fails: before the rename the target is
    // left as it was.
    bool Commit();
    // After a successful Commit, the SHA-256 of the committed bytes (64 hex digits) when one
    // was asked for.
    const std::optional<std::string>& Sha256Digest() const { return digest_; }

    // A libcurl write callback writing into the DownloadFile passed as `self`.
    static std::size_t Receive(char* data, std::size_t size, std::size_t count, void* self);

private:
    void StartWriteback();
    void StopWriteback();
    void WritebackLoop();

    std::filesystem::path target_;
    std::uint64_t limit_;
    std::uint64_t received_ = 0;
    std::filesystem::path path_;
    UniqueFd fd_;
    bool committed_ = false;
    std::error_code error_;
    std::optional<BackgroundSha256> hash_;
    std::optional<std::string> digest_;

    std::mutex mutex_;
    std::condition_variable wake_;
    off_t written_ = 0;  // bytes written so far
    bool stopping_ = false;
    std::thread writeback_;
};

}  // namespace zorva
