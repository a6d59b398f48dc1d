#pragma once
// The checksums of a generation folder: SHA256SUMS.txt beside the save files, in the format of
// `sha256sum` (64 hex digits, two blanks, the file name), so that `sha256sum -c SHA256SUMS.txt`
// checks the folder by hand. The transfer agent adds a file's line once the file is durable;
// the viewer, the restore program and the purge verify against it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Expected.h"

namespace zorva {

// Holds a '.', so it can never be the name of a save file.
inline constexpr std::string_view kManifestFileName = "SHA256SUMS.txt";

struct ManifestEntry {
    std::string fileName;
    std::string sha256;  // 64 lower-case hex digits

    friend bool operator==(const ManifestEntry&, const ManifestEntry&) = default;
};

// One entry per file name, in name (byte) order.
struct Manifest {
    std::vector<ManifestEntry> entries;

    // The recorded digest of a file, nullopt when it has no line.
    std::optional<std::string> DigestOf(std::string_view fileName) const;
    // Adds the file's line, replacing an earlier one of the same name.
    void Record(ManifestEntry entry);
    // Removes the file's line; false when it had none.
    bool Forget(std::string_view fileName);

    friend bool operator==(const Manifest&, const Manifest&) = default;
};

// The lines of a manifest. sha256sum's binary marker ("hash *name") is accepted too; a line
// that is neither (an escaped name, a damaged line) fails the whole text: a manifest that is
// not understood must not let a damaged file pass as unrecorded.
Expected<Manifest> ParseManifest(std::string_view text);
std::string FormatManifest(const Manifest& manifest);

// The folder's manifest; an empty one when the folder has none.
Expected<Manifest> ReadManifest(const std::filesystem::path& folder);
// Replaces the folder's manifest atomically (0600, synced with its folder).
Expected<void> WriteManifest(const std::filesystem::path& folder, const Manifest& manifest);

// Read, change and write back the line of one file. Forgetting a file without a line writes
// nothing. A save file that is about to be replaced loses its line first, and gets its new one
// only once the new file is durable: whenever the process dies, every line matches its file.
Expected<void> RecordChecksum(const std::filesystem::path& folder, ManifestEntry entry);
Expected<void> ForgetChecksum(const std::filesystem::path& folder, std::string_view fileName);

enum class FileCheck {
    Ok,
    Damaged,      // its bytes differ from the recorded digest (or cannot be read)
    Missing,      // recorded, but the file is gone
    NotRecorded,  // a save file without a line: saved before checksums existed
};

// "OK", "DAMAGED", "MISSING", "NOT RECORDED".
std::string_view FileCheckText(FileCheck check);
// Damaged and Missing are failures; NotRecorded is not.
bool IsVerificationFailure(FileCheck check);

struct FileVerdict {
    std::string fileName;
    FileCheck check = FileCheck::Ok;

    friend bool operator==(const FileVerdict&, const FileVerdict&) = default;
};

// How a verification reports its progress and learns that it should stop.
struct VerifyCallbacks {
    // Bytes read so far and the bytes of all files to read.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // Checked after every chunk; true ends the verification with the verdicts found so far.
    std::function<bool()> stopRequested;
};

// The check of one save file against a manifest.
FileCheck CheckSaveFile(const std::filesystem::path& folder, const Manifest& manifest,
                        std::string_view fileName);

// Every save file of the folder and every file the manifest lists, in name order. Fails when
// the folder cannot be listed or its manifest cannot be read.
Expected<std::vector<FileVerdict>> VerifyGeneration(const std::filesystem::path& folder,
                                                    const VerifyCallbacks& callbacks = {});

// True when no verdict is a failure.
bool AllVerified(const std::vector<FileVerdict>& verdicts);

// The generation folders below a set's folder that hold save files or a manifest, as paths
// from the set's folder ("7/20261207"), depth first in name order.
std::vector<std::string> VerifiableGenerations(const std::filesystem::path& setFolder);

}  // namespace zorva
