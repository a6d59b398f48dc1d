#include "common/BackupSet.h"

#include <algorithm>
#include <system_error>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/TextFields.h"

namespace zorva {
namespace {

// A CP932 field cut to its width and turned into the programs' UTF-8.
std::string Field(std::string_view cp932, std::size_t width) {
    return FromCp932(CutCp932(cp932, width));
}

char FirstChar(std::string_view text) {
    return text.empty() ? ' ' : text.front();
}

// A kind as the file's character and back (see the kinds' declaration).
template <typename Kind>
Kind KindOf(char c) {
    return static_cast<Kind>(c);
}

template <typename Kind>
char CharOf(Kind kind) {
    return static_cast<char>(kind);
}

std::string_view FirstOr(const std::vector<std::string_view>& fields, std::size_t i) {
    return i < fields.size() ? fields[i] : std::string_view();
}

void ParseRow(std::string_view line, std::size_t rowFieldCount, BackupSet& set) {
    auto fields = SplitRuns(line, "\t");
    if (fields.size() < rowFieldCount || fields.size() < 4 || set.rows.size() >= kMaxRows) return;
    ObjectRow row;
    row.library = Field(fields[0], kObjectFieldWidth);
    row.object = Field(fields[1], kObjectFieldWidth);
    row.type = Field(fields[2], kObjectFieldWidth);
    row.objectKind = fields[3].front();
    if (fields.size() > 4) row.optionCode = fields[4].front();
    set.rows.push_back(std::move(row));
}

// Line 1 of the file holds no line break: any the description carries become blanks.
std::string DescriptionLine(std::string_view description) {
    std::string line = ToCp932(description);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    line = CutCp932(line, kDescriptionWidth);
    return line.empty() ? " " : line;  // an empty line would vanish and shift the others
}

std::string ReadFailure(std::string_view name) {
    return "バックアップセット：" + std::string(name) + "を読み取ることが出来ない";
}

}  // namespace

bool IsValidSetName(std::string_view name) {
    return !name.empty() && name.size() <= 10 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

char ObjectKindFor(std::string_view library, std::string_view type) {
    if (library == "QSYS") return '1';
    if (type == "*SPL") return '3';
    return '2';
}

char OptionCodeFor(std::string_view type, bool isProtected, int compressionLevel) {
    if (type.substr(0, 4) == "*SPL") return '1';
    return static_cast<char>('0' + (isProtected ? 3 : 0) + compressionLevel);
}

std::string ProtectionText(const ObjectRow& row) {
    if (row.type.substr(0, 4) == "*SPL") return {};
    return row.optionCode >= '4' && row.optionCode <= '6' ? "○" : "";
}

std::string CompressionText(const ObjectRow& row) {
    if (row.type.substr(0, 4) == "*SPL") return {};
    switch (row.optionCode) {
        case '1':
        case '4':
            return "*LOW";
        case '2':
        case '5':
            return "*MEDIUM";
        case '3':
        case '6':
            return "*HIGH";
        default:
            return {};
    }
}

BackupSet ParseSetFile(std::string_view bytes, std::string_view name, std::size_t rowFieldCount) {
    BackupSet set;
    set.setName = std::string(name.substr(0, kSetNameWidth));
    const auto lines = SplitLines(bytes.substr(0, kSetFileReadLimit));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        switch (i) {
            case 0:
                set.description = Field(line, kDescriptionWidth);
                break;
            case 1:
                set.startMethod = KindOf<StartMethod>(FirstChar(FirstOr(SplitRuns(line, "\t"), 0)));
                break;
            case 2: {
                auto fields = SplitRuns(line, "\t");
                set.scheduleKind = KindOf<ScheduleKind>(FirstChar(FirstOr(fields, 0)));
                if (fields.size() > 1) set.saveTime = Field(fields[1], kSaveTimeWidth);
                break;
            }
            case 3: {
                set.dailyKind = KindOf<DailyKind>(line.front());
                auto value = FirstOr(SplitRuns(line.substr(1), "\t"), 0);
                const bool everyDay = set.dailyKind == DailyKind::EveryDay;
                if (everyDay && !value.empty()) {
                    set.retentionDays = Field(value, kRetentionWidth);
                } else if (!everyDay) {
                    set.weekdayFlags = Field(value, kWeekdayFlagsWidth);
                }
                break;
            }
            case 4:
                set.monthlyKind = KindOf<MonthlyKind>(line.front());
                set.monthDay = Field(FirstOr(SplitRuns(line.substr(1), "\t"), 0), kMonthDayWidth);
                break;
            default:
                ParseRow(line, rowFieldCount, set);
        }
    }
    return set;
}

std::string FormatSetFile(const BackupSet& set) {
    const std::string tab = "\t", crlf = "\r\n";
    std::string text = DescriptionLine(set.description) + crlf;
    const bool everyDay = set.dailyKind == DailyKind::EveryDay;
    text += std::string(1, CharOf(set.startMethod)) + crlf;
    text += CharOf(set.scheduleKind) + tab + ToCp932(set.saveTime) + crlf;
    text += CharOf(set.dailyKind) + tab + ToCp932(everyDay ? set.retentionDays : set.weekdayFlags) +
            crlf;
    text += CharOf(set.monthlyKind) + tab + ToCp932(set.monthDay) + crlf;
    for (std::size_t i = 0; i < set.rows.size() && i < kMaxRows; ++i) {
        const ObjectRow& row = set.rows[i];
        if (row.library.empty()) break;
        text += ToCp932(row.library) + tab + ToCp932(row.object) + tab + ToCp932(row.type) + tab +
                row.objectKind + tab + row.optionCode + tab;
        if (row.checkMark != 0) text += static_cast<char>(row.checkMark & 0xFF);
        text += crlf;
    }
    return text;
}

Expected<BackupSet> ReadSetFile(const std::filesystem::path& folder, std::string_view name) {
    auto bytes = IsValidSetName(name) ? ReadFileBytes(folder / std::string(name), kSetFileReadLimit)
                                      : std::nullopt;
    if (!bytes) return MakeFailure(FailureCode::ReadFailed, ReadFailure(name));
    return ParseSetFile(*bytes, name);
}

Expected<void> WriteSetFile(const std::filesystem::path& folder, const BackupSet& set) {
    if (IsValidSetName(set.setName) &&
        WriteFileAtomically(folder / set.setName, FormatSetFile(set))) {
        return {};
    }
    return MakeFailure(FailureCode::WriteFailed,
                       "バックアップセット:" + set.setName + " 保管が失敗しました");
}

Expected<void> LoadSets(const std::filesystem::path& folder, SetTable& table) {
    table.sets.clear();
    table.currentSet = 0;
    table.leftOut = 0;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return MakeFailure(FailureCode::ReadFailed, "バックアップセットの設定でエラー");
    std::vector<std::string> names;
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::string name = it->path().filename().string();
        if (IsValidSetName(name) && !it->is_directory(ec)) names.push_back(std::move(name));
    }
    // Name order, as the viewers list them: which sets fit is the same on every start.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (table.sets.size() == kMaxSets) {
            ++table.leftOut;
        } else if (auto set = ReadSetFile(folder, name)) {
            table.sets.push_back(std::move(*set));
        }
    }
    table.currentSet = static_cast<int>(table.sets.size());
    return {};
}

std::optional<std::size_t> FindSetByName(const SetTable& table, std::string_view name) {
    for (std::size_t i = 0; i < table.sets.size(); ++i) {
        if (table.sets[i].setName == name) return i;
    }
    return std::nullopt;
}

}  // namespace zorva
