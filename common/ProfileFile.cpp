#include "common/ProfileFile.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "common/Codec.h"
#include "common/FileIo.h"

namespace zorva {
namespace {

struct Line {
    std::size_t begin;  // first byte
    std::size_t end;    // one past the last byte before the line end
    std::size_t next;   // first byte of the next line
    bool ended;         // a LF ends it (the last line of a file may lack one)
};

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s) {
    std::size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// Walks the lines of the file (split at LF; a CR before it belongs to the line end).
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}
    std::optional<Line> Next() {
        if (pos_ >= text_.size()) return std::nullopt;
        std::size_t lf = text_.find('\n', pos_);
        std::size_t next = lf == std::string_view::npos ? text_.size() : lf + 1;
        std::size_t end = lf == std::string_view::npos ? text_.size() : lf;
        if (end > pos_ && text_[end - 1] == '\r') --end;
        Line line{pos_, end, next, lf != std::string_view::npos};
        pos_ = next;
        return line;
    }
    std::string_view Text(const Line& line) const {
        return text_.substr(line.begin, line.end - line.begin);
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    std::size_t close = line.find(']');
    return Trim(line.substr(1, close == std::string_view::npos ? close : close - 1));
}

// Where a key stands, or where it would go.
struct Place {
    bool sectionFound = false;
    std::optional<std::size_t> valueBegin, valueEnd;  // the key's value bytes
    std::size_t rawBegin = 0;                         // right after the "="
    std::size_t insertAt = 0;  // after the last non-blank line of the section
    bool insertNeedsLineEnd = false;
};

Place Find(std::string_view text, std::string_view section, std::string_view key) {
    Place place;
    Lines lines(text);
    bool inSection = false;
    while (auto line = lines.Next()) {
        std::string_view content = lines.Text(*line);
        if (auto name = SectionName(content)) {
            if (place.sectionFound && inSection) break;  // the section ended
            inSection = !place.sectionFound && EqualNoCase(*name, section);
            if (inSection) {
                place.sectionFound = true;
                place.insertAt = line->next;
                place.insertNeedsLineEnd = !line->ended;
            }
            continue;
        }
        if (!inSection) continue;
        if (!Trim(content).empty()) {
            place.insertAt = line->next;
            place.insertNeedsLineEnd = !line->ended;
        }
        std::size_t eq = content.find('=');
        if (eq == std::string_view::npos || !EqualNoCase(Trim(content.substr(0, eq)), key)) {
            continue;
        }
        std::string_view value = content.substr(eq + 1);
        std::size_t lead = std::min(value.find_first_not_of(kBlanks), value.size());
        place.rawBegin = line->begin + eq + 1;
        place.valueBegin = place.rawBegin + lead;
        place.valueEnd = line->end;
        return place;
    }
    return place;
}

}  // namespace

Expected<ProfileFile> ProfileFile::Load(const std::filesystem::path& path) {
    FileRead read = ReadExistingFile(path);
    if (read.outcome == ReadOutcome::Unreadable) {
        return MakeFailure(FailureCode::ReadFailed,
                           path.string() + "を読み取れない：" + std::strerror(read.error));
    }
    return ProfileFile(std::move(read.bytes));
}

std::string ProfileFile::GetBytes(std::string_view section, std::string_view key,
                                  std::size_t width) const {
    Place place = Find(bytes_, section, key);
    if (!place.valueBegin) return {};
    std::string_view value(bytes_.data() + *place.valueBegin, *place.valueEnd - *place.valueBegin);
    return std::string(Trim(value).substr(0, width));
}

std::string ProfileFile::GetRawBytes(std::string_view section, std::string_view key,
                                     std::size_t width) const {
    Place place = Find(bytes_, section, key);
    if (!place.valueBegin) return {};
    return bytes_.substr(place.rawBegin, std::min(width, *place.valueEnd - place.rawBegin));
}

std::string ProfileFile::GetText(std::string_view section, std::string_view key,
                                 std::size_t width) const {
    Place place = Find(bytes_, section, key);
    if (!place.valueBegin) return {};
    std::string_view value(bytes_.data() + *place.valueBegin, *place.valueEnd - *place.valueBegin);
    return FromCp932(CutCp932(Trim(value), width));
}

// What ends a last line that has no LF: only the LF when it ends in a bare CR already.
std::string ProfileFile::LineEndAfterLastLine() const {
    return !bytes_.empty() && bytes_.back() == '\r' ? "\n" : "\r\n";
}

bool ProfileFile::HasKey(std::string_view section, std::string_view key) const {
    return Find(bytes_, section, key).valueBegin.has_value();
}

void ProfileFile::SetBytes(std::string_view section, std::string_view key, std::string_view value) {
    const std::string crlf = "\r\n";
    Place place = Find(bytes_, section, key);
    if (place.valueBegin) {
        bytes_.replace(*place.valueBegin, *place.valueEnd - *place.valueBegin, value);
        return;
    }
    std::string keyLine = std::string(key) + "=" + std::string(value) + crlf;
    if (place.sectionFound) {
        // Only the file's last line can lack its LF.
        bytes_.insert(place.insertAt,
                      (place.insertNeedsLineEnd ? LineEndAfterLastLine() : "") + keyLine);
        return;
    }
    if (!bytes_.empty() && bytes_.back() != '\n') bytes_ += LineEndAfterLastLine();
    bytes_ += "[" + std::string(section) + "]" + crlf + keyLine;
}

void ProfileFile::SetText(std::string_view section, std::string_view key,
                          std::string_view utf8Value) {
    SetBytes(section, key, ToCp932(utf8Value));
}

Expected<void> ProfileFile::Save(const std::filesystem::path& path) const {
    const std::error_code error = TryWriteFileAtomically(path, bytes_, 0600, ExistingMode::Replace);
    if (error) return MakeFailure(FailureCode::WriteFailed, LocalFileFailureText(path, error));
    return {};
}

bool WriteProfileText(const std::filesystem::path& path, std::string_view section,
                      std::string_view key, std::string_view utf8Value) {
    Expected<ProfileFile> file = ProfileFile::Load(path);
    if (!file) return false;
    file->SetText(section, key, utf8Value);
    return file->Save(path).has_value();
}

}  // namespace zorva
