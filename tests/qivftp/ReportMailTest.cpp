#include "qivftp/engine/ReportMail.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string_view>
#include <thread>

#include "common/Codec.h"
#include "tests/support/JobRows.h"
#include "tests/support/RecordingReporter.h"

namespace zorva::qivftp {
namespace {

using namespace std::chrono_literals;

// A one-connection SMTP peer on 127.0.0.1 that keeps every byte it receives. It answers
// each command line (and the end of the data) with a reply of its own, refuses everything
// when told to, or never says a word.
class MiniSmtpServer {
public:
    enum class Mode { Answer, Refuse, Silent };

    explicit MiniSmtpServer(Mode mode) : mode_(mode) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "cannot listen on 127.0.0.1";
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~MiniSmtpServer() {
        if (thread_.joinable()) thread_.join();
        ::close(listener_);
    }

    int port() const { return port_; }

    // Everything the client sent, once it has closed the connection.
    std::string Received() {
        if (thread_.joinable()) thread_.join();
        return received_;
    }

private:
    void Serve() {
        pollfd entry{listener_, POLLIN, 0};
        if (::poll(&entry, 1, 10000) != 1) return;  // the client never came
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0) return;
        Reply(client, "220 mini ready");
        std::size_t processed = 0;
        bool inData = false;
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(client, buffer, sizeof buffer, 0)) > 0) {
            received_.append(buffer, static_cast<std::size_t>(n));
            for (;;) {
                if (inData) {
                    const std::size_t end = received_.find("\r\n.\r\n", processed);
                    if (end == std::string::npos) break;
                    processed = end + 5;
                    inData = false;
                    Reply(client, "250 queued");
                    continue;
                }
                const std::size_t end = received_.find("\r\n", processed);
                if (end == std::string::npos) break;
                const std::string line = received_.substr(processed, end - processed);
                processed = end + 2;
                if (line == "DATA") inData = true;
                Reply(client, ReplyTo(line));
            }
        }
        ::close(client);
    }

    static std::string ReplyTo(std::string_view line) {
        for (auto [start, reply] : {std::pair{"HELO", "250 hello"},
                                    {"MAIL", "250 sender ok"},
                                    {"RCPT", "250 recipient ok"},
                                    {"DATA", "354 go ahead"},
                                    {"QUIT", "221 bye"}}) {
            if (line.starts_with(start)) return reply;
        }
        return "500 what";
    }

    void Reply(int client, const std::string& text) {
        if (mode_ == Mode::Silent) return;
        const std::string bytes = (mode_ == Mode::Refuse ? "554 refused" : text) + "\r\n";
        ::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    Mode mode_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::string received_;
};

using test::At;
using test::Row;

TransferJob Job() {
    TransferJob job;
    job.setName = "DAILY";
    job.startTime = At(2026, 3, 7, 2, 0);
    job.endTime = At(2026, 3, 7, 2, 41);
    job.rows = {Row("#ALLUSR", 1, At(2026, 3, 7, 2, 5)), Row("PAYMAST", 0)};
    return job;
}

Settings MailSettings(int port) {
    Settings settings;
    settings.mailActive = 1;
    settings.mailAddress = "ops@example.jp";
    settings.mailFrom = "backup@example.jp";
    settings.smtp = "127.0.0.1";
    settings.mailPort = port;
    return settings;
}

struct ObjectLineCase {
    std::string label;
    JobObjectRow row;
    std::string line;
};

class ReportObjectLineCase : public ::testing::TestWithParam<ObjectLineCase> {};

TEST_P(ReportObjectLineCase, StatusPartAndDownloadStart) {
    EXPECT_EQ(ReportObjectLine(GetParam().row), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, ReportObjectLineCase,
    ::testing::Values(ObjectLineCase{"Pending", Row("PAYMAST", 0, At(2026, 3, 7, 2, 5)),
                                     "PAYMAST:保管未完了"},
                      ObjectLineCase{"Saved", Row("#ALLUSR", 1, At(2026, 3, 7, 2, 5)),
                                     "#ALLUSR:保管正常完了 : \t 終了時刻 : 2026/03/07 02:05"},
                      ObjectLineCase{"HostFailed", Row("PAYHIST", 5),
                                     "PAYHIST:ホストで保管失敗 : \t 終了時刻 : "},
                      ObjectLineCase{"DownloadFailed", Row("QGPL", 9, At(2026, 12, 31, 23, 59)),
                                     "QGPL:保管異常終了 : \t 終了時刻 : 2026/12/31 23:59"},
                      ObjectLineCase{"Unknown", Row("ODD", 4, At(2026, 3, 7, 2, 5)), "ODD:不明 "}),
    [](const auto& test) { return test.param.label; });

struct BodyCase {
    std::string label;
    bool cancelled, timedOut;
    std::vector<std::string> leading;
};

class ReportBodyCase : public ::testing::TestWithParam<BodyCase> {};

TEST_P(ReportBodyCase, SaysHowTheJobEndedBeforeTheSetAndTimes) {
    TransferJob job = Job();
    job.cancelledByButton = GetParam().cancelled;
    job.timedOut = GetParam().timedOut;
    std::vector<std::string> expected = GetParam().leading;
    for (const char* line :
         {"使用したバックアップセット名 : DAILY", " 開始時刻 : 2026/03/07 02:00",
          " 終了時刻 : 2026/03/07 02:41", "#ALLUSR:保管正常完了 : \t 終了時刻 : 2026/03/07 02:05",
          "PAYMAST:保管未完了"}) {
        expected.push_back(line);
    }
    EXPECT_EQ(ReportBody(job), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, ReportBodyCase,
    ::testing::Values(
        BodyCase{"Finished", false, false, {}},
        BodyCase{"Cancelled", true, false, {"ジョブDAILYは中止ボタンによりキャンセルされた"}},
        BodyCase{"TimedOut", false, true, {"ジョブDAILYはタイムアウトによりキャンセルされた"}},
        BodyCase{"Both",
                 true,
                 true,
                 {"ジョブDAILYは中止ボタンによりキャンセルされた",
                  "ジョブDAILYはタイムアウトによりキャンセルされた"}}),
    [](const auto& test) { return test.param.label; });

TEST(ReportMailPort, ConfiguredPortElseTheMailService) {
    EXPECT_EQ(ReportMailPort(MailSettings(2525)), 2525);
    // "mail" is an alias of smtp, 25, in the services list; without it the default is 25 too.
    EXPECT_EQ(ReportMailPort(MailSettings(0)), 25);
}

std::string ExpectedWire(const std::string& sender) {
    return "HELO 127.0.0.1\r\n"
           "MAIL FROM: <" +
           sender +
           ">\r\n"
           "RCPT TO:<ops@example.jp>\r\n"
           "DATA\r\n"
           "X-Mailer: VelMoroAgent\r\n"
           "Subject: Velmoro Job Report \r\n"
           "\r\n" +
           ToCp932(
               "ジョブDAILYはタイムアウトによりキャンセルされた\r\n"
               "使用したバックアップセット名 : DAILY\r\n"
               " 開始時刻 : 2026/03/07 02:00\r\n"
               " 終了時刻 : 2026/03/07 02:41\r\n"
               "#ALLUSR:保管正常完了 : \t 終了時刻 : 2026/03/07 02:05\r\n"
               "PAYMAST:保管未完了\r\n") +
           ".\r\n"
           "QUIT\r\n";
}

TEST(SendJobReport, LogsRepliesAndSentLinesButNotTheBlankLineDotOrQuit) {
    MiniSmtpServer server(MiniSmtpServer::Mode::Answer);
    TransferJob job = Job();
    job.timedOut = true;
    test::RecordingReporter output;
    SendJobReport(job, MailSettings(server.port()), output);
    server.Received();
    const std::vector<std::string> logged = {
        "220 mini ready",
        "HELO 127.0.0.1",
        "250 hello",
        "MAIL FROM: <backup@example.jp>",
        "250 sender ok",
        "RCPT TO:<ops@example.jp>",
        "250 recipient ok",
        "DATA",
        "354 go ahead",
        "X-Mailer: VelMoroAgent",
        "Subject: Velmoro Job Report ",
        "ジョブDAILYはタイムアウトによりキャンセルされた",
        "使用したバックアップセット名 : DAILY",
        " 開始時刻 : 2026/03/07 02:00",
        " 終了時刻 : 2026/03/07 02:41",
        "#ALLUSR:保管正常完了 : \t 終了時刻 : 2026/03/07 02:05",
        "PAYMAST:保管未完了",
        "250 queued",
        "221 bye"};
    EXPECT_EQ(output.messages, logged);
    EXPECT_EQ(output.statuses, (std::vector<std::string>{"完了報告送信開始", "完了報告送信終了"}));
}

struct WireCase {
    std::string label;
    MiniSmtpServer::Mode mode;
    std::string mailFrom, sender;
};

class ReportWire : public ::testing::TestWithParam<WireCase> {};

// The bytes sent never depend on the replies: a refusal at every step still runs to QUIT.
TEST_P(ReportWire, SendsTheSameDialogueWhateverTheServerSays) {
    MiniSmtpServer server(GetParam().mode);
    TransferJob job = Job();
    job.timedOut = true;
    Settings settings = MailSettings(server.port());
    settings.mailFrom = GetParam().mailFrom;
    test::RecordingReporter output;
    SendJobReport(job, settings, output);
    EXPECT_EQ(server.Received(), ExpectedWire(GetParam().sender));
    EXPECT_EQ(output.statuses.back(), "完了報告送信終了");
}

INSTANTIATE_TEST_SUITE_P(Servers, ReportWire,
                         ::testing::Values(WireCase{"Answering", MiniSmtpServer::Mode::Answer,
                                                    "backup@example.jp", "backup@example.jp"},
                                           WireCase{"EmptyMailFrom", MiniSmtpServer::Mode::Answer,
                                                    "", "ops@example.jp"},
                                           WireCase{"Refusing", MiniSmtpServer::Mode::Refuse,
                                                    "backup@example.jp", "backup@example.jp"}),
                         [](const auto& test) { return test.param.label; });

TEST(SendJobReport, ASilentServerEndsTheReportAtTheReplyTimeOut) {
    MiniSmtpServer server(MiniSmtpServer::Mode::Silent);
    test::RecordingReporter output;
    const auto started = std::chrono::steady_clock::now();
    SendJobReport(Job(), MailSettings(server.port()), output, MailTimeouts{1s, 50ms});
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_EQ(output.messages, std::vector<std::string>{"SMTPサーバーから応答が無い"});
    EXPECT_EQ(server.Received(), "");  // nothing is sent before the greeting
}

TEST(SendJobReport, MissingSettingsAndUnreachableServersAreReported) {
    struct Case {
        std::string label;
        std::string address, smtp;
        int port;
        std::vector<std::string> messages, statuses;
    };
    // A port held by a socket that does not listen: connecting is refused.
    const int held = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(held, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::getsockname(held, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int closedPort = ntohs(address.sin_port);
    const std::vector<Case> cases = {
        {"NoAddress",
         "",
         "127.0.0.1",
         25,
         {"メールアドレス指定無し"},
         {"完了報告送信開始", "メールアドレス指定無し"}},
        {"NoServer",
         "ops@example.jp",
         "",
         25,
         {"SMTPホストアドレス指定無し"},
         {"完了報告送信開始", "SMTPホストアドレス指定無し"}},
        {"UnknownServer",
         "ops@example.jp",
         "no such host!",
         25,
         {"SMTPホストアドレスが見つからない"},
         {"完了報告送信開始", "SMTPホストアドレスが見つからない"}},
        {"NobodyListening",
         "ops@example.jp",
         "127.0.0.1",
         closedPort,
         {"サーバーソケットに接続失敗"},
         {"完了報告送信開始"}},
    };
    for (const Case& c : cases) {
        Settings settings = MailSettings(c.port);
        settings.mailAddress = c.address;
        settings.smtp = c.smtp;
        test::RecordingReporter output;
        SendJobReport(Job(), settings, output, MailTimeouts{1s, 1s});
        EXPECT_EQ(output.messages, c.messages) << c.label;
        EXPECT_EQ(output.statuses, c.statuses) << c.label;
    }
    ::close(held);
}

}  // namespace
}  // namespace zorva::qivftp
