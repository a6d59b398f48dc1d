#include "common/JobResultReader.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <system_error>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/TextFields.h"

namespace zorva {
namespace {

// Room of the viewer's fields, in CP932 bytes (the longest status text, "ホストで保管失敗",
// takes 16).
constexpr std::size_t kLibraryRoom = 10;
constexpr std::size_t kObjectRoom = 10;
constexpr std::size_t kTextRoom = 18;
constexpr std::size_t kTimeDigits = 12;

std::string_view Piece(const std::vector<std::string_view>& pieces, std::size_t i) {
    return i < pieces.size() ? pieces[i] : std::string_view();
}

std::vector<std::string_view> SplitEach(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return pieces;
        start = end + 1;
    }
}

std::string Field(std::string_view cp932, std::size_t room) {
    return FromCp932(CutCp932(cp932, room));
}

// Regrouped before the conversion, so that the cut at 12 characters never splits a UTF-8
// sequence. A time of zeros is the writer's mark for "never downloaded": no time to show.
std::string TimeField(std::string_view cp932) {
    if (!cp932.empty() && cp932.find_first_not_of('0') == std::string_view::npos) return {};
    return FromCp932(DisplayTimeText(CutCp932(cp932, kTextRoom)));
}

// A folder (or a link to one) is no result log.
bool IsFolder(DIR* folder, const dirent& entry) {
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return false;
    struct stat info {};
    return ::fstatat(::dirfd(folder), entry.d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool IsJobResultCandidate(std::string_view fileName) {
    return fileName.size() >= 2 && (fileName[0] == 'A' || fileName[0] == 'a') &&
           (fileName[1] == 'P' || fileName[1] == 'p');
}

std::optional<JobNameFields> ParseJobResultName(std::string_view fileName) {
    const auto pieces = SplitEach(fileName, '-');
    if (pieces.front().empty()) return std::nullopt;
    return JobNameFields{std::string(Piece(pieces, 1)), std::string(Piece(pieces, 2)),
                         std::string(Piece(pieces, 3)), std::string(Piece(pieces, 4))};
}

std::string JobResultFileName(const JobNameFields& f) {
    return "APP-" + f.start + "-" + f.end + "-" + f.setName + "-" + f.result + "-.log";
}

std::string DisplayTimeText(std::string_view digits) {
    std::string text;
    const std::size_t count = std::min(digits.size(), kTimeDigits);
    for (std::size_t i = 0; i < count; ++i) {
        if (i == 4 || i == 6) text += '/';
        if (i == 8) text += ' ';
        if (i == 10) text += ':';
        text += digits[i];
    }
    return text;
}

std::string StripTimeSeparators(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c != ' ' && c != '/' && c != ':') digits += c;
    }
    return digits;
}

bool DateInRange(std::string_view time, std::string_view from, std::string_view to) {
    const std::string_view date = time.substr(0, 8);
    return date >= from.substr(0, 8) && date <= to.substr(0, 8);
}

std::vector<JobDetailLine> ParseJobResultLines(std::string_view bytes) {
    bytes = bytes.substr(0, kJobResultReadLimit);
    bytes = bytes.substr(0, bytes.find('\0'));
    std::vector<JobDetailLine> lines;
    for (std::string_view line : SplitLines(bytes)) {
        const auto fields = SplitRuns(line, "/");
        if (fields.empty()) continue;  // only '/' characters
        lines.push_back({Field(Piece(fields, 0), kLibraryRoom),
                         Field(Piece(fields, 1), kObjectRoom), Field(Piece(fields, 2), kTextRoom),
                         Field(Piece(fields, 3), kTextRoom), TimeField(Piece(fields, 4)),
                         TimeField(Piece(fields, 5))});
    }
    return lines;
}

std::optional<std::vector<JobDetailLine>> ReadJobResultFile(const std::filesystem::path& logFolder,
                                                            std::string_view fileName) {
    if (fileName.empty() || fileName == "." || fileName == ".." ||
        fileName.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    const auto bytes = ReadRegularFileBytes(logFolder / std::string(fileName), kJobResultReadLimit);
    if (!bytes) return std::nullopt;
    return ParseJobResultLines(*bytes);
}

std::optional<std::vector<std::string>> ListJobResultFiles(const std::filesystem::path& logFolder) {
    // readdir rather than directory_iterator: a LOG_DAT of years holds a hundred thousand
    // names, and the entry type comes with each name without a stat call.
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(logFolder.c_str()), ::closedir);
    if (!folder) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::string_view name(entry->d_name);
        if (!IsJobResultCandidate(name) || IsFolder(folder.get(), *entry)) continue;
        names.emplace_back(name);
    }
    // The listing order of this file system means nothing: jobs appear oldest first by name.
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace zorva
