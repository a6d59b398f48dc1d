#pragma once
// Host-started jobs: the host leaves a start file named by this PC's terminal id in ZORVADATA;
// its first line names the set to run. A poll fetches it, decides against a copy of the job
// list and, after the transfer agent ran for it, deletes it. Blocking host work: call it from a
// worker thread.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Reporter.h"
#include "common/host/HostConnection.h"
#include "velmoro/engine/JobTable.h"

namespace zorva::velmoro {

inline constexpr std::string_view kHostStartWaitingTitle = "Velmoro (ＡＳ起動　：　保管指示待ち)";
inline constexpr std::string_view kHostStartNoAnswer = "ホスト起動：６０回の起動確認動作に無反応";
inline constexpr std::string_view kHostStartUnreadable =
    "ホスト起動：ダウンロードしたファイルが開けない";
inline constexpr std::string_view kHostStartEmpty = "ホスト起動：起動ファイルはあるが中身がない";
inline constexpr std::string_view kHostStartUnknownSet =
    "ホスト起動：起動要求のバックアップセットの登録がない";
inline constexpr std::string_view kHostStartReceived = "ホスト起動：起動指示受信";

inline constexpr int kStartPollNotice = 60;         // misses before the notice, which is the 61st
inline constexpr std::size_t kStartFileBytes = 20;  // the set name lies within these

// What a poll found.
struct HostStartPollResult {
    bool connected = false;
    bool waitingTitle = false;  // show kHostStartWaitingTitle
    std::string setName;        // a set whose active host start job is to run; empty: none
};

class HostStartPoller {
public:
    // `localCopy`: where the start file is fetched to (removed after reading).
    HostStartPoller(std::filesystem::path localCopy, Reporter& reporter)
        : localCopy_(std::move(localCopy)), reporter_(reporter) {}

    // PollHostStart up to the run: opens the connection and fetches the request. With a set to
    // run, the connection stays open for FinishRun; otherwise it is closed.
    HostStartPollResult Poll(HostConnection& host, std::string_view termId,
                             const std::vector<JobRecord>& jobs);
    // After the run: deletes the start file when the transfer agent ran (otherwise the request
    // stays for the next poll) and closes the connection.
    void FinishRun(HostConnection& host, std::string_view termId, bool ran);

    // FetchHostStartRequest: the requested set name when a job carries it.
    std::optional<std::string> FetchHostStartRequest(HostConnection& host, std::string_view termId,
                                                     const std::vector<JobRecord>& jobs);

    int StartPollMisses() const { return misses_; }

private:
    std::optional<std::string> ReadRequestedName();
    void CountMiss();
    void Report(std::string_view text) { reporter_.MessageAndStatus(text); }

    std::filesystem::path localCopy_;
    Reporter& reporter_;
    int misses_ = 0;
};

// "ZORVADATA/" + terminal id.
std::string HostStartFileName(std::string_view termId);

}  // namespace zorva::velmoro
