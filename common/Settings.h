#pragma once
// zorva.ini: the settings every program reads at its start and only the agent writes.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/Expected.h"
#include "common/ProfileFile.h"

namespace zorva {

inline constexpr std::string_view kSettingsFileName = "zorva.ini";
inline constexpr std::string_view kLogFolderName = "LOG_DAT";
inline constexpr std::string_view kDefaultSetFolderName = "BACKUPSET";
// The poll period of a FILETIMER of 0 or less; a JOBTIMER of 0 keeps its meaning.
inline constexpr std::chrono::milliseconds kDefaultFileTimer{10'000};

// [HOST] TLS: how the FTP connections are protected (absent = NO, today's plain FTP).
enum class HostTls { No, Explicit, Implicit };
// [MAIL] TLS: how the report mail travels (absent = NO, the plain SMTP dialogue).
enum class MailTls { No, StartTls, Smtps };

// [OFFSITE]: a copy of each finished generation in a restic repository. No repository: none.
struct OffsiteSettings {
    std::string repository;    // any restic repository string (path, sftp:, s3:, rest: ...)
    std::string passwordFile;  // the repository password, in a file of mode 0600
    std::string envFile;       // KEY=VALUE lines for the backend (mode 0600); empty = none
    std::optional<int> keep;   // snapshots kept per set; absent: the set's retention

    bool Enabled() const { return !repository.empty(); }
    friend bool operator==(const OffsiteSettings&, const OffsiteSettings&) = default;
};

// Texts are UTF-8, cut to the widths the reading program keeps. Password is the plain
// password's bytes. The file stores the switches as "YES"/"NO" and the timers as decimal
// milliseconds; only the reader and the writer below see those.
struct Settings {
    std::string backupSetFolder;  // BACKUPSET
    std::string baseDir;          // BASEDIR, ends with "/"
    std::string termId;
    std::string version;
    std::string mailAddress;
    std::string smtp;
    std::string mailFrom;
    std::string hostAddress;
    std::string user;
    std::string password;
    std::string jobQueue;  // JOBQ
    bool mailActive = false;
    bool detailLog = false;
    std::chrono::milliseconds monitorInterval{0};  // MONTIMER, agent
    std::chrono::milliseconds jobTimer{0};         // JOBTIMER, transfer agent and restore program
    // FILETIMER, transfer agent and restore program (> 0 once read)
    std::chrono::milliseconds fileTimer{0};
    bool hostInstalled = false;
    int hostPort = 21;              // [HOST] PORT
    int mailPort = 0;               // [MAIL] PORT; 0 = the "mail" service port, else 25
    HostTls hostTls = HostTls::No;  // [HOST] TLS
    std::string hostCaFile;         // [HOST] CAFILE; empty = the system's trust store
    std::string hostPinnedKey;      // [HOST] PINNEDKEY: "sha256//<base64>", empty = none
    MailTls mailTls = MailTls::No;  // [MAIL] TLS
    std::string mailCaFile;         // [MAIL] CAFILE
    std::string mailUser;           // [MAIL] USER; empty = no SMTP AUTH
    std::string mailPassword;       // [MAIL] PASSWORD, plain (scrambled in the file)
    // [VERIFY] DAYS: after a job, verify the generations older than this; absent = never.
    std::optional<std::chrono::days> verifyAge;
    OffsiteSettings offsite;
};

// What one program keeps of the file. Each program defines its own once and hands it to the
// reader, so the reader knows no program.
struct SettingsReading {
    std::size_t setFolderWidth = 63;  // BACKUPSET is cut to this many bytes
    bool monitorTimer = false;        // MONTIMER: the agent's scheduler
    bool jobTimers = false;           // JOBTIMER and FILETIMER: the programs waiting for host jobs
};

// The stored words of the TLS modes; an unknown word reads as NO.
HostTls ParseHostTls(std::string_view word);
std::string_view HostTlsWord(HostTls mode);
MailTls ParseMailTls(std::string_view word);
std::string_view MailTlsWord(MailTls mode);

std::filesystem::path SettingsPath(const std::filesystem::path& programFolder);

// True when the settings file (which holds the password) can be read by group or others.
bool SettingsReadableByOthers(const std::filesystem::path& iniPath);
// The daily-log warning about such a file: its path followed by the text.
std::string SettingsReadableWarning(const std::filesystem::path& iniPath);

// Each byte complemented; unscrambling stops at the first zero byte.
std::string ScramblePassword(std::string_view plain);
std::string UnscramblePassword(std::string_view scrambled);

// The leading decimal number of a text, 0 when there is none (out-of-range values clamp).
int ParseDecimal(std::string_view text);

// The settings of a file read once with ProfileFile::Load (every program reads it that way,
// and a file that is there but cannot be read is a Failure the program reports and stops on).
Settings SettingsFrom(const ProfileFile& ini, const SettingsReading& reading);
Expected<Settings> ReadSettings(const std::filesystem::path& iniPath,
                                const SettingsReading& reading);

// The viewers read only the set folder name (and the saved-data viewer the base folder).
struct ViewerFolders {
    std::string backupSetFolder;
    std::string baseDir;
};
ViewerFolders ViewerFoldersFrom(const ProfileFile& ini, std::size_t setFolderWidth);
Expected<ViewerFolders> ReadSetFolderName(const std::filesystem::path& iniPath,
                                          std::size_t setFolderWidth);

// [OFFSITE] alone, for a program that must not read the host password.
OffsiteSettings OffsiteSettingsFrom(const ProfileFile& ini);

// Every later change of the file: reads it as it is now (another program may have changed
// it), applies `edit` and writes it back through ProfileFile::Save. A file that cannot be read
// is not written.
Expected<void> EditSettingsFile(const std::filesystem::path& iniPath,
                                const std::function<void(ProfileFile&)>& edit);

// Puts the connection settings in their fixed order.
void PutSettings(ProfileFile& ini, const Settings& settings);
Expected<void> WriteSettings(const std::filesystem::path& iniPath, const Settings& settings);

// Names the set folder BACKUPSET in `ini` when it names none, and makes sure that folder and
// LOG_DAT exist. Returns the set folder name.
std::string EnsureSetFolder(const std::filesystem::path& programFolder, ProfileFile& ini);

bool InstallFlagFrom(const ProfileFile& ini);
Expected<bool> ReadInstallFlag(const std::filesystem::path& iniPath);
Expected<void> WriteInstallFlag(const std::filesystem::path& iniPath);

}  // namespace zorva
