#pragma once
// The checks of the connection settings dialog ("SETUP") without its window: which entries
// are taken over into the settings, which message the user sees and where the focus goes.

#include <filesystem>
#include <string>
#include <string_view>

#include "common/Settings.h"

namespace zorva::velmoro {

// Characters each edit takes besides control characters (typed lower case becomes upper case).
inline constexpr std::string_view kAddressCharacters = "0123456789.";
inline constexpr std::string_view kNameCharacters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ#$._@";
inline constexpr std::string_view kTerminalCharacters =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ#$._@/";

// Text limits of the edits.
inline constexpr int kTermIdLength = 10;
inline constexpr int kUserLength = 10;
inline constexpr int kPasswordLength = 10;
inline constexpr int kJobQueueLength = 21;
inline constexpr std::size_t kHostAddressWidth = 15;  // what zorva.ini keeps
inline constexpr std::size_t kBaseDirWidth = 255;
// zorva.ini keeps 127 bytes of each mail setting: a 128th character would be cut on reading.
inline constexpr int kMailFieldLength = 127;

enum class ConnectionField {
    None,
    TermId,
    BaseDir,
    HostAddress,
    User,
    Password,
    JobQueue,
    MailAddress,
    Smtp,
    MailFrom,
    PinnedKey,
    OffsitePasswordFile,
    OffsiteKeep
};

// What the dialog's controls hold.
struct ConnectionEntries {
    std::string termId;
    std::string baseDir;
    std::string hostAddress;
    std::string user;
    std::string password;
    std::string jobQueue;
    bool mailActive = false;
    std::string mailAddress;
    std::string smtp;
    std::string mailFrom;
    bool detailLog = false;
    // TLS (our extension); the mail ones are shown and taken only with mail on.
    HostTls hostTls = HostTls::No;
    std::string hostCaFile;
    std::string hostPinnedKey;
    MailTls mailTls = MailTls::No;
    std::string mailCaFile;
    std::string mailUser;
    std::string mailPassword;
    // Off-site copies (our extension); an empty repository turns them off.
    std::string offsiteRepository;
    std::string offsitePasswordFile;
    std::string offsiteEnvFile;
    std::string offsiteKeep;  // empty: the set's retention

    friend bool operator==(const ConnectionEntries&, const ConnectionEntries&) = default;
};

struct ConnectionCheck {
    bool ok = true;
    std::string message;  // the first failure's text
    ConnectionField focus = ConnectionField::None;
    bool selectAll = false;  // the focused edit's whole text is selected
};

// What the dialog shows when it opens: the mail edits are filled only when mail is on.
ConnectionEntries EntriesFrom(const Settings& settings);

// libcurl's pinned-key form: "sha256//" and the base64 of a SHA-256 (44 characters).
bool PinnedKeyLooksValid(std::string_view text);

// Four dot-separated groups of 1 to 3 characters at the start (runs of dots count as one).
bool AddressLooksValid(std::string_view text);

// Checks the entries in the dialog's order and takes each value over into `settings` as soon
// as it passed its own test. Only the first failure gives the message and the focus.
ConnectionCheck CheckConnectionSettings(const ConnectionEntries& entries,
                                        const std::filesystem::path& programFolder,
                                        Settings& settings);

}  // namespace zorva::velmoro
