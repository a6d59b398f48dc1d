#include "qivftp/engine/ReportMail.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "common/Codec.h"
#include "common/JobResultLog.h"
#include "common/UniqueFd.h"
#include "qivftp/engine/SecureMail.h"

namespace zorva::qivftp {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr int kDefaultMailPort = 25;
constexpr std::size_t kReplyBufferSize = 1024;

// Waits until `fd` is ready for `events` or the deadline passes.
bool WaitReady(int fd, short events, steady_clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) return false;
        pollfd entry{fd, events, 0};
        const int n = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
        if (n > 0) return true;
        if (n == 0) return false;
        if (errno != EINTR) return false;
    }
}

std::optional<sockaddr_in> ResolveIpv4(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

bool ConnectWithin(int fd, const sockaddr_in& address, milliseconds timeout) {
    const auto* target = reinterpret_cast<const sockaddr*>(&address);
    if (::connect(fd, target, sizeof address) == 0) return true;
    if (errno != EINPROGRESS) return false;
    if (!WaitReady(fd, POLLOUT, steady_clock::now() + timeout)) return false;
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

// Sends all bytes; a failure is not judged (the dialogue goes on), so nothing is returned.
void SendAll(int fd, std::string_view bytes, milliseconds timeout) {
    const auto deadline = steady_clock::now() + timeout;
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitReady(fd, POLLOUT, deadline)) return;
        } else {
            return;
        }
    }
}

// One receive of at most 1024 bytes. nullopt when nothing came within the time-out; an empty
// text when the server closed the connection or the receive failed.
std::optional<std::string> ReceiveOnce(int fd, milliseconds timeout) {
    if (!WaitReady(fd, POLLIN, steady_clock::now() + timeout)) return std::nullopt;
    char buffer[kReplyBufferSize];
    ssize_t n;
    do {
        n = ::recv(fd, buffer, sizeof buffer, 0);
    } while (n < 0 && errno == EINTR);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

// Runs the steps on a connected socket; false when the server stopped answering.
bool RunDialogue(int fd, const std::vector<MailStep>& steps, Reporter& output,
                 const MailTimeouts& timeouts) {
    for (const MailStep& step : steps) {
        if (step.kind == MailStep::Send) {
            SendAll(fd, ToCp932(step.text) + "\r\n", timeouts.reply);
            if (step.logged) output.Message(step.text);
            continue;
        }
        const std::optional<std::string> reply = ReceiveOnce(fd, timeouts.reply);
        if (!reply) return false;
        // Logged only; what the server says never changes the course of the dialogue.
        const std::string text = WithoutLineEnd(FromCp932(*reply));
        if (!text.empty()) output.Message(text);
    }
    return true;
}

// The message as the plain dialogue sends it after DATA: the lines up to the closing ".",
// each in CP932 with CR LF.
std::string ReportMessage(const std::vector<MailStep>& steps) {
    std::string message;
    bool inData = false;
    for (const MailStep& step : steps) {
        if (step.kind != MailStep::Send) continue;
        if (inData && step.text == ".") break;
        if (inData) message += ToCp932(step.text) + "\r\n";
        if (step.text == "DATA") inData = true;
    }
    return message;
}

void SendOverTls(const TransferJob& job, const Settings& settings, Reporter& output,
                 const MailTimeouts& timeouts) {
    SecureMail mail;
    mail.server = settings.smtp;
    mail.port = ReportMailPort(settings);
    mail.tls = settings.mailTls;
    mail.caFile = settings.mailCaFile;
    mail.user = settings.mailUser;
    mail.password = settings.mailPassword;
    mail.sender = ReportSender(settings);
    mail.recipient = settings.mailAddress;
    mail.message = ReportMessage(ReportDialogue(job, settings));
    mail.connectTimeout = timeouts.connect;
    mail.replyTimeout = timeouts.reply;
    if (SendSecureMail(mail, output)) output.Status("完了報告送信終了");
}

}  // namespace

std::string ReportObjectLine(const JobObjectRow& row) {
    // The status words are the result log's.
    const std::string line = row.object + ":" + ResultStatusText(row.rowStatus);
    const bool finished = row.rowStatus == RowStatus::Saved ||
                          row.rowStatus == RowStatus::HostFailed ||
                          row.rowStatus == RowStatus::DownloadFailed;
    if (!finished) return line;
    // Labelled as the end, this is when the host's save was found finished and the download
    // began.
    // An object the host never saved has no such time: the cell stays empty.
    const bool noTime = row.downloadStart == kNoTime;
    return line + " : \t 終了時刻 : " + (noTime ? std::string() : MailTimeStamp(row.downloadStart));
}

std::vector<std::string> ReportBody(const TransferJob& job) {
    std::vector<std::string> body;
    if (job.cancelledByButton) {
        body.push_back("ジョブ" + job.setName + "は中止ボタンによりキャンセルされた");
    }
    if (job.timedOut) {
        body.push_back("ジョブ" + job.setName + "はタイムアウトによりキャンセルされた");
    }
    body.push_back("使用したバックアップセット名 : " + job.setName);
    body.push_back(" 開始時刻 : " + MailTimeStamp(job.startTime));
    body.push_back(" 終了時刻 : " + MailTimeStamp(job.endTime));
    for (const JobObjectRow& row : ListedRows(job.rows)) body.push_back(ReportObjectLine(row));
    if (job.verification) body.push_back(VerificationMailLine(*job.verification));
    if (job.offsite) body.push_back(OffsiteMailLine(*job.offsite));
    return body;
}

std::string ReportSender(const Settings& settings) {
    return settings.mailFrom.empty() ? settings.mailAddress : settings.mailFrom;
}

std::vector<MailStep> ReportDialogue(const TransferJob& job, const Settings& settings) {
    const MailStep read{MailStep::Read, {}, false};
    auto send = [](std::string text, bool logged = true) {
        return MailStep{MailStep::Send, std::move(text), logged};
    };
    std::vector<MailStep> steps = {
        read,
        send("HELO " + settings.smtp),
        read,
        // One blank after the colon here, none in RCPT TO: servers take both.
        send("MAIL FROM: <" + ReportSender(settings) + ">"),
        read,
        send("RCPT TO:<" + settings.mailAddress + ">"),
        read,
        send("DATA"),
        read,
        send("X-Mailer: VelMoroAgent"),
        send("Subject: Velmoro Job Report "),
        send("", false),
    };
    for (std::string& line : ReportBody(job)) steps.push_back(send(std::move(line)));
    steps.push_back(send(".", false));
    steps.push_back(read);
    steps.push_back(send("QUIT", false));
    steps.push_back(read);
    return steps;
}

int ReportMailPort(const Settings& settings) {
    if (settings.mailPort > 0) return settings.mailPort;
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    if (::getservbyname_r("mail", "tcp", &entry, buffer, sizeof buffer, &found) == 0 &&
        found != nullptr) {
        return ntohs(static_cast<std::uint16_t>(found->s_port));
    }
    return kDefaultMailPort;
}

void SendJobReport(const TransferJob& job, const Settings& settings, Reporter& output,
                   const MailTimeouts& timeouts) {
    output.Status("完了報告送信開始");
    if (settings.mailAddress.empty()) return output.MessageAndStatus("メールアドレス指定無し");
    if (settings.smtp.empty()) return output.MessageAndStatus("SMTPホストアドレス指定無し");
    if (settings.mailTls != MailTls::No) return SendOverTls(job, settings, output, timeouts);
    const std::optional<sockaddr_in> address = ResolveIpv4(settings.smtp, ReportMailPort(settings));
    if (!address) return output.MessageAndStatus("SMTPホストアドレスが見つからない");

    const UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) return output.Message("ソケットをオープンできない");
    if (!ConnectWithin(socket.get(), *address, timeouts.connect)) {
        return output.Message("サーバーソケットに接続失敗");
    }
    if (!RunDialogue(socket.get(), ReportDialogue(job, settings), output, timeouts)) {
        return output.Message("SMTPサーバーから応答が無い");
    }
    output.Status("完了報告送信終了");
}

}  // namespace zorva::qivftp
