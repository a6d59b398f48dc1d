#include "common/offsite/Restic.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "common/FileIo.h"
#include "common/TextFields.h"

namespace zorva::offsite {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr std::size_t kEnvFileLimit = 64 * 1024;
constexpr std::string_view kCacheFolderName = ".offsite-cache";
constexpr std::string_view kSetTag = "set:";
constexpr std::string_view kGenerationTag = "gen:";
constexpr std::string_view kSizeTag = "size:";
constexpr std::string_view kDigestTag = "sums:";

Unexpected Refusal(std::string_view text) {
    return MakeFailure(FailureCode::BadArgument, "オフサイト：" + std::string(text));
}

fs::path FromProgramFolder(const fs::path& programFolder, const std::string& path) {
    return fs::path(path).is_absolute() ? fs::path(path) : programFolder / path;
}

// A file only its owner may read: the password (or the backend's keys) must not leak to
// another account of the PC.
Expected<void> CheckPrivateFile(const fs::path& path, std::string_view what) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return Refusal(std::string(what) + path.string() + "が読めない");
    if ((info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", info.st_mode & 07777);
        return Refusal(std::string(what) + path.string() + "のモードが0600でない（" + mode + "）");
    }
    return {};
}

bool IsVariableName(std::string_view name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               (c >= '0' && c <= '9');
    });
}

bool IsOverridden(std::string_view name) {
    return std::find(std::begin(kOverriddenVariables), std::end(kOverriddenVariables), name) !=
           std::end(kOverriddenVariables);
}

Expected<std::vector<std::string>> ReadEnvironmentFile(const fs::path& path) {
    const auto text = ReadRegularFileBytes(path, kEnvFileLimit);
    if (!text) return Refusal("環境変数ファイル" + path.string() + "が読めない");
    std::vector<std::string> variables;
    for (std::string_view line : SplitLines(*text)) {  // CR LF files too
        if (line[0] == '#') continue;
        const auto equals = line.find('=');
        const std::string_view name = line.substr(0, equals);
        if (equals == std::string_view::npos || !IsVariableName(name))
            return Refusal("環境変数ファイル" + path.string() + "の行がKEY=VALUEでない");
        // The password reaches restic through its file only.
        if (IsOverridden(name))
            return Refusal("環境変数ファイル" + path.string() + "に" + std::string(name) +
                           "は書けない");
        variables.emplace_back(line);
    }
    return variables;
}

std::vector<std::string> Common(const ResticAccess& access) {
    return {"--repo",      access.repository,  "--password-file", access.passwordFile,
            "--cache-dir", access.cacheFolder, "--json"};
}

ResticCommand Command(const ResticAccess& access, std::vector<std::string> arguments) {
    std::vector<std::string> all = Common(access);
    all.insert(all.end(), arguments.begin(), arguments.end());
    return {std::move(all), access.environment, {}};
}

std::string Tag(std::string_view name, std::string_view value) {
    return std::string(name) + std::string(value);
}

// Reads restic's output without exceptions: a missing or mistyped member is "not given".
Json Parse(std::string_view text) {
    return Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
}

std::optional<std::string> String(const Json& object, std::string_view name) {
    const auto member = object.find(name);
    if (member == object.end() || !member->is_string()) return std::nullopt;
    return member->get<std::string>();
}

std::optional<double> Number(const Json& object, std::string_view name) {
    const auto member = object.find(name);
    if (member == object.end() || !member->is_number()) return std::nullopt;
    return member->get<double>();
}

std::int64_t Bytes(const Json& line, std::string_view name) {
    const auto member = line.find(name);
    if (member == line.end() || !member->is_number_unsigned()) return 0;
    return static_cast<std::int64_t>(member->get<std::uint64_t>());
}

void ReadTag(const std::string& tag, Snapshot& snapshot) {
    const auto value = [&tag](std::string_view prefix) -> std::optional<std::string> {
        if (tag.rfind(prefix, 0) != 0) return std::nullopt;
        return tag.substr(prefix.size());
    };
    if (auto v = value(kSetTag)) snapshot.setName = *v;
    if (auto v = value(kGenerationTag)) snapshot.generation = *v;
    if (auto v = value(kDigestTag)) snapshot.manifestDigest = *v;
    if (auto v = value(kSizeTag); v && !v->empty() && v->size() < 19 &&
                                  v->find_first_not_of("0123456789") == std::string::npos)
        snapshot.bytes = std::stoll(*v);
}

std::optional<Snapshot> SnapshotOf(const Json& item) {
    if (!item.is_object()) return std::nullopt;
    Snapshot snapshot;
    const auto id = String(item, "id");
    const auto time = String(item, "time");
    if (!id || !time) return std::nullopt;
    const auto seconds = ParseResticTime(*time);
    if (!seconds) return std::nullopt;
    snapshot.id = *id;
    snapshot.shortId = String(item, "short_id").value_or(id->substr(0, 8));
    snapshot.time = *seconds;
    snapshot.host = String(item, "hostname").value_or("");
    if (const auto tags = item.find("tags"); tags != item.end() && tags->is_array()) {
        for (const Json& tag : *tags) {
            if (tag.is_string()) ReadTag(tag.get<std::string>(), snapshot);
        }
    }
    return snapshot;
}

std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// The zone after the seconds (and their fraction): "Z" or "+hh:mm" / "-hh:mm", in seconds.
std::optional<int> ZoneOffset(std::string_view zone) {
    if (zone == "Z") return 0;
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':')
        return std::nullopt;
    const auto hours = Digits(zone, 1, 2);
    const auto minutes = Digits(zone, 4, 2);
    if (!hours || !minutes) return std::nullopt;
    const int offset = *hours * 3600 + *minutes * 60;
    return zone[0] == '+' ? offset : -offset;
}

std::string FatalLine(std::string_view errorText) {
    std::string fatal;
    std::string last;
    std::string ssh;
    for (std::string_view line : SplitLines(errorText)) {
        last = std::string(line);
        if (fatal.empty() && line.rfind("Fatal: ", 0) == 0) fatal = line.substr(7);
        if (line.rfind("subprocess ssh: ", 0) == 0) ssh = line.substr(16);
    }
    std::string text = fatal.empty() ? last : fatal;
    if (!ssh.empty()) text += "（" + ssh + "）";
    return text;
}

}  // namespace

Expected<ResticAccess> OpenResticAccess(const OffsiteSettings& settings,
                                        const fs::path& programFolder) {
    if (settings.passwordFile.empty()) return Refusal("PASSWORDFILEが指定されていない");
    const fs::path password = FromProgramFolder(programFolder, settings.passwordFile);
    if (auto checked = CheckPrivateFile(password, "パスワードファイル"); !checked)
        return Unexpected{checked.error()};
    ResticAccess access{
        settings.repository, password.string(), {}, (programFolder / kCacheFolderName).string()};
    if (settings.envFile.empty()) return access;
    const fs::path envFile = FromProgramFolder(programFolder, settings.envFile);
    if (auto checked = CheckPrivateFile(envFile, "環境変数ファイル"); !checked)
        return Unexpected{checked.error()};
    auto variables = ReadEnvironmentFile(envFile);
    if (!variables) return Unexpected{variables.error()};
    access.environment = std::move(*variables);
    return access;
}

ResticCommand InitCommand(const ResticAccess& access) {
    return Command(access, {"init"});
}

ResticCommand SnapshotsCommand(const ResticAccess& access, std::string_view host,
                               std::string_view setName) {
    std::vector<std::string> arguments{"snapshots", "--host", std::string(host)};
    if (!setName.empty()) arguments.insert(arguments.end(), {"--tag", Tag(kSetTag, setName)});
    return Command(access, std::move(arguments));
}

ResticCommand BackupCommand(const ResticAccess& access, std::string_view host,
                            const SnapshotTags& tags, const fs::path& generation) {
    // One --tag per value: a comma inside --tag would split it.
    ResticCommand command =
        Command(access, {"backup", "--host", std::string(host), "--tag", Tag(kSetTag, tags.setName),
                         "--tag", Tag(kGenerationTag, tags.generation), "--tag",
                         Tag(kSizeTag, std::to_string(tags.bytes)), "--tag",
                         Tag(kDigestTag, tags.manifestDigest), "."});
    command.workingFolder = generation.string();
    return command;
}

ResticCommand ForgetCommand(const ResticAccess& access, std::string_view host,
                            std::string_view setName, int keep, bool prune) {
    // Grouped by host alone: each generation folder is its own path, and keeping the last N
    // per path would keep them all.
    std::vector<std::string> arguments{
        "forget", "--host",      std::string(host),   "--tag", Tag(kSetTag, setName), "--group-by",
        "host",   "--keep-last", std::to_string(keep)};
    if (prune) arguments.emplace_back("--prune");
    return Command(access, std::move(arguments));
}

ResticCommand RestoreCommand(const ResticAccess& access, std::string_view snapshotId,
                             const fs::path& target) {
    return Command(access, {"restore", std::string(snapshotId), "--target", target.string()});
}

std::string UnlockCommandLine(const ResticAccess& access) {
    return "restic --repo '" + access.repository + "' --password-file '" + access.passwordFile +
           "' unlock";
}

BackupLine ParseBackupLine(std::string_view line) {
    const Json json = Parse(line);
    if (!json.is_object()) return {};
    const auto type = String(json, "message_type");
    if (type == "status") {
        return BackupStatus{Number(json, "percent_done").value_or(0), Bytes(json, "bytes_done"),
                            Bytes(json, "total_bytes")};
    }
    if (type == "summary") {
        return BackupSummary{Bytes(json, "total_bytes_processed"), Bytes(json, "data_added"),
                             String(json, "snapshot_id").value_or("")};
    }
    if (type == "error") {
        const auto error = json.find("error");
        const std::string message = error != json.end() && error->is_object()
                                        ? String(*error, "message").value_or("")
                                        : std::string();
        return BackupError{String(json, "during").value_or("") + " " +
                           String(json, "item").value_or("") + ": " + message};
    }
    return {};
}

Expected<std::vector<Snapshot>> ParseSnapshots(std::string_view json) {
    const Json parsed = Parse(json);
    // Some restic versions print null for a repository without snapshots.
    if (parsed.is_null()) return std::vector<Snapshot>{};
    if (!parsed.is_array())
        return MakeFailure(FailureCode::ReadFailed, "オフサイト：スナップショット一覧が読めない");
    std::vector<Snapshot> snapshots;
    for (const Json& item : parsed) {
        if (auto snapshot = SnapshotOf(item)) snapshots.push_back(std::move(*snapshot));
    }
    return snapshots;
}

std::optional<std::int64_t> ParseResticTime(std::string_view text) {
    const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2),
               second = Digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || text[4] != '-' ||
        text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    std::size_t zone = 19;
    if (zone < text.size() && text[zone] == '.') {
        ++zone;
        while (zone < text.size() && text[zone] >= '0' && text[zone] <= '9') ++zone;
    }
    const auto offset = ZoneOffset(text.substr(zone));
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!offset || !date.ok()) return std::nullopt;
    const auto days = std::chrono::sys_days(date).time_since_epoch().count();
    return static_cast<std::int64_t>(days) * 86400 + *hour * 3600 + *minute * 60 + *second -
           *offset;
}

ResticProblem ProblemOf(std::string_view errorText) {
    if (errorText.find("wrong password") != std::string_view::npos)
        return ResticProblem::WrongPassword;
    if (errorText.find("already locked") != std::string_view::npos) return ResticProblem::Locked;
    if (errorText.find("Is there a repository at the following location?") !=
            std::string_view::npos ||
        errorText.find("unable to open config file") != std::string_view::npos)
        return ResticProblem::NoRepository;
    return ResticProblem::Other;
}

std::string ResticFailureText(std::string_view errorText, const ResticAccess& access) {
    switch (ProblemOf(errorText)) {
        case ResticProblem::WrongPassword:
            return "オフサイト：リポジトリ" + access.repository + "のパスワードが違う";
        case ResticProblem::NoRepository:
            return "オフサイト：リポジトリ" + access.repository +
                   "がない（接続設定の初期化で作成する）";
        case ResticProblem::Locked:
            return "オフサイト：リポジトリ" + access.repository +
                   "がロックされている（止められた実行のロックなら解除する：" +
                   UnlockCommandLine(access) + "）";
        case ResticProblem::Other:
            break;
    }
    return "オフサイト：restic失敗：" + FatalLine(errorText);
}

std::string ByteSizeText(std::int64_t bytes) {
    constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%lldB", static_cast<long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.1f%s", value, kUnits[unit]);
    return text;
}

}  // namespace zorva::offsite
