#include "common/host/DownloadFile.h"

#include "common/FileIo.h"
#include "common/SavedData.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

namespace zorva {
namespace {

// One write and one hash update per block: large enough that the system call costs nothing
// beside the copy, small enough to stay in the cache between the write and the hash.
constexpr std::size_t kBlockSize = 1 << 20;
// Blocks in flight at most: the slack for a writer that waits for a core.
constexpr std::size_t kMaxBlocks = 8;
// Written data is handed to the disk in pieces of this size.
constexpr off_t kWritebackChunk = 8 << 20;

}  // namespace

DownloadFile::DownloadFile(std::filesystem::path target, std::uint64_t limit, DownloadDigest digest)
    : target_(std::move(target)), limit_(limit) {
    if (digest == DownloadDigest::Sha256) hash_.emplace();
    std::random_device random;
    const std::filesystem::path folder = target_.parent_path();
    for (int tries = 0; tries < 16 && !fd_.valid(); ++tries) {
        path_ = folder /
                DownloadTemporaryName(target_.filename().string(), static_cast<unsigned>(random()));
        // Private from the start: save files hold payroll and *ALLUSR data.
        fd_.reset(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!fd_.valid() && errno != EEXIST) break;
    }
    if (!fd_.valid()) {
        error_ = LastError();
        return;
    }
    writer_ = std::thread([this] { WriterLoop(); });
    if (hash_) hasher_ = std::thread([this] { HashLoop(); });
    writeback_ = std::thread([this] { WritebackLoop(); });
}

DownloadFile::~DownloadFile() {
    StopWriter(true);
    StopWriteback();
    fd_.reset();
    if (!committed_ && !path_.empty()) ::unlink(path_.c_str());
}

bool DownloadFile::Write(const char* data, std::size_t size) {
    if (size > limit_ - received_) return false;
    received_ += size;
    while (size > 0) {
        if (!filling_.bytes && !TakeBlock()) return false;
        const std::size_t piece = std::min(size, kBlockSize - filling_.size);
        std::memcpy(filling_.bytes.get() + filling_.size, data, piece);
        filling_.size += piece;
        data += piece;
        size -= piece;
        if (filling_.size == kBlockSize) HandOver();
    }
    return !failed_.load(std::memory_order_relaxed);
}

// A block to fill: a new one while fewer than kMaxBlocks exist, else the next one written.
bool DownloadFile::TakeBlock() {
    std::unique_lock lock(mutex_);
    if (free_.empty() && blocks_ < kMaxBlocks) {
        ++blocks_;
        lock.unlock();
        filling_.bytes = std::make_unique_for_overwrite<char[]>(kBlockSize);
        return true;
    }
    blockFree_.wait(lock, [&] { return !free_.empty(); });
    filling_ = std::move(free_.back());
    free_.pop_back();
    return !failed_.load(std::memory_order_relaxed);
}

void DownloadFile::HandOver() {
    Pass(std::exchange(filling_, {}), full_, blockFull_);
}

// Ends the writer thread after it has written every block handed over (or, when `discard`,
// dropped them).
void DownloadFile::StopWriter(bool discard) {
    if (!writer_.joinable()) return;
    if (!discard && filling_.size > 0) HandOver();
    {
        std::lock_guard lock(mutex_);
        writerStopping_ = true;
        discarding_ = discard;
    }
    blockFull_.notify_one();
    writer_.join();
    if (!hasher_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        hasherStopping_ = true;
    }
    blockWritten_.notify_one();
    hasher_.join();
}

bool DownloadFile::Commit() {
    StopWriter(false);
    {
        std::lock_guard lock(mutex_);
        error_ = writeError_;
    }
    StopWriteback();
    if (!error_ && ::fsync(fd_.get()) != 0) error_ = LastError();
    if (!fd_.Close() && !error_) error_ = LastError();
    if (error_ || ::rename(path_.c_str(), target_.c_str()) != 0) {
        if (!error_) error_ = LastError();
        return false;
    }
    committed_ = true;
    if (hash_) digest_ = hash_->HexDigest();
    // Until the folder is synced the new name may not survive a power loss, and the caller
    // deletes the host's copy next: a failed sync makes the download a failed one.
    if (!SyncFolder(target_.parent_path())) error_ = LastError();
    return !error_;
}

std::size_t DownloadFile::Receive(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<DownloadFile*>(self)->Write(data, size * count) ? size * count : 0;
}

// Puts `block` at the end of `queue` and wakes the thread waiting on `ready`.
void DownloadFile::Pass(Block block, std::deque<Block>& queue, std::condition_variable& ready) {
    {
        std::lock_guard lock(mutex_);
        queue.push_back(std::move(block));
    }
    ready.notify_one();
}

// The oldest block of `queue` once there is one; none when `stopping` came with the queue empty,
// or when the download is abandoned.
std::optional<DownloadFile::Block> DownloadFile::NextBlock(std::deque<Block>& queue,
                                                           std::condition_variable& ready,
                                                           const bool& stopping) {
    std::unique_lock lock(mutex_);
    ready.wait(lock, [&] { return !queue.empty() || stopping; });
    if (queue.empty() || discarding_) return std::nullopt;
    Block block = std::move(queue.front());
    queue.pop_front();
    return block;
}

void DownloadFile::WriterLoop() {
    while (std::optional<Block> next = NextBlock(full_, blockFull_, writerStopping_)) {
        Block block = std::move(*next);
        if (!failed_.load(std::memory_order_relaxed)) WriteBlock(block);
        if (hash_) {
            Pass(std::move(block), writtenBlocks_, blockWritten_);
        } else {
            FreeBlock(std::move(block));
        }
    }
}

// The hash runs beside the writes rather than after each: the page cache, and so the disk,
// get the bytes at the pace of the writes alone.
void DownloadFile::HashLoop() {
    while (std::optional<Block> block = NextBlock(writtenBlocks_, blockWritten_, hasherStopping_)) {
        hash_->Update(block->bytes.get(), block->size);
        FreeBlock(std::move(*block));
    }
}

void DownloadFile::FreeBlock(Block block) {
    block.size = 0;
    {
        std::lock_guard lock(mutex_);
        free_.push_back(std::move(block));
    }
    blockFree_.notify_one();
}

void DownloadFile::WriteBlock(const Block& block) {
    if (!WriteAll(fd_.get(), std::string_view(block.bytes.get(), block.size))) {
        std::lock_guard lock(mutex_);
        writeError_ = LastError();
        failed_.store(true, std::memory_order_relaxed);
        return;
    }
    bool chunkDone = false;
    {
        std::lock_guard lock(mutex_);
        const off_t before = written_;
        written_ += static_cast<off_t>(block.size);
        chunkDone = written_ / kWritebackChunk != before / kWritebackChunk;
    }
    // The writeback sleeps until a whole chunk is there: one wake-up per chunk, not per block.
    if (chunkDone) chunkReady_.notify_one();
}

void DownloadFile::StopWriteback() {
    if (!writeback_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        writebackStopping_ = true;
    }
    chunkReady_.notify_one();
    writeback_.join();
}

void DownloadFile::WritebackLoop() {
    off_t started = 0;  // everything before this has been handed to the disk
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            chunkReady_.wait(
                lock, [&] { return writebackStopping_ || written_ - started >= kWritebackChunk; });
            if (writebackStopping_) return;
        }
        // Start writing the next piece, then wait for the one before it and drop its pages
        // from the cache: the disk keeps busy while memory use stays flat.
        ::sync_file_range(fd_.get(), started, kWritebackChunk, SYNC_FILE_RANGE_WRITE);
        if (started >= kWritebackChunk) {
            const off_t previous = started - kWritebackChunk;
            ::sync_file_range(
                fd_.get(), previous, kWritebackChunk,
                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
            ::posix_fadvise(fd_.get(), previous, kWritebackChunk, POSIX_FADV_DONTNEED);
        }
        started += kWritebackChunk;
    }
}

}  // namespace zorva
