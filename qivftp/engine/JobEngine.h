#pragma once
// One backup job from start to end: settings and set, save folder, purge, log-on, the host
// save job and its wait, downloads, report mail and result log. Run() blocks and belongs on a
// worker thread; RequestStop() may come from any thread and ends the job at its next step.

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "common/Clock.h"
#include "common/DailyLog.h"
#include "common/HostJobWait.h"
#include "common/Settings.h"
#include "common/TransferMeter.h"
#include "common/TransferProgressFile.h"
#include "common/Waiter.h"
#include "common/host/HostFactory.h"
#include "common/host/HostSession.h"
#include "common/offsite/ResticRunner.h"
#include "qivftp/engine/TransferJob.h"

namespace zorva::qivftp {

// The window as the engine sees it. Calls come from the engine's thread.
class JobView : public MessageList {
public:
    virtual void ShowTitle(const std::string& description) = 0;
    virtual void ShowObjects(const std::vector<JobObjectRow>& rows) = 0;
    virtual void AddDownloadRow(const JobObjectRow& row) = 0;
    virtual void SetDownloadState(std::size_t downloadIndex, const std::string& state) = 0;
    virtual void SetStatus(const std::string& text) = 0;
    // The download under way, at most ten times a second.
    virtual void ShowTransfer(const TransferSnapshot& snapshot) { (void)snapshot; }
};

enum class StopReason { None, CancelButton, WindowClosed, TimeLimit };

// The transfer agent's FTP session, its progress and reports going to the job's output.
HostFactory SessionHostFactory();

// Sends the report mail; the default is the SMTP sender.
using MailSender =
    std::function<void(const TransferJob& job, const Settings& settings, Reporter& output)>;

struct JobEnvironment {
    std::filesystem::path programFolder;
    std::string setName;  // already checked to be a set name
    Settings settings;    // zorva.ini as read once at the job's start
    // Runs restic for the off-site copy; none: no copy whatever the settings say.
    offsite::ResticRunner* restic = nullptr;
};

class JobEngine final : private Reporter, private HostSessionObserver {
public:
    // The job's start time is taken here, when the window is created.
    // `steadyClock` measures the job's time limit (JOBTIMER).
    JobEngine(JobEnvironment environment, const Clock& clock, Waiter& waiter, DailyLog& log,
              JobView& view, HostFactory hostFactory, MailSender mailSender = {},
              const SteadyClock& steadyClock = SystemSteadyClockInstance());
    ~JobEngine() override;

    void Run();
    void RequestStop(StopReason reason);

    static std::string SubmitCommand(const std::string& setName, const std::string& jobQueue);

private:
    void Message(std::string_view text) override;
    void Status(std::string_view text) override;
    // The session's progress shows in the status line (and, where marked, in the log); its
    // reports in both.
    void OnHostProgress(const HostProgress& progress) override;
    void OnHostReport(const std::string& text) override;
    // On libcurl's progress callback: a comparison of clock readings unless a snapshot is due.
    void OnTransferBytes(std::int64_t bytes) override;

    bool Start();
    bool SubmitSaveJob();
    PollResult PollSaveResult();
    static const SteadyClock& SystemSteadyClockInstance();
    bool SendStopRequest();
    bool LoadSetAndSettings();
    void WaitAndPoll();
    void HandleStop();
    void EndJob();

    void FailClashingRows();
    void DownloadObject(JobObjectRow& row);
    HostStatus FetchSaveFile(const std::string& remote, const std::string& object,
                             const std::filesystem::path& localPath, std::size_t item);
    void ForgetChecksum(const std::string& fileName);
    void RecordChecksum(const std::string& fileName);
    void VerifyOldGenerations();
    void CopyOffsite();
    void DeleteSaveFile(const std::string& remote);
    void DeleteUndeletedSaveFiles();
    JobObjectRow* FindPendingRow(const std::string& name);
    void MarkHostFailed(const std::string& name);
    bool AllRowsFinished() const;
    void DeleteProgressList();

    void StartTimeLimit();
    // True once a stop was requested or the time limit passed (which then becomes the reason).
    bool Stopping();

    std::filesystem::path LocalCopyPath() const;

    JobEnvironment env_;
    const Clock& clock_;
    Waiter& waiter_;
    DailyLog& log_;
    JobView& view_;
    HostFactory hostFactory_;
    MailSender mailSender_;
    const SteadyClock& steadyClock_;
    HostJobWait wait_;  // its PollWaiter is the host's waiter: declared before the host

    Settings settings_;
    TransferJob job_;
    std::filesystem::path saveFolder_;
    std::shared_ptr<HostConnection> host_;
    std::size_t downloadedCount_ = 0;
    std::vector<std::string> undeleted_;  // downloaded, host delete cut short by a stop request
    TransferMeter meter_;
    bool metering_ = false;  // a save file is downloading
    std::string meteredObject_;
    std::unique_ptr<TransferProgressPublisher> progressFile_;  // while the job downloads

    std::atomic<StopReason> reason_{StopReason::None};
};

}  // namespace zorva::qivftp
