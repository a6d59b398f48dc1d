#pragma once
// The small file through which the transfer agent tells the agent how far a running job has
// come: set, object under way and its percentage. It lives in the program folder while a job
// downloads and is replaced atomically, so a reader sees a whole note or the previous one.

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace zorva {

inline constexpr std::string_view kTransferProgressFileName = "qivftp.progress";

struct TransferProgressNote {
    std::string setName;
    std::string object;
    std::optional<int> percent;  // none while the size is unknown

    friend bool operator==(const TransferProgressNote&, const TransferProgressNote&) = default;
};

// "SET=…", "OBJECT=…", "PERCENT=…" lines (CP932, CR LF); PERCENT empty when unknown.
std::string TransferProgressContent(const TransferProgressNote& note);
// nullopt for bytes that are no note (no set line, a percentage outside 0-100).
std::optional<TransferProgressNote> ParseTransferProgress(std::string_view bytes);
// The note in the program folder; nullopt when there is none (no download under way) or it
// cannot be read.
std::optional<TransferProgressNote> ReadTransferProgress(
    const std::filesystem::path& programFolder);
// The agent's status line: "DAILY  OBJECT  42%" (without the percentage when unknown).
std::string TransferProgressText(const TransferProgressNote& note);

// Writes the newest note on a thread of its own, at most once per interval, so neither the
// transfer nor a window ever waits for the disk. A note left by an earlier run that ended
// abruptly goes when the publisher is made; its own goes when the publisher does.
class TransferProgressPublisher {
public:
    explicit TransferProgressPublisher(
        std::filesystem::path file, std::chrono::milliseconds interval = std::chrono::seconds(1));
    ~TransferProgressPublisher();
    TransferProgressPublisher(const TransferProgressPublisher&) = delete;
    TransferProgressPublisher& operator=(const TransferProgressPublisher&) = delete;

    // Keeps the note for the next write; returns at once.
    void Publish(TransferProgressNote note);

private:
    void Run();

    std::filesystem::path file_;
    std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<TransferProgressNote> pending_;
    bool stopping_ = false;
    std::thread writer_;  // last: starts when everything it uses is there
};

}  // namespace zorva
