#pragma once
// Runs one long operation (a host session, a mail dialogue) on a worker thread so that the
// window stays live, and tells the GUI thread when it has ended.
//
//   runner.Start([&](Waiter& waiter) { engine.Run(waiter); });
//   connect(&runner, &TaskRunner::finished, window, &Window::JobEnded);
//   cancelButton -> runner.RequestStop();
//
// The task gets a Waiter that RequestStop interrupts, so every wait inside it ends at once.
// The GUI thread never waits for the worker while the event loop runs: the end arrives as the
// `finished` signal. Destroying a runner whose task still runs requests a stop and waits for
// the task, since the task may use objects that die with the runner's owner.

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

#include "common/Waiter.h"

namespace zorva::ui {

class TaskRunner final : public QObject {
    Q_OBJECT
public:
    using Task = std::function<void(Waiter& waiter)>;

    explicit TaskRunner(QObject* parent = nullptr);
    ~TaskRunner() override;
    TaskRunner(const TaskRunner&) = delete;
    TaskRunner& operator=(const TaskRunner&) = delete;

    // Starts the task; false (and nothing started) while an earlier task has not finished.
    bool Start(Task task);
    // Safe from any thread; the stop stays requested until the next Start.
    void RequestStop();
    bool StopRequested() const { return waiter_.Interrupted(); }
    // True from Start until just before `finished` is delivered.
    bool Running() const { return running_.load(); }
    // The waiter each task gets, for an engine that keeps it from its construction on.
    Waiter& TaskWaiter() { return waiter_; }

Q_SIGNALS:
    // On the runner's (GUI) thread, once per task, after the task has returned.
    void finished();
    // Emitted on the worker when the task has returned; queued to TaskEnded.
    void taskReturned();

private:
    void TaskEnded();

    SleepingWaiter waiter_;
    std::atomic<bool> running_{false};
    std::thread worker_;
};

}  // namespace zorva::ui
