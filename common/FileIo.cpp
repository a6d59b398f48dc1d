#include "common/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "common/UniqueFd.h"

namespace zorva {

std::error_code LastError() {
    // A failing call that set no reason (a write of nothing) still needs one.
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    while (bytes.size() < limit && in) {
        std::size_t want = std::min(sizeof buffer, limit - bytes.size());
        in.read(buffer, static_cast<std::streamsize>(want));
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    return bytes;
}

FileRead ReadExistingFile(const std::filesystem::path& path, std::size_t limit) {
    // Non-blocking, so that opening a pipe without a writer cannot hang the reader.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        return errno == ENOENT ? FileRead{} : FileRead{ReadOutcome::Unreadable, {}, errno};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return {ReadOutcome::Unreadable, {}, errno};
    if (!S_ISREG(info.st_mode)) {
        return {ReadOutcome::Unreadable, {}, S_ISDIR(info.st_mode) ? EISDIR : EINVAL};
    }
    std::string bytes(std::min<std::size_t>(limit, static_cast<std::size_t>(info.st_size)), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {ReadOutcome::Unreadable, {}, errno};
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return {ReadOutcome::Read, std::move(bytes), 0};
}

std::optional<std::string> ReadRegularFileBytes(const std::filesystem::path& path,
                                                std::size_t limit) {
    FileRead read = ReadExistingFile(path, limit);
    if (read.outcome != ReadOutcome::Read) return std::nullopt;
    return std::move(read.bytes);
}

bool SyncFolder(const std::filesystem::path& folder) {
    UniqueFd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

namespace {

// Gives the replacement the old file's owner and group. Only root may give a file away; any
// other writer's replacement stays its own, as a new file would.
bool KeepOwner(int fd, const struct stat* old) {
    struct stat now {};
    if (old == nullptr || ::fstat(fd, &now) != 0) return true;
    if (now.st_uid == old->st_uid && now.st_gid == old->st_gid) return true;
    return ::fchown(fd, old->st_uid, old->st_gid) == 0 || errno == EPERM;
}

}  // namespace

std::error_code TryWriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                       mode_t mode, ExistingMode existing) {
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (existing == ExistingMode::Keep && exists) mode = old.st_mode & 07777;

    std::string temp = path.string() + ".XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (fd.get() < 0) return LastError();
    bool ok = KeepOwner(fd.get(), exists ? &old : nullptr) && ::fchmod(fd.get(), mode) == 0 &&
              WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    std::error_code error = ok ? std::error_code() : LastError();
    if (!fd.Close() && !error) error = LastError();
    if (!error && ::rename(temp.c_str(), path.c_str()) != 0) error = LastError();
    if (error) {
        ::unlink(temp.c_str());
        return error;
    }
    SyncFolder(path.parent_path());  // make the rename itself durable
    return {};
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, mode_t mode,
                         ExistingMode existing) {
    return !TryWriteFileAtomically(path, bytes, mode, existing);
}

std::string LocalFileFailureText(const std::filesystem::path& path, std::error_code error) {
    return path.string() + "ローカルファイルが開けない：" + error.message();
}

bool AppendToFile(const std::filesystem::path& path, std::string_view bytes) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (fd.get() < 0) return false;
    ssize_t n;
    do {
        n = ::write(fd.get(), bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(bytes.size()) && fd.Close();
}

}  // namespace zorva
