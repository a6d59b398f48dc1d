#include "common/host/DownloadFile.h"

#include "common/FileIo.h"
#include "common/SavedData.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace zorva {
namespace {

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
    if (fd_.valid()) {
        StartWriteback();
    } else {
        error_ = LastError();
    }
}

DownloadFile::~DownloadFile() {
    StopWriteback();
    fd_.reset();
    if (!committed_ && !path_.empty()) ::unlink(path_.c_str());
}

bool DownloadFile::Write(const char* data, std::size_t size) {
    if (size > limit_ - received_) return false;
    received_ += size;
    if (!WriteAll(fd_.get(), std::string_view(data, size))) {
        error_ = LastError();
        return false;
    }
    if (hash_) hash_->Update(data, size);
    {
        std::lock_guard lock(mutex_);
        written_ += static_cast<off_t>(size);
    }
    wake_.notify_one();
    return true;
}

bool DownloadFile::Commit() {
    StopWriteback();
    if (::fsync(fd_.get()) != 0) error_ = LastError();
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

void DownloadFile::StartWriteback() {
    writeback_ = std::thread([this] { WritebackLoop(); });
}

void DownloadFile::StopWriteback() {
    if (!writeback_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    writeback_.join();
}

void DownloadFile::WritebackLoop() {
    off_t started = 0;  // everything before this has been handed to the disk
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || written_ - started >= kWritebackChunk; });
            if (stopping_) return;
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
