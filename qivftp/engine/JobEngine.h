#pragma once
// One backup job from start to end: settings and set, save folder, purge, log-on, the host
// save job and its wait, downloads, report mail and result log. Run() blocks and belongs on a
// worker thread; RequestStop() may come from any thread and ends the job at its next step.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "common/Clock.h"
#include "common/DailyLog.h"
#include "common/Settings.h"
#include "common/Waiter.h"
#include "qivftp/engine/TransferHost.h"
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
};

enum class StopReason { None, CancelButton, WindowClosed, TimeLimit };

enum class PollResult { Complete = 1, Retry = 2, NoResponse = 3, Incomplete = 4 };

// Makes the job's host session; it must wait through `waiter` so that a stop request ends its
// pauses and transfers.
using HostFactory = std::function<std::unique_ptr<TransferHost>(const Settings& settings,
                                                                Waiter& waiter, Reporter& output)>;

// Sends the report mail; the default is the SMTP sender.
using MailSender =
    std::function<void(const TransferJob& job, const Settings& settings, Reporter& output)>;

struct JobEnvironment {
    std::filesystem::path ProgramFolder;
    std::string SetName;  // already checked to be a set name
};

class JobEngine final : private Reporter {
public:
    // The job's start time is taken here, when the window is created.
    JobEngine(JobEnvironment environment, const Clock& clock, Waiter& waiter, DailyLog& log,
              JobView& view, HostFactory hostFactory, MailSender mailSender = {});
    ~JobEngine() override;

    void Run();
    void RequestStop(StopReason reason);

    static std::string SubmitCommand(const std::string& setName, const std::string& jobQueue);

private:
    void Message(std::string_view text) override;
    void Status(std::string_view text) override;

    bool Start();
    bool SubmitSaveJob();
    PollResult PollSaveResult();
    bool SendStopRequest();
    bool LoadSetAndSettings();
    void WaitAndPoll();
    void HandleStop();
    void EndJob();

    void FailClashingRows();
    void DownloadObject(JobObjectRow& row);
    void DeleteSaveFile(const std::string& remote);
    void DeleteUndeletedSaveFiles();
    JobObjectRow* FindPendingRow(const std::string& name);
    void MarkHostFailed(const std::string& name);
    bool AllRowsFinished() const;
    void DeleteProgressList();

    void StartTimeLimit(int milliseconds);
    void StopTimeLimit();
    bool TimeLimitPassed() const;
    bool Stopping() const { return reason_.load() != StopReason::None; }

    std::filesystem::path LocalCopyPath() const;

    JobEnvironment env_;
    const Clock& clock_;
    Waiter& waiter_;
    DailyLog& log_;
    JobView& view_;
    HostFactory hostFactory_;
    MailSender mailSender_;

    Settings settings_;
    TransferJob job_;
    std::filesystem::path saveFolder_;
    std::unique_ptr<TransferHost> ownedHost_;
    TransferHost* host_ = nullptr;
    int failedPolls_ = 0;
    std::size_t downloadedCount_ = 0;
    std::vector<std::string> undeleted_;  // downloaded, host delete cut short by a stop request

    std::atomic<StopReason> reason_{StopReason::None};
    std::mutex limitMutex_;
    std::condition_variable_any limitWake_;
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
    std::jthread limitThread_;
};

}  // namespace zorva::qivftp
