#pragma once
// The few ways the programs touch files: read whole (with a limit), replace atomically,
// append one piece with one write.

#include <sys/types.h>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace zorva {

// Writes every byte, however many write calls it takes (a pipe or a full page cache may take
// fewer at a time); false on the first failure.
bool WriteAll(int fd, std::string_view bytes);

// Up to `limit` bytes from the start of the file; nullopt when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path,
                                         std::size_t limit = static_cast<std::size_t>(-1));

// How a read of a file that must be a regular file ended.
enum class ReadOutcome {
    Read,
    Missing,     // no such file: callers may start from nothing
    Unreadable,  // it is there but cannot be read: callers must not act as if it were empty
};
struct FileRead {
    ReadOutcome outcome = ReadOutcome::Missing;
    std::string bytes;  // up to the limit, when Read
    int error = 0;      // the system's error number, when Unreadable
};

// Reads up to `limit` bytes of a regular file. A folder, a pipe or a device in its place, a
// link loop, a missing permission or a failing read is Unreadable, never an empty text or a
// read that never returns.
FileRead ReadExistingFile(const std::filesystem::path& path,
                          std::size_t limit = static_cast<std::size_t>(-1));

// As ReadExistingFile, but a missing file and an unreadable one both give nullopt.
std::optional<std::string> ReadRegularFileBytes(const std::filesystem::path& path,
                                                std::size_t limit);

enum class ExistingMode { Keep, Replace };

// Replaces the file with `bytes`: written to a temporary file in the same folder, flushed to
// disk and renamed over the old one, the rename made durable too. On any failure the old file
// is left as it was and the temporary file is removed. A new file gets `mode`; an existing one
// keeps its permission bits unless `existing` is Replace, and always its owner and group where
// the writer may give them (a run as root never takes a user's file over).
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         mode_t mode = 0644, ExistingMode existing = ExistingMode::Keep);
// The same, saying why it failed: the system's error of the step that failed ("No space left
// on device"); an empty error_code on success.
std::error_code TryWriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                       mode_t mode = 0644,
                                       ExistingMode existing = ExistingMode::Keep);

// The system's last error (errno) as an error_code, EIO when a failing call set none.
std::error_code LastError();

// A local file that could not be written: its path, "ローカルファイルが開けない", a full-width
// colon and the system's reason.
std::string LocalFileFailureText(const std::filesystem::path& path, std::error_code error);

// Flushes the folder's entries (a rename into it) to disk; false when that fails.
bool SyncFolder(const std::filesystem::path& folder);

// Appends `bytes` with a single write on a descriptor opened for appending, so writers in
// other processes never interleave inside it. The file is created when missing, its folder
// is not. False when nothing or not everything was written.
bool AppendToFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace zorva
