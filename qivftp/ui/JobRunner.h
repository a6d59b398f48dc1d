#pragma once
// Runs a JobEngine on a worker thread for a JobWindow: engine reports become queued calls on
// the window, the window's cancel and close become stop requests.

#include <QPointer>
#include <atomic>
#include <memory>
#include <thread>

#include "common/Waiter.h"
#include "qivftp/engine/JobEngine.h"
#include "qivftp/ui/JobWindow.h"

namespace zorva::qivftp {

class QueuedJobView final : public JobView {
public:
    explicit QueuedJobView(JobWindow& window) : window_(&window) {}

    std::size_t Count() const override { return count_.load(); }
    void Clear() override;
    void InsertTop(const std::string& message) override;
    void ShowTitle(const std::string& description) override;
    void ShowObjects(const std::vector<JobObjectRow>& rows) override;
    void AddDownloadRow(const JobObjectRow& row) override;
    void SetDownloadState(std::size_t downloadIndex, const std::string& state) override;
    void SetStatus(const std::string& text) override;

private:
    template <typename Call>
    void Post(Call call);

    QPointer<JobWindow> window_;
    std::atomic<std::size_t> count_{0};  // mirrors the list so the 1,000-entry rule needs no GUI
};

class JobRunner {
public:
    JobRunner(JobWindow& window, JobEnvironment environment, const Clock& clock, DailyLog& log,
              HostFactory hostFactory, MailSender mailSender = {});
    ~JobRunner();

    void Start();

private:
    JobWindow& window_;
    SleepingWaiter waiter_;
    QueuedJobView view_;
    std::unique_ptr<JobEngine> engine_;
    std::thread worker_;
};

}  // namespace zorva::qivftp
