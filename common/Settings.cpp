#include "common/Settings.h"

#include <charconv>
#include <climits>
#include <system_error>

namespace zorva {
namespace {

// A switch is on only when its value is exactly "YES".
bool SwitchValue(const ProfileFile& ini, std::string_view section, std::string_view key) {
    return ini.GetBytes(section, key, 64) == "YES";
}

std::string_view SwitchText(bool on) {
    return on ? "YES" : "NO";
}

int IntValue(const ProfileFile& ini, std::string_view section, std::string_view key) {
    return ParseDecimal(ini.GetBytes(section, key, 63));
}

std::chrono::milliseconds MillisecondsValue(const ProfileFile& ini, std::string_view section,
                                            std::string_view key) {
    return std::chrono::milliseconds(IntValue(ini, section, key));
}

std::string WithTrailingSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

constexpr std::size_t kPathWidth = 255;
constexpr std::size_t kPinnedKeyWidth = 255;
constexpr std::size_t kMailUserWidth = 127;
constexpr std::size_t kMailPasswordWidth = 127;

// The TLS extension keys; each is written only when set or already in the file, so a file
// without them stays byte for byte what it was.
void ReadTlsSettings(const ProfileFile& ini, Settings& s) {
    s.hostTls = ParseHostTls(ini.GetBytes("HOST", "TLS", 63));
    s.hostCaFile = ini.GetText("HOST", "CAFILE", kPathWidth);
    s.hostPinnedKey = ini.GetText("HOST", "PINNEDKEY", kPinnedKeyWidth);
    s.mailTls = ParseMailTls(ini.GetBytes("MAIL", "TLS", 63));
    s.mailCaFile = ini.GetText("MAIL", "CAFILE", kPathWidth);
    s.mailUser = ini.GetText("MAIL", "USER", kMailUserWidth);
    s.mailPassword = UnscramblePassword(ini.GetRawBytes("MAIL", "PASSWORD", kMailPasswordWidth));
}

void SetIfUsed(ProfileFile& ini, std::string_view section, std::string_view key,
               std::string_view value, bool used) {
    if (used || ini.HasKey(section, key)) ini.SetText(section, key, value);
}

void WriteTlsSettings(ProfileFile& ini, const Settings& s) {
    SetIfUsed(ini, "HOST", "TLS", HostTlsWord(s.hostTls), s.hostTls != HostTls::No);
    SetIfUsed(ini, "HOST", "CAFILE", s.hostCaFile, !s.hostCaFile.empty());
    SetIfUsed(ini, "HOST", "PINNEDKEY", s.hostPinnedKey, !s.hostPinnedKey.empty());
    SetIfUsed(ini, "MAIL", "TLS", MailTlsWord(s.mailTls), s.mailTls != MailTls::No);
    SetIfUsed(ini, "MAIL", "CAFILE", s.mailCaFile, !s.mailCaFile.empty());
    SetIfUsed(ini, "MAIL", "USER", s.mailUser, !s.mailUser.empty());
    if (!s.mailPassword.empty() || ini.HasKey("MAIL", "PASSWORD"))
        ini.SetBytes("MAIL", "PASSWORD", ScramblePassword(s.mailPassword));
}

void WriteOffsiteSettings(ProfileFile& ini, const OffsiteSettings& o) {
    SetIfUsed(ini, "OFFSITE", "REPOSITORY", o.repository, !o.repository.empty());
    SetIfUsed(ini, "OFFSITE", "PASSWORDFILE", o.passwordFile, !o.passwordFile.empty());
    SetIfUsed(ini, "OFFSITE", "ENVFILE", o.envFile, !o.envFile.empty());
    SetIfUsed(ini, "OFFSITE", "KEEP", o.keep ? std::to_string(*o.keep) : "", o.keep.has_value());
}

}  // namespace

// The off-site keys, like the TLS ones, appear in the file only once used.
OffsiteSettings OffsiteSettingsFrom(const ProfileFile& ini) {
    OffsiteSettings o;
    o.repository = ini.GetText("OFFSITE", "REPOSITORY", kPathWidth);
    o.passwordFile = ini.GetText("OFFSITE", "PASSWORDFILE", kPathWidth);
    o.envFile = ini.GetText("OFFSITE", "ENVFILE", kPathWidth);
    if (const std::string keep = ini.GetBytes("OFFSITE", "KEEP", 63);
        !keep.empty() && ParseDecimal(keep) > 0) {
        o.keep = ParseDecimal(keep);
    }
    return o;
}

HostTls ParseHostTls(std::string_view word) {
    if (word == "EXPLICIT") return HostTls::Explicit;
    if (word == "IMPLICIT") return HostTls::Implicit;
    return HostTls::No;
}

std::string_view HostTlsWord(HostTls mode) {
    switch (mode) {
        case HostTls::Explicit:
            return "EXPLICIT";
        case HostTls::Implicit:
            return "IMPLICIT";
        case HostTls::No:
            break;
    }
    return "NO";
}

MailTls ParseMailTls(std::string_view word) {
    if (word == "STARTTLS") return MailTls::StartTls;
    if (word == "SMTPS") return MailTls::Smtps;
    return MailTls::No;
}

std::string_view MailTlsWord(MailTls mode) {
    switch (mode) {
        case MailTls::StartTls:
            return "STARTTLS";
        case MailTls::Smtps:
            return "SMTPS";
        case MailTls::No:
            break;
    }
    return "NO";
}

std::filesystem::path SettingsPath(const std::filesystem::path& programFolder) {
    return programFolder / kSettingsFileName;
}

bool SettingsReadableByOthers(const std::filesystem::path& iniPath) {
    using std::filesystem::perms;
    std::error_code error;
    const perms mode = std::filesystem::status(iniPath, error).permissions();
    return !error && mode != perms::unknown &&
           (mode & (perms::group_read | perms::others_read)) != perms::none;
}

std::string SettingsReadableWarning(const std::filesystem::path& iniPath) {
    return iniPath.string() +
           "は他のユーザーも読み取れます（パスワードを含むため0600にしてください）";
}

std::string ScramblePassword(std::string_view plain) {
    std::string out;
    for (char c : plain) out += static_cast<char>(~static_cast<unsigned char>(c));
    return out;
}

std::string UnscramblePassword(std::string_view scrambled) {
    std::string out;
    for (char c : scrambled) {
        if (c == 0) break;
        out += static_cast<char>(~static_cast<unsigned char>(c));
    }
    return out;
}

int ParseDecimal(std::string_view text) {
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string_view::npos) return 0;
    text.remove_prefix(i);
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) return text.front() == '-' ? INT_MIN : INT_MAX;
    if (ec != std::errc()) return 0;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

Settings SettingsFrom(const ProfileFile& ini, const SettingsReading& reading) {
    Settings s;
    s.backupSetFolder = ini.GetText("DIRECTORIES", "BACKUPSET", reading.setFolderWidth);
    s.baseDir = WithTrailingSlash(ini.GetText("DIRECTORIES", "BASEDIR", 255));
    s.termId = ini.GetText("LOCAL", "TERMID", 10);
    s.version = ini.GetText("SYSTEM", "VERSION", 9);
    s.detailLog = SwitchValue(ini, "LOCAL", "LOG");
    s.mailAddress = ini.GetText("MAIL", "ADDRESS", 127);
    s.smtp = ini.GetText("MAIL", "SMTP", 127);
    s.mailFrom = ini.GetText("MAIL", "MAILFROM", 127);
    s.mailActive = SwitchValue(ini, "MAIL", "ACT");
    if (reading.monitorTimer) s.monitorInterval = MillisecondsValue(ini, "TIMER", "MONTIMER");
    if (reading.jobTimers) {
        s.jobTimer = MillisecondsValue(ini, "TIMER", "JOBTIMER");
        // No poll period would mean polling the host about twenty times a second.
        s.fileTimer = MillisecondsValue(ini, "TIMER", "FILETIMER");
        if (s.fileTimer <= std::chrono::milliseconds::zero()) s.fileTimer = kDefaultFileTimer;
    }
    s.hostAddress = ini.GetText("HOST", "ADDRESS", 15);
    s.user = ini.GetText("HOST", "USER", 10);
    // Raw: a plain 0xDF scrambles to a blank, which trimming would take off.
    s.password = UnscramblePassword(ini.GetRawBytes("HOST", "PASSWORD", 10));
    s.jobQueue = ini.GetText("HOST", "JOBQ", 29);
    if (int port = IntValue(ini, "HOST", "PORT"); port > 0 && port < 65536) s.hostPort = port;
    if (int port = IntValue(ini, "MAIL", "PORT"); port > 0 && port < 65536) s.mailPort = port;
    s.hostInstalled = InstallFlagFrom(ini);
    if (const std::string days = ini.GetBytes("VERIFY", "DAYS", 63);
        !days.empty() && days[0] >= '0' && days[0] <= '9') {
        s.verifyAge = std::chrono::days(ParseDecimal(days));
    }
    ReadTlsSettings(ini, s);
    s.offsite = OffsiteSettingsFrom(ini);
    return s;
}

Expected<Settings> ReadSettings(const std::filesystem::path& iniPath,
                                const SettingsReading& reading) {
    const Expected<ProfileFile> ini = ProfileFile::Load(iniPath);
    if (!ini) return Unexpected{ini.error()};
    return SettingsFrom(*ini, reading);
}

ViewerFolders ViewerFoldersFrom(const ProfileFile& ini, std::size_t setFolderWidth) {
    return {ini.GetText("DIRECTORIES", "BACKUPSET", setFolderWidth),
            WithTrailingSlash(ini.GetText("DIRECTORIES", "BASEDIR", 255))};
}

Expected<ViewerFolders> ReadSetFolderName(const std::filesystem::path& iniPath,
                                          std::size_t setFolderWidth) {
    const Expected<ProfileFile> ini = ProfileFile::Load(iniPath);
    if (!ini) return Unexpected{ini.error()};
    return ViewerFoldersFrom(*ini, setFolderWidth);
}

Expected<void> EditSettingsFile(const std::filesystem::path& iniPath,
                                const std::function<void(ProfileFile&)>& edit) {
    Expected<ProfileFile> ini = ProfileFile::Load(iniPath);
    if (!ini) return Unexpected{ini.error()};
    edit(*ini);
    return ini->Save(iniPath);
}

void PutSettings(ProfileFile& ini, const Settings& s) {
    ini.SetText("DIRECTORIES", "BASEDIR", s.baseDir);
    ini.SetText("LOCAL", "TERMID", s.termId);
    ini.SetText("HOST", "ADDRESS", s.hostAddress);
    ini.SetText("HOST", "USER", s.user);
    ini.SetBytes("HOST", "PASSWORD", ScramblePassword(s.password));
    ini.SetText("HOST", "JOBQ", s.jobQueue);
    if (s.mailActive) {
        ini.SetText("MAIL", "MAILFROM", s.mailFrom);
        ini.SetText("MAIL", "ADDRESS", s.mailAddress);
        ini.SetText("MAIL", "SMTP", s.smtp);
    }
    ini.SetText("MAIL", "ACT", SwitchText(s.mailActive));
    ini.SetText("LOCAL", "LOG", SwitchText(s.detailLog));
    WriteTlsSettings(ini, s);
    WriteOffsiteSettings(ini, s.offsite);
}

Expected<void> WriteSettings(const std::filesystem::path& iniPath, const Settings& s) {
    return EditSettingsFile(iniPath, [&s](ProfileFile& ini) { PutSettings(ini, s); });
}

std::string EnsureSetFolder(const std::filesystem::path& programFolder, ProfileFile& ini) {
    std::string name = ini.GetText("DIRECTORIES", "BACKUPSET", 63);
    if (name.empty()) {
        name = std::string(kDefaultSetFolderName);
        ini.SetText("DIRECTORIES", "BACKUPSET", name);
    }
    std::error_code ignored;  // an existing folder is no error; a failure shows up later
    std::filesystem::create_directories(programFolder / name, ignored);
    std::filesystem::create_directories(programFolder / kLogFolderName, ignored);
    return name;
}

bool InstallFlagFrom(const ProfileFile& ini) {
    return SwitchValue(ini, "INSTALL", "AS");
}

Expected<bool> ReadInstallFlag(const std::filesystem::path& iniPath) {
    const Expected<ProfileFile> ini = ProfileFile::Load(iniPath);
    if (!ini) return Unexpected{ini.error()};
    return InstallFlagFrom(*ini);
}

Expected<void> WriteInstallFlag(const std::filesystem::path& iniPath) {
    return EditSettingsFile(
        iniPath, [](ProfileFile& ini) { ini.SetText("INSTALL", "AS", SwitchText(true)); });
}

}  // namespace zorva
