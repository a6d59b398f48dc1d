#include "common/ui/TaskRunner.h"

#include <QMetaObject>

namespace zorva::ui {

TaskRunner::TaskRunner(QObject* parent) : QObject(parent) {}

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
        QMetaObject::invokeMethod(this, &TaskRunner::TaskEnded, Qt::QueuedConnection);
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
