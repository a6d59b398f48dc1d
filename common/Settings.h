#pragma once
// zorva.ini: the settings every program reads at its start and only the agent writes.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/Program.h"

namespace zorva {

inline constexpr std::string_view kSettingsFileName = "zorva.ini";
inline constexpr std::string_view kLogFolderName = "LOG_DAT";
inline constexpr std::string_view kDefaultSetFolderName = "BACKUPSET";
// The poll period (ms) of a FILETIMER of 0 or less; a JOBTIMER of 0 keeps its meaning.
inline constexpr int kDefaultFileTimer = 10'000;

// [HOST] TLS: how the FTP connections are protected (absent = NO, today's plain FTP).
enum class HostTls { No, Explicit, Implicit };
// [MAIL] TLS: how the report mail travels (absent = NO, the plain SMTP dialogue).
enum class MailTls { No, StartTls, Smtps };

// Texts are UTF-8, cut to the widths the reading program keeps. Password is the plain
// password's bytes.
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
    int mailActive = 0;
    int detailLog = 0;
    int monitorInterval = 0;  // MONTIMER, agent
    int jobTimer = 0;         // JOBTIMER, transfer agent and restore program
    int fileTimer = 0;        // FILETIMER, transfer agent and restore program (> 0 once read)
    int hostInstalled = 0;
    int hostPort = 21;              // [HOST] PORT
    int mailPort = 0;               // [MAIL] PORT; 0 = the "mail" service port, else 25
    HostTls hostTls = HostTls::No;  // [HOST] TLS
    std::string hostCaFile;         // [HOST] CAFILE; empty = the system's trust store
    std::string hostPinnedKey;      // [HOST] PINNEDKEY: "sha256//<base64>", empty = none
    MailTls mailTls = MailTls::No;  // [MAIL] TLS
    std::string mailCaFile;         // [MAIL] CAFILE
    std::string mailUser;           // [MAIL] USER; empty = no SMTP AUTH
    std::string mailPassword;       // [MAIL] PASSWORD, plain (scrambled in the file)
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

// What a program logs and shows, and then stops, when the settings file is there but cannot be
// read: its path, "を読み取れない：" and the system's reason. nullopt when it can be read or
// does not exist (every key then reads as absent).
std::optional<std::string> SettingsReadFailure(const std::filesystem::path& iniPath);

Settings ReadSettings(const std::filesystem::path& iniPath, Program reader);

// The viewers read only the set folder name (and the saved-data viewer the base folder).
struct ViewerFolders {
    std::string backupSetFolder;
    std::string baseDir;
};
ViewerFolders ReadSetFolderName(const std::filesystem::path& iniPath, std::size_t setFolderWidth);

// Writes the connection settings in their fixed order; false when the file could not be
// replaced (the old one stays).
bool WriteSettings(const std::filesystem::path& iniPath, const Settings& settings);

// Makes sure BACKUPSET names a folder (writing the default when it is empty) and that the set
// folder and LOG_DAT exist. Returns the set folder name.
std::string EnsureSetFolder(const std::filesystem::path& programFolder);

int ReadInstallFlag(const std::filesystem::path& iniPath);
bool WriteInstallFlag(const std::filesystem::path& iniPath);

// Lets the owner write the file again (what clearing its attributes once did).
void MakeSettingsWritable(const std::filesystem::path& iniPath);

}  // namespace zorva
