#include "common/host/HostSession.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <random>
#include <utility>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/TextFields.h"
#include "common/host/DownloadFile.h"
#include "common/host/HostListing.h"
#include "common/host/TlsFailure.h"

namespace zorva {
namespace {

constexpr long kReceiveBufferSize = 512L * 1024;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A listing larger than this is not a library's file list.
constexpr std::size_t kListingLimit = 4 * 1024 * 1024;

std::string PercentEncoded(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The reply code a line starts with, 0 when it starts with none.
int LeadingCode(std::string_view line) {
    if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2])) return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

size_t ReadFromFile(char* buffer, size_t size, size_t count, void* file) {
    std::FILE* in = static_cast<std::FILE*>(file);
    size_t got = std::fread(buffer, 1, size * count, in);
    if (got == 0 && std::ferror(in)) return CURL_READFUNC_ABORT;
    return got;
}

size_t Discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

// Every data transfer begins with a NOOP: libcurl 7.88 waits a whole second before it opens
// the data connection when it reads the PASV reply in the same pass that sent PASV (a quick
// server), and one command before PASV puts that reply into a later pass.
CurlList PaceCommand() {
    CurlList list;
    list.Append("NOOP");
    return list;
}

CurlList TypeCommand(TransferType type) {
    CurlList list;
    list.Append(type == TransferType::Ascii ? "TYPE A" : "TYPE I");
    return list;
}

size_t AppendToListing(char* data, size_t size, size_t count, void* listing) {
    auto* text = static_cast<std::string*>(listing);
    if (text->size() + size * count > kListingLimit) return 0;
    text->append(data, size * count);
    return size * count;
}

}  // namespace

HostSession::HostSession(const HostProfile& profile, HostEndpoint endpoint, Waiter& waiter,
                         HostSessionObserver& observer)
    : profile_(profile),
      endpoint_(std::move(endpoint)),
      waiter_(waiter),
      observer_(observer),
      tracker_(profile,
               [this](const HostProgress& progress) { observer_.OnHostProgress(progress); }) {}

HostSession::~HostSession() {
    Close();
}

RetryPolicy HostSession::PolicyFor(HostOperation operation,
                                   const std::optional<RetryPolicy>& retry) const {
    if (retry) return *retry;
    switch (operation) {
        case HostOperation::Open:
            return profile_.open;
        case HostOperation::Command:
            return profile_.command;
        case HostOperation::PutFile:
            return profile_.putFile;
        case HostOperation::SetCurrentLibrary:
            return profile_.setCurrentLibrary;
        case HostOperation::GetFile:
        case HostOperation::DeleteFile:
        case HostOperation::List:
            break;
    }
    return {1, 1s};
}

template <class Attempt>
HostStatus HostSession::Repeat(const RetryPolicy& retry, Attempt attempt) {
    for (int done = 1;; ++done) {
        if (waiter_.Interrupted()) return HostStatus::Interrupted;
        HostStatus status = attempt();
        if (status != HostStatus::Failed) return status;
        if (waiter_.Interrupted()) return HostStatus::Interrupted;
        if (!tlsFailure_.empty()) return HostStatus::Failed;
        if (done >= retry.attempts) return HostStatus::Failed;
        if (!waiter_.WaitFor(retry.pause)) return HostStatus::Interrupted;
    }
}

HostStatus HostSession::Open(std::optional<RetryPolicy> retry) {
    Close();
    tlsFailure_.clear();
    const RetryPolicy policy = PolicyFor(HostOperation::Open, retry);

    HostStatus status = Repeat(policy, [this] {
        easy_ = MakeCurlEasy();
        return easy_ ? HostStatus::Ok : HostStatus::Failed;
    });
    if (status == HostStatus::Failed) Report(std::string(profile_.openFailure));
    if (status != HostStatus::Ok) return status;

    status = Repeat(policy, [this] { return Configure() ? HostStatus::Ok : HostStatus::Failed; });
    if (status != HostStatus::Ok) {
        easy_.reset();
        if (status == HostStatus::Failed) Report(std::string(profile_.callbackFailure));
        return status;
    }

    if (!ApplyReplyTimeout() && !profile_.replyTimeoutFailure.empty()) {
        Report(std::string(profile_.replyTimeoutFailure));
    }

    status = Repeat(policy, [this] { return ConnectOnce(); });
    if (status == HostStatus::Ok) {
        Report(HostConnectedText());
        return status;
    }
    easy_.reset();
    ForgetSockets();
    if (status == HostStatus::Failed && !tlsFailure_.empty()) Report(tlsFailure_);
    if (status == HostStatus::Failed) Report(HostConnectFailureText());
    return status;
}

// Options that hold for the whole session, the callbacks among them.
bool HostSession::Configure() {
    CURL* h = easy_.get();
    const long connectMs = static_cast<long>(endpoint_.connectTimeout.count());
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        ok = curl_easy_setopt(h, option, value) == CURLE_OK && ok;
    };
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_PROTOCOLS_STR, endpoint_.tls == HostTls::Implicit ? "ftps" : "ftp");
    set(CURLOPT_USERNAME, endpoint_.user.c_str());
    set(CURLOPT_PASSWORD, endpoint_.password.c_str());
    set(CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    set(CURLOPT_FTP_USE_EPSV, 0L);
    set(CURLOPT_CONNECTTIMEOUT_MS, connectMs > 0 ? connectMs : 1L);
    // One connection at a time: when a lost connection is replaced, the old one goes.
    set(CURLOPT_MAXCONNECTS, 1L);
    // Large receives: save files are big, and fewer, larger writes keep pace with the network.
    set(CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    set(CURLOPT_VERBOSE, 1L);
    set(CURLOPT_DEBUGFUNCTION, &HostSession::OnDebug);
    set(CURLOPT_DEBUGDATA, static_cast<void*>(this));
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, &HostSession::OnTransferInfo);
    set(CURLOPT_XFERINFODATA, static_cast<void*>(this));
    set(CURLOPT_OPENSOCKETFUNCTION, &HostSession::OnOpenSocket);
    set(CURLOPT_OPENSOCKETDATA, static_cast<void*>(this));
    set(CURLOPT_CLOSESOCKETFUNCTION, &HostSession::OnCloseSocket);
    set(CURLOPT_CLOSESOCKETDATA, static_cast<void*>(this));
    set(CURLOPT_WRITEFUNCTION, &Discard);
    set(CURLOPT_ERRORBUFFER, errorText_);
    return ok && ConfigureTls();
}

// There is no switch that turns verification off: a host whose certificate cannot be verified
// gets no log-on, and so never the password (libcurl finishes TLS before USER).
//
// A pinned key is the operator's own trust in the host (its certificate is often self-signed),
// so it takes the place of the CA chain rather than adding to it. libcurl's OpenSSL backend
// still checks the host name with peer verification off, and checks the pinned key on every
// handshake, data connections included; the certificate's dates go unchecked, as they belong
// to the chain.
bool HostSession::ConfigureTls() {
    if (endpoint_.tls == HostTls::No) return true;
    CURL* h = easy_.get();
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        ok = curl_easy_setopt(h, option, value) == CURLE_OK && ok;
    };
    const bool pinned = !endpoint_.pinnedKey.empty();
    set(CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));  // PBSZ 0 / PROT P: data too
    set(CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
    set(CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    set(CURLOPT_SSL_VERIFYPEER, pinned ? 0L : 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    if (pinned) {
        set(CURLOPT_PINNEDPUBLICKEY, endpoint_.pinnedKey.c_str());
    } else if (!endpoint_.caFile.empty()) {
        set(CURLOPT_CAINFO, endpoint_.caFile.c_str());
    }
    return ok;
}

void HostSession::NoteTlsFailure(CURLcode code) {
    if (endpoint_.tls == HostTls::No) return;
    if (auto failure = ClassifyTlsFailure(code, errorText_))
        tlsFailure_ = TlsFailureText(*failure, errorText_);
}

// How long the server may keep a reply or a transfer waiting: the endpoint's, else the profile's
// (a day for long downloads).
bool HostSession::ApplyReplyTimeout() {
    const long seconds = endpoint_.replyTimeout > 0ms
                             ? static_cast<long>((endpoint_.replyTimeout.count() + 999) / 1000)
                             : static_cast<long>(profile_.replyTimeout.count());
    CURL* h = easy_.get();
    return curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, seconds) == CURLE_OK;
}

std::string HostSession::BaseUrl() const {
    std::string host = endpoint_.address;
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    const char* scheme = endpoint_.tls == HostTls::Implicit ? "ftps://" : "ftp://";
    return scheme + host + ":" + std::to_string(endpoint_.port) + "/";
}

void HostSession::PrepareRequest(const std::string& path, CurlList quote, CurlList prequote) {
    quote_ = std::move(quote);
    prequote_ = std::move(prequote);
    CURL* h = easy_.get();
    const std::string url = BaseUrl() + path;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_QUOTE, quote_.get());
    curl_easy_setopt(h, CURLOPT_PREQUOTE, prequote_.get());
    curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(h, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(h, CURLOPT_DIRLISTONLY, 0L);
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 0L);
    // libcurl's ASCII mode rewrites line ends on Linux; the type is set with a TYPE command of
    // our own instead, so files travel byte for byte.
    curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Discard);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(h, CURLOPT_READDATA, nullptr);
}

CURLcode HostSession::Perform(HostActivity activity, bool download) {
    tracker_.Begin(activity);
    replyLines_.clear();
    replyCode_ = 0;
    replyComplete_ = true;
    if (download) tracker_.DownloadStarted();
    errorText_[0] = '\0';
    CURLcode code = curl_easy_perform(easy_.get());
    tracker_.Begin(HostActivity::Idle);
    if (code != CURLE_OK &&
        (activity == HostActivity::Upload || activity == HostActivity::Download))
        LogTransferError(code);
    return code;
}

// Why a transfer failed, in libcurl's own words, for a detail log: the user-facing texts stay
// as they are, the log shows what went wrong on the wire.
void HostSession::LogTransferError(CURLcode code) {
    if (!profile_.transferErrorsLogged) return;
    if (code == CURLE_ABORTED_BY_CALLBACK && waiter_.Interrupted()) return;
    const std::string reason = errorText_[0] != '\0' ? errorText_ : curl_easy_strerror(code);
    observer_.OnHostProgress(HostProgress{{}, std::string(kTransferErrorPrefix) + reason});
}

HostStatus HostSession::Outcome(CURLcode code) const {
    if (code == CURLE_OK) return HostStatus::Ok;
    if (code == CURLE_ABORTED_BY_CALLBACK && waiter_.Interrupted()) return HostStatus::Interrupted;
    return HostStatus::Failed;
}

bool HostSession::ReplyAccepted() const {
    return replyComplete_ && replyCode_ > 0 && replyCode_ < 400;
}

// libcurl answers a server that calls itself OS/400 with SITE NAMEFMT 1 (path names); the
// host's names are "LIBRARY/FILE", so every new connection asks for format 0 back. Other
// servers refuse the command, which changes nothing.
CurlList HostSession::LogOnCommands() const {
    CurlList commands;
    commands.Append("*SITE NAMEFMT 0");
    if (!currentLibrary_.empty()) commands.Append("*CWD " + ToCp932(currentLibrary_));
    return commands;
}

// One log-on; `fresh` after the server dropped the connection: a new one, not the dead one.
HostStatus HostSession::ConnectOnce(bool fresh) {
    PrepareRequest("", LogOnCommands(), {});
    curl_easy_setopt(easy_.get(), CURLOPT_NOBODY, 1L);
    curl_easy_setopt(easy_.get(), CURLOPT_FRESH_CONNECT, fresh ? 1L : 0L);
    const CURLcode code = Perform(HostActivity::Connect);
    curl_easy_setopt(easy_.get(), CURLOPT_FRESH_CONNECT, 0L);
    NoteTlsFailure(code);
    return Outcome(code);
}

bool HostSession::ControlConnectionAlive() const {
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(easy_.get(), CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK ||
        socket == CURL_SOCKET_BAD) {
        return false;
    }
    // An idle control connection has nothing to read; anything there (a closing notice, the
    // end of the stream) means the server is done with it.
    pollfd check{socket, POLLIN, 0};
    return ::poll(&check, 1, 0) == 0;
}

// Logs on again after the server dropped the connection, and restores the current library,
// so the caller's names keep their meaning.
HostStatus HostSession::EnsureConnection() {
    if (ControlConnectionAlive()) return HostStatus::Ok;
    tlsFailure_.clear();
    HostStatus status = ConnectOnce(true);
    // A certificate refused now (the host's changed since the log-on) is named as at the
    // log-on, and the operation is not tried again.
    if (!tlsFailure_.empty()) Report(tlsFailure_);
    if (status == HostStatus::Ok && !currentLibrary_.empty() && !ReplyAccepted()) {
        status = HostStatus::Failed;
    }
    return status;
}

// Sends one raw command. The leading '*' tells libcurl that the command may fail without
// ending the control connection; the reply code decides instead.
HostStatus HostSession::Quote(HostActivity activity, const std::string& command) {
    if (!easy_) return HostStatus::Failed;
    if (HostStatus status = EnsureConnection(); status != HostStatus::Ok) return status;
    CurlList quote;
    if (!quote.Append("*" + ToCp932(command))) return HostStatus::Failed;
    PrepareRequest("", std::move(quote), {});
    curl_easy_setopt(easy_.get(), CURLOPT_NOBODY, 1L);
    HostStatus status = Outcome(Perform(activity));
    if (status == HostStatus::Ok && !ReplyAccepted()) status = HostStatus::Failed;
    return status;
}

HostStatus HostSession::Command(std::string_view command, std::optional<RetryPolicy> retry) {
    const std::string text(command);
    HostStatus status = HostStatus::Failed;
    // Only this command's refusal may be read afterwards: a stop that comes before the first
    // attempt or in the middle of one leaves no answer of the host behind.
    replyLines_.clear();
    if (easy_) {
        status = Repeat(PolicyFor(HostOperation::Command, retry), [&] {
            const HostStatus attempt = Quote(HostActivity::Command, text);
            if (attempt == HostStatus::Interrupted) replyLines_.clear();
            return attempt;
        });
    }
    if (status == HostStatus::Failed) Report(HostCommandFailureText(profile_, text));
    return status;
}

HostStatus HostSession::SetCurrentLibrary(std::string_view library,
                                          std::optional<RetryPolicy> retry) {
    if (!easy_) return HostStatus::Failed;
    const std::string command = "CWD " + std::string(library);
    HostStatus status = Repeat(PolicyFor(HostOperation::SetCurrentLibrary, retry),
                               [&] { return Quote(HostActivity::Command, command); });
    if (status == HostStatus::Ok) currentLibrary_ = std::string(library);
    return status;
}

HostStatus HostSession::DeleteFile(std::string_view remoteName, std::optional<RetryPolicy> retry) {
    if (!easy_) return HostStatus::Failed;
    const std::string command = "DELE " + std::string(remoteName);
    // Callers delete in the middle of their downloads; the texts are those of a download.
    return Repeat(PolicyFor(HostOperation::DeleteFile, retry),
                  [&] { return Quote(HostActivity::Download, command); });
}

HostStatus HostSession::PutOnce(const fs::path& localPath, std::string_view remoteName,
                                TransferType type) {
    if (HostStatus status = EnsureConnection(); status != HostStatus::Ok) return status;
    File file(std::fopen(localPath.c_str(), "rb"));
    struct stat info {};
    if (!file || ::fstat(::fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
        return HostStatus::Failed;
    }
    PrepareRequest(PercentEncoded(ToCp932(remoteName)), PaceCommand(), TypeCommand(type));
    CURL* h = easy_.get();
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(info.st_size));
    curl_easy_setopt(h, CURLOPT_READFUNCTION, &ReadFromFile);
    curl_easy_setopt(h, CURLOPT_READDATA, static_cast<void*>(file.get()));
    HostStatus status = Outcome(Perform(HostActivity::Upload));
    curl_easy_setopt(h, CURLOPT_READDATA, nullptr);
    curl_easy_setopt(h, CURLOPT_UPLOAD, 0L);
    return status;
}

HostStatus HostSession::PutFile(const fs::path& localPath, std::string_view remoteName,
                                TransferType type, std::optional<RetryPolicy> retry) {
    HostStatus status = HostStatus::Failed;
    if (easy_) {
        status = Repeat(PolicyFor(HostOperation::PutFile, retry),
                        [&] { return PutOnce(localPath, remoteName, type); });
    }
    if (status == HostStatus::Failed) {
        if (auto text = HostUploadFailureText(profile_, localPath.string())) Report(*text);
    }
    return status;
}

HostStatus HostSession::GetOnce(std::string_view remoteName, const fs::path& localPath,
                                TransferType type, std::error_code& localError) {
    localError.clear();
    if (HostStatus status = EnsureConnection(); status != HostStatus::Ok) return status;
    const bool text = type == TransferType::Ascii;
    // Save files are hashed on their way to disk; the checksum goes to the folder's manifest.
    DownloadFile download(localPath,
                          text ? kTextFetchLimit : std::numeric_limits<std::uint64_t>::max(),
                          text ? DownloadDigest::None : DownloadDigest::Sha256);
    localError = download.LocalError();
    if (!download.Opened()) return HostStatus::Failed;
    PrepareRequest(PercentEncoded(ToCp932(remoteName)), PaceCommand(), TypeCommand(type));
    CURL* h = easy_.get();
    // The size the server gives is that of its own copy, which a text transfer changes; only
    // a binary download is checked against it.
    curl_easy_setopt(h, CURLOPT_IGNORE_CONTENT_LENGTH, type == TransferType::Ascii ? 1L : 0L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &DownloadFile::Receive);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, static_cast<void*>(&download));
    HostStatus status = Outcome(Perform(HostActivity::Download, true));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Discard);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
    if (status == HostStatus::Ok && !download.Commit()) status = HostStatus::Failed;
    localError = download.LocalError();
    if (status == HostStatus::Ok) downloadSha256_ = download.Sha256Digest();
    return status;
}

HostStatus HostSession::GetFile(std::string_view remoteName, const fs::path& localPath,
                                TransferType type, std::optional<RetryPolicy> retry) {
    downloadSha256_.reset();
    if (!easy_) return HostStatus::Failed;
    std::error_code localError;
    const HostStatus status = Repeat(PolicyFor(HostOperation::GetFile, retry), [&] {
        return GetOnce(remoteName, localPath, type, localError);
    });
    // The host's failures stay the caller's to word; a PC that could not keep what came (a
    // full disk) is said here, with the system's reason.
    if (status == HostStatus::Failed && localError)
        Report(LocalFileFailureText(localPath, localError));
    return status;
}

HostStatus HostSession::ListOnce(std::string_view library, std::vector<std::string>& names) {
    if (HostStatus status = EnsureConnection(); status != HostStatus::Ok) return status;
    std::string listing;
    PrepareRequest(PercentEncoded(ToCp932(library)) + "/", PaceCommand(), {});
    CURL* h = easy_.get();
    curl_easy_setopt(h, CURLOPT_DIRLISTONLY, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &AppendToListing);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, static_cast<void*>(&listing));
    HostStatus status = Outcome(Perform(HostActivity::Command));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Discard);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(h, CURLOPT_DIRLISTONLY, 0L);
    if (status == HostStatus::Ok) {
        for (std::string_view line : SplitLines(listing)) names.push_back(FromCp932(line));
    }
    return status;
}

HostStatus HostSession::List(std::string_view library, std::vector<std::string>& names,
                             std::optional<RetryPolicy> retry) {
    names.clear();
    if (!easy_ || library.empty()) return HostStatus::Failed;
    return Repeat(PolicyFor(HostOperation::List, retry), [&] {
        names.clear();
        return ListOnce(library, names);
    });
}

std::optional<std::int64_t> HostSession::FileSize(std::string_view remoteName) {
    if (!easy_ || remoteName.empty() || EnsureConnection() != HostStatus::Ok) return std::nullopt;
    std::string listing;
    const std::string command = "LIST " + ToCp932(remoteName);
    PrepareRequest("", PaceCommand(), {});
    CURL* h = easy_.get();
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, command.c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &AppendToListing);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, static_cast<void*>(&listing));
    // Idle: the question shows no progress text, the message list stays as it was.
    const HostStatus status = Outcome(Perform(HostActivity::Idle));
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, nullptr);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Discard);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
    if (status != HostStatus::Ok) return std::nullopt;
    return ListedFileSize(listing);
}

void HostSession::Close() {
    if (!easy_) return;
    tracker_.Begin(HostActivity::Idle);
    LogOff();
    easy_.reset();  // closes what is left of the connection
    // Connections libcurl let go without closing them itself still end here.
    for (std::size_t open = controlSockets_.size(); open > 0; --open) tracker_.ConnectionClosed();
    ForgetSockets();
    currentLibrary_.clear();
}

// QUIT goes out as a command of our own, so that the wait for its answer has our short limit:
// libcurl's own QUIT at cleanup waits as long as the session's reply time-out allows. The
// connection is closed afterwards whatever the answer, and a stop request does not cut the
// log-off short (it is already bounded).
void HostSession::LogOff() {
    if (!ControlConnectionAlive()) return;
    CurlList quit;
    if (!quit.Append("QUIT")) return;
    PrepareRequest("", std::move(quit), {});
    CURL* h = easy_.get();
    const long seconds = static_cast<long>((endpoint_.quitTimeout.count() + 999) / 1000);
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds > 0 ? seconds : 1L);
    loggingOff_ = true;
    curl_easy_perform(h);
    loggingOff_ = false;
}

int HostSession::OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* self) {
    auto* session = static_cast<HostSession*>(self);
    const std::string_view text(data, size);
    switch (type) {
        case CURLINFO_HEADER_OUT:
            // Only the fact that a command went out is used: this text may be the password.
            session->ControlConnectionAnswered();
            session->replyComplete_ = true;
            session->tracker_.CommandSent();
            break;
        case CURLINFO_HEADER_IN:
            session->ControlConnectionAnswered();
            for (std::string_view line : SplitLines(text)) session->OnReplyLine(line);
            break;
        default:
            break;
    }
    return 0;
}

// A control connection counts as made when the first byte of the conversation crosses it
// (the server's greeting): after the TCP connect, before any command. A connect that fails
// never gets here, so it is neither "connected" nor, later, "closed".
void HostSession::ControlConnectionAnswered() {
    if (connectingSocket_ == CURL_SOCKET_BAD) return;
    controlSockets_.insert(connectingSocket_);
    connectingSocket_ = CURL_SOCKET_BAD;
    tracker_.Connected(connectingAddress_);
}

void HostSession::ForgetSockets() {
    controlSockets_.clear();
    connectingSocket_ = CURL_SOCKET_BAD;
}

void HostSession::OnReplyLine(std::string_view line) {
    if (replyComplete_) {
        replyLines_.clear();
        replyCode_ = LeadingCode(line);
        replyComplete_ = false;
    }
    replyLines_.push_back(FromCp932(line));
    // A reply ends with the line that carries its code followed by a blank (or nothing).
    const bool last = (line.size() == 3 || (line.size() > 3 && line[3] == ' ')) &&
                      LeadingCode(line) == replyCode_;
    if (last || replyCode_ == 0) replyComplete_ = true;
}

int HostSession::OnTransferInfo(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                                curl_off_t uploaded) {
    auto* session = static_cast<HostSession*>(self);
    const HostActivity activity = session->tracker_.Activity();
    const bool upload = activity == HostActivity::Upload;
    const auto bytes = static_cast<std::int64_t>(upload ? uploaded : downloaded);
    session->tracker_.Bytes(bytes);
    if (upload || activity == HostActivity::Download) session->observer_.OnTransferBytes(bytes);
    return session->waiter_.Interrupted() && !session->loggingOff_ ? 1 : 0;
}

curl_socket_t HostSession::OnOpenSocket(void* self, curlsocktype, curl_sockaddr* address) {
    auto* session = static_cast<HostSession*>(self);
    char text[INET6_ADDRSTRLEN] = "";
    if (address->family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address->addr);
        ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    } else if (address->family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&address->addr);
        ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    }
    session->tracker_.Connecting(text);
    const curl_socket_t fd =
        ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    // Sockets opened while logging on are control connections; the others carry data.
    if (fd >= 0 && session->tracker_.Activity() == HostActivity::Connect) {
        session->connectingSocket_ = fd;
        session->connectingAddress_ = text;
    }
    return fd;
}

int HostSession::OnCloseSocket(void* self, curl_socket_t fd) {
    auto* session = static_cast<HostSession*>(self);
    if (session->controlSockets_.erase(fd) > 0) session->tracker_.ConnectionClosed();
    if (session->connectingSocket_ == fd) session->connectingSocket_ = CURL_SOCKET_BAD;
    return ::close(fd);
}

}  // namespace zorva
