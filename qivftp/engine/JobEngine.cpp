#include "qivftp/engine/JobEngine.h"

#include <algorithm>
#include <utility>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/JobResultLog.h"
#include "common/Manifest.h"
#include "common/SavedData.h"
#include "common/SavlibsRecord.h"
#include "common/TextFields.h"
#include "common/host/HostSession.h"
#include "common/host/HostTexts.h"
#include "qivftp/engine/Purge.h"
#include "qivftp/engine/ReportMail.h"
#include "qivftp/engine/TransferHostProfile.h"

namespace zorva::qivftp {
namespace {

using namespace std::chrono_literals;

constexpr RetryPolicy kLibraryAttempts{61, 1s};
constexpr RetryPolicy kSubmitAttempts{61, 1s};
constexpr RetryPolicy kListAttempts{61, 1s};
constexpr RetryPolicy kDeleteListAttempts{61, 1s};
constexpr RetryPolicy kDownloadAttempts{60, 10s};
constexpr std::string_view kExchangeLibrary = "ZORVADATA";
// An off-site copy's bound when JOBTIMER sets none: the default JOBTIMER.
constexpr std::chrono::milliseconds kOffsiteTimeLimit{43'200'000};

// A save file name that stays inside the save folder.
bool IsSafeFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace

HostFactory SessionHostFactory() {
    return SessionFactory(kTransferHostProfile);
}

const SteadyClock& JobEngine::SystemSteadyClockInstance() {
    static const SystemSteadyClock clock;
    return clock;
}

JobEngine::JobEngine(JobEnvironment environment, const Clock& clock, Waiter& waiter, DailyLog& log,
                     JobView& view, HostFactory hostFactory, MailSender mailSender,
                     const SteadyClock& steadyClock)
    : env_(std::move(environment)),
      clock_(clock),
      waiter_(waiter),
      log_(log),
      view_(view),
      hostFactory_(std::move(hostFactory)),
      mailSender_(mailSender ? std::move(mailSender)
                             : [](const TransferJob& job, const Settings& settings,
                                  Reporter& output) { SendJobReport(job, settings, output); }),
      steadyClock_(steadyClock),
      wait_(waiter, steadyClock) {
    job_.setName = env_.setName;
    job_.startTime = clock_.Now();
}

JobEngine::~JobEngine() = default;

void JobEngine::Message(std::string_view text) {
    log_.WriteDailyLog(text, &view_);
}

void JobEngine::Status(std::string_view text) {
    view_.SetStatus(std::string(text));
}

void JobEngine::OnHostProgress(const HostProgress& progress) {
    if (!progress.status.empty()) Status(progress.status);
    if (!progress.log.empty()) Message(progress.log);
}

void JobEngine::OnTransferBytes(std::int64_t bytes) {
    if (!metering_) return;
    const auto snapshot = meter_.Bytes(bytes, steadyClock_.Now());
    if (!snapshot) return;
    view_.ShowTransfer(*snapshot);
    progressFile_->Publish({job_.setName, meteredObject_, TransferPercent(*snapshot)});
}

void JobEngine::OnHostReport(const std::string& text) {
    MessageAndStatus(text);
}

void JobEngine::RequestStop(StopReason reason) {
    StopReason none = StopReason::None;
    reason_.compare_exchange_strong(none, reason);
    waiter_.Interrupt();
}

void JobEngine::Run() {
    progressFile_ =
        std::make_unique<TransferProgressPublisher>(env_.programFolder / kTransferProgressFileName);
    if (Start()) WaitAndPoll();
    HandleStop();
    EndJob();
}

bool JobEngine::LoadSetAndSettings() {
    const auto iniPath = SettingsPath(env_.programFolder);
    settings_ = env_.settings;
    log_.SetDetailLog(settings_.detailLog);
    if (SettingsReadableByOthers(iniPath)) Message(SettingsReadableWarning(iniPath));
    if (settings_.backupSetFolder.empty()) {
        MessageAndStatus("バックアップセット：" + env_.setName + "を読み取ることが出来ない");
        return false;
    }
    const Expected<BackupSet> set =
        ReadSetFile(env_.programFolder / settings_.backupSetFolder, env_.setName);
    if (!set) {
        MessageAndStatus(set.error().text);
        return false;
    }
    const LocalTime startTime = job_.startTime;
    job_ = MakeTransferJob(*set);
    job_.startTime = startTime;
    return true;
}

bool JobEngine::Start() {
    if (!LoadSetAndSettings()) return false;
    saveFolder_ = ComputeSaveFolder(ScheduleOf(job_), settings_, clock_.Now());
    view_.ShowObjects(job_.rows);
    view_.ShowTitle(job_.description);
    if (!IsUsableBaseDir(settings_.baseDir)) {
        MessageAndStatus("保管用ベースディレクトリの指定が不正です");
        return false;
    }
    if (!MakeSaveFolder(saveFolder_.string(), *this)) return false;
    if (job_.dailyKind == DailyKind::EveryDay) PurgeOldGenerations(job_, settings_, clock_, *this);
    RemoveDownloadTemporaries(saveFolder_);
    if (Stopping()) return false;

    // A host silent before the submit must not hold the job (and its lock) for days: the
    // job's time limit runs from the log-on, and again from the submit as specified.
    // A JOBTIMER of 0 or less keeps its specified meaning: the limit fires right after the submit.
    if (settings_.jobTimer > std::chrono::milliseconds::zero()) StartTimeLimit();
    host_ = hostFactory_(settings_, wait_.PollWaiter(), *this);
    if (host_->Open() != HostStatus::Ok || Stopping()) return false;
    const bool submitted = SubmitSaveJob();
    return submitted && !Stopping();
}

std::string JobEngine::SubmitCommand(const std::string& setName, const std::string& jobQueue) {
    return " RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVASAVE)  PARM('" + setName + "')) JOBQ(" +
           jobQueue + ")";
}

std::filesystem::path JobEngine::LocalCopyPath() const {
    return env_.programFolder / job_.setName;
}

// Rows whose save file name equals an earlier row's would wait for a list line that never
// comes and share one save file: they are left out of the request and failed at once.
void JobEngine::FailClashingRows() {
    auto rows = job_.rows.begin();
    for (auto later = rows; later != job_.rows.end(); ++later) {
        const std::string name = HostObjectName(later->object);
        auto first = std::find_if(rows, later, [&](const JobObjectRow& row) {
            return HostObjectName(row.object) == name;
        });
        if (first == later) continue;
        later->rowStatus = RowStatus::DownloadFailed;
        Message(later->library + "/" + later->object + "は" + first->library + "/" + first->object +
                "と保管ファイル名" + name + "が同じため保管しません");
    }
}

bool JobEngine::SubmitSaveJob() {
    FailClashingRows();
    std::string request;
    for (const JobObjectRow& row : job_.rows) {
        if (row.rowStatus != RowStatus::Pending) continue;
        request += BuildSavlibsRecord({row.objectKind, ToCp932(row.object), ToCp932(row.library),
                                       ToCp932(row.type), row.optionCode});
    }
    const auto requestPath = LocalCopyPath();
    if (const std::error_code error = TryWriteFileAtomically(requestPath, request)) {
        Message(LocalFileFailureText(requestPath, error));
        return false;
    }
    HostStatus result = host_->SetCurrentLibrary(kExchangeLibrary, kLibraryAttempts);
    if (result != HostStatus::Ok) {
        if (result == HostStatus::Failed) Message("ZORVADATAが見つかりません");
        return false;
    }
    if (host_->PutFile(requestPath, job_.setName, TransferType::Ascii) != HostStatus::Ok)
        return false;

    // The session converts names and replies at the wire; here they stay UTF-8.
    const std::string command = SubmitCommand(job_.setName, settings_.jobQueue);
    result = host_->Command(command, kSubmitAttempts);
    // When the time limit ends the retries of a submit the host keeps refusing, the log names
    // the host's reasons before the time-out, as after the last attempt.
    const bool refusedUntilTheLimit = result == HostStatus::Interrupted && !wait_.StopRequested() &&
                                      wait_.TimeLimitPassed() && !host_->LastReplyLines().empty();
    if (refusedUntilTheLimit)
        MessageAndStatus(HostCommandFailureText(kTransferHostProfile, command));
    if (result == HostStatus::Failed || refusedUntilTheLimit) {
        // The session has reported the command; the server's reasons follow line by line.
        for (const std::string& line : host_->LastReplyLines()) MessageAndStatus(line);
    }
    // A submit the host accepted, or one interrupted while its reply was awaited (it may have
    // been accepted), counts as submitted: a cancel that came meanwhile still sends the stop
    // request.
    if (result != HostStatus::Failed) job_.jobSubmitted = true;
    return result == HostStatus::Ok;
}

bool JobEngine::SendStopRequest() {
    const auto stopPath = env_.programFolder / "STOP";
    if (const std::error_code error = TryWriteFileAtomically(stopPath, job_.setName)) {
        MessageAndStatus("ファイルSTOPが作れない：" + error.message());
        return false;
    }
    return host_->PutFile(stopPath, job_.setName + "/STOP", TransferType::Ascii) == HostStatus::Ok;
}

// JOBTIMER bounds the steps from the log-on to the submit and, counted again from the submit,
// the wait for the host job; a JOBTIMER of 0 or less ends the wait right after the submit.
void JobEngine::StartTimeLimit() {
    wait_.StartTimeLimit(steadyClock_.Now(), TimeLimit(settings_.jobTimer));
}

bool JobEngine::Stopping() {
    if (wait_.TimeLimitPassed()) {
        StopReason none = StopReason::None;
        reason_.compare_exchange_strong(none, StopReason::TimeLimit);
    }
    return reason_.load() != StopReason::None;
}

void JobEngine::WaitAndPoll() {
    job_.jobSubmitted = true;
    StartTimeLimit();
    const WaitEnd end =
        wait_.Run(PollPeriod(settings_.fileTimer), [this] { return PollSaveResult(); });
    switch (end) {
        case WaitEnd::Complete:
            MessageAndStatus(job_.setName + " 全ての転送が完了");
            break;
        case WaitEnd::NoResponse:
            MessageAndStatus(job_.setName + " AS側プログラムから応答が無い");
            break;
        case WaitEnd::TimeLimit:
        case WaitEnd::Interrupted:
            Stopping();  // takes a passed limit as the reason
            break;
    }
}

PollResult JobEngine::PollSaveResult() {
    if (wait_.GiveUpFetching()) return PollResult::NoResponse;
    const std::string listName = job_.setName + "/SAVLIBS";
    const HostStatus fetched =
        host_->GetFile(listName, LocalCopyPath(), TransferType::Ascii, kListAttempts);
    if (fetched == HostStatus::Interrupted) return PollResult::Retry;
    if (fetched == HostStatus::Failed) {
        MessageAndStatus(listName + "ダウンロードに失敗しました");
        wait_.FetchFailed();
        return PollResult::Retry;
    }
    wait_.FetchSucceeded();
    const auto list = ReadFileBytes(LocalCopyPath(), kSetFileReadLimit);
    if (!list) return PollResult::Retry;

    for (std::string_view line : SplitLines(*list)) {
        if (Stopping()) return PollResult::Incomplete;
        const auto record = ParseSavlibsLine(line);
        if (!record) continue;
        const std::string name = FromCp932(record->object);
        if (record->status == '0') {
            if (JobObjectRow* row = FindPendingRow(name)) DownloadObject(*row);
        } else if (record->status == '9') {
            MarkHostFailed(name);
        }
    }
    if (Stopping() || !AllRowsFinished()) return PollResult::Incomplete;
    DeleteProgressList();
    return PollResult::Complete;
}

void JobEngine::DeleteProgressList() {
    // A failure is reported by the session; the job counts as complete all the same.
    host_->Command(" RCMD DLTF " + job_.setName + "/SAVLIBS", kDeleteListAttempts);
}

JobObjectRow* JobEngine::FindPendingRow(const std::string& name) {
    for (JobObjectRow& row : job_.rows) {
        if (row.object == name) return row.rowStatus == RowStatus::Pending ? &row : nullptr;
    }
    return nullptr;
}

void JobEngine::MarkHostFailed(const std::string& name) {
    for (JobObjectRow& row : job_.rows) {
        if (row.object != name) continue;
        if (row.rowStatus == RowStatus::Pending) row.rowStatus = RowStatus::HostFailed;
        return;
    }
}

bool JobEngine::AllRowsFinished() const {
    for (const JobObjectRow& row : job_.rows) {
        if (row.rowStatus == RowStatus::Pending) return false;
    }
    return true;
}

// The size asked first (one LIST) sizes the progress bar; the download itself is the same
// with or without it.
HostStatus JobEngine::FetchSaveFile(const std::string& remote, const std::string& object,
                                    const std::filesystem::path& localPath, std::size_t item) {
    const auto size = host_->FileSize(remote);
    meteredObject_ = object;
    meter_.Begin(item + 1, job_.rows.size(), size, steadyClock_.Now());
    metering_ = true;
    const HostStatus result =
        host_->GetFile(remote, localPath, TransferType::Binary, kDownloadAttempts);
    metering_ = false;
    return result;
}

void JobEngine::DownloadObject(JobObjectRow& row) {
    const std::size_t item = downloadedCount_++;
    view_.AddDownloadRow(row);
    const std::string fileName = HostObjectName(row.object);
    const std::string remote = job_.setName + "/" + fileName;
    row.downloadStart = clock_.Now();
    const bool safe = IsSafeFileName(fileName);
    if (safe) ForgetChecksum(fileName);
    const HostStatus result =
        safe ? FetchSaveFile(remote, row.object, saveFolder_ / fileName, item) : HostStatus::Failed;
    if (result == HostStatus::Interrupted) return;  // the row stays unfinished
    row.downloadEnd = clock_.Now();
    if (result == HostStatus::Failed) {
        MessageAndStatus(remote + "ダウンロードに失敗しました");
        row.rowStatus = RowStatus::DownloadFailed;
        view_.SetDownloadState(item, "転送失敗");
        return;
    }
    view_.SetDownloadState(item, "転送成功");
    MessageAndStatus("保管が正常に終了した");
    row.rowStatus = RowStatus::Saved;
    RecordChecksum(fileName);
    DeleteSaveFile(remote);
}

// An earlier file of that name is about to be replaced: its line goes first, so that a run
// killed before the new line is written leaves the file unrecorded, never wrongly recorded.
void JobEngine::ForgetChecksum(const std::string& fileName) {
    if (const auto forgotten = zorva::ForgetChecksum(saveFolder_, fileName); !forgotten) {
        Message(forgotten.error().text);
    }
}

// The download is durable under its name by now; its line follows. A manifest that cannot be
// written costs the checksum, not the save.
void JobEngine::RecordChecksum(const std::string& fileName) {
    const std::optional<std::string> digest = host_->LastDownloadSha256();
    if (!digest) return;
    if (const auto recorded = zorva::RecordChecksum(saveFolder_, {fileName, *digest}); !recorded) {
        Message(recorded.error().text);
    }
}

// Reads back the set's older generations after the job, before the report mail tells how it
// went. A stopped job (or a stop during the verification) leaves the rest for the next job.
void JobEngine::VerifyOldGenerations() {
    if (!settings_.verifyAge || !IsUsableBaseDir(settings_.baseDir) || Stopping()) return;
    Status("保管データ検証中");
    const VerifyCallbacks callbacks{{}, [this] { return Stopping(); }};
    job_.verification = VerifyDueGenerations(SetFolder(settings_, job_.setName),
                                             *settings_.verifyAge, clock_.Now(), callbacks, *this);
}

// Hands the set's new generations to the off-site repository after a job that saved
// something. The job's time limit has ended with the job; restic gets a JOBTIMER of its own.
void JobEngine::CopyOffsite() {
    const bool savedSome = std::any_of(job_.rows.begin(), job_.rows.end(), [](const auto& row) {
        return row.rowStatus == RowStatus::Saved;
    });
    if (!settings_.offsite.Enabled() || env_.restic == nullptr || !savedSome || Stopping()) return;
    const auto limit = settings_.jobTimer > std::chrono::milliseconds::zero() ? settings_.jobTimer
                                                                              : kOffsiteTimeLimit;
    const OffsiteJob offsiteJob{
        env_.programFolder,
        job_.setName,
        SetFolder(settings_, job_.setName),
        settings_.termId,
        SnapshotsToKeep(settings_.offsite, job_.dailyKind == DailyKind::EveryDay,
                        job_.retentionDays),
        limit,
        clock_.Now(),
        [this] { return Stopping(); }};
    Status("オフサイトコピー中…");
    job_.offsite = qivftp::CopyOffsite(settings_.offsite, offsiteJob, *env_.restic, *this);
}

// A stop request may come between a completed download and this delete: the delete then
// waits for the end of the job, so the host's copy never outlives a good local one.
void JobEngine::DeleteSaveFile(const std::string& remote) {
    const HostStatus result = host_->DeleteFile(remote);
    if (result == HostStatus::Interrupted) {
        undeleted_.push_back(remote);
        return;
    }
    MessageAndStatus(remote + (result == HostStatus::Ok ? "削除しました" : "削除に失敗しました"));
}

void JobEngine::DeleteUndeletedSaveFiles() {
    if (undeleted_.empty()) return;
    waiter_.Reset();  // the stop request has been taken; these deletes are one attempt each
    for (const std::string& remote : std::exchange(undeleted_, {})) {
        const bool deleted = host_->DeleteFile(remote) == HostStatus::Ok;
        MessageAndStatus(remote + (deleted ? "削除しました" : "削除に失敗しました"));
    }
}

void JobEngine::HandleStop() {
    Stopping();             // a limit that passed during the last step is the reason
    wait_.StopTimeLimit();  // the stop request and the final deletes are not bound by it
    switch (reason_.load()) {
        case StopReason::CancelButton:
            Message("中止処理中...");
            if (job_.jobSubmitted) {
                waiter_.Reset();  // the stop request needs its own retries
                SendStopRequest();
                job_.cancelledByButton = true;
            }
            break;
        case StopReason::TimeLimit:
            MessageAndStatus(job_.setName + " バックアップジョブのタイムアウト");
            job_.timedOut = true;
            break;
        case StopReason::WindowClosed:
        case StopReason::None:
            break;
    }
    DeleteUndeletedSaveFiles();
}

void JobEngine::EndJob() {
    progressFile_.reset();  // the agent's note of a running download goes with it
    job_.endTime = clock_.Now();
    VerifyOldGenerations();
    CopyOffsite();
    if (settings_.mailActive) mailSender_(job_, settings_, *this);
    WriteJobResultLog(ResultOf(job_), env_.programFolder);
    if (host_ != nullptr) host_->Close();
    job_.jobSubmitted = false;
}

}  // namespace zorva::qivftp
