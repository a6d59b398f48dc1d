#pragma once
// The FTP session with the host: log-on, raw commands (RCMD, CWD, DELE), file transfers in both
// directions, with the retry discipline, progress texts and failure texts of the host profile
// of the program that owns it.
//
// One libcurl easy handle serves every operation, so the control connection, the log-on and the
// current library persist between calls. Names go to the server as given ("STOR DAILY",
// "RETR DAILY/SAVLIBS"), relative to the current library. Passive mode (PASV).
//
// Every operation returns Ok, Failed or Interrupted. Interrupted means the Waiter was
// interrupted: a retry pause ends at once, a running transfer or command is aborted from
// libcurl's progress callback, and no further attempt is made. Nothing is reported for an
// interrupted operation.
//
// Between attempts the session waits `RetryPolicy::pause` through the Waiter. Each operation
// takes an optional policy; without one it uses the profile's.
//
// Blocking: call it from a worker thread, never the GUI thread. Observer calls come on the
// calling thread, during the operation (Close and the destructor included); the waiter and the
// observer must outlive the session. Waiter::Interrupt may come from any thread.
//
// Text crosses the wire in CP932. A refused command keeps the connection. When the server has
// closed the control connection, the next operation logs on again and first makes the current
// library current again. Every connection asks for naming format 0 ("LIBRARY/FILE"), which
// libcurl would otherwise switch away from on an OS/400 server. The transfer type is set with
// TYPE A / TYPE I right before each transfer: files travel byte for byte in both types.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/Settings.h"
#include "common/Waiter.h"
#include "common/host/CurlHandle.h"
#include "common/host/HostConnection.h"
#include "common/host/HostProfile.h"
#include "common/host/HostProgressTracker.h"
#include "common/host/HostTexts.h"

namespace zorva {

struct HostEndpoint {
    std::string address;  // [HOST] ADDRESS: host name or IP address
    int port = 21;        // [HOST] PORT
    std::string user;
    std::string password;  // plain; sent only in the log-on, never reported
    // A connection (TCP and log-on) not made within this fails like a refused one, so an
    // address that swallows packets goes through the same retries.
    std::chrono::milliseconds connectTimeout{10'000};
    // How long the server may take to answer a command or keep a transfer silent;
    // zero = the profile's.
    std::chrono::milliseconds replyTimeout{0};
    // How long Close waits for the answer to QUIT: a silent host must not hold the end of a
    // job (and its lock) for the reply time-out's day.
    std::chrono::milliseconds quitTimeout{10'000};
    // TLS: with Explicit or Implicit every connection, control and data, is protected and the
    // certificate's host name is verified. Its public key must match `pinnedKey` when that is
    // set, whatever signed it (`caFile` is then not used); otherwise the certificate is
    // verified against `caFile`, or the system's store when empty. The log-on goes out only
    // after that.
    HostTls tls = HostTls::No;
    std::string caFile{};
    std::string pinnedKey{};  // "sha256//<base64>"
};

// A detail log that keeps transfer errors (HostProfile::transferErrorsLogged) gets this followed
// by libcurl's reason for every failed upload or download attempt.
inline constexpr std::string_view kTransferErrorPrefix = "転送エラー（libcurl）：";

enum class HostOperation { Open, Command, SetCurrentLibrary, PutFile, GetFile, DeleteFile, List };

class HostSessionObserver {
public:
    virtual ~HostSessionObserver() = default;
    // A progress text while libcurl works (see HostProgress for where each part goes).
    virtual void OnHostProgress(const HostProgress& progress) = 0;
    // A text the program reports: a failure after the last attempt, or "ホストに接続しました".
    // The agent keeps it as its last error text and logs it; the transfer agent logs it and
    // shows it in its status line; the restore program adds it to its message list and log.
    virtual void OnHostReport(const std::string& text) = 0;
    // The bytes of the running upload or download so far, on every libcurl progress callback:
    // keep it cheap.
    virtual void OnTransferBytes(std::int64_t bytes) { (void)bytes; }
};

class HostSession final : public HostConnection {
public:
    HostSession(const HostProfile& profile, HostEndpoint endpoint, Waiter& waiter,
                HostSessionObserver& observer);
    ~HostSession() override;
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Closes an earlier connection, then connects and logs on. Reports "ホストに接続しました", or
    // the connect failure text (after which the session is closed).
    HostStatus Open(std::optional<RetryPolicy> retry = std::nullopt) override;

    // Sends `command` as it is (a leading blank stays) without a data connection; a reply of
    // 400 or more fails the attempt. After the last failed attempt reports the command
    // followed by the program's failure text; LastReplyLines() then holds the server's answer.
    // When a stop ends the retries, it holds the refusal of the last attempt, or nothing.
    HostStatus Command(std::string_view command,
                       std::optional<RetryPolicy> retry = std::nullopt) override;

    // CWD to `library`; it stays current for later operations. Reports nothing.
    HostStatus SetCurrentLibrary(std::string_view library,
                                 std::optional<RetryPolicy> retry = std::nullopt) override;

    // Uploads the local file under `remoteName`. After the last failed attempt reports the local
    // path followed by the profile's upload failure text, or nothing when it has none.
    HostStatus PutFile(const std::filesystem::path& localPath, std::string_view remoteName,
                       TransferType type, std::optional<RetryPolicy> retry = std::nullopt) override;

    // Downloads `remoteName` into a temporary file beside `localPath` and renames it to
    // `localPath` only when complete (an existing file is replaced). A failed or interrupted
    // download leaves no partial file and an earlier `localPath` intact; an ASCII download
    // past kTextFetchLimit is aborted as failed. Reports only a local file that could not be
    // written after the last attempt: its path, "ローカルファイルが開けない：" and the reason.
    HostStatus GetFile(std::string_view remoteName, const std::filesystem::path& localPath,
                       TransferType type, std::optional<RetryPolicy> retry = std::nullopt) override;

    std::optional<std::string> LastDownloadSha256() const override { return downloadSha256_; }

    // DELE `remoteName`. Reports nothing.
    HostStatus DeleteFile(std::string_view remoteName,
                          std::optional<RetryPolicy> retry = std::nullopt) override;

    // The entry names of a library (NLST), in the server's order. Reports nothing.
    HostStatus List(std::string_view library, std::vector<std::string>& names,
                    std::optional<RetryPolicy> retry = std::nullopt) override;

    // LIST `remoteName` and read the size column of its line. One attempt; reports nothing.
    std::optional<std::int64_t> FileSize(std::string_view remoteName) override;

    // Logs off (waiting at most `quitTimeout` for the answer) and closes the connection;
    // harmless when not open.
    void Close() override;
    bool IsOpen() const override { return static_cast<bool>(easy_); }

    // The lines of the server's last reply during the last attempt of the last operation
    // (reply codes kept, line ends and empty lines dropped), for logging after a refusal.
    const std::vector<std::string>& LastReplyLines() const override { return replyLines_; }

private:
    template <class Attempt>
    HostStatus Repeat(const RetryPolicy& retry, Attempt attempt);
    RetryPolicy PolicyFor(HostOperation operation, const std::optional<RetryPolicy>& retry) const;

    bool Configure();
    bool ConfigureTls();
    void NoteTlsFailure(CURLcode code);
    bool ApplyReplyTimeout();
    CurlList LogOnCommands() const;
    HostStatus ConnectOnce(bool fresh = false);
    HostStatus EnsureConnection();
    void LogOff();
    bool ControlConnectionAlive() const;
    HostStatus Quote(HostActivity activity, const std::string& command);
    HostStatus PutOnce(const std::filesystem::path& localPath, std::string_view remoteName,
                       TransferType type);
    // `localError`: why the PC's side of this attempt failed, empty when it did not.
    HostStatus GetOnce(std::string_view remoteName, const std::filesystem::path& localPath,
                       TransferType type, std::error_code& localError);
    HostStatus ListOnce(std::string_view library, std::vector<std::string>& names);
    void PrepareRequest(const std::string& path, CurlList quote, CurlList prequote);
    CURLcode Perform(HostActivity activity, bool download = false);
    void LogTransferError(CURLcode code);
    HostStatus Outcome(CURLcode code) const;
    bool ReplyAccepted() const;
    std::string BaseUrl() const;
    void Report(const std::string& text) { observer_.OnHostReport(text); }

    // libcurl callbacks.
    static int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* self);
    static int OnTransferInfo(void* self, curl_off_t downloadTotal, curl_off_t downloaded,
                              curl_off_t uploadTotal, curl_off_t uploaded);
    static curl_socket_t OnOpenSocket(void* self, curlsocktype purpose, curl_sockaddr* address);
    static int OnCloseSocket(void* self, curl_socket_t fd);
    void ControlConnectionAnswered();
    void ForgetSockets();
    void OnReplyLine(std::string_view line);

    HostProfile profile_;
    HostEndpoint endpoint_;
    Waiter& waiter_;
    HostSessionObserver& observer_;
    HostProgressTracker tracker_;
    CurlEasy easy_;
    CurlList quote_;
    CurlList prequote_;
    std::string currentLibrary_;
    // Progress of the connections comes from libcurl's socket callbacks, not its debug text.
    std::set<curl_socket_t> controlSockets_;            // control connections made and still open
    curl_socket_t connectingSocket_ = CURL_SOCKET_BAD;  // a control connection being made
    std::string connectingAddress_;
    std::vector<std::string> replyLines_;
    std::optional<std::string> downloadSha256_;  // of the last binary download
    int replyCode_ = 0;
    bool replyComplete_ = true;
    bool loggingOff_ = false;
    // Why the last connect was refused by TLS: it ends the log-on's retries, since another
    // attempt meets the same certificate.
    std::string tlsFailure_;
    char errorText_[CURL_ERROR_SIZE] = {};  // libcurl's text of the last failure
};

}  // namespace zorva
