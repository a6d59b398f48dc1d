#include "common/Manifest.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "common/FileIo.h"
#include "common/GenerationTree.h"
#include "common/SavedData.h"
#include "common/Sha256.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kDigestDigits = 64;
// A few thousand save files at most; a manifest past this is not ours.
constexpr std::size_t kManifestReadLimit = 4 << 20;

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

std::string Lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::optional<ManifestEntry> ParseLine(std::string_view line) {
    if (line.size() < kDigestDigits + 3 || line[kDigestDigits] != ' ') return std::nullopt;
    const std::string_view digest = line.substr(0, kDigestDigits);
    if (!std::all_of(digest.begin(), digest.end(), IsHexDigit)) return std::nullopt;
    const char mode = line[kDigestDigits + 1];  // ' ' text, '*' binary: the same bytes here
    const std::string_view name = line.substr(kDigestDigits + 2);
    if ((mode != ' ' && mode != '*') || name.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    return ManifestEntry{std::string(name), Lowered(digest)};
}

auto EntryAt(std::vector<ManifestEntry>& entries, std::string_view fileName) {
    return std::lower_bound(
        entries.begin(), entries.end(), fileName,
        [](const ManifestEntry& entry, std::string_view name) { return entry.fileName < name; });
}

fs::path ManifestPath(const fs::path& folder) {
    return folder / kManifestFileName;
}

std::uint64_t SizeOf(const fs::path& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : size;
}

}  // namespace

std::optional<std::string> Manifest::DigestOf(std::string_view fileName) const {
    const auto at = std::find_if(entries.begin(), entries.end(),
                                 [&](const ManifestEntry& e) { return e.fileName == fileName; });
    if (at == entries.end()) return std::nullopt;
    return at->sha256;
}

void Manifest::Record(ManifestEntry entry) {
    const auto at = EntryAt(entries, entry.fileName);
    if (at != entries.end() && at->fileName == entry.fileName) {
        *at = std::move(entry);
    } else {
        entries.insert(at, std::move(entry));
    }
}

bool Manifest::Forget(std::string_view fileName) {
    const auto at = EntryAt(entries, fileName);
    if (at == entries.end() || at->fileName != fileName) return false;
    entries.erase(at);
    return true;
}

Expected<Manifest> ParseManifest(std::string_view text) {
    Manifest manifest;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        auto entry = ParseLine(line);
        if (!entry) {
            return MakeFailure(FailureCode::ReadFailed, std::string(kManifestFileName) +
                                                            "の行が読めない：" + std::string(line));
        }
        manifest.Record(std::move(*entry));
    }
    return manifest;
}

std::string FormatManifest(const Manifest& manifest) {
    std::string text;
    for (const ManifestEntry& entry : manifest.entries) {
        text += entry.sha256 + "  " + entry.fileName + "\n";
    }
    return text;
}

Expected<Manifest> ReadManifest(const fs::path& folder) {
    const FileRead read = ReadExistingFile(ManifestPath(folder), kManifestReadLimit);
    if (read.outcome == ReadOutcome::Missing) return Manifest{};
    if (read.outcome == ReadOutcome::Unreadable) {
        return MakeFailure(FailureCode::ReadFailed,
                           ManifestPath(folder).string() + "を読み取れない：" +
                               std::error_code(read.error, std::generic_category()).message());
    }
    return ParseManifest(read.bytes);
}

Expected<void> WriteManifest(const fs::path& folder, const Manifest& manifest) {
    const fs::path path = ManifestPath(folder);
    // Private like the save files it describes; the atomic write syncs the folder too.
    if (const std::error_code error =
            TryWriteFileAtomically(path, FormatManifest(manifest), 0600, ExistingMode::Replace)) {
        return MakeFailure(FailureCode::WriteFailed, LocalFileFailureText(path, error));
    }
    return {};
}

Expected<void> RecordChecksum(const fs::path& folder, ManifestEntry entry) {
    Expected<Manifest> manifest = ReadManifest(folder);
    if (!manifest) return Unexpected{manifest.error()};
    manifest->Record(std::move(entry));
    return WriteManifest(folder, *manifest);
}

Expected<void> ForgetChecksum(const fs::path& folder, std::string_view fileName) {
    Expected<Manifest> manifest = ReadManifest(folder);
    if (!manifest) return Unexpected{manifest.error()};
    if (!manifest->Forget(fileName)) return {};
    return WriteManifest(folder, *manifest);
}

std::string_view FileCheckText(FileCheck check) {
    switch (check) {
        case FileCheck::Ok:
            return "OK";
        case FileCheck::Damaged:
            return "DAMAGED";
        case FileCheck::Missing:
            return "MISSING";
        case FileCheck::NotRecorded:
            return "NOT RECORDED";
    }
    return "DAMAGED";
}

bool IsVerificationFailure(FileCheck check) {
    return check == FileCheck::Damaged || check == FileCheck::Missing;
}

namespace {

FileCheck CheckAgainst(const fs::path& path, const std::optional<std::string>& recorded,
                       const ChunkCallback& onChunk) {
    if (!recorded) return fs::exists(path) ? FileCheck::NotRecorded : FileCheck::Missing;
    const Expected<std::string> digest = Sha256OfFile(path, onChunk);
    if (!digest && digest.error().code == FailureCode::NotFound) return FileCheck::Missing;
    // A file that cannot be read back cannot be restored either.
    return digest && *digest == *recorded ? FileCheck::Ok : FileCheck::Damaged;
}

// The save files of the folder and the files its manifest lists, in name order, once each.
std::vector<std::string> NamesToVerify(const std::vector<std::string>& saveFiles,
                                       const Manifest& manifest) {
    std::vector<std::string> names = saveFiles;
    for (const ManifestEntry& entry : manifest.entries) names.push_back(entry.fileName);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

}  // namespace

FileCheck CheckSaveFile(const fs::path& folder, const Manifest& manifest,
                        std::string_view fileName) {
    return CheckAgainst(folder / fileName, manifest.DigestOf(fileName), {});
}

Expected<std::vector<FileVerdict>> VerifyGeneration(const fs::path& folder,
                                                    const VerifyCallbacks& callbacks) {
    const auto saveFiles = ListSaveFiles(folder);
    if (!saveFiles) {
        return MakeFailure(FailureCode::ReadFailed, folder.string() + "を読み取れない");
    }
    const Expected<Manifest> manifest = ReadManifest(folder);
    if (!manifest) return Unexpected{manifest.error()};
    const std::vector<std::string> names = NamesToVerify(*saveFiles, *manifest);

    std::uint64_t total = 0;
    for (const std::string& name : names) {
        if (manifest->DigestOf(name)) total += SizeOf(folder / name);
    }
    std::uint64_t done = 0;
    bool stopped = false;
    const ChunkCallback onChunk = [&](std::size_t bytes) {
        done += bytes;
        if (callbacks.progress) callbacks.progress(done, total);
        stopped = callbacks.stopRequested && callbacks.stopRequested();
        return !stopped;
    };
    std::vector<FileVerdict> verdicts;
    for (const std::string& name : names) {
        const FileCheck check = CheckAgainst(folder / name, manifest->DigestOf(name), onChunk);
        if (stopped) break;  // the file was not read to its end: no verdict
        verdicts.push_back({name, check});
    }
    return verdicts;
}

bool AllVerified(const std::vector<FileVerdict>& verdicts) {
    return std::none_of(verdicts.begin(), verdicts.end(),
                        [](const FileVerdict& v) { return IsVerificationFailure(v.check); });
}

std::vector<std::string> VerifiableGenerations(const fs::path& setFolder) {
    std::vector<std::string> paths;
    for (const GenerationFolder& folder : ListGenerationTree(setFolder).folders) {
        const fs::path path = setFolder / folder.path;
        const auto saveFiles = ListSaveFiles(path);
        std::error_code error;
        if ((saveFiles && !saveFiles->empty()) || fs::exists(ManifestPath(path), error)) {
            paths.push_back(folder.path);
        }
    }
    return paths;
}

}  // namespace zorva
