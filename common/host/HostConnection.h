#pragma once
// The host as every engine sees it: log-on, raw commands, the current library, transfers and
// listings. The libcurl session implements it; engine tests use the scripted double in
// tests/support/ScriptedHost.h.
//
// Every operation returns Ok, Failed or Interrupted. Interrupted means the program asked to stop
// (its Waiter was interrupted): no further attempt is made and nothing is reported. Texts cross
// this interface as UTF-8; names and commands are converted at the wire.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorva {

enum class HostStatus { Ok, Failed, Interrupted };

enum class TransferType { Ascii, Binary };

// A text file fetched from the host (progress list, VERIFIED, CHKOBJF, host start file, restore
// list) is a few kilobytes; an ASCII download that grows past this is aborted as failed.
inline constexpr std::uint64_t kTextFetchLimit = 1 << 20;

// Attempts and the pause between two of them. Each operation takes an optional policy; without
// one the connection uses the owning program's default for that operation.
struct RetryPolicy {
    int attempts = 1;  // in all, at least 1
    std::chrono::milliseconds pause{1000};

    friend bool operator==(const RetryPolicy&, const RetryPolicy&) = default;
};

class HostConnection {
public:
    virtual ~HostConnection() = default;

    // Closes an earlier connection, then connects and logs on. Reports "ホストに接続しました" or
    // the connect failure text.
    virtual HostStatus Open(std::optional<RetryPolicy> retry = std::nullopt) = 0;

    // Sends `command` as it is (a leading blank stays); a reply of 400 or more fails the
    // attempt. After the last failed attempt reports the command with the program's failure
    // text; LastReplyLines() then holds the server's answer. When a stop (or a time limit) ends
    // the retries, it holds the refusal of the last attempt, or nothing when there was none.
    virtual HostStatus Command(std::string_view command,
                               std::optional<RetryPolicy> retry = std::nullopt) = 0;

    // CWD to `library`; it stays current for later operations. Reports nothing.
    virtual HostStatus SetCurrentLibrary(std::string_view library,
                                         std::optional<RetryPolicy> retry = std::nullopt) = 0;

    // Uploads the local file under `remoteName` (relative to the current library).
    virtual HostStatus PutFile(const std::filesystem::path& localPath, std::string_view remoteName,
                               TransferType type,
                               std::optional<RetryPolicy> retry = std::nullopt) = 0;

    // Downloads `remoteName` to `localPath`, replacing an earlier file only with a complete copy.
    // A failed or interrupted download leaves no partial file. An ASCII download of more than
    // kTextFetchLimit bytes fails. Reports only a local file that could not be written (after
    // the last attempt, with the system's reason).
    virtual HostStatus GetFile(std::string_view remoteName, const std::filesystem::path& localPath,
                               TransferType type,
                               std::optional<RetryPolicy> retry = std::nullopt) = 0;

    // DELE `remoteName`. Reports nothing.
    virtual HostStatus DeleteFile(std::string_view remoteName,
                                  std::optional<RetryPolicy> retry = std::nullopt) = 0;

    // The entry names of a library (NLST), in the server's order. Reports nothing.
    virtual HostStatus List(std::string_view library, std::vector<std::string>& names,
                            std::optional<RetryPolicy> retry = std::nullopt) = 0;

    // The size of `remoteName` from the size column of the server's LIST answer, asked once and
    // reporting nothing: it only sizes a progress bar. nullopt when the server does not tell it.
    virtual std::optional<std::int64_t> FileSize(std::string_view remoteName) {
        (void)remoteName;
        return std::nullopt;
    }

    // Logs off and closes the connection, waiting a few seconds at most for the server's
    // answer to the log-off; harmless when not open.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // The lines of the server's last reply during the last attempt of the last operation (reply
    // codes kept, line ends and empty lines dropped), for logging after a refusal.
    virtual const std::vector<std::string>& LastReplyLines() const = 0;
};

}  // namespace zorva
