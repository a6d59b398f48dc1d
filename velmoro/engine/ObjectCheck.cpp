#include "velmoro/engine/ObjectCheck.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/SavlibsRecord.h"
#include "common/TextFields.h"
#include "common/host/HostTexts.h"
#include "velmoro/engine/AgentHostProfile.h"

namespace zorva::velmoro {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kCheckLibrary = "ZORVADATA";
constexpr std::string_view kCheckCommand = "RCMD CALL PGM(ZORVAV3/IFEXIST)";
constexpr RetryPolicy kLibraryRetry{61, 1000ms};  // the library made current: 60 retries
constexpr RetryPolicy kSingleAttempt{1, 1000ms};

constexpr const char* kDone = "オブジェクト存在チェック完了";
constexpr const char* kSomeMissing = "いくつかのオブジェクトが存在しません";

std::string WithoutBlanks(std::string_view field) {
    std::string text(field);
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

struct AnswerLine {
    std::string object, library, type;  // CP932
};

bool SameObject(const ObjectRow& row, const AnswerLine& line) {
    return ToCp932(row.library) == line.library && ToCp932(row.object) == line.object &&
           ToCp932(row.type) == line.type;
}

void MarkLine(const AnswerLine& line, std::size_t position, std::vector<ObjectRow>& rows) {
    if (position < rows.size() && SameObject(rows[position], line)) {
        rows[position].checkMark = -1;
        return;
    }
    for (ObjectRow& row : rows)
        if (SameObject(row, line)) row.checkMark = -1;
}

// A returned line answers the record sent at its place when its fields are the record's. The
// host's FTP server leaves out the trailing blanks of a text download, so an existing object's
// line (status left blank) comes back shorter than 32 bytes: it is taken blank-padded.
bool AnswersRecord(std::string_view line, std::string_view record) {
    constexpr std::size_t kFields = kSavlibsLineSize - 1;
    if (line.size() > kSavlibsLineSize || record.size() < kFields) return false;
    std::string padded(line);
    padded.resize(kSavlibsLineSize, ' ');
    return padded.compare(0, kFields, record.substr(0, kFields)) == 0;
}

std::string Qualified(std::string_view name) {
    return std::string(kCheckLibrary) + "/" + std::string(name);
}

// Fetches `remoteName` up to 100 times, one second apart, until `accept` takes the file.
template <class Accept>
HostStatus FetchAnswer(HostConnection& host, Waiter& waiter, std::string_view remoteName,
                       const std::filesystem::path& local, Accept accept) {
    for (int attempt = 0; attempt < kCheckFetchAttempts; ++attempt) {
        if (!waiter.WaitFor(1000ms)) return HostStatus::Interrupted;
        const HostStatus status =
            host.GetFile(Qualified(remoteName), local, TransferType::Ascii, kSingleAttempt);
        if (status == HostStatus::Interrupted) return status;
        if (status == HostStatus::Ok && accept()) return HostStatus::Ok;
    }
    return HostStatus::Failed;
}

HostTaskResult Closed(HostConnection& host, HostTaskResult result) {
    host.Close();
    return result;
}

HostTaskResult Stopped(HostConnection& host) {
    return Closed(host, HostTaskResult::Stopped());
}

std::string ReceiveFailure(const std::filesystem::path& local) {
    return local.string() + ":受信に失敗しました";
}

bool VerifiedWritten(const std::filesystem::path& local) {
    auto bytes = ReadFileBytes(local, 1);
    return bytes && !bytes->empty() && bytes->front() == 'V';
}

}  // namespace

bool IsSkippedGenericRow(const ObjectRow& row) {
    if (row.type == "*SPL") return false;
    const auto last = row.object.find_last_not_of(' ');
    return last != std::string::npos && row.object[last] == '*';
}

std::string BuildCheckList(const std::vector<ObjectRow>& rows, std::size_t count) {
    std::string list;
    for (std::size_t i = 0; i < count && i < rows.size(); ++i) {
        const ObjectRow& row = rows[i];
        if (IsSkippedGenericRow(row)) continue;
        list += BuildSavlibsRecord({row.objectKind, CutCp932(ToCp932(row.object), 10),
                                    CutCp932(ToCp932(row.library), 10),
                                    CutCp932(ToCp932(row.type), 10), ' '});
    }
    return list;
}

bool MarkMissingObjects(std::string_view answer, std::string_view sentList,
                        std::vector<ObjectRow>& rows, bool& complete) {
    for (ObjectRow& row : rows) row.checkMark = 0;
    const auto lines = SplitLines(answer.substr(0, kCheckAnswerReadLimit));
    const auto sent = SplitLines(sentList);
    complete = lines.size() == sent.size();
    bool missing = false;
    for (std::size_t position = 0; position < lines.size(); ++position) {
        const std::string_view line = lines[position];
        // A line naming another object, too long or garbled says nothing about this record.
        if (position >= sent.size() || !AnswersRecord(line, sent[position])) {
            complete = false;
            continue;
        }
        // Only '9' marks an object missing; any other status, or none, means it exists.
        if (line.size() < kSavlibsLineSize || line[31] != '9') continue;
        AnswerLine named{WithoutBlanks(line.substr(1, 10)), WithoutBlanks(line.substr(11, 10)),
                         WithoutBlanks(line.substr(21, 10))};
        if (named.object.find('*') != std::string::npos) continue;
        missing = true;
        MarkLine(named, position, rows);
    }
    return missing;
}

HostTaskResult CheckObjectsOnHost(HostConnection& host, Waiter& waiter,
                                  const std::filesystem::path& programFolder,
                                  std::vector<ObjectRow>& rows, std::size_t count) {
    const auto localList = programFolder / kCheckListName;
    const auto localVerified = programFolder / kVerifiedName;
    const std::string list = BuildCheckList(rows, count);
    std::error_code ignored;
    std::filesystem::remove(localList, ignored);
    if (!WriteFileAtomically(localList, list))
        return HostTaskResult::Failure(
            "オブジェクト存在チェック時にパラメータファイル作成に失敗しました");
    if (list.empty()) return HostTaskResult::Success(kDone);  // only generic names: nothing to ask

    switch (host.Open()) {
        case HostStatus::Ok:
            break;
        case HostStatus::Interrupted:
            return Stopped(host);
        case HostStatus::Failed:
            return HostTaskResult::Failure(
                "オブジェクト存在チェック時にホストとの通信に失敗しました\n");
    }
    if (HostStatus s = host.SetCurrentLibrary(kCheckLibrary, kLibraryRetry); s != HostStatus::Ok)
        return s == HostStatus::Interrupted
                   ? Stopped(host)
                   : Closed(host, HostTaskResult::Failure("ライブラリZORVADATAが見つかりません"));
    if (HostStatus s = host.PutFile(localList, kCheckListName, TransferType::Ascii);
        s != HostStatus::Ok)
        return s == HostStatus::Interrupted
                   ? Stopped(host)
                   : Closed(host, HostTaskResult::Failure(*HostUploadFailureText(
                                      kAgentHostProfile, localList.string())));
    if (HostStatus s = host.Command(kCheckCommand); s != HostStatus::Ok)
        return s == HostStatus::Interrupted
                   ? Stopped(host)
                   : Closed(host, HostTaskResult::Failure(
                                      HostCommandFailureText(kAgentHostProfile, kCheckCommand)));

    HostStatus s = FetchAnswer(host, waiter, kVerifiedName, localVerified,
                               [&] { return VerifiedWritten(localVerified); });
    if (s != HostStatus::Ok)
        return s == HostStatus::Interrupted
                   ? Stopped(host)
                   : Closed(host, HostTaskResult::Failure(ReceiveFailure(localVerified)));
    std::filesystem::remove(localList, ignored);
    s = FetchAnswer(host, waiter, kCheckListName, localList, [] { return true; });
    if (s != HostStatus::Ok)
        return s == HostStatus::Interrupted
                   ? Stopped(host)
                   : Closed(host, HostTaskResult::Failure(ReceiveFailure(localList)));

    const std::string answer = ReadFileBytes(localList, kCheckAnswerReadLimit).value_or("");
    bool complete = false;
    const bool missing = MarkMissingObjects(answer, list, rows, complete);
    host.Close();
    if (missing || !complete) return HostTaskResult::Failure(kSomeMissing);
    return HostTaskResult::Success(kDone);
}

std::string ObjectCheckMessage(const HostTaskResult& result) {
    if (result.ok) return result.text;
    return "オブジェクト存在チェックエラー\n" + result.text;
}

}  // namespace zorva::velmoro
