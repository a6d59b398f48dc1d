#pragma once
// The file a download is written to until it is complete: a hidden name beside the target,
// renamed to the target only by Commit and removed otherwise.
//
// libcurl hands the bytes over in pieces of 16 KiB whatever its receive buffer. The receiving
// thread only copies them into blocks of 1 MiB; a writer thread writes each full block with one
// system call, a hash thread hashes the written blocks, and another thread pushes what has been
// written to disk as the download goes on, so that making the file durable at the end costs little.
// Receiving waits only when every block is still being written.

#include <sys/types.h>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

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

    // False on a write error or past the limit. A write error may show a few blocks late, and
    // at the latest in Commit.
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
    struct Block {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
    };

    bool TakeBlock();
    void HandOver();
    void StopWriter(bool discard);
    void Pass(Block block, std::deque<Block>& queue, std::condition_variable& ready);
    std::optional<Block> NextBlock(std::deque<Block>& queue, std::condition_variable& ready,
                                   const bool& stopping);
    void WriterLoop();
    void HashLoop();
    void FreeBlock(Block block);
    void WriteBlock(const Block& block);
    void StopWriteback();
    void WritebackLoop();

    std::filesystem::path target_;
    std::uint64_t limit_;
    std::uint64_t received_ = 0;
    std::filesystem::path path_;
    UniqueFd fd_;
    bool committed_ = false;
    std::error_code error_;
    std::optional<Sha256> hash_;  // fed by the hash thread, in the order of the writes
    std::optional<std::string> digest_;
    Block filling_;  // the receiving thread's

    std::mutex mutex_;
    std::condition_variable blockFull_;     // the writer has work, or the end came
    std::condition_variable blockFree_;     // a written block is back
    std::condition_variable chunkReady_;    // the writeback has work, or the end came
    std::condition_variable blockWritten_;  // the hash has work, or the end came
    std::deque<Block> full_;                // handed over, oldest first
    std::deque<Block> writtenBlocks_;       // written, waiting for the hash, oldest first
    std::vector<Block> free_;
    std::size_t blocks_ = 0;  // made so far
    std::error_code writeError_;
    std::atomic<bool> failed_ = false;  // writeError_ is set
    bool writerStopping_ = false;
    bool hasherStopping_ = false;
    bool discarding_ = false;  // an abandoned download: blocks still handed over go unwritten
    off_t written_ = 0;        // bytes written so far
    bool writebackStopping_ = false;
    std::thread writer_;
    std::thread hasher_;
    std::thread writeback_;
};

}  // namespace zorva
