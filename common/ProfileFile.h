#pragma once
// The settings file format: sections in square brackets, key=value lines, names matched
// without case. Works on bytes so that the scrambled password (raw complemented bytes) and
// every byte the system does not own survive an edit.

#include <filesystem>
#include <string>
#include <string_view>

namespace zorva {

class ProfileFile {
public:
    ProfileFile() = default;
    explicit ProfileFile(std::string bytes) : bytes_(std::move(bytes)) {}

    // The file's bytes; a missing file reads as empty. So does one that is there but cannot be
    // read, and it keeps the system's reason: such a profile is never saved.
    static ProfileFile Load(const std::filesystem::path& path);
    // Why the file could not be read; empty when it was read or did not exist.
    const std::string& ReadFailure() const { return readFailure_; }

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

    // Replaces the file atomically, always with mode 0600 (it holds the password); false leaves
    // the old file. Refused for a profile whose file could not be read: its keys are unknown,
    // and writing the few set here would lose every other.
    bool Save(const std::filesystem::path& path) const;

    const std::string& bytes() const { return bytes_; }

private:
    std::string LineEndAfterLastLine() const;

    std::string bytes_;
    std::string readFailure_;
};

// One-call forms: read the file, change one key, replace the file.
std::string ReadProfileText(const std::filesystem::path& path, std::string_view section,
                            std::string_view key, std::size_t width);
bool WriteProfileText(const std::filesystem::path& path, std::string_view section,
                      std::string_view key, std::string_view utf8Value);

}  // namespace zorva
