// Retry discipline and failure paths of the session: counts and pauses per program, failure
// texts, and peers that refuse, stay silent or talk nonsense.

#include "common/host/HostSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "qivRestore/engine/RestoreHostProfile.h"
#include "qivftp/engine/TransferHostProfile.h"
#include "tests/host/HostPeers.h"
#include "tests/support/InstantWaiter.h"
#include "velmoro/engine/AgentHostProfile.h"

namespace zorva {
namespace {

using namespace std::chrono_literals;
using test::BrokenPeer;
using test::FtpServerProcess;
using test::InstantWaiter;
using test::RecordingObserver;
using Lines = std::vector<std::string>;
using Waits = std::vector<std::chrono::milliseconds>;

long Count(const Lines& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
}

// Connection attempts, seen as the "connecting" text each one shows or logs.
long ConnectAttempts(const RecordingObserver& observer) {
    return std::count_if(
        observer.Progress().begin(), observer.Progress().end(), [](const HostProgress& progress) {
            const std::string& text = progress.status.empty() ? progress.log : progress.status;
            return text == "ソケットアドレス127.0.0.1に接続中";
        });
}

bool Mentions(const RecordingObserver& observer, const std::string& secret) {
    auto has = [&](const std::string& text) { return text.find(secret) != std::string::npos; };
    return std::any_of(observer.Reports().begin(), observer.Reports().end(), has) ||
           std::any_of(observer.Progress().begin(), observer.Progress().end(),
                       [&](const HostProgress& p) { return has(p.status) || has(p.log); });
}

struct ProgramCase {
    const char* name;
    HostProfile profile;
    int connectAttempts;
    int commandAttempts;
    const char* commandFailure;
};

const ProgramCase kPrograms[] = {
    {"Agent", velmoro::kAgentHostProfile, 61, 11, "RCMD REFUSE:コマンド実行に失敗しました"},
    {"TransferAgent", qivftp::kTransferHostProfile, 61, 61,
     "RCMD REFUSEコマンド実行に失敗しました"},
    {"RestoreProgram", qivrestore::kRestoreHostProfile, 1, 1,
     "RCMD REFUSEコマンド実行に失敗しました"},
};

void PrintTo(const ProgramCase& param, std::ostream* out) {
    *out << param.name;
}

std::string ProgramName(const ::testing::TestParamInfo<ProgramCase>& info) {
    return info.param.name;
}

class HostSessionCommandRetry : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(HostSessionCommandRetry, RefusedCommandIsTriedThenReported) {
    const ProgramCase& expected = GetParam();
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    HostSession session(expected.profile, server.Endpoint(), waiter, observer);
    ASSERT_EQ(session.Open(), HostStatus::Ok);

    EXPECT_EQ(session.Command("RCMD REFUSE"), HostStatus::Failed);

    EXPECT_EQ(Count(server.Transcript(), "RCMD REFUSE"), expected.commandAttempts);
    EXPECT_EQ(waiter.Waits(), Waits(expected.commandAttempts - 1, 1s));
    EXPECT_EQ(observer.Reports(), (Lines{"ホストに接続しました", expected.commandFailure}));
    EXPECT_EQ(session.LastReplyLines().size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(PerProgram, HostSessionCommandRetry, ::testing::ValuesIn(kPrograms),
                         ProgramName);

// A refused connection and a refused log-on take the same road: the program's attempts one
// second apart, then "接続中にエラー発生", and the password shows up nowhere.
enum class Refusal { Connection, Password };

void PrintTo(Refusal refusal, std::ostream* out) {
    *out << (refusal == Refusal::Connection ? "Connection" : "Password");
}

class HostSessionConnectRetry : public ::testing::TestWithParam<std::tuple<ProgramCase, Refusal>> {
};

TEST_P(HostSessionConnectRetry, FailedConnectIsTriedThenReported) {
    const auto& [expected, refusal] = GetParam();
    std::optional<FtpServerProcess> server;
    std::optional<BrokenPeer> nobody;
    HostEndpoint endpoint;
    if (refusal == Refusal::Password) {
        server.emplace();
        endpoint = server->Endpoint();
        endpoint.password = "WRONGPASS1";
    } else {
        nobody.emplace(BrokenPeer::Kind::Refusing);
        endpoint = nobody->Endpoint();
    }
    InstantWaiter waiter;
    RecordingObserver observer;
    HostSession session(expected.profile, endpoint, waiter, observer);

    EXPECT_EQ(session.Open(), HostStatus::Failed);

    EXPECT_FALSE(session.IsOpen());
    EXPECT_EQ(ConnectAttempts(observer), expected.connectAttempts);
    EXPECT_EQ(waiter.Waits(), Waits(expected.connectAttempts - 1, 1s));
    EXPECT_EQ(observer.Reports(), Lines{"接続中にエラー発生"});
    EXPECT_FALSE(Mentions(observer, "WRONGPASS1"));
    if (server) {
        EXPECT_EQ(Count(server->Transcript(), "USER ZORVA"), expected.connectAttempts);
    }
}

INSTANTIATE_TEST_SUITE_P(PerProgram, HostSessionConnectRetry,
                         ::testing::Combine(::testing::ValuesIn(kPrograms),
                                            ::testing::Values(Refusal::Connection,
                                                              Refusal::Password)),
                         [](const auto& test) {
                             return std::string(std::get<0>(test.param).name) +
                                    (std::get<1>(test.param) == Refusal::Connection ? "Connection"
                                                                                    : "Password");
                         });

// A peer that swallows the connection, never greets, greets with nonsense or hangs up fails
// the log-on within the time-outs, like a refused connection.
std::string PeerName(const ::testing::TestParamInfo<BrokenPeer::Kind>& info) {
    static const char* const kNames[] = {"Refusing", "BlackHole", "Silent", "Garbage", "HangsUp"};
    return kNames[static_cast<int>(info.param)];
}

class HostSessionBrokenPeer : public ::testing::TestWithParam<BrokenPeer::Kind> {};

TEST_P(HostSessionBrokenPeer, LogOnFailsInsteadOfHanging) {
    BrokenPeer peer(GetParam());
    HostEndpoint endpoint = peer.Endpoint();
    endpoint.connectTimeout = 500ms;
    endpoint.replyTimeout = 1s;
    InstantWaiter waiter;
    RecordingObserver observer;
    HostSession session(velmoro::kAgentHostProfile, endpoint, waiter, observer);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.Open(RetryPolicy{2, 1s}), HostStatus::Failed);

    EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);
    EXPECT_EQ(ConnectAttempts(observer), 2);
    EXPECT_EQ(observer.Reports(), Lines{"接続中にエラー発生"});
}

INSTANTIATE_TEST_SUITE_P(Kinds, HostSessionBrokenPeer,
                         ::testing::Values(BrokenPeer::Kind::BlackHole, BrokenPeer::Kind::Silent,
                                           BrokenPeer::Kind::Garbage, BrokenPeer::Kind::HangsUp),
                         PeerName);

TEST(HostSessionRetry, CommandSucceedsOnTheAttemptAfterTwoRefusals) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    HostSession session(qivftp::kTransferHostProfile, server.Endpoint(), waiter, observer);
    ASSERT_EQ(session.Open(), HostStatus::Ok);

    EXPECT_EQ(session.Command("RCMD FLAKY2 JOB"), HostStatus::Ok);

    EXPECT_EQ(Count(server.Transcript(), "RCMD FLAKY2 JOB"), 3);
    EXPECT_EQ(waiter.Waits(), Waits(2, 1s));
    EXPECT_EQ(observer.Reports(), Lines{"ホストに接続しました"});
}

TEST(HostSessionRetry, CancelDuringAPauseEndsTheRetriesWithoutAReport) {
    BrokenPeer nobody(BrokenPeer::Kind::Refusing);
    InstantWaiter waiter;
    RecordingObserver observer;
    HostSession session(velmoro::kAgentHostProfile, nobody.Endpoint(), waiter, observer);
    waiter.onWait = [&](std::size_t wait) {
        if (wait == 3) waiter.Interrupt();
    };

    EXPECT_EQ(session.Open(), HostStatus::Interrupted);

    EXPECT_EQ(ConnectAttempts(observer), 3);
    EXPECT_TRUE(observer.Reports().empty());
}

// A stop leaves readable only the command's own last refusal, never an earlier answer.
TEST(HostSessionRetry, AStoppedCommandLeavesOnlyItsOwnRefusal) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    HostSession session(qivftp::kTransferHostProfile, server.Endpoint(), waiter, observer);
    ASSERT_EQ(session.Open(), HostStatus::Ok);
    waiter.onWait = [&](std::size_t) { waiter.Interrupt(); };
    EXPECT_EQ(session.Command("RCMD REFUSE"), HostStatus::Interrupted);  // in the first pause
    EXPECT_EQ(session.LastReplyLines().size(), 3u);
    EXPECT_EQ(session.Command("RCMD REFUSE"), HostStatus::Interrupted);  // before any attempt
    EXPECT_TRUE(session.LastReplyLines().empty());
}

TEST(HostSessionRetry, UploadOfAMissingFileNamesThePath) {
    FtpServerProcess server;
    InstantWaiter waiter;
    RecordingObserver observer;
    HostSession session(velmoro::kAgentHostProfile, server.Endpoint(), waiter, observer);
    const std::string missing = (server.root() / "nowhere" / "ZORVAV3").string();
    ASSERT_EQ(session.Open(), HostStatus::Ok);

    EXPECT_EQ(session.PutFile(missing, "QGPL/ZORVAV3", TransferType::Binary), HostStatus::Failed);

    EXPECT_EQ(waiter.Waits(), Waits(10, 1s));
    EXPECT_EQ(observer.Reports(),
              (Lines{"ホストに接続しました", missing + ":アップロードに失敗しました"}));
}

}  // namespace
}  // namespace zorva
