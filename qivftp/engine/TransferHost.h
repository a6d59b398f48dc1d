#pragma once
// What a backup job needs from its host session. The production implementation sits on the
// libcurl session; tests replace it with a scripted double.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace zorva::qivftp {

enum class HostResult { Ok, Failed, Interrupted };

struct Attempts {
    int count;                       // attempts in all
    std::chrono::milliseconds pause;  // between two attempts
};

class TransferHost {
public:
    virtual ~TransferHost() = default;
    // Reports go to the job's message list and status line.
    // Logs on, with the session's own retries; reports its own texts.
    virtual HostResult Open() = 0;
    virtual HostResult ChangeLibrary(const std::string& library, Attempts attempts) = 0;
    // ASCII upload with the session's retries; reports its own failure text.
    virtual HostResult PutText(const std::filesystem::path& local, const std::string& remote) = 0;
    // After the last failed attempt reports the command followed by "コマンド実行に失敗しました".
    virtual HostResult Command(const std::string& command, Attempts attempts) = 0;
    // The last reply of the server, line by line (for a refused command).
    virtual std::vector<std::string> LastReplyLines() const = 0;
    // Replaces `local` only with a complete copy.
    virtual HostResult Get(const std::string& remote, const std::filesystem::path& local,
                           bool binary, Attempts attempts) = 0;
    virtual HostResult Delete(const std::string& remote) = 0;
    virtual void Close() = 0;
};

}  // namespace zorva::qivftp
