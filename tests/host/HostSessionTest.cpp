// The session against a real FTP server: log-on, current library, commands, transfers,
// progress texts and cancelling.

#include "common/host/HostSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "qivRestore/engine/RestoreHostProfile.h"
#include "qivftp/engine/TransferHostProfile.h"
#include "tests/host/HostPeers.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/InstantWaiter.h"
#include "velmoro/engine/AgentHostProfile.h"

namespace zorva {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::FtpServerProcess;
using test::InstantWaiter;
using test::RecordingObserver;
using test::TempFolder;
using Lines = std::vector<std::string>;

void WriteBytes(const fs::path& path, const std::string& bytes) {
    ASSERT_TRUE(WriteFileAtomically(path, bytes));
}

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

long Count(const Lines& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
}

std::ptrdiff_t IndexOf(const Lines& lines, const std::string& line, std::ptrdiff_t from = 0) {
    return std::find(lines.begin() + from, lines.end(), line) - lines.begin();
}

TEST(HostSession, CurrentLibraryHoldsAcrossPutAndGetOnOneLogOn) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    HostSession session(velmoro::kAgentHostProfile, server.Endpoint(), waiter, observer);

    ASSERT_EQ(session.Open(), HostStatus::Ok);
    ASSERT_EQ(session.SetCurrentLibrary("ZORVADATA"), HostStatus::Ok);
    WriteBytes(local / "DAILY", "request\r\n");
    ASSERT_EQ(session.PutFile(local / "DAILY", "DAILY", TransferType::Binary), HostStatus::Ok);
    fs::create_directories(server.root() / "DAILY");
    ASSERT_EQ(session.PutFile(local / "DAILY", "DAILY/#ALLUSR", TransferType::Binary),
              HostStatus::Ok);
    ASSERT_EQ(session.GetFile("DAILY", local / "back", TransferType::Binary), HostStatus::Ok);

    EXPECT_EQ(ReadFileBytes(server.root() / "ZORVADATA" / "DAILY"), "request\r\n");
    EXPECT_EQ(ReadFileBytes(server.root() / "DAILY" / "#ALLUSR"), "request\r\n");
    EXPECT_EQ(ReadFileBytes(local / "back"), "request\r\n");
    const Lines transcript = server.Transcript();
    EXPECT_EQ(Count(transcript, "USER ZORVA"), 1);
    EXPECT_EQ(Count(transcript, "CWD ZORVADATA"), 1);
    EXPECT_EQ(Count(transcript, "STOR DAILY"), 1);
    EXPECT_EQ(Count(transcript, "STOR DAILY/#ALLUSR"), 1);
    EXPECT_EQ(Count(transcript, "RETR DAILY"), 1);
    EXPECT_EQ(observer.Reports(), Lines{"ホストに接続しました"});
}

// A download the PC cannot keep (a full disk) says why, in the system's words.
TEST(HostSession, ADownloadThePcCannotKeepNamesTheSystemsReason) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    HostSession session(qivftp::kTransferHostProfile, server.Endpoint(), waiter, observer);
    ASSERT_EQ(session.Open(), HostStatus::Ok);
    WriteBytes(server.root() / "ZORVADATA" / "SAVE", Pattern(4096));
    test::FileSizeLimit limit(16);
    EXPECT_EQ(session.GetFile("ZORVADATA/SAVE", local / "SAVE", TransferType::Binary),
              HostStatus::Failed);
    EXPECT_EQ(observer.Reports(),
              (Lines{"ホストに接続しました",
                     (local / "SAVE").string() + "ローカルファイルが開けない：File too large"}));
}

// A command goes out as given, leading blank included. A refused command or CWD leaves the
// control connection, its log-on and its current library as they were.
TEST(HostSession, CommandsGoOutAsGivenAndRefusalsKeepTheSession) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    HostSession session(qivrestore::kRestoreHostProfile, server.Endpoint(), waiter, observer);
    const std::string submit =
        " RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVARSALL)  PARM('1')) JOBQ(QGPL/QBATCH)";

    ASSERT_EQ(session.Open(), HostStatus::Ok);
    ASSERT_EQ(session.SetCurrentLibrary("ZORVADATA"), HostStatus::Ok);
    ASSERT_EQ(session.Command(submit), HostStatus::Ok);
    EXPECT_EQ(session.LastReplyLines(), Lines{"250 Command SBMJOB accepted."});
    EXPECT_EQ(session.Command("RCMD REFUSE X"), HostStatus::Failed);
    EXPECT_EQ(session.LastReplyLines(),
              (Lines{"550-Command REFUSE ended in error.", "550-CPF9999: Function check.",
                     "550 Request processing ended."}));
    EXPECT_EQ(session.SetCurrentLibrary("NOSUCH"), HostStatus::Failed);
    WriteBytes(local / "AFTER", "x");
    ASSERT_EQ(session.PutFile(local / "AFTER", "AFTER", TransferType::Ascii), HostStatus::Ok);

    EXPECT_TRUE(fs::exists(server.root() / "ZORVADATA" / "AFTER"));
    const Lines transcript = server.Transcript();
    EXPECT_EQ(Count(transcript, submit), 1);
    EXPECT_EQ(Count(transcript, "USER ZORVA"), 1);
    EXPECT_EQ(observer.Reports(),
              (Lines{"ホストに接続しました", "RCMD REFUSE Xコマンド実行に失敗しました"}));
}

// ASCII goes out as TYPE A (the test server stores text lines with LF), binary as TYPE I, and
// both come back as they were sent, whatever order the types alternate in.
TEST(HostSession, AsciiAndBinaryTransfersKeepEveryByte) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    HostSession session(velmoro::kAgentHostProfile, server.Endpoint(), waiter, observer);
    std::string binary;
    for (int round = 0; round < 64; ++round) {
        for (int value = 0; value < 256; ++value) binary += static_cast<char>(value);
    }
    const std::string text = "D" + std::string(10, ' ') + "PAYROLL   QGPL      *FILE     0\r\n" +
                             ToCp932("給与データ\r\n") + "LAST\r\n";
    WriteBytes(local / "TEXT", text);
    WriteBytes(local / "BIN", binary);

    ASSERT_EQ(session.Open(), HostStatus::Ok);
    ASSERT_EQ(session.PutFile(local / "TEXT", "ZORVADATA/TEXT", TransferType::Ascii),
              HostStatus::Ok);
    ASSERT_EQ(session.PutFile(local / "BIN", "ZORVADATA/BIN", TransferType::Binary),
              HostStatus::Ok);
    ASSERT_EQ(session.GetFile("ZORVADATA/TEXT", local / "TEXT.back", TransferType::Ascii),
              HostStatus::Ok);
    ASSERT_EQ(session.GetFile("ZORVADATA/BIN", local / "BIN.back", TransferType::Binary),
              HostStatus::Ok);

    std::string stored = text;
    for (auto at = stored.find("\r\n"); at != std::string::npos; at = stored.find("\r\n", at)) {
        stored.erase(at, 1);
    }
    EXPECT_EQ(ReadFileBytes(server.root() / "ZORVADATA" / "TEXT"), stored);
    EXPECT_EQ(ReadFileBytes(server.root() / "ZORVADATA" / "BIN"), binary);
    EXPECT_EQ(ReadFileBytes(local / "TEXT.back"), text);
    EXPECT_EQ(ReadFileBytes(local / "BIN.back"), binary);
}

// The server drops the connection during a command, or right after one: the next operation
// logs on again and makes the current library current before it works.
class HostSessionLostConnection : public ::testing::TestWithParam<const char*> {};

TEST_P(HostSessionLostConnection, NextOperationRestoresLogOnAndLibrary) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    HostSession session(velmoro::kAgentHostProfile, server.Endpoint(), waiter, observer);
    WriteBytes(local / "AFTER", "x");
    const RetryPolicy once{1, 1s};

    ASSERT_EQ(session.Open(), HostStatus::Ok);
    ASSERT_EQ(session.SetCurrentLibrary("ZORVADATA"), HostStatus::Ok);
    session.Command(GetParam(), once);
    server.Sync();
    ASSERT_EQ(session.PutFile(local / "AFTER", "AFTER", TransferType::Ascii, once), HostStatus::Ok);

    EXPECT_TRUE(fs::exists(server.root() / "ZORVADATA" / "AFTER"));
    const Lines transcript = server.Transcript();
    const auto logOn = IndexOf(transcript, "USER ZORVA", IndexOf(transcript, GetParam()));
    const auto cwd = IndexOf(transcript, "CWD ZORVADATA", logOn);
    EXPECT_LT(cwd, IndexOf(transcript, "STOR AFTER", cwd));
    EXPECT_NE(std::find(observer.Progress().begin(), observer.Progress().end(),
                        HostProgress{"サーバーからの接続をクローズしました", ""}),
              observer.Progress().end());
}

INSTANTIATE_TEST_SUITE_P(DuringOrAfterACommand, HostSessionLostConnection,
                         ::testing::Values("RCMD DROP", "RCMD BYE"),
                         [](const auto& test) { return std::string(test.param).substr(5); });

// The host comes back with a certificate from another CA while the session is idle: the
// reconnect names the reason, as the log-on does, once: the operation is not tried again.
TEST(HostSessionTls, ReconnectToAChangedCertificateNamesTheReason) {
    TempFolder pki;
    const auto tls = [&pki](const char* ca) {
        return std::vector<std::string>{"--tls", "explicit", "--tls-dir", (pki / ca).string()};
    };
    auto first = std::make_unique<test::HostsimProcess>(tls("first"));
    const int port = first->Port();
    HostEndpoint endpoint = first->Endpoint();
    endpoint.tls = HostTls::Explicit;
    endpoint.caFile = (pki / "first" / "ca.pem").string();
    InstantWaiter waiter;
    RecordingObserver observer;
    HostSession session(qivftp::kTransferHostProfile, endpoint, waiter, observer);
    ASSERT_EQ(session.Open(), HostStatus::Ok);
    first.reset();
    test::HostsimProcess second(tls("second"), port);
    observer.Clear();

    EXPECT_EQ(session.DeleteFile("ZORVADATA/ANY", RetryPolicy{3, 1s}), HostStatus::Failed);

    const auto& reports = observer.Reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(std::count_if(reports.begin(), reports.end(),
                            [](const std::string& text) {
                                return text.find("証明書の発行元（CA）が信頼されていない") !=
                                       std::string::npos;
                            }),
              1)
        << reports.front();
}

// Progress texts of open, a large upload, a smaller upload (whose counts stay below the
// highest shown), a download (which starts counting afresh) and close, per program.
// Byte-count texts appear as "#" once for each run of them.
struct ProgressCase {
    const char* name;
    HostProfile profile;
    std::vector<Lines> status;  // per step
    std::vector<Lines> log;
};

void PrintTo(const ProgressCase& param, std::ostream* out) {
    *out << param.name;
}

class HostSessionProgress : public ::testing::TestWithParam<ProgressCase> {};

// The step's texts of one kind with byte counts folded into "#"; the counts must rise, and the
// last one is returned through `last`.
Lines Shape(const std::vector<HostProgress>& progress, bool log, std::int64_t& last) {
    Lines shape;
    last = 0;
    for (const HostProgress& item : progress) {
        const std::string& text = log ? item.log : item.status;
        if (text.empty()) continue;
        const auto digits = text.find_first_not_of("0123456789");
        if (digits == 0) {
            shape.push_back(text);
            continue;
        }
        const std::int64_t count = std::stoll(text.substr(0, digits));
        EXPECT_GT(count, last) << text;
        last = count;
        const std::string folded = "#" + text.substr(digits);
        if (shape.empty() || shape.back() != folded) shape.push_back(folded);
    }
    return shape;
}

TEST_P(HostSessionProgress, StepsShowTheProgramsTexts) {
    const ProgressCase& expected = GetParam();
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    HostSession session(expected.profile, server.Endpoint(), waiter, observer);
    WriteBytes(local / "BIG", Pattern(300'000));
    WriteBytes(local / "SMALL", Pattern(10'000));
    WriteBytes(server.root() / "ZORVADATA" / "SAVF", Pattern(100'000));
    const std::vector<std::int64_t> sizes = {0, 300'000, 0, 100'000, 0};
    const std::vector<std::function<void()>> steps = {
        [&] { ASSERT_EQ(session.Open(), HostStatus::Ok); },
        [&] {
            ASSERT_EQ(session.PutFile(local / "BIG", "ZORVADATA/BIG", TransferType::Binary),
                      HostStatus::Ok);
        },
        [&] {
            ASSERT_EQ(session.PutFile(local / "SMALL", "ZORVADATA/SMALL", TransferType::Binary),
                      HostStatus::Ok);
        },
        [&] {
            ASSERT_EQ(session.GetFile("ZORVADATA/SAVF", local / "SAVF", TransferType::Binary),
                      HostStatus::Ok);
        },
        [&] { session.Close(); },
    };
    for (std::size_t step = 0; step < steps.size(); ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        observer.Clear();
        steps[step]();
        std::int64_t statusLast = 0;
        std::int64_t logLast = 0;
        EXPECT_EQ(Shape(observer.Progress(), false, statusLast), expected.status[step]);
        EXPECT_EQ(Shape(observer.Progress(), true, logLast), expected.log[step]);
        EXPECT_EQ(std::max(statusLast, logLast), sizes[step]);
    }
}

const Lines kNone;

INSTANTIATE_TEST_SUITE_P(
    PerProgram, HostSessionProgress,
    ::testing::Values(
        ProgressCase{
            "Agent",
            velmoro::kAgentHostProfile,
            {{"ソケットアドレス127.0.0.1に接続中", "ソケットアドレス127.0.0.1に接続しました",
              "サーバーからの応答を待っています"},
             {"サーバーに要求を送信しています", "要求に対するサーバーの応答を待っています",
              "#バイトアップロードしました"},
             {"サーバーに要求を送信しています", "要求に対するサーバーの応答を待っています"},
             {"ftp handle created", "サーバーに要求を送信しています",
              "サーバーからの応答を待っています", "#バイトダウンロードしました"},
             {"サーバーからの接続をクローズしました"}},
            {kNone, kNone, kNone, kNone, kNone}},
        ProgressCase{
            "TransferAgent",
            qivftp::kTransferHostProfile,
            {{"ソケットアドレス127.0.0.1に接続中", "ソケットアドレス127.0.0.1に接続しました",
              "ホストからの応答を待っています"},
             {"ホストに要求を送信しています", "要求に対するホストの応答を待っています",
              "#バイトアップロードしました"},
             {"ホストに要求を送信しています", "要求に対するホストの応答を待っています"},
             {"ftp handle created", "ホストに要求を送信しています",
              "ホストからの応答を待っています", "#バイトダウンロードしました"},
             {"ホストからの接続をクローズしました"}},
            {{"ソケットアドレス127.0.0.1に接続中", "ソケットアドレス127.0.0.1に接続しました"},
             {"#バイトアップロードしました"},
             kNone,
             {"FTPセッションハンドルが作られました", "#バイトダウンロードしました"},
             {"ホストからの接続をクローズしました"}}},
        ProgressCase{
            "RestoreProgram",
            qivrestore::kRestoreHostProfile,
            {kNone, kNone, kNone, kNone, kNone},
            {{"ソケットアドレス127.0.0.1に接続中", "ソケットアドレス127.0.0.1に接続しました"},
             {"#バイトアップロードしました"},
             kNone,
             {"FTPセッションハンドルが作られました", "#バイトダウンロードしました"},
             {"サーバーからの接続をクローズしました"}}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(HostSession, CancelEndsTheWaitForAReply) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    HostSession session(velmoro::kAgentHostProfile, server.Endpoint(), waiter, observer);
    ASSERT_EQ(session.Open(), HostStatus::Ok);
    observer.onProgress = [&](const HostProgress& progress) {
        if (progress.status == "要求に対するサーバーの応答を待っています") waiter.Interrupt();
    };

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.Command("RCMD HANG"), HostStatus::Interrupted);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_TRUE(waiter.Waits().empty());
    EXPECT_EQ(observer.Reports(), Lines{"ホストに接続しました"});
}

struct TextCapCase {
    std::string label;
    std::size_t size;
    TransferType type;
    HostStatus expected;
};

class HostSessionTextCap : public ::testing::TestWithParam<TextCapCase> {};

// A text file from the host is a few kilobytes; one that does not end (an endless progress
// list filled 2 GB in seconds) is cut off past 1 MiB and counts as a failed fetch.
TEST_P(HostSessionTextCap, TextFetchesStopPastOneMebibyte) {
    const TextCapCase& c = GetParam();
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    WriteBytes(server.root() / "ZORVADATA" / "SAVLIBS", std::string(c.size, 'x'));
    WriteBytes(local / "SAVLIBS", "the earlier copy");
    HostSession session(qivftp::kTransferHostProfile, server.Endpoint(), waiter, observer);
    ASSERT_EQ(session.Open(), HostStatus::Ok);
    EXPECT_EQ(session.GetFile("ZORVADATA/SAVLIBS", local / "SAVLIBS", c.type), c.expected);
    EXPECT_EQ(ReadFileBytes(local / "SAVLIBS")->size(),
              c.expected == HostStatus::Ok ? c.size : std::string("the earlier copy").size());
    EXPECT_EQ(std::distance(fs::directory_iterator(local.path()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Sizes, HostSessionTextCap,
                         ::testing::Values(TextCapCase{"TextOfExactlyTheLimit", kTextFetchLimit,
                                                       TransferType::Ascii, HostStatus::Ok},
                                           TextCapCase{"TextOneByteOver", kTextFetchLimit + 1,
                                                       TransferType::Ascii, HostStatus::Failed},
                                           TextCapCase{"TextFarOver", 8 * kTextFetchLimit,
                                                       TransferType::Ascii, HostStatus::Failed},
                                           TextCapCase{"SaveFilesHaveNoLimit", 3 * kTextFetchLimit,
                                                       TransferType::Binary, HostStatus::Ok}),
                         [](const auto& test) { return test.param.label; });

// The transfer agent waits a day for a reply; the log-off at the end must not.
TEST(HostSession, ASilentAnswerToTheLogOffEndsTheCloseSoon) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    HostEndpoint endpoint = server.Endpoint();
    endpoint.quitTimeout = 1s;
    HostSession session(qivftp::kTransferHostProfile, endpoint, waiter, observer);
    ASSERT_EQ(session.Open(), HostStatus::Ok);
    ASSERT_EQ(session.Command("RCMD MUTEQUIT"), HostStatus::Ok);

    const auto start = std::chrono::steady_clock::now();
    session.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
    EXPECT_FALSE(session.IsOpen());
    EXPECT_EQ(HostEndpoint{}.quitTimeout, 10s);
}

// The host speaks CP932; the session alone converts, so what it returns is UTF-8.
TEST(HostSession, JapaneseRepliesAndListingsComeBackAsUtf8) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    WriteBytes(server.root() / "ZORVADATA" / ToCp932("給与"), "x");
    WriteBytes(server.root() / "ZORVADATA" / "PAYROLL", "x");
    HostSession session(qivftp::kTransferHostProfile, server.Endpoint(), waiter, observer);
    ASSERT_EQ(session.Open(), HostStatus::Ok);

    EXPECT_EQ(session.Command("RCMD JAPANESE", RetryPolicy{1, 0ms}), HostStatus::Failed);
    EXPECT_EQ(session.LastReplyLines(), (Lines{"550-ジョブ待ち行列QGPL/夜間が見つかりません。",
                                               "550 要求は処理されませんでした。"}));
    std::vector<std::string> names;
    ASSERT_EQ(session.List("ZORVADATA", names), HostStatus::Ok);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Lines{"PAYROLL", "給与"}));
}

struct TransferErrorCase {
    std::string label;
    HostProfile profile;
    bool logged;
};

class HostSessionTransferError : public ::testing::TestWithParam<TransferErrorCase> {};

// A failed transfer leaves libcurl's own reason in the transfer agent's detail log; the
// other programs' texts stay as they are.
TEST_P(HostSessionTransferError, LibcurlsReasonGoesToTheDetailLog) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    TempFolder local;
    WriteBytes(server.root() / "ZORVADATA" / "PRESENT", "x");
    HostSession session(GetParam().profile, server.Endpoint(), waiter, observer);
    ASSERT_EQ(session.Open(), HostStatus::Ok);
    auto errors = [&] {
        Lines found;
        for (const HostProgress& p : observer.Progress()) {
            if (p.log.starts_with(kTransferErrorPrefix)) found.push_back(p.log);
        }
        return found;
    };
    ASSERT_EQ(session.GetFile("ZORVADATA/PRESENT", local / "PRESENT", TransferType::Binary),
              HostStatus::Ok);
    EXPECT_TRUE(errors().empty());

    EXPECT_EQ(session.GetFile("ZORVADATA/MISSING", local / "MISSING", TransferType::Binary,
                              RetryPolicy{2, 0ms}),
              HostStatus::Failed);
    const Lines found = errors();
    ASSERT_EQ(found.size(), GetParam().logged ? 2u : 0u);  // one per attempt
    for (const std::string& line : found) {
        EXPECT_GT(line.size(), kTransferErrorPrefix.size()) << line;
        EXPECT_TRUE(
            std::all_of(observer.Progress().begin(), observer.Progress().end(),
                        [&](const HostProgress& p) { return p.log != line || p.status.empty(); }));
    }
}

INSTANTIATE_TEST_SUITE_P(
    PerProgram, HostSessionTransferError,
    ::testing::Values(TransferErrorCase{"TransferAgent", qivftp::kTransferHostProfile, true},
                      TransferErrorCase{"Agent", velmoro::kAgentHostProfile, false},
                      TransferErrorCase{"RestoreProgram", qivrestore::kRestoreHostProfile, false}),
    [](const auto& test) { return test.param.label; });

}  // namespace
}  // namespace zorva
