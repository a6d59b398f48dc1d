#pragma once
// The settings file format: sections in square brackets, key=value lines, names matched
// without case. Works on bytes so that the scrambled password (raw complemented bytes) and
// every byte the system does not own survive an edit.

#include <filesystem>
#include <string>
#include <string_view>

#include "common/Expected.h"

namespace zorva {

class ProfileFile {
public:
    ProfileFile() = default;
    explicit ProfileFile(std::string bytes) : bytes_(std::move(bytes)) {}

    // The one way to read the file: its bytes, empty when it does not exist. One that is there
    // but cannot be read is a Failure (its path, "を読み取れない：" and the system's reason),
    // never an empty profile: its keys are unknown, and a profile written from nothing would
    // replace them all.
    static Expected<ProfileFile> Load(const std::filesystem::path& path);

    // The value of the first matching key, blanks around it removed, cut to `width` bytes;
    // empty when the section or key is missing.
    std::string GetBytes(std::string_view section, std::string_view key, std::size_t width) const;
    // The value's bytes exactly as they stand between "=" and the line end, cut to `width`:
    // for values whose blanks are data (the scrambled password, where a blank is 0xDF).
    std::string GetRawBytes(std::string_view section, std::string_view key,
                            std::size_t width) const;
    // The same for a CP932 text value, cut on a character boundary and returned as UTF-8.
    std::string GetText(std::string_view section, std::string_view key, std::size_t width) const;
    // True when the section holds the key, even with an empty value.
    bool HasKey(std::string_view section, std::string_view key) const;

    // Replaces the value of the key in place, or adds the key at the end of its section, or
    // adds the section at the end of the file. Every other byte stays as it was; a last line
    // that ends in a bare CR gets its LF, so the CR never joins a value.
    void SetBytes(std::string_view section, std::string_view key, std::string_view value);
    void SetText(std::string_view section, std::string_view key, std::string_view utf8Value);

    // The one way to write the file: replaces it atomically with these bytes (so every key
    // the writer does not know stays as it was read), with mode 0600 (it holds the password)
    // and the old file's owner and group. A failure leaves the old file.
    Expected<void> Save(const std::filesystem::path& path) const;

    const std::string& bytes() const { return bytes_; }

private:
    std::string LineEndAfterLastLine() const;

    std::string bytes_;
};

// Reads the file, changes one key and replaces the file; false when it could not be read or
// written (the old file stays).
bool WriteProfileText(const std::filesystem::path& path, std::string_view section,
                      std::string_view key, std::string_view utf8Value);

}  // namespace zorva
