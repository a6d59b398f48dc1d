#include "common/ui/TaskRunner.h"

namespace zorva::ui {

// The end crosses threads as a signal connected here, on the runner's thread: a slot object
// built on the worker would be read on the GUI thread with nothing ThreadSanitizer can see
// ordering the two, since Qt's own event queue is not instrumented.
TaskRunner::TaskRunner(QObject* parent) : QObject(parent) {
    connect(this, &TaskRunner::taskReturned, this, &TaskRunner::TaskEnded, Qt::QueuedConnection);
}

TaskRunner::~TaskRunner() {
    if (worker_.joinable()) {
        RequestStop();
        worker_.join();
    }
}

bool TaskRunner::Start(Task task) {
    if (running_.load()) return false;
    // The previous worker has posted its end already: this join returns at once.
    if (worker_.joinable()) worker_.join();
    waiter_.Reset();
    running_.store(true);
    worker_ = std::thread([this, task = std::move(task)] {
        task(waiter_);
        // Queued to this object: dropped by Qt if the runner is destroyed first.
        Q_EMIT taskReturned();
    });
    return true;
}

void TaskRunner::RequestStop() {
    waiter_.Interrupt();
}

void TaskRunner::TaskEnded() {
    if (worker_.joinable()) worker_.join();
    running_.store(false);
    Q_EMIT finished();
}

}  // namespace zorva::ui
