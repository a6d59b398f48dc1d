#include "qivRestore/engine/RestoreEngine.h"

#include <algorithm>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/SavedData.h"
#include "common/SavlibsRecord.h"
#include "common/TextFields.h"

namespace zorva::qivrestore {
namespace {

constexpr std::string_view kRestoreLibrary = "ZORVARST/";
constexpr std::size_t kListReadLimit = 65536;

// A name that goes into an RCMD and a remote path as one token: no blank, parenthesis, quote,
// separator or control character can turn it into another command or another library. The
// set editor never lets such names in; a hand-edited set file could.
bool IsSendableName(std::string_view name) {
    if (name.empty() || Cp932Width(name) > kObjectFieldWidth) return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F ||
               std::string_view(" ()'\",/\\").find(c) != std::string_view::npos;
    });
}

std::string_view WithoutTrailingBlanks(std::string_view line) {
    const auto last = line.find_last_not_of(' ');
    return line.substr(0, last == std::string_view::npos ? 0 : last + 1);
}

// The list as the PC sent it means the host job has not started: it may wait in its job queue.
// The host's FTP server drops trailing blanks (a blank option code), so those do not count.
bool IsListAsSent(const std::vector<std::string_view>& fetched, std::string_view sent) {
    const auto sentLines = SplitLines(sent);
    return std::equal(fetched.begin(), fetched.end(), sentLines.begin(), sentLines.end(),
                      [](std::string_view a, std::string_view b) {
                          return WithoutTrailingBlanks(a) == WithoutTrailingBlanks(b);
                      });
}

}  // namespace

RestoreEngine::RestoreEngine(std::filesystem::path programFolder, const Settings& settings,
                             HostConnection& host, HostJobWait& wait, RestoreObserver& observer)
    : programFolder_(std::move(programFolder)),
      settings_(settings),
      host_(host),
      wait_(wait),
      observer_(observer) {}

std::string RestoreEngine::CreateFileCommand(std::string_view hostName, bool asSaveFile) {
    const std::string file = std::string(kRestoreLibrary) + std::string(hostName);
    return asSaveFile ? "RCMD CRTSAVF " + file : "RCMD CRTPF " + file + " RCDLEN(528) SIZE(*NOMAX)";
}

std::string RestoreEngine::SubmitCommand(bool overwrite, std::string_view jobQueue) {
    return std::string(" RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVARSALL)  PARM(") +
           (overwrite ? "'1'" : "' '") + ")) JOBQ(" + std::string(jobQueue) + ")";
}

RestoreOutcome RestoreEngine::Run(RestoreRequest request) {
    request_ = std::move(request);
    interrupted_ = false;
    const auto& rows = request_.rows;
    if (std::none_of(rows.begin(), rows.end(), [](const RestoreRow& r) { return r.checked; })) {
        return RestoreOutcome::NothingChecked;
    }
    if (!ConnectHost()) return interrupted_ ? Interruption() : RestoreOutcome::ConnectFailed;
    if (!UploadSelected()) return interrupted_ ? Interruption() : RestoreOutcome::UploadFailed;
    if (!request_.restoreOnHost) {
        observer_.Message(request_.setName + " 復元処理の完了");
        return RestoreOutcome::Uploaded;
    }
    return WaitForHost();
}

RestoreOutcome RestoreEngine::Interruption() {
    if (!wait_.StopRequested() && wait_.TimeLimitPassed()) {
        observer_.Message(request_.setName + " 復元処理のタイムアウト");
        return RestoreOutcome::TimedOut;
    }
    return RestoreOutcome::Stopped;
}

bool RestoreEngine::ConnectHost() {
    // The session reports "ホストに接続しました" or what failed; a new run's Open closes the
    // session of an earlier run first.
    const HostStatus status = host_.Open();
    interrupted_ = status == HostStatus::Interrupted;
    return status == HostStatus::Ok;
}

bool RestoreEngine::UploadSelected() {
    const auto listPath = ListPath();
    if (const std::error_code error = TryWriteFileAtomically(listPath, {}, 0600)) {
        observer_.Message(LocalFileFailureText(listPath, error));
        return false;
    }
    // The session reports a refused command with its failure text.
    HostStatus status = host_.Command("RCMD CLRLIB ZORVARST ");
    if (status != HostStatus::Ok) {
        interrupted_ = status == HostStatus::Interrupted;
        return false;
    }
    std::string list;
    uploadNumber_ = 0;
    uploadCount_ = static_cast<std::size_t>(std::count_if(
        request_.rows.begin(), request_.rows.end(), [](const RestoreRow& r) { return r.checked; }));
    for (std::size_t i = 0; i < request_.rows.size(); ++i) {
        if (request_.rows[i].checked && !UploadRow(i, list)) return false;
    }
    sentList_ = list;
    if (const std::error_code error = TryWriteFileAtomically(listPath, list, 0600)) {
        observer_.Message(LocalFileFailureText(listPath, error));
        return false;
    }
    if (!request_.restoreOnHost) return true;

    observer_.Message("レストア中");
    observer_.Status("ホストで復元作業中");
    status = host_.PutFile(listPath, std::string(kRestoreLibrary) + "SAVLIBS", TransferType::Ascii);
    if (status != HostStatus::Ok) {
        interrupted_ = status == HostStatus::Interrupted;
        if (!interrupted_) observer_.Message(listPath.string() + "アップロードに失敗しました");
        return false;
    }
    observer_.Message(listPath.string() + "アップロード成功");
    return SubmitRestoreJob();
}

// False only when the run was interrupted; a failed object is marked and the run goes on.
bool RestoreEngine::UploadRow(std::size_t index, std::string& list) {
    const RestoreRow& row = request_.rows[index];
    const std::string hostName = HostObjectName(row.object);
    const bool starred = row.object.find('*') != std::string::npos;
    const auto entry = FindObjectRow(request_.objectTable, hostName);
    // A row without an object-table entry is taken as not protected.
    const char option = entry ? request_.objectTable[*entry].optionCode : ' ';
    const char typeCode = TypeCode(row.type);
    const bool asSaveFile =
        static_cast<unsigned char>(option) <= '3' || (starred && typeCode == '1');

    const std::string command = CreateFileCommand(hostName, asSaveFile);
    HostStatus status = HostStatus::Failed;
    if (IsSendableName(hostName)) {
        status = host_.Command(command);  // a refusal is reported by the session
    } else {
        observer_.Message(command + "コマンド実行に失敗しました");
    }
    if (status == HostStatus::Interrupted) return NoteInterrupted();
    if (status == HostStatus::Failed) {
        SetRowStatus(index, kCreateFailedText);
        return true;
    }
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(request_.chosenFolder / hostName, sizeError);
    observer_.UploadStarting(
        ++uploadNumber_, uploadCount_,
        sizeError ? std::nullopt : std::optional(static_cast<std::int64_t>(size)));
    status = host_.PutFile(request_.chosenFolder / hostName,
                           std::string(kRestoreLibrary) + hostName, TransferType::Binary);
    observer_.UploadEnded();
    if (status == HostStatus::Interrupted) return NoteInterrupted();
    if (status == HostStatus::Failed) {
        SetRowStatus(index, kUploadFailedText);
        observer_.Message(row.object + "アップロードに失敗しました");
        return true;
    }
    SetRowStatus(index, kUploadedText);
    observer_.Message(hostName + "アップロード成功");
    list += BuildSavlibsRecord(
        {typeCode, ToCp932(hostName), ToCp932(row.library), ToCp932(row.type), option});
    return true;
}

bool RestoreEngine::SubmitRestoreJob() {
    const HostStatus status = host_.Command(SubmitCommand(request_.overwrite, settings_.jobQueue));
    if (status == HostStatus::Ok) return true;
    interrupted_ = status == HostStatus::Interrupted;
    if (!interrupted_) {
        // The session has reported the command; the server's reasons follow line by line.
        for (const std::string& line : host_.LastReplyLines()) observer_.Message(line);
    }
    return false;
}

RestoreOutcome RestoreEngine::WaitForHost() {
    observer_.Status("サーバーの処理完了待ち");
    const WaitEnd end =
        wait_.Run(PollPeriod(settings_.fileTimer), [this] { return PollRestoreResult(); });
    switch (end) {
        case WaitEnd::Complete:
            observer_.Status("");
            observer_.Message(request_.setName + " 復元処理の完了");
            return RestoreOutcome::Complete;
        case WaitEnd::NoResponse:
            observer_.Message(request_.setName + " ホストプログラムから応答が無い");
            return RestoreOutcome::NoResponse;
        case WaitEnd::TimeLimit:
        case WaitEnd::Interrupted:
            break;
    }
    return Interruption();
}

PollResult RestoreEngine::PollRestoreResult() {
    if (wait_.GiveUpFetching()) return PollResult::NoResponse;
    const HostStatus status =
        host_.GetFile(std::string(kRestoreLibrary) + "SAVLIBS", ListPath(), TransferType::Ascii);
    if (status == HostStatus::Interrupted) return PollResult::Retry;
    if (status == HostStatus::Failed) {
        observer_.Message("SAVLIBSダウンロードに失敗しました");
        wait_.FetchFailed();
        return PollResult::Retry;
    }
    wait_.FetchSucceeded();
    const auto bytes = ReadFileBytes(ListPath(), kListReadLimit);
    if (!bytes) return PollResult::Retry;
    const auto lines = SplitLines(*bytes);
    if (lines.empty()) return PollResult::Complete;
    if (IsListAsSent(lines, sentList_)) return PollResult::Retry;
    bool incomplete = false;
    for (std::string_view line : lines) {
        if (const auto record = ParseSavlibsLine(line)) {
            ShowRowStatus(FromCp932(record->object), record->status);
        } else {
            incomplete = true;
        }
    }
    return incomplete ? PollResult::Incomplete : PollResult::Complete;
}

// The host's list names objects by their host names ("SALES#01"); the list shows the stored
// name ("SALES*01"), so both are matched or a starred object would never get its result.
bool RestoreEngine::ShowRowStatus(const std::string& name, char code) {
    auto& rows = request_.rows;
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const RestoreRow& r) {
        return r.object == name || HostObjectName(r.object) == name;
    });
    if (row == rows.end()) return false;
    SetRowStatus(static_cast<std::size_t>(row - rows.begin()), RestoreStatusText(code));
    return true;
}

void RestoreEngine::SetRowStatus(std::size_t index, std::string_view text) {
    request_.rows[index].status = std::string(text);
    observer_.ShowRowStatus(index, request_.rows[index].status);
}

}  // namespace zorva::qivrestore
